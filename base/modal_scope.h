#pragma once
#include <windows.h>

// While alive, the thread's other visible windows take no input; afterwards
// they are enabled again and the focus goes back where it was.
class ModalScope {
public:
    ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
    ~ModalScope();

private:
    static BOOL CALLBACK Disable(HWND window, LPARAM self);
    HWND focus_;
    HWND disabled_[16] = {};
    int count_ = 0;
};
