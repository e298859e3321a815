#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "app/layout.h"
#include "tests/e2e/launcher.h"
#include "tests/support/status_fixture.h"
#include "tests/support/texts.h"

#include <psapi.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Wine reports the working set of another process, but neither its private
// bytes nor its handle and GDI object counts (they read 0): those checks
// only bite on Windows.
struct Footprint {
    SIZE_T privateBytes = 0;
    SIZE_T workingSet = 0;
    DWORD handles = 0;
    DWORD gdiObjects = 0;
};

Footprint Measure(HANDLE process)
{
    Footprint footprint;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    footprint.privateBytes = memory.PrivateUsage;
    footprint.workingSet = memory.WorkingSetSize;
    GetProcessHandleCount(process, &footprint.handles);
    footprint.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
    return footprint;
}

void Report(const char* when, const Footprint& f)
{
    std::printf("[footprint] %s: private %zu KiB, working set %zu KiB, handles %lu, GDI objects %lu\n", when,
                f.privateBytes / 1024, f.workingSet / 1024, f.handles, f.gdiObjects);
}

bool Responsive(HWND window, DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

int Ticks(const char* variable, int fallback)
{
    const char* value = std::getenv(variable);
    return value ? std::atoi(value) : fallback;
}

} // namespace

TEST(Hostile, BurstOfStrangersDatagramsChangesNothing)
{
    StatusFixture server([](const StatusFixture::Request&, StatusFixture&) { return std::string("SP3.0.4"); });
    LauncherRun launcher;
    HWND form = launcher.MainWindow();
    ASSERT_TRUE(form);
    ASSERT_TRUE(server.WaitForRequests(2, 12s));
    Sleep(600);
    const Footprint before = Measure(launcher.Process());
    Report("before the burst", before);

    // Between two ticks: strangers' orders, and oversize datagrams, at the
    // launcher's port, from ports other than the server's.
    const sockaddr_in launcherPort = server.Requests().back().from;
    for (int i = 0; i < 10000; ++i) server.SendFromElsewhere(i % 2 ? "MJhttp://127.0.0.1:1/x" : "CCevil", launcherPort);
    const std::string oversize(9000, 'M');
    for (int i = 0; i < 1000; ++i) server.SendFromElsewhere(oversize, launcherPort);
    const auto burstEnd = Clock::now();
    EXPECT_TRUE(Responsive(form, 1000)) << "answers within a second after the burst";
    EXPECT_LT(Clock::now() - burstEnd, 1s);

    const size_t polls = server.Requests().size();
    ASSERT_TRUE(server.WaitForRequests(polls + 3, 15s));
    Sleep(1000);
    EXPECT_EQ(launcher.WaitForBox(100ms), nullptr) << "no stranger's datagram was taken as a reply";
    EXPECT_EQ(ui::Text(launcher.Control(IdStatusLabel)), text::kOnline);
    EXPECT_TRUE(IsWindowEnabled(launcher.Control(IdConnectButton)));

    const Footprint after = Measure(launcher.Process());
    Report("three ticks after the burst", after);
    EXPECT_LT(after.workingSet, before.workingSet + 1024 * 1024) << "memory does not grow";
    EXPECT_LE(after.handles, before.handles + 2);
    EXPECT_LE(after.gdiObjects, before.gdiObjects);
}

// A flood that lasts through several exchanges: each one still ends when
// its wait has run out, so the window answers and the ticks keep time.
TEST(Hostile, FloodOfStrangersThroughSeveralTicks)
{
    StatusFixture server([](const StatusFixture::Request&, StatusFixture&) -> std::optional<std::string> {
        return std::nullopt;
    });
    LauncherRun launcher;
    HWND form = launcher.MainWindow();
    ASSERT_TRUE(form);
    ASSERT_TRUE(server.WaitForRequests(1, 12s));
    const sockaddr_in launcherPort = server.Requests().back().from;
    const size_t before = server.Requests().size();

    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        while (flooding) server.SendFromElsewhere("CCevil", launcherPort);
    });
    const auto end = Clock::now() + 10s;
    int late = 0;
    Clock::duration slowest{};
    while (Clock::now() < end) {
        const auto asked = Clock::now();
        if (!Responsive(form, 1000)) ++late;
        slowest = std::max(slowest, Clock::now() - asked);
        std::this_thread::sleep_for(100ms);
    }
    flooding = false;
    flood.join();

    EXPECT_EQ(late, 0) << "slowest answer " << std::chrono::duration_cast<std::chrono::milliseconds>(slowest).count()
                       << " ms";
    const std::vector<StatusFixture::Request> requests = server.Requests();
    ASSERT_GE(requests.size(), before + 3) << "ticks went on during the flood";
    for (size_t i = before; i < requests.size(); ++i) {
        const auto period = requests[i].at - requests[i - 1].at;
        EXPECT_GT(period, 2500ms) << "tick " << i;
        EXPECT_LT(period, 3700ms) << "tick " << i;
    }
    EXPECT_EQ(ui::Text(launcher.Control(IdStatusLabel)), text::kOffline);
}

