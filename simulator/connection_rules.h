#pragma once
#include <string>

#include "base/launcher_state.h"

enum class Answer;

// What the reply to "DC" does: "CCabc" -> accepted, the simulator started
// with "<folder>\Condor.exe cndr3:abc"; anything else, silence included,
// is a refusal.
struct ConnectOutcome {
    bool accepted;
    std::wstring statusText;
    std::wstring commandLine; // when accepted
};
ConnectOutcome OnConnectReply(const LauncherState& state, const Reply& reply);

// The watch, every few seconds while the simulator runs and the window is
// hidden: the simulator's window gone means it was closed, and the window
// comes back; the question comes at the tick after that.
enum class WatchStep { KeepWatching, ShowWindow, AskToQuit };
WatchStep OnWatchTick(bool windowShown, bool simulatorWindowFound);

// After "Condor 3 a été fermé.": only "&Oui" ends the launcher; "&Non" and a
// dismissed box go back to polling.
enum class AfterSimulator { Quit, ResumePolling };
AfterSimulator OnSimulatorClosedAnswer(Answer answer);
