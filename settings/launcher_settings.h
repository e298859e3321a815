#pragma once
#include "base/launcher_window.h"
#include "settings/ini_file.h"

// Reads the simulator's folder and the two options into the state.
void ReadSettings(const IniFile& settings, LauncherState& state);

bool IsFirstRun(const LauncherState& state);

// The first run: the simulator's folder from the registry, or from the
// pilot; then the defaults, written to the settings file.
void LocateSimulator(LauncherState& state, LauncherWindow& window);

// Written at once, each time the pilot changes it.
void StoreAlert(bool on);
void StoreAutoConnect(bool on);
