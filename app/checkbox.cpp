#include "app/checkbox.h"

#include <utility>

void CheckBox::Attach(HWND control, std::function<void()> onClick)
{
    control_ = control;
    onClick_ = std::move(onClick);
}

bool CheckBox::Checked() const
{
    return ::SendMessageW(control_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckBox::SetChecked(bool checked)
{
    if (checked == Checked()) return;
    ::SendMessageW(control_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    Clicked();
}

void CheckBox::Clicked()
{
    if (onClick_) onClick_();
}
