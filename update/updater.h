#pragma once
#include <windows.h>

#include <string>

#include "base/launcher_window.h"

// Where the update comes from and what its progress box hangs on.
struct UpdateSource {
    bool httpsOnly;         // only "https" addresses are asked
    const char* publicKey;  // minisign public key, empty when updates are not signed
    HWND owner;             // of the progress box
    HINSTANCE instance;
    std::wstring caption;   // the application title
};

// The update asked for by an "MJ" reply, whose argument is the updater's
// address: asks the pilot, downloads it beside the launcher and starts it.
// Always ends the launcher.
void UpdateLauncher(const LauncherState& state, LauncherWindow& window, const std::wstring& launcherPath,
                    const UpdateSource& source);

// Removes an updater left beside the launcher by an earlier update; true
// while one is still there (it runs yet, and keeps its file).
bool RemoveLeftoverUpdater(const std::wstring& launcherPath);
