#include <gtest/gtest.h>

#include <fstream>

#include "app/layout.h"
#include "tests/e2e/connect_fixture.h"
#include "tests/e2e/launcher.h"
#include "tests/support/screenshot.h"
#include "tests/support/status_fixture.h"
#include "tests/support/texts.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST_F(ConnectFixture, ConnectionStartsTheSimulatorAndHandsOverToTheWatch)
{
    struct Row {
        const char* reply;
        const char* argument; // what follows "cndr3:" on the command line
    };
    for (const Row row : {Row{"CCabc", "abc"}, Row{"CC", ""}, Row{"CCa b\"c", "a b\"c"}}) {
        SCOPED_TRACE(row.reply);
        CloseStandins();
        SimulatorInstall condor;
        StatusFixture server(Server(std::string(row.reply)));
        LauncherRun launcher(Settings(condor.Path()));
        HWND form = launcher.MainWindow();
        ASSERT_TRUE(form);
        Connect(launcher);

        ASSERT_TRUE(ui::WaitFor([] { return FindWindowW(nullptr, L"Condor version 3.0.4") != nullptr; }, 10s));
        EXPECT_EQ(condor.Started(), Narrow(condor.Path() + L"\\Condor.exe\t" + condor.Path() + L"\\Condor.exe") +
                                        " cndr3:" + row.argument);
        EXPECT_TRUE(ui::WaitFor([&] { return !IsWindowVisible(form); }, 3s)) << "hidden, off the taskbar";
        EXPECT_EQ(Label(launcher), text::kConnected);
        EXPECT_FALSE(IsWindowEnabled(launcher.Control(IdConnectButton)));
        const size_t polls = Count(server, "TPv2.0");
        Sleep(4000); // the watch ticks, the poll is off
        EXPECT_EQ(Count(server, "TPv2.0"), polls);
        EXPECT_FALSE(IsWindowVisible(form));
        EXPECT_EQ(launcher.WaitForBox(100ms), nullptr);
    }
}

TEST_F(ConnectFixture, WithoutCCTheServerDoesNotAnswer)
{
    for (std::optional<std::string> reply : {std::optional<std::string>{}, std::optional<std::string>{"cc1"},
                                            std::optional<std::string>{"SP3.0.4"}}) {
        SCOPED_TRACE(reply.value_or("(none)"));
        SimulatorInstall condor;
        StatusFixture server(Server(reply));
        LauncherRun launcher(Settings(condor.Path()));
        ASSERT_TRUE(launcher.MainWindow());
        Connect(launcher);
        ASSERT_TRUE(ui::WaitFor([&] { return Label(launcher) == text::kNoAnswer; }, 5s));
        EXPECT_TRUE(IsWindowEnabled(launcher.Control(IdConnectButton)));
        EXPECT_TRUE(IsWindowVisible(launcher.MainWindow()));
        EXPECT_TRUE(condor.Started().empty());
        const size_t polls = Count(server, "TPv2.0");
        EXPECT_TRUE(server.WaitForRequests(server.Requests().size() + 1, 5s)) << "the poll goes on";
        EXPECT_GT(Count(server, "TPv2.0"), polls);
    }
}

TEST_F(ConnectFixture, AnotherRunningSimulatorIsRefusedAndThePollWaitsLonger)
{
    // A title that differs only in case is the simulator's all the same.
    SimulatorInstall condor;
    StatusFixture server(Server(std::string("CCabc"), "3.0.4-BETA"));
    LauncherRun::Options options = Settings(condor.Path());
    options.environment.push_back(L"TARVIK_STANDIN_VERSION=3.0.4-beta");
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION running{};
    std::wstring line = L"\"" + condor.Path() + L"\\Condor.exe\"";
    SetEnvironmentVariableW(L"TARVIK_STANDIN_VERSION", L"3.0.4-beta");
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &running));
    SetEnvironmentVariableW(L"TARVIK_STANDIN_VERSION", nullptr);
    CloseHandle(running.hThread);
    CloseHandle(running.hProcess);
    ASSERT_TRUE(ui::WaitFor([] { return FindWindowW(nullptr, L"Condor version 3.0.4-beta") != nullptr; }, 10s));

    LauncherRun launcher(options);
    ASSERT_TRUE(launcher.MainWindow());
    Connect(launcher);
    HWND box = launcher.WaitForBox();
    ASSERT_TRUE(box);
    EXPECT_NE(ui::ChildTexts(box).find(text::kOtherInstance), std::wstring::npos);
    EXPECT_EQ(Label(launcher), text::kOnline);
    EXPECT_TRUE(IsWindowEnabled(launcher.Control(IdConnectButton)));
    EXPECT_EQ(Count(server, "DC"), 0u);
    const size_t before = server.Requests().size();
    Sleep(4000);
    EXPECT_EQ(server.Requests().size(), before) << "no tick inside the message";

    ui::Press(box, ui::Button::Ok);
    const auto dismissed = Clock::now();
    ASSERT_TRUE(server.WaitForRequests(before + 2, 20s));
    const auto requests = server.Requests();
    EXPECT_NEAR(std::chrono::duration<double>(requests[before].at - dismissed).count(), 10.0, 0.6);
    EXPECT_NEAR(std::chrono::duration<double>(requests[before + 1].at - requests[before].at).count(), 3.0, 0.4);
}

