#pragma once
#include <string>

// A reply of the status server: "SP3.0.4" -> command "SP", argument "3.0.4".
struct Reply {
    std::wstring command;  // its first two characters
    std::wstring argument; // the rest
};

// What the launcher knows during a run, owned by the main window.
struct LauncherState {
    Reply lastReply;
    std::wstring simulatorFolder;  // the simulator's installation folder, as stored
    std::wstring simulatorVersion; // simulator version of the last "SP" reply
    bool serverOnline = false;     // the server answered "SP" at the last poll
    bool alertOn = false;          // announce the server by a sound
    bool autoConnectOn = false;    // start the simulator as soon as the server is online
};
