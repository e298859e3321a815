#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "app/layout.h"
#include "tests/e2e/connect_fixture.h"
#include "tests/e2e/launcher.h"
#include "tests/support/status_fixture.h"
#include "tests/support/texts.h"

// These run under a real window manager (their test entry starts one, and
// Wine's windows are managed): when a box of the launcher's closes, the
// launcher must keep the activation, or the window manager hands it to
// whatever window was in front before.

using namespace std::chrono_literals;

namespace {

constexpr wchar_t kSimulatorTitle[] = L"Condor version 3.0.4";

// Another program's top-level window beside the launcher, with a thread
// that handles its messages as a live program would, so that it can take
// the activation when the window manager offers it.
class OtherProgramWindow {
public:
    explicit OtherProgramWindow(const wchar_t* title)
    {
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, title, ready] {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = DefWindowProcW;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
            windowClass.lpszClassName = L"TarvikOtherProgram";
            RegisterClassW(&windowClass); // fails harmlessly from the second window on
            window_ = CreateWindowExW(0, windowClass.lpszClassName, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 700, 60,
                                      400, 300, nullptr, nullptr, windowClass.hInstance, nullptr);
            threadId_ = GetCurrentThreadId();
            SetEvent(ready);
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
            DestroyWindow(window_);
        });
        WaitForSingleObject(ready, INFINITE);
        CloseHandle(ready);
    }
    ~OtherProgramWindow()
    {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    OtherProgramWindow(const OtherProgramWindow&) = delete;
    OtherProgramWindow& operator=(const OtherProgramWindow&) = delete;

    HWND Handle() const { return window_; }

private:
    std::thread thread_;
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
};

HWND FocusOf(HWND window)
{
    GUITHREADINFO info{sizeof info};
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

// Once the box has gone and the window manager has settled.
void ExpectInFrontWithFocusOn(HWND form, HWND focus)
{
    Sleep(1000);
    EXPECT_EQ(GetForegroundWindow(), form) << "in front: " << ui::Text(GetForegroundWindow());
    EXPECT_EQ(GetDlgCtrlID(FocusOf(form)), GetDlgCtrlID(focus));
}

} // namespace

// "OK" to a message box, and to a task dialog: the pilot is back where the
// box found them.
TEST(Managed, AfterOkTheLauncherIsInFrontWithItsFocus)
{
    struct Row {
        const char* box;
        const wchar_t* otherTitle; // the simulator's title makes "Connexion" refuse
        std::string connectReply;
        const wchar_t* message;
    };
    const Row rows[] = {
        {"task dialog", kSimulatorTitle, "CCabc", text::kOtherInstance},
        {"message box", L"Bloc-notes", std::string(9000, 'C'), text::kSocketError},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.box);
        OtherProgramWindow other(row.otherTitle);
        StatusFixture server(ConnectFixture::Server(row.connectReply));
        SimulatorInstall condor;
        LauncherRun launcher(ConnectFixture::Settings(condor.Path()));
        HWND form = launcher.MainWindow();
        ASSERT_TRUE(form);
        ASSERT_TRUE(ui::WaitFor([&] { return GetForegroundWindow() == form; }, 5s)) << "the launcher starts in front";

        ConnectFixture::Connect(launcher); // as a click does, it takes the focus
        HWND box = launcher.WaitForBox();
        ASSERT_TRUE(box);
        EXPECT_NE(ui::ChildTexts(box).find(row.message), std::wstring::npos);
        ui::Press(box, ui::Button::Ok);
        ASSERT_TRUE(ui::WaitFor([&] { return !IsWindow(box); }, 5s));
        ExpectInFrontWithFocusOn(form, launcher.Control(IdConnectButton));
    }
}

// "&Non" to the question that follows the simulator: the launcher is shown
// again and stays in front, not the window that was before it.
TEST(Managed, AfterNonTheLauncherIsInFrontWithItsFocus)
{
    OtherProgramWindow other(L"Bloc-notes");
    StatusFixture server(ConnectFixture::Server("CCabc"));
    SimulatorInstall condor;
    LauncherRun launcher(ConnectFixture::Settings(condor.Path()));
    HWND form = launcher.MainWindow();
    ASSERT_TRUE(form);
    ConnectFixture::Connect(launcher);
    HWND simulator = nullptr;
    ASSERT_TRUE(ui::WaitFor([&] { return (simulator = FindWindowW(nullptr, kSimulatorTitle)); }, 10s));
    ASSERT_TRUE(ui::WaitFor([&] { return !IsWindowVisible(form); }, 3s));
    PostMessageW(simulator, WM_CLOSE, 0, 0);

    HWND box = launcher.WaitForBox(8s);
    ASSERT_TRUE(box);
    EXPECT_NE(ui::ChildTexts(box).find(text::kSimulatorClosed), std::wstring::npos);
    Sleep(1000); // a pilot reads the question: the window manager is done with the launcher's window
    ui::Press(box, ui::Button::Non);
    ASSERT_TRUE(ui::WaitFor([&] { return !IsWindow(box); }, 5s));
    // A loaded machine may take its time; once in front, it stays there.
    EXPECT_TRUE(ui::WaitFor([&] { return GetForegroundWindow() == form; }, 5s));
    Sleep(1000);
    EXPECT_EQ(GetForegroundWindow(), form) << "in front: " << ui::Text(GetForegroundWindow());
    EXPECT_TRUE(IsChild(form, FocusOf(form)));
}

// "&Oui" to the update leads to the next box of the launcher's (here the
// download fails): the activation stays with the launcher throughout.
TEST(Managed, AfterOuiTheLaunchersNextBoxIsInFront)
{
    OtherProgramWindow other(L"Bloc-notes");
    bool asked = false;
    StatusFixture server([&asked](const StatusFixture::Request& request, StatusFixture&) -> std::optional<std::string> {
        if (request.bytes != "TPv2.0") return std::nullopt;
        if (asked) return std::string("SP3.0.4");
        asked = true;
        return std::string("MJhttp://127.0.0.1:9/MaJLanceur.exe");
    });
    LauncherRun launcher;
    HWND form = launcher.MainWindow();
    ASSERT_TRUE(form);
    HWND question = launcher.WaitForBox();
    ASSERT_TRUE(question);
    EXPECT_NE(ui::ChildTexts(question).find(text::kUpdateQuestion), std::wstring::npos);
    ui::Press(question, ui::Button::Oui);
    HWND failed = nullptr;
    ASSERT_TRUE(ui::WaitFor(
        [&] {
            for (HWND box : ui::TopLevelWindows(launcher.ProcessId(), window_class::kBox))
                if (box != question && ui::ChildTexts(box).find(text::kUpdateFailed) != std::wstring::npos)
                    failed = box;
            return failed != nullptr;
        },
        30s));
    Sleep(1000);
    EXPECT_EQ(GetForegroundWindow(), failed) << "in front: " << ui::Text(GetForegroundWindow());
    ui::Press(failed, ui::Button::Ok);
    EXPECT_EQ(launcher.WaitForExit(15s), std::optional<DWORD>(0));
}
