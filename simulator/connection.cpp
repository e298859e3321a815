#include "simulator/connection.h"

#include <windows.h>

#include "base/process.h"
#include "base/finally.h"
#include "base/timer.h"
#include "simulator/condor.h"
#include "simulator/connection_rules.h"

namespace {

constexpr unsigned kRetryAfterOtherInstanceMs = 10000;
// Long enough for a window manager to map the window shown again and focus it:
// a box that disables the window first leaves the front, once it closes, to
// the window that held it before.
constexpr unsigned kQuestionAfterShowMs = 500;
constexpr wchar_t kOtherInstance[] =
    L"Une autre instance de Condor3 est déja lancée. \r\nVeuillez la fermer avant de réessayer.";

// The simulator's window title is the only sign that it runs.
bool SimulatorRunning(const LauncherState& state)
{
    return ::FindWindowW(nullptr, CondorWindowTitle(state.simulatorVersion).c_str()) != nullptr;
}

} // namespace

void ConnectToServer(LauncherState& state, LauncherWindow& window, StatusExchange& status)
{
    state.serverOnline = false;
    if (SimulatorRunning(state)) {
        Timer& poll = window.PollTimer();
        poll.SetEnabled(false); // no tick inside the message
        // Polling resumes, later, even when the box cannot be shown.
        Finally([&] { window.Tell(kOtherInstance); },
                [&] {
                    poll.SetInterval(kRetryAfterOtherInstanceMs);
                    poll.SetEnabled(true);
                });
        return;
    }

    state.lastReply = {};
    state.lastReply = status.Exchange(L"DC");
    const ConnectOutcome outcome = OnConnectReply(state, state.lastReply);
    window.SetStatusText(outcome.statusText);
    if (!outcome.accepted) {
        window.PollTimer().SetEnabled(true);
        window.PaintNow();
        return;
    }
    window.SetConnectEnabled(false);
    StartProgramOrEnd(window, outcome.commandLine, CondorExecutable(state.simulatorFolder));
    window.Hide();
    window.PollTimer().SetEnabled(false);
    window.WatchTimer().SetInterval(kWatchIntervalMs);
    window.WatchTimer().SetEnabled(true);
}

void WatchSimulator(const LauncherState& state, LauncherWindow& window)
{
    switch (OnWatchTick(window.Shown(), SimulatorRunning(state))) {
    case WatchStep::KeepWatching:
        return;
    case WatchStep::ShowWindow:
        window.SetStatusText(L"Connexion suspendue");
        window.Show();
        window.WatchTimer().SetInterval(kQuestionAfterShowMs);
        return;
    case WatchStep::AskToQuit:
        break;
    }

    window.WatchTimer().SetEnabled(false); // no tick inside the question
    // A box that cannot be shown leaves the launcher polling, as "&Non" does.
    AfterSimulator next = AfterSimulator::ResumePolling;
    Finally([&] { next = OnSimulatorClosedAnswer(window.Ask(L"Condor 3 a été fermé.\r\nVoulez vous quitter le lanceur?")); },
            [&] {
                if (next == AfterSimulator::Quit)
                    window.Close();
                else
                    window.PollTimer().SetEnabled(true);
            });
}
