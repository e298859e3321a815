#include "server/poll_rules.h"

#include <utility>

PollOutcome OnPollReply(LauncherState state, const Reply& reply)
{
    if (reply.command == L"SP") {
        const bool cameOnline = !state.serverOnline;
        state.simulatorVersion = reply.argument;
        state.serverOnline = true;
        const bool alert = cameOnline && state.alertOn;
        const bool connect = state.autoConnectOn;
        return {PollAction::ShowOnline, std::move(state), alert, connect};
    }
    if (reply.command == L"MJ") return {PollAction::StartUpdate, std::move(state)};
    state.serverOnline = false;
    return {PollAction::ShowOffline, std::move(state)};
}