TEST_F(ConnectFixture, FailedStartTellsThePilotAndEndsTheLauncher)
{
    ScratchFolder empty(L"nocondor");
    StatusFixture server(Server(std::string("CCabc")));
    LauncherRun launcher(Settings(empty.Path()));
    HWND form = launcher.MainWindow();
    ASSERT_TRUE(form);
    Connect(launcher);
    HWND box = launcher.WaitForBox();
    ASSERT_TRUE(box);
    const std::wstring expected =
        text::kStartFailedBefore + empty.Path() + L"\\Condor.exe cndr3:abc" + text::kStartFailedAfter;
    EXPECT_NE(ui::ChildTexts(box).find(expected), std::wstring::npos) << ::testing::PrintToString(ui::ChildTexts(box));
    EXPECT_TRUE(IsWindowVisible(form)) << "the message stands over the window";
    EXPECT_EQ(Label(launcher), text::kConnected);
    EXPECT_FALSE(IsWindowEnabled(launcher.Control(IdConnectButton)));

    bool shownAgain = false;
    ui::Press(box, ui::Button::Ok);
    ui::WaitFor(
        [&] {
            shownAgain = shownAgain || (IsWindow(form) && IsWindowVisible(form) && !IsWindow(box));
            return launcher.WaitForExit(0ms).has_value();
        },
        10s, 5ms);
    EXPECT_EQ(launcher.WaitForExit(), std::optional<DWORD>(0));
    EXPECT_FALSE(shownAgain);
}

TEST_F(ConnectFixture, BlanksInThePathNeverStartAnotherProgram)
{
    // "C:\Program Files\..." unquoted: a planted "C:\Program.exe" must not run.
    struct Planted {
        Planted() { Remove(); }
        ~Planted() { Remove(); }
        static void Remove()
        {
            DeleteFileW(L"C:\\Program.exe");
            DeleteFileW(L"C:\\standin.log"); // what the planted program would write
        }
    } planted;
    ASSERT_TRUE(CopyFileW(FromBuildPath(TARVIK_STANDIN_PATH).c_str(), L"C:\\Program.exe", FALSE));
    SimulatorInstall condor(L"C:\\Program Files\\Tarvik Condor3");
    StatusFixture server(Server(std::string("CCabc")));
    LauncherRun launcher(Settings(condor.Path()));
    ASSERT_TRUE(launcher.MainWindow());
    Connect(launcher);
    ASSERT_TRUE(ui::WaitFor([] { return FindWindowW(nullptr, L"Condor version 3.0.4") != nullptr; }, 10s));
    EXPECT_EQ(condor.Started(),
              "C:\\Program Files\\Tarvik Condor3\\Condor.exe\tC:\\Program Files\\Tarvik Condor3\\Condor.exe cndr3:abc");
    EXPECT_EQ(GetFileAttributesW(L"C:\\standin.log"), INVALID_FILE_ATTRIBUTES) << "the planted program ran";
    CloseStandins();
}

