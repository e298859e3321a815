#pragma once
#include <windows.h>

#include <functional>

// A check box whose click handler runs whenever its state changes: by the
// pilot, or from code when the new state differs from the current one.
class CheckBox {
public:
    void Attach(HWND control, std::function<void()> onClick);
    HWND Handle() const { return control_; }

    bool Checked() const;
    void SetChecked(bool checked);

    // The control toggled itself (click or Space): run the handler.
    void Clicked();

private:
    HWND control_ = nullptr;
    std::function<void()> onClick_;
};
