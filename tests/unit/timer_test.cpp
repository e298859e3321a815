#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/errors.h"
#include "base/timer.h"

namespace {

// Records what the timer asks of its window.
class RecordingHost : public TimerHost {
public:
    std::vector<std::string> calls;
    bool refuse = false;

    bool StartTimer(UINT_PTR id, UINT intervalMs) override
    {
        calls.push_back("start " + std::to_string(id) + " " + std::to_string(intervalMs));
        return !refuse;
    }
    void StopTimer(UINT_PTR id) override { calls.push_back("stop " + std::to_string(id)); }
};

using Calls = std::vector<std::string>;

} // namespace

TEST(Timer, OnOffAndIntervalRestartThePeriodOnlyWhenTheyChange)
{
    RecordingHost host;
    Timer timer(host, 1, 3000);
    EXPECT_FALSE(timer.Enabled());

    timer.SetEnabled(true);
    timer.SetEnabled(true);      // already on: the period runs on
    timer.SetInterval(3000);     // same interval: nothing restarts
    timer.SetInterval(10000);    // another interval while on: restarts
    timer.SetEnabled(false);
    timer.SetEnabled(false);     // already off
    timer.SetInterval(3000);     // off: remembered, nothing started
    timer.SetEnabled(true);

    EXPECT_EQ(host.calls, (Calls{"start 1 3000", "start 1 10000", "stop 1", "start 1 3000"}));
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 3000u);
}

TEST(Timer, RefusedTimerRaisesAndStaysOff)
{
    RecordingHost host;
    host.refuse = true;
    Timer timer(host, 2, 3000);
    try {
        timer.SetEnabled(true);
        FAIL() << "no error";
    } catch (const LauncherError& e) {
        EXPECT_EQ(e.Message(), L"Pas assez de timers disponibles");
    }
    EXPECT_FALSE(timer.Enabled());
    host.refuse = false;
    timer.SetEnabled(true);
    EXPECT_TRUE(timer.Enabled());
}

TEST(Timer, StopsItsWindowTimerWhenDestroyedOn)
{
    RecordingHost host;
    {
        Timer timer(host, 3, 500);
        timer.SetEnabled(true);
    }
    EXPECT_EQ(host.calls, (Calls{"start 3 500", "stop 3"}));
}