TEST_F(ConnectFixture, WatchShowsTheLauncherAgainWhenTheSimulatorCloses)
{
    struct Row {
        const char* answer;
        std::function<void(HWND)> give;
        bool quits;
    };
    const Row rows[] = {
        {"&Oui", [](HWND box) { ui::Press(box, ui::Button::Oui); }, true},
        {"&Non", [](HWND box) { ui::Press(box, ui::Button::Non); }, false},
        {"close button", [](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); }, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.answer);
        SimulatorInstall condor;
        StatusFixture server(Server(std::string("CCabc")));
        LauncherRun launcher(Settings(condor.Path()));
        HWND form = launcher.MainWindow();
        ASSERT_TRUE(form);
        Connect(launcher);
        HWND simulator = nullptr;
        ASSERT_TRUE(ui::WaitFor([&] { return (simulator = FindWindowW(nullptr, L"Condor version 3.0.4")); }, 10s));
        ASSERT_TRUE(ui::WaitFor([&] { return !IsWindowVisible(form); }, 3s));
        PostMessageW(simulator, WM_CLOSE, 0, 0);

        HWND box = launcher.WaitForBox(8s);
        ASSERT_TRUE(box);
        EXPECT_EQ(ui::Text(box), text::kQuestionTitle);
        EXPECT_NE(ui::ChildTexts(box).find(text::kSimulatorClosed), std::wstring::npos);
        EXPECT_TRUE(IsWindowVisible(form));
        EXPECT_EQ(Label(launcher), text::kSuspended);
        const size_t polls = Count(server, "TPv2.0");
        row.give(box);
        if (row.quits) {
            EXPECT_EQ(launcher.WaitForExit(), std::optional<DWORD>(0));
            continue;
        }
        EXPECT_TRUE(ui::WaitFor([&] { return Count(server, "TPv2.0") > polls; }, 5s)) << "the poll resumes";
        EXPECT_TRUE(ui::WaitFor([&] { return Label(launcher) == text::kOnline; }, 3s));
        // The window shown again was painted anew, its logo included.
        EXPECT_NE(CaptureClient(form).At(178, 175), RGB(255, 255, 255)) << "the logo's middle";
    }
}

TEST_F(ConnectFixture, AfterTheSimulatorTheNextOnlinePollCountsAsComingOnline)
{
    // With both options on, "&Non" brings the alert's pause and a new
    // connection at the first online poll.
    SimulatorInstall condor;
    StatusFixture server(Server(std::string("CCabc")));
    LauncherRun launcher(Settings(condor.Path(), true, true));
    HWND form = launcher.MainWindow();
    ASSERT_TRUE(form);
    HWND simulator = nullptr;
    ASSERT_TRUE(ui::WaitFor([&] { return (simulator = FindWindowW(nullptr, L"Condor version 3.0.4")); }, 15s))
        << "connected by itself";
    EXPECT_EQ(Count(server, "DC"), 1u);
    PostMessageW(simulator, WM_CLOSE, 0, 0);
    HWND box = launcher.WaitForBox(8s);
    ASSERT_TRUE(box);
    const size_t before = server.Requests().size();
    ui::Press(box, ui::Button::Non);
    ASSERT_TRUE(server.WaitForRequests(before + 1, 6s));
    Sleep(800);
    DWORD_PTR result = 0;
    EXPECT_EQ(SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, 500, &result), 0) << "the alert's pause";
    EXPECT_TRUE(ui::WaitFor([&] { return Count(server, "DC") == 2u; }, 8s)) << "connects again";
    EXPECT_TRUE(ui::WaitFor([] { return FindWindowW(nullptr, L"Condor version 3.0.4") != nullptr; }, 10s));
}

TEST_F(ConnectFixture, AutomaticConnectionToAServerThatNeverAnswersIt)
{
    SimulatorInstall condor;
    StatusFixture server(Server(std::nullopt));
    LauncherRun launcher(Settings(condor.Path(), false, true));
    ASSERT_TRUE(launcher.MainWindow());
    ASSERT_TRUE(server.WaitForRequests(4, 15s));
    Sleep(1000);
    EXPECT_EQ(Label(launcher), text::kNoAnswer);
    EXPECT_EQ(Count(server, "DC"), Count(server, "TPv2.0")) << "a connection after every online poll";
    EXPECT_TRUE(IsWindowEnabled(launcher.Control(IdConnectButton)));
}

