#pragma once
#include <string>

// What the launcher knows during a run, owned by the main window.
struct LauncherState {
    std::wstring Commande;      // code of the last reply: its first two characters
    std::wstring Argument;      // the rest of the last reply
    std::wstring Chemin;        // the simulator's installation directory, as stored
    std::wstring VersionCondor; // simulator version of the last "SP" reply
    bool PresenceServer = false; // the server answered "SP" at the last poll
    bool Alerte = false;         // the sound alert is on
    bool AutoConnect = false;    // the automatic connection is on
};
