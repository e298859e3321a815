#include "app/application.h"
#include "base/errors.h"
#include "base/modal_scope.h"

void Application::HandleException() noexcept
{
    const std::exception_ptr error = std::current_exception();
    ::ReleaseCapture();
    const std::wstring text = WithFullStop(ChooseMessage(MessageChain(error)));
    // One box at a time: ticks are held while it is open (the main window skips them),
    // so a failure that repeats at every tick shows one box, not a pile.
    if (showingError_) return;
    showingError_ = true;
    {
        HWND owner = ActiveOwner();
        ModalScope modal(owner);
        ::MessageBoxW(owner, text.c_str(), title_.c_str(), MB_OK | MB_ICONSTOP);
    }
    showingError_ = false;
}
