#pragma once
#include <string>

#include "base/launcher_window.h"

// The update asked for by an "MJ" reply, whose argument is the updater's
// address: asks the pilot, downloads it beside the launcher and starts it.
// Always ends the launcher.
void UpdateLauncher(const LauncherState& state, LauncherWindow& window, const std::wstring& launcherPath,
                    bool httpsOnly);

// Removes an updater left beside the launcher by an earlier update.
void RemoveLeftoverUpdater(const std::wstring& launcherPath);
