#pragma once
#include "base/launcher_window.h"

inline constexpr unsigned kWatchIntervalMs = 3000;

// "Connexion": asks the status server for the join argument and starts the
// simulator with it, then hides the window while the simulator runs.
void ConnectToServer(LauncherState& state, LauncherWindow& window, StatusExchange& status);

// One tick of the watch: when the simulator's window is gone, the window
// comes back, and at the next tick the pilot says whether the launcher ends too.
void WatchSimulator(const LauncherState& state, LauncherWindow& window);