TEST(Hostile, ServerFlappingAtEveryTick)
{
    const int ticks = Ticks("TARVIK_FLAP_TICKS", 100);
    auto served = std::make_shared<int>(0);
    StatusFixture server([served](const StatusFixture::Request&, StatusFixture&) -> std::optional<std::string> {
        return ++*served % 2 ? std::optional<std::string>("SP3.0.4") : std::nullopt;
    });
    LauncherRun::Options options;
    options.settings = SettingsText().CheminExe("C:\\Condor3").Alerte("1").Text();
    LauncherRun launcher(options);
    HWND form = launcher.MainWindow();
    ASSERT_TRUE(form);

    Footprint start{};
    int wrongState = 0, missingPauses = 0;
    for (int tick = 1; tick <= ticks; ++tick) {
        ASSERT_TRUE(server.WaitForRequests(tick, 15s)) << "tick " << tick;
        const auto at = server.Requests().back().at;
        std::this_thread::sleep_until(at + 1s);
        const bool online = tick % 2 == 1;
        // An online tick holds the thread for the alert's pause; the label
        // is read once it is free again, before the next tick.
        const std::wstring label = ui::Text(launcher.Control(IdStatusLabel), 6s);
        const bool enabled = IsWindowEnabled(launcher.Control(IdConnectButton)) != FALSE;
        if (label != (online ? text::kOnline : text::kOffline) || enabled != online) ++wrongState;
        if (online) {
            ASSERT_TRUE(server.WaitForRequests(tick + 1, 15s));
            const auto next = server.Requests()[static_cast<size_t>(tick)].at;
            if (next - at < 3300ms) ++missingPauses; // every coming online sounds the alert
        }
        if (tick == 2) start = Measure(launcher.Process());
    }
    EXPECT_EQ(wrongState, 0);
    EXPECT_EQ(missingPauses, 0);
    EXPECT_EQ(launcher.WaitForBox(100ms), nullptr);

    const Footprint end = Measure(launcher.Process());
    Report("after the second tick", start);
    Report("at the end", end);
    EXPECT_LT(end.workingSet, start.workingSet + 1024 * 1024);
    EXPECT_LE(end.handles, start.handles + 2);
    EXPECT_LE(end.gdiObjects, start.gdiObjects);
}

TEST(Hostile, HugeSettingsFilesAreReadAndNeverCutShort)
{
    struct Row {
        const char* what;
        std::string content;
    };
    SettingsText manySections = SettingsText().CheminExe("C:\\Condor3");
    for (int i = 0; i < 100000; ++i) manySections.Section("S" + std::to_string(i)).Key("k", "v");
    manySections.Alerte("1");
    SettingsText tenMegabytes = SettingsText().CheminExe("C:\\Condor3").Alerte("1").Section("BOURRE");
    while (tenMegabytes.Text().size() < 10 * 1024 * 1024)
        tenMegabytes.Key("cle" + std::to_string(tenMegabytes.Text().size()), std::string(200, 'x'));
    const Row rows[] = {{"100,000 sections", manySections.Text()}, {"10 MB", tenMegabytes.Text()}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        LauncherRun::Options options;
        options.settings = row.content;
        LauncherRun launcher(options);
        ASSERT_TRUE(launcher.MainWindow(60s));
        EXPECT_EQ(SendMessageW(launcher.Control(IdAlertBox), BM_GETCHECK, 0, 0), BST_CHECKED) << "read to its end";
        // A click rewrites the file: all of it stays. (The platform writes
        // it over in place, so wait until the rewrite is whole.)
        PostMessageW(launcher.Control(IdAlertBox), BM_CLICK, 0, 0);
        std::string written;
        EXPECT_TRUE(ui::WaitFor(
            [&] {
                std::ifstream file(launcher.SettingsFile().c_str(), std::ios::binary);
                written.assign(std::istreambuf_iterator<char>(file), {});
                return written.find("Alerte=0") != std::string::npos && written.size() + 16 >= row.content.size();
            },
            60s))
            << "cut short at " << written.size() << " bytes of " << row.content.size();
        EXPECT_NE(written.find("CheminExe=C:\\Condor3"), std::string::npos);
        EXPECT_NE(written.find(row.content.substr(row.content.size() * 9 / 10, 64)), std::string::npos)
            << "what lay far from the key is kept";
        EXPECT_EQ(launcher.WaitForBox(100ms), nullptr);
    }
}
