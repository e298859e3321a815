#include "app/dialogs.h"

#include <windows.h>
#include <commctrl.h>

#include "app/application.h"
#include "base/errors.h"
#include "base/modal_scope.h"
#include "base/task_dialog.h"
#include "base/launcher_window.h"

namespace {

HRESULT CALLBACK CentreOnCreation(HWND dialog, UINT notification, WPARAM, LPARAM, LONG_PTR owner)
{
    if (notification != TDN_CREATED) return S_OK;
    HWND ownerWindow = reinterpret_cast<HWND>(owner);
    HMONITOR monitor = ownerWindow && ::IsWindowVisible(ownerWindow)
                           ? ::MonitorFromWindow(ownerWindow, MONITOR_DEFAULTTOPRIMARY)
                           : ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    RECT frame;
    if (::GetMonitorInfoW(monitor, &info) && ::GetWindowRect(dialog, &frame)) {
        const RECT& work = info.rcWork;
        const int left = work.left + ((work.right - work.left) - (frame.right - frame.left)) / 2;
        const int top = work.top + ((work.bottom - work.top) - (frame.bottom - frame.top)) / 2;
        ::SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return S_OK;
}

int RunTaskDialog(const Application& app, const wchar_t* caption, const std::wstring& text,
                  const TASKDIALOG_BUTTON* buttons, UINT count, int defaultButton)
{
    HWND owner = app.ActiveOwner();
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.hInstance = app.Instance();
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;
    config.pszWindowTitle = caption;
    config.pszContent = text.c_str();
    config.cButtons = count;
    config.pButtons = buttons;
    config.nDefaultButton = defaultButton;
    config.pfCallback = CentreOnCreation;
    config.lpCallbackData = reinterpret_cast<LONG_PTR>(owner);

    ModalScope modal(owner);
    int pressed = IDCANCEL;
    const HRESULT result = ::TaskDialogIndirect(&config, &pressed, nullptr, nullptr);
    CheckDialogShown(result);
    return pressed;
}

} // namespace

void ShowInformation(const Application& app, const std::wstring& text)
{
    static constexpr TASKDIALOG_BUTTON buttons[] = {{IDOK, L"OK"}};
    RunTaskDialog(app, app.Title().c_str(), text, buttons, 1, IDOK);
}

Answer AskYesNo(const Application& app, const std::wstring& text)
{
    static constexpr TASKDIALOG_BUTTON buttons[] = {{IDYES, L"&Oui"}, {IDNO, L"&Non"}};
    switch (RunTaskDialog(app, L"Confirmer", text, buttons, 2, IDYES)) {
    case IDYES:
        return Answer::Yes;
    case IDNO:
        return Answer::No;
    default:
        return Answer::Dismissed;
    }
}
