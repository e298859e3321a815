#pragma once
#include "base/launcher_state.h"

// What one reply to the poll does.
enum class PollAction {
    ShowOnline,  // "SP<version>": the server is up
    StartUpdate, // "MJ<address>": the launcher must update itself
    ShowOffline, // anything else, silence included
};

struct PollOutcome {
    PollAction action;
    LauncherState state;    // the state after the reply
    bool playAlert = false; // the server has just come online and the alert is on
    bool connect = false;   // the automatic connection starts the simulator
};

// "SP3.0.4" while offline with the alert on -> online, version "3.0.4",
// play the alert. The automatic connection follows every online reply,
// not only the first one.
PollOutcome OnPollReply(LauncherState state, const Reply& reply);
