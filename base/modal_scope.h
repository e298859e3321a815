#pragma once
#include <windows.h>

// While alive, the thread's other visible windows take no input; afterwards
// they are enabled again and the focus goes back where it was, with its
// window in front if it was in front before. The owner of the box to come
// is left to the box itself, which disables it while open and enables it
// again before it goes away, as Windows' dialogs do: enabled only after the
// box was gone, the owner could not take the activation back and another
// program's window would come in front.
class ModalScope {
public:
    explicit ModalScope(HWND boxOwner = nullptr);
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
    ~ModalScope();

private:
    static BOOL CALLBACK Disable(HWND window, LPARAM self);
    HWND boxOwner_;
    HWND focus_;
    HWND disabled_[16] = {};
    int count_ = 0;
};
