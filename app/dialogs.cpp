#include "app/dialogs.h"

#include <windows.h>
#include <commctrl.h>

#include "app/application.h"
#include "app/errors.h"

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

    ModalScope modal;
    int pressed = IDCANCEL;
    const HRESULT result = ::TaskDialogIndirect(&config, &pressed, nullptr, nullptr);
    CheckDialogShown(result);
    return pressed;
}

} // namespace

void CheckDialogShown(HRESULT result)
{
    // A box that could not be shown must not pass for an answer.
    if (FAILED(result)) {
        wchar_t code[11];
        ::wsprintfW(code, L"0x%08X", static_cast<unsigned>(result));
        throw Erreur(std::wstring(L"Impossible d'afficher la boîte de dialogue (") + code + L")");
    }
}

void ShowMessage(const Application& app, const std::wstring& text)
{
    static constexpr TASKDIALOG_BUTTON buttons[] = {{IDOK, L"OK"}};
    RunTaskDialog(app, app.Title().c_str(), text, buttons, 1, IDOK);
}

ModalResult MessageDlg(const Application& app, const std::wstring& text)
{
    static constexpr TASKDIALOG_BUTTON buttons[] = {{mrYes, L"&Oui"}, {mrNo, L"&Non"}};
    switch (RunTaskDialog(app, L"Confirmer", text, buttons, 2, mrYes)) {
    case mrYes:
        return mrYes;
    case mrNo:
        return mrNo;
    default:
        return mrCancel;
    }
}
