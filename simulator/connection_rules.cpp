#include "simulator/connection_rules.h"

#include "base/launcher_window.h"
#include "simulator/condor.h"

ConnectOutcome OnConnectReply(const LauncherState& state, const Reply& reply)
{
    if (reply.command != L"CC") return {false, L"Le serveur ne répond pas.", {}};
    return {true, L"Connexion validée.", CondorCommandLine(state.simulatorFolder, reply.argument)};
}

WatchStep OnWatchTick(bool windowShown, bool simulatorWindowFound)
{
    if (windowShown) return WatchStep::AskToQuit;
    return simulatorWindowFound ? WatchStep::KeepWatching : WatchStep::ShowWindow;
}

AfterSimulator OnSimulatorClosedAnswer(Answer answer)
{
    return answer == Answer::Yes ? AfterSimulator::Quit : AfterSimulator::ResumePolling;
}
