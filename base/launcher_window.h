#pragma once
#include <string>
#include <string_view>

#include "base/launcher_state.h"

class Timer;

enum class Answer { Yes, No, Dismissed };

// What the subsystems may do to the main window, and the boxes they may
// open over it. Implemented by the window; tests put a fake in its place.
class LauncherWindow {
public:
    virtual void SetStatusText(const std::wstring& text) = 0;
    virtual void SetConnectEnabled(bool enabled) = 0;
    virtual void PaintNow() = 0; // what waits to be painted, before the handler goes on
    virtual void Hide() = 0;
    virtual void Show() = 0; // visible again, in front
    virtual bool Shown() const = 0;

    virtual Timer& PollTimer() = 0;
    virtual Timer& WatchTimer() = 0;

    // Information box with "OK", captioned with the application title.
    virtual void Tell(const std::wstring& text) = 0;
    // "&Oui"/"&Non" question captioned "Confirmer".
    virtual Answer Ask(const std::wstring& question) = 0;
    // The folder browser opened on `folder`; OK puts the choice in it.
    virtual bool ChooseFolder(std::wstring& folder) = 0;

    // Ends the program once the running handler returns.
    virtual void Close() = 0;
    virtual bool Closing() const = 0;

protected:
    ~LauncherWindow() = default;
};

// One request to the status server and its reply; blocks up to the reply wait.
class StatusExchange {
public:
    virtual Reply Exchange(std::wstring_view request) = 0;

protected:
    ~StatusExchange() = default;
};
