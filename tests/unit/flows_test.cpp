// Each flow that opens a box reaches its end when the box cannot be shown:
// the timers are as the flow leaves them, or the program is ended, and the
// box's error still reaches the reporter.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>

#include "base/errors.h"
#include "base/launcher_window.h"
#include "base/process.h"
#include "base/timer.h"
#include "simulator/condor.h"
#include "simulator/connection.h"
#include "update/updater.h"

namespace {

// A window whose boxes fail, as a task dialog that the system refuses.
class WindowWithFailingBoxes : public LauncherWindow, private TimerHost {
public:
    WindowWithFailingBoxes() { poll.SetEnabled(true); }

    Timer poll{*this, 1, 3000};
    Timer watch{*this, 2, 3000};
    bool closed = false;
    bool shown = true;
    int boxes = 0;

    void SetStatusText(const std::wstring& text) override { status = text; }
    void SetConnectEnabled(bool) override {}
    void PaintNow() override {}
    void Hide() override { shown = false; }
    void Show() override { shown = true; }
    bool Shown() const override { return shown; }
    Timer& PollTimer() override { return poll; }
    Timer& WatchTimer() override { return watch; }
    void Tell(const std::wstring&) override { Fail(); }
    Answer Ask(const std::wstring&) override
    {
        Fail();
        return Answer::Yes;
    }
    bool ChooseFolder(std::wstring&) override { return false; }
    void Close() override { closed = true; }
    bool Closing() const override { return closed; }

    std::wstring status;

private:
    void Fail()
    {
        ++boxes;
        throw LauncherError(L"Impossible d'afficher la boîte de dialogue (0x80004005)");
    }
    bool StartTimer(UINT_PTR, UINT) override { return true; }
    void StopTimer(UINT_PTR) override {}
};

// A status server that must not be asked.
class NoExchange : public StatusExchange {
public:
    Reply Exchange(std::wstring_view) override { throw std::logic_error("no exchange expected"); }
};

// A top-level window titled as the simulator's, for as long as it lives.
class SimulatorWindow {
public:
    explicit SimulatorWindow(const std::wstring& version)
        : window_(::CreateWindowExW(0, L"STATIC", CondorWindowTitle(version).c_str(), WS_POPUP, 0, 0, 10, 10,
                                    nullptr, nullptr, nullptr, nullptr))
    {
    }
    ~SimulatorWindow() { ::DestroyWindow(window_); }
    SimulatorWindow(const SimulatorWindow&) = delete;
    SimulatorWindow& operator=(const SimulatorWindow&) = delete;

private:
    HWND window_;
};

} // namespace

TEST(FlowsWithFailingBoxes, OtherSimulatorRunningStillResumesThePoll)
{
    WindowWithFailingBoxes window;
    LauncherState state;
    state.simulatorVersion = L"9.9.1-flows";
    SimulatorWindow simulator(state.simulatorVersion);
    NoExchange status;
    EXPECT_THROW(ConnectToServer(state, window, status), LauncherError);
    EXPECT_EQ(window.boxes, 1);
    EXPECT_TRUE(window.poll.Enabled());
    EXPECT_EQ(window.poll.Interval(), 10000u);
    EXPECT_FALSE(window.closed);
}

TEST(FlowsWithFailingBoxes, ClosedSimulatorQuestionStillResumesThePoll)
{
    WindowWithFailingBoxes window;
    window.poll.SetEnabled(false);
    window.watch.SetEnabled(true);
    window.shown = false;
    LauncherState state;
    state.simulatorVersion = L"9.9.2-flows-none";
    WatchSimulator(state, window); // the window comes back, the question at the next tick
    EXPECT_TRUE(window.shown);
    EXPECT_EQ(window.status, L"Connexion suspendue");
    EXPECT_EQ(window.boxes, 0);
    EXPECT_TRUE(window.watch.Enabled());
    EXPECT_FALSE(window.poll.Enabled());
    EXPECT_THROW(WatchSimulator(state, window), LauncherError);
    EXPECT_EQ(window.boxes, 1);
    EXPECT_FALSE(window.watch.Enabled());
    EXPECT_TRUE(window.poll.Enabled());
    EXPECT_FALSE(window.closed);
}

TEST(FlowsWithFailingBoxes, FailedStartStillEndsTheLauncher)
{
    WindowWithFailingBoxes window;
    EXPECT_THROW(StartProgramOrEnd(window, L"C:\\tarvik-absent\\Condor.exe cndr3:x", L"C:\\tarvik-absent\\Condor.exe"),
                 LauncherError);
    EXPECT_EQ(window.boxes, 1);
    EXPECT_FALSE(window.poll.Enabled());
    EXPECT_TRUE(window.closed);
}

TEST(FlowsWithFailingBoxes, UpdateQuestionStillEndsTheLauncher)
{
    WindowWithFailingBoxes window;
    LauncherState state;
    state.lastReply = {L"MJ", L"http://127.0.0.1:9/MaJLanceur.exe"};
    EXPECT_THROW(UpdateLauncher(state, window, L"C:\\tarvik-absent\\Lanceur_Tarvik.exe",
                                {false, "", nullptr, GetModuleHandleW(nullptr), L"Lanceur_tarvik"}), LauncherError);
    EXPECT_EQ(window.boxes, 1);
    EXPECT_FALSE(window.poll.Enabled());
    EXPECT_TRUE(window.closed);
}
