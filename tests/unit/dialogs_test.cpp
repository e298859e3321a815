#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "app/application.h"
#include "app/dialogs.h"
#include "base/errors.h"
#include "base/launcher_window.h"
#include "tests/support/ui.h"

using namespace std::chrono_literals;

namespace {

// What a box looked like when it came up.
struct Seen {
    bool found = false;
    std::wstring caption;
    std::wstring texts;
    RECT frame{};
    HWND owner = nullptr;
    bool appWindow = false;
};

// Answers, from a second thread, the box that the test's thread opens.
class Answerer {
public:
    explicit Answerer(std::function<void(HWND)> answer)
        : thread_([this, answer] {
              HWND box = ui::WaitForWindow(GetCurrentProcessId(), L"#32770", 5s);
              if (!box) return;
              seen_.found = true;
              seen_.caption = ui::Text(box);
              seen_.texts = ui::ChildTexts(box);
              GetWindowRect(box, &seen_.frame);
              seen_.owner = GetWindow(box, GW_OWNER);
              seen_.appWindow = (GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_APPWINDOW) != 0;
              answer(box);
              // Never leave the test's thread stuck in a box.
              if (!ui::WaitFor([box] { return !IsWindow(box); }, 3s)) PostMessageW(box, WM_CLOSE, 0, 0);
          })
    {
    }
    const Seen& Wait()
    {
        thread_.join();
        return seen_;
    }

private:
    Seen seen_;
    std::thread thread_;
};

void ClickId(HWND box, int id)
{
    ui::Click(GetDlgItem(box, id));
}

struct DialogFixture : ::testing::Test {
    Application app{GetModuleHandleW(nullptr)};
};

} // namespace

TEST_F(DialogFixture, AskYesNoAnswers)
{
    struct Case {
        const char* how;
        std::function<void(HWND)> answer;
        Answer expected;
    };
    const Case cases[] = {
        {"Enter at once", [](HWND box) { ui::PressEnter(box); }, Answer::Yes},
        {"&Oui", [](HWND box) { ClickId(box, IDYES); }, Answer::Yes},
        {"&Non", [](HWND box) { ClickId(box, IDNO); }, Answer::No},
        {"close button", [](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); }, Answer::Dismissed},
        {"Alt+F4", [](HWND box) { PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0); }, Answer::Dismissed},
    };
    for (const Case& c : cases) {
        Answerer answerer(c.answer);
        const Answer result = AskYesNo(app, L"Condor 3 a été fermé.\r\nVoulez vous quitter le lanceur?");
        const Seen& seen = answerer.Wait();
        ASSERT_TRUE(seen.found) << c.how;
        EXPECT_EQ(result, c.expected) << c.how;
        EXPECT_EQ(seen.caption, L"Confirmer");
        EXPECT_NE(seen.texts.find(L"Condor 3 a été fermé.\r\nVoulez vous quitter le lanceur?"), std::wstring::npos)
            << c.how;
        EXPECT_NE(seen.texts.find(L"Oui"), std::wstring::npos);
        EXPECT_LT(seen.texts.find(L"Oui"), seen.texts.find(L"Non")) << "buttons in this order";
    }
}

TEST_F(DialogFixture, ShowInformationClosesEveryWayAndIsCentred)
{
    const std::function<void(HWND)> answers[] = {
        [](HWND box) { ClickId(box, IDOK); },
        [](HWND box) { ui::PressEnter(box); },
        [](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); },
    };
    for (const auto& answer : answers) {
        Answerer answerer(answer);
        ShowInformation(app, L"Une autre instance de Condor3 est déja lancée. \r\nVeuillez la fermer avant de réessayer.");
        const Seen& seen = answerer.Wait();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.caption, app.Title());
        EXPECT_NE(seen.texts.find(L"déja lancée. \r\nVeuillez"), std::wstring::npos) << ::testing::PrintToString(seen.texts);

        // No visible owner here: centred on the primary monitor's work area,
        // owned by the hidden window so that it has no taskbar button.
        MONITORINFO monitor{sizeof monitor};
        GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
        const RECT& work = monitor.rcWork;
        EXPECT_NEAR((seen.frame.left + seen.frame.right) / 2, (work.left + work.right) / 2, 1);
        EXPECT_NEAR((seen.frame.top + seen.frame.bottom) / 2, (work.top + work.bottom) / 2, 1);
        EXPECT_NE(seen.owner, nullptr);
        EXPECT_FALSE(IsWindowVisible(seen.owner));
        EXPECT_FALSE(seen.appWindow);
    }
}

TEST_F(DialogFixture, ErrorBoxShowsTheMessageWithAFullStop)
{
    struct Case {
        std::function<void()> fail;
        std::wstring shown;
    };
    const Case cases[] = {
        {[] { throw LauncherError(L"Erreur de socket n° 11001\r\nHôte non trouvé."); },
         L"Erreur de socket n° 11001\r\nHôte non trouvé."},
        {[] { throw LauncherError(L"Pas assez de timers disponibles"); }, L"Pas assez de timers disponibles."},
        {[] {
             try {
                 throw LauncherError(L"dedans");
             } catch (...) {
                 std::throw_with_nested(LauncherError(L"dehors"));
             }
         },
         L"dedans."},
    };
    for (const Case& c : cases) {
        Answerer answerer([](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); });
        try {
            c.fail();
        } catch (...) {
            app.HandleException();
        }
        const Seen& seen = answerer.Wait();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.caption, app.Title());
        EXPECT_NE(seen.texts.find(c.shown), std::wstring::npos) << ::testing::PrintToString(seen.texts);
        EXPECT_FALSE(app.ShowingError());
    }
}

TEST_F(DialogFixture, ErrorsRaisedWhileAnErrorBoxIsOpenDoNotPileUp)
{
    // A timer that fails at every tick, dispatched by the error box's own loop.
    static Application* reporting = nullptr;
    static int failures = 0;
    static std::atomic<bool> stop = false;
    reporting = &app;
    failures = 0;
    stop = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        if (stop) return;
        ++failures;
        try {
            throw LauncherError(L"encore");
        } catch (...) {
            reporting->HandleException();
        }
    });

    int boxesAtOnce = 0;
    Answerer answerer([&](HWND box) {
        Sleep(600); // many ticks fall while the first box is open
        boxesAtOnce = static_cast<int>(ui::TopLevelWindows(GetCurrentProcessId(), L"#32770").size());
        stop = true;
        PostMessageW(box, WM_CLOSE, 0, 0);
    });
    try {
        throw LauncherError(L"première");
    } catch (...) {
        app.HandleException();
    }
    answerer.Wait();
    KillTimer(nullptr, timer);
    EXPECT_GT(failures, 2);
    EXPECT_EQ(boxesAtOnce, 1);
}
