#pragma once
#include <windows.h>

// Where a Timer's ticks come from: the window that owns it.
class TimerHost {
public:
    virtual bool StartTimer(UINT_PTR id, UINT intervalMs) = 0; // false: refused
    virtual void StopTimer(UINT_PTR id) = 0;

protected:
    ~TimerHost() = default;
};

// A timer of the user-interface thread with an on/off flag and an interval.
// Switching it on, or changing the interval while it is on, starts the
// period afresh; setting either to the value it has changes nothing.
class Timer {
public:
    Timer(TimerHost& host, UINT_PTR id, UINT intervalMs) : host_(host), id_(id), interval_(intervalMs) {}
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer();

    UINT_PTR Id() const { return id_; }
    bool Enabled() const { return enabled_; }
    UINT Interval() const { return interval_; }

    // Throws LauncherError "Pas assez de timers disponibles" when the system refuses.
    void SetEnabled(bool enabled);
    void SetInterval(UINT intervalMs);

private:
    void Start();

    TimerHost& host_;
    UINT_PTR id_;
    UINT interval_;
    bool enabled_ = false;
};
