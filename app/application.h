#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "base/unique.h"

// The program as a whole: its title, the hidden window that owns boxes
// when no launcher window is active, the event loop and the top-level
// error reporting.
class Application {
public:
    explicit Application(HINSTANCE instance);

    HINSTANCE Instance() const { return instance_; }
    const std::wstring& Title() const { return title_; }
    const std::wstring& ModulePath() const { return modulePath_; }

    // The launcher window that is active, or the hidden owner when none is:
    // a box owned by it has no taskbar button of its own.
    HWND ActiveOwner() const;
    // Never shown; owns the boxes of the program as a whole. Made when the
    // first box needs it: most runs show none before the window.
    HWND HiddenOwner() const;

    // Requests the end of the program: the running handler goes on to its
    // end, then no further input or tick is handled.
    void Terminate();
    bool Terminated() const { return terminated_; }

    // Runs until Terminate; every message is dispatched inside the guard,
    // and first shown to preview.
    void Run(HWND mainWindow, const std::function<void(const MSG&)>& preview);

    // Shows the error being handled (call from a catch block). At most one
    // error box is open at a time.
    void HandleException() noexcept;
    bool ShowingError() const { return showingError_; }

private:
    HINSTANCE instance_;
    std::wstring modulePath_;
    std::wstring title_;
    mutable UniqueWindow hiddenOwner_;
    bool terminated_ = false;
    bool showingError_ = false;
};
