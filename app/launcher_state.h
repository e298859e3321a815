#pragma once

// What the launcher knows during a run, owned by the main window.
struct LauncherState {
    bool PresenceServer = false; // the server answered "SP" at the last poll
};
