#include "base/timer.h"

#include "base/errors.h"

Timer::~Timer()
{
    if (enabled_) host_.StopTimer(id_);
}

void Timer::SetEnabled(bool enabled)
{
    if (enabled == enabled_) return;
    if (enabled) {
        Start();
    } else {
        host_.StopTimer(id_);
    }
    enabled_ = enabled;
}

void Timer::SetInterval(UINT intervalMs)
{
    if (intervalMs == interval_) return;
    interval_ = intervalMs;
    if (enabled_) Start();
}

void Timer::Start()
{
    if (!host_.StartTimer(id_, interval_)) {
        enabled_ = false;
        host_.StopTimer(id_);
        throw LauncherError(L"Pas assez de timers disponibles");
    }
}