// A "DC" exchange that fails (here the server's own oversize datagram) is
// reported; the window, its label, its button and its poll stay as they
// were, and the server counts as not yet online, so the next online reply
// sounds the alert again.
TEST_F(ConnectFixture, FailedConnectionExchangeLeavesTheWindowAsItWas)
{
    SimulatorInstall condor;
    StatusFixture server(Server(std::string(9000, 'C')));
    LauncherRun launcher(Settings(condor.Path(), true));
    HWND form = launcher.MainWindow();
    ASSERT_TRUE(form);
    Connect(launcher);
    HWND box = launcher.WaitForBox();
    ASSERT_TRUE(box);
    EXPECT_NE(ui::ChildTexts(box).find(text::kSocketError + std::wstring(L"10040")), std::wstring::npos)
        << ::testing::PrintToString(ui::ChildTexts(box));
    EXPECT_EQ(Label(launcher), text::kOnline);
    EXPECT_TRUE(IsWindowEnabled(launcher.Control(IdConnectButton)));
    EXPECT_TRUE(IsWindowVisible(form));
    EXPECT_TRUE(condor.Started().empty());
    const size_t polls = server.Requests().size();
    ui::Press(box, ui::Button::Ok);

    // The next online reply counts as coming online: the alert's pause
    // holds the tick after it.
    ASSERT_TRUE(server.WaitForRequests(polls + 2, 15s));
    const auto requests = server.Requests();
    EXPECT_GT(requests[polls + 1].at - requests[polls].at, 3300ms) << "the alert sounded again";
    EXPECT_EQ(Label(launcher), text::kOnline);
    EXPECT_TRUE(IsWindowEnabled(launcher.Control(IdConnectButton)));
    EXPECT_TRUE(IsWindowVisible(form));
}

// The simulator starts in the launcher's own current folder: nothing is
// given to it but its path and its command line.
TEST_F(ConnectFixture, SimulatorStartsInTheLaunchersCurrentFolder)
{
    SimulatorInstall condor;
    ScratchFolder working(L"working");
    StatusFixture server(Server(std::string("CCabc")));
    LauncherRun::Options options = Settings(condor.Path());
    options.workingFolder = working.Path();
    LauncherRun launcher(options);
    ASSERT_TRUE(launcher.MainWindow());
    Connect(launcher);
    ASSERT_TRUE(ui::WaitFor([] { return FindWindowW(nullptr, L"Condor version 3.0.4") != nullptr; }, 10s));
    std::string folder;
    std::getline(std::ifstream((condor.Path() + L"\\standin-folder.log").c_str()), folder);
    EXPECT_EQ(folder, Narrow(working.Path()));
}

// A connection accepted with a stand-in started under the given environment.
struct ConnectedRun {
    explicit ConnectedRun(const wchar_t* environment)
    {
        LauncherRun::Options options = ConnectFixture::Settings(condor.Path());
        options.environment = {environment};
        launcher = std::make_unique<LauncherRun>(options);
        form = launcher->MainWindow();
        if (form) ConnectFixture::Connect(*launcher);
    }
    SimulatorInstall condor;
    StatusFixture server{ConnectFixture::Server(std::string("CCabc"))};
    std::unique_ptr<LauncherRun> launcher;
    HWND form = nullptr;
};

// The watch finds the simulator by its title whatever its case, and it
// looks only for the window: a first tick before the window exists takes
// the simulator for closed.
TEST_F(ConnectFixture, WatchMatchesTheTitleWhateverItsCaseAndLooksOnlyForTheWindow)
{
    {
        SCOPED_TRACE("title in capitals");
        ConnectedRun run(L"TARVIK_STANDIN_TITLE=CONDOR VERSION 3.0.4");
        ASSERT_TRUE(run.form);
        ASSERT_TRUE(ui::WaitFor([] { return FindWindowW(window_class::kStandin, nullptr) != nullptr; }, 10s));
        ASSERT_TRUE(ui::WaitFor([&] { return !IsWindowVisible(run.form); }, 3s));
        EXPECT_EQ(run.launcher->WaitForBox(8s), nullptr) << "three watch ticks found it";
        EXPECT_FALSE(IsWindowVisible(run.form));
    }
    CloseStandins();
    {
        SCOPED_TRACE("window still to come at the first tick");
        ConnectedRun run(L"TARVIK_STANDIN_DELAY_MS=6000");
        ASSERT_TRUE(run.form);
        HWND box = run.launcher->WaitForBox(5s);
        ASSERT_TRUE(box) << "the first tick asks at once";
        EXPECT_NE(ui::ChildTexts(box).find(text::kSimulatorClosed), std::wstring::npos);
        EXPECT_EQ(FindWindowW(window_class::kStandin, nullptr), nullptr) << "before the simulator's window came";
        PostMessageW(box, WM_CLOSE, 0, 0);
    }
}
