#include <gtest/gtest.h>

#include "app/layout.h"
#include "tests/e2e/launcher.h"
#include "tests/support/screenshot.h"
#include "tests/support/status_fixture.h"
#include "tests/support/texts.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

struct Status {
    std::wstring label;
    bool connectEnabled;
    bool operator==(const Status&) const = default;
};

Status Read(LauncherRun& launcher)
{
    return {ui::Text(launcher.Control(IdStatusLabel)), IsWindowEnabled(launcher.Control(IdConnectButton)) != FALSE};
}

const Status kOnline{text::kOnline, true};
const Status kOffline{text::kOffline, false};

std::ostream& operator<<(std::ostream& out, const Status& status)
{
    return out << ::testing::PrintToString(status.label) << (status.connectEnabled ? " enabled" : " disabled");
}

// Answers the n-th request with the n-th reply; nothing past the list.
StatusFixture::Script InTurn(std::vector<std::optional<std::string>> replies)
{
    // The fixture copies its script for each request: keep the count apart.
    auto next = std::make_shared<size_t>(0);
    return [replies, next](const StatusFixture::Request&, StatusFixture&) {
        return *next < replies.size() ? replies[(*next)++] : std::nullopt;
    };
}

// The state a tick left, read well before the next tick can change it.
Status AfterTick(LauncherRun& launcher, const StatusFixture& server, size_t tick)
{
    EXPECT_TRUE(server.WaitForRequests(tick, 10s)) << "tick " << tick;
    Sleep(1000);
    return Read(launcher);
}

} // namespace

TEST(Poll, SendsTheRequestEveryPeriod)
{
    StatusFixture server(nullptr);
    LauncherRun launcher;
    ASSERT_TRUE(launcher.MainWindow());
    // Counted from the window showing, just after the poll starts: how long
    // a process takes to start on a busy machine is not the poll's period.
    const auto shown = Clock::now();
    ASSERT_TRUE(server.WaitForRequests(3, 15s));
    const auto requests = server.Requests();
    for (const auto& request : requests) EXPECT_EQ(request.bytes, std::string("\x54\x50\x76\x32\x2E\x30", 6));
    EXPECT_NEAR(std::chrono::duration<double>(requests[0].at - shown).count(), 3.0, 0.8) << "first tick";
    for (size_t i = 1; i < 3; ++i)
        EXPECT_NEAR(std::chrono::duration<double>(requests[i].at - requests[i - 1].at).count(), 3.0, 0.3);
    EXPECT_EQ(Read(launcher), kOffline);
}

TEST(Poll, EachReplyLeadsToItsBranch)
{
    struct Row {
        std::optional<std::string> reply;
        Status status;
    };
    const Row rows[] = {
        {"SP3.0.4", kOnline},
        {std::nullopt, kOffline}, // silence
        {"SP", kOnline},          // "SP" alone still means online
        {"sp3", kOffline},        // codes are compared with their case
        {"SP3.0.4\r\n", kOnline},
        {"CC", kOffline},         // a connection code is no poll answer
        {"SP3", kOnline},
        {"S", kOffline},
        {"", kOffline},           // an empty datagram
    };
    std::vector<std::optional<std::string>> replies;
    for (const Row& row : rows) replies.push_back(row.reply);
    StatusFixture server(InTurn(replies));
    LauncherRun launcher;
    ASSERT_TRUE(launcher.MainWindow());
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(AfterTick(launcher, server, i + 1), rows[i].status) << "reply " << i << " "
                                                                      << rows[i].reply.value_or("(none)");
}

TEST(Poll, ReplyInsideTheWaitCountsForItsTickALateOneForTheNext)
{
    struct Row {
        const char* what;
        std::chrono::milliseconds delay;
        Status first, second, third;
    };
    const Row rows[] = {
        {"well inside the 500 ms wait", 300ms, kOnline, kOffline, kOffline},
        {"after the wait", 600ms, kOffline, kOnline, kOffline}, // queued on the socket for the next exchange
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        auto served = std::make_shared<int>(0);
        StatusFixture server([served, delay = row.delay](const StatusFixture::Request&,
                                                          StatusFixture&) -> std::optional<std::string> {
            if (++*served > 1) return std::nullopt;
            Sleep(static_cast<DWORD>(delay.count()));
            return "SP3.0.4";
        });
        LauncherRun launcher;
        ASSERT_TRUE(launcher.MainWindow());
        EXPECT_EQ(AfterTick(launcher, server, 1), row.first);
        EXPECT_EQ(AfterTick(launcher, server, 2), row.second);
        EXPECT_EQ(AfterTick(launcher, server, 3), row.third);
    }
}

