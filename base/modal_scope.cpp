#include "base/modal_scope.h"

#include <iterator>

ModalScope::ModalScope(HWND boxOwner) : boxOwner_(boxOwner), focus_(::GetFocus())
{
    ::EnumThreadWindows(::GetCurrentThreadId(), Disable, reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK ModalScope::Disable(HWND window, LPARAM self)
{
    auto* scope = reinterpret_cast<ModalScope*>(self);
    if (scope->count_ == static_cast<int>(std::size(scope->disabled_))) return FALSE;
    if (window != scope->boxOwner_ && ::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
        ::EnableWindow(window, FALSE);
        scope->disabled_[scope->count_++] = window;
    }
    return TRUE;
}

ModalScope::~ModalScope()
{
    for (int i = 0; i < count_; ++i)
        if (::IsWindow(disabled_[i])) ::EnableWindow(disabled_[i], TRUE);
    if (!focus_ || !::IsWindow(focus_)) return;
    // Only when it lost the front: a window that ends next must not flash.
    HWND window = ::GetAncestor(focus_, GA_ROOT);
    if (::GetForegroundWindow() != window) ::SetForegroundWindow(window);
    ::SetFocus(focus_);
}