TEST(Poll, DatagramsFromAnyoneButTheServerAreIgnored)
{
    bool answer = false;
    StatusFixture server([&](const StatusFixture::Request& request, StatusFixture& self) -> std::optional<std::string> {
        self.SendFromElsewhere("SP6.6.6", request.from);
        self.SendFromElsewhere(std::string(9000, 'x'), request.from); // not even an oversize one counts
        if (answer) return "SP3.0.4";
        return std::nullopt;
    });
    LauncherRun launcher;
    ASSERT_TRUE(launcher.MainWindow());
    EXPECT_EQ(AfterTick(launcher, server, 1), kOffline);
    EXPECT_EQ(AfterTick(launcher, server, 2), kOffline);
    answer = true;
    EXPECT_EQ(AfterTick(launcher, server, 3), kOnline) << "the server's reply, behind the stranger's";
    EXPECT_EQ(launcher.WaitForBox(100ms), nullptr);
}

TEST(Poll, ReplyOfMoreThan8192BytesIsAnError)
{
    StatusFixture server(InTurn({"SP" + std::string(8190, '4'), "SP" + std::string(8191, '4'), "SP3.0.4"}));
    LauncherRun launcher;
    ASSERT_TRUE(launcher.MainWindow());
    EXPECT_EQ(AfterTick(launcher, server, 1), kOnline) << "8192 bytes are read whole";

    ASSERT_TRUE(server.WaitForRequests(2, 10s));
    HWND box = launcher.WaitForBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(ui::Text(box), text::kMessageTitle);
    EXPECT_NE(ui::ChildTexts(box).find(text::kMessageTooLong), std::wstring::npos)
        << ::testing::PrintToString(ui::ChildTexts(box));
    PostMessageW(box, WM_CLOSE, 0, 0);
    ASSERT_TRUE(ui::WaitFor([&] { return !IsWindow(box); }, 3s));
    EXPECT_EQ(Read(launcher), kOnline) << "the failed tick changed nothing";
    EXPECT_EQ(AfterTick(launcher, server, 3), kOnline) << "polling goes on";
}

TEST(Poll, UnresolvableHostShowsOneBoxAtATimeWhilePollingGoesOn)
{
    LauncherRun::Options options;
    options.executable = FromBuildPath(TARVIK_UNRESOLVABLE_LAUNCHER_PATH);
    LauncherRun launcher(options);
    ASSERT_TRUE(launcher.MainWindow());
    HWND box = launcher.WaitForBox();
    ASSERT_TRUE(box);
    EXPECT_NE(ui::ChildTexts(box).find(text::kHostNotFound), std::wstring::npos)
        << ::testing::PrintToString(ui::ChildTexts(box));

    Sleep(7000); // two more ticks fall while the box is open
    EXPECT_EQ(ui::TopLevelWindows(launcher.ProcessId(), window_class::kBox).size(), 1u);
    EXPECT_EQ(Read(launcher), kOffline);

    PostMessageW(box, WM_CLOSE, 0, 0);
    ASSERT_TRUE(ui::WaitFor([&] { return !IsWindow(box); }, 3s));
    HWND next = launcher.WaitForBox(5s);
    EXPECT_TRUE(next) << "the poll went on after the box was closed";
    if (next) PostMessageW(next, WM_CLOSE, 0, 0);
}

TEST(Poll, AlertSoundsWhenTheServerComesOnlineAndHoldsTheTick)
{
    struct Row {
        bool alerte;
        bool held;
    };
    for (const Row row : {Row{true, true}, Row{false, false}}) {
        SCOPED_TRACE(row.alerte ? "Alerte on" : "Alerte off");
        StatusFixture server([](const StatusFixture::Request&, StatusFixture&) { return std::string("SP3.0.4"); });
        LauncherRun::Options options;
        options.settings = SettingsText().CheminExe("C:\\Condor3").Alerte(row.alerte ? "1" : "0").Text();
        LauncherRun launcher(options);
        HWND form = launcher.MainWindow();
        ASSERT_TRUE(form);
        ASSERT_TRUE(server.WaitForRequests(1, 10s));
        Sleep(1000);
        const Screenshot during = CaptureClient(form);
        DWORD_PTR result = 0;
        const bool answered = SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, 500, &result) != 0;
        EXPECT_EQ(answered, !row.held) << "the pause holds the launcher's thread";

        ASSERT_TRUE(server.WaitForRequests(3, 15s));
        const auto requests = server.Requests();
        const double first = std::chrono::duration<double>(requests[1].at - requests[0].at).count();
        const double second = std::chrono::duration<double>(requests[2].at - requests[1].at).count();
        if (row.held) {
            EXPECT_GT(first, 3.3) << "the first online tick pauses 3500 ms";
            EXPECT_LT(second, 2.8) << "the next one sounds nothing and the period catches up";
        } else {
            EXPECT_NEAR(first, 3.0, 0.3);
            EXPECT_NEAR(second, 3.0, 0.3);
        }
        // The label was painted before the pause: the same pixels as later.
        const Screenshot after = CaptureClient(form);
        const RECT label = ui::RectInParentClient(launcher.Control(IdStatusLabel));
        int differing = 0;
        for (int y = label.top; y < label.bottom; ++y)
            for (int x = label.left; x < label.right; ++x) differing += during.At(x, y) != after.At(x, y);
        EXPECT_EQ(differing, 0);
        EXPECT_EQ(ui::Text(launcher.Control(IdStatusLabel)), text::kOnline);
    }
}
