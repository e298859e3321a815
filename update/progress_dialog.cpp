#include "update/progress_dialog.h"

#include <commctrl.h>

#include "base/modal_scope.h"
#include "base/task_dialog.h"

namespace {

constexpr wchar_t kDownloading[] = L"Téléchargement de la mise à jour…";
constexpr int kBarSteps = 1000;
// A download done within this does not flash a dialog.
constexpr DWORD kQuietMs = 1000;

struct Watch {
    const DownloadProgress& progress;
    HANDLE done;
    ULONGLONG deadline;
    bool marquee = true;
    ProgressEnd end = ProgressEnd::Cancelled; // unless the timer ends it otherwise
};

void ShowProgress(HWND dialog, Watch& watch)
{
    const std::uint64_t announced = watch.progress.announced;
    const bool marquee = announced == 0;
    if (marquee != watch.marquee) {
        ::SendMessageW(dialog, TDM_SET_MARQUEE_PROGRESS_BAR, marquee, 0);
        if (marquee) {
            ::SendMessageW(dialog, TDM_SET_PROGRESS_BAR_MARQUEE, TRUE, 30);
        } else {
            ::SendMessageW(dialog, TDM_SET_PROGRESS_BAR_RANGE, 0, MAKELPARAM(0, kBarSteps));
        }
        watch.marquee = marquee;
    }
    if (!marquee) {
        const std::uint64_t received = std::min<std::uint64_t>(watch.progress.received, announced);
        ::SendMessageW(dialog, TDM_SET_PROGRESS_BAR_POS, static_cast<WPARAM>(received * kBarSteps / announced), 0);
    }
}

// Runs inside the dialog's loop: nothing here throws.
HRESULT CALLBACK OnNotification(HWND dialog, UINT notification, WPARAM, LPARAM, LONG_PTR data) noexcept
{
    Watch& watch = *reinterpret_cast<Watch*>(data);
    switch (notification) {
    case TDN_CREATED:
        ::SendMessageW(dialog, TDM_SET_PROGRESS_BAR_MARQUEE, TRUE, 30);
        ShowProgress(dialog, watch);
        break;
    case TDN_TIMER:
        if (::WaitForSingleObject(watch.done, 0) == WAIT_OBJECT_0) {
            watch.end = ProgressEnd::Finished;
        } else if (::GetTickCount64() >= watch.deadline) {
            watch.end = ProgressEnd::TimedOut;
        } else {
            ShowProgress(dialog, watch);
            break;
        }
        ::SendMessageW(dialog, TDM_CLICK_BUTTON, IDCANCEL, 0);
        break;
    }
    return S_OK;
}

// Handles the thread's messages until `done` is signalled (true) or the
// time is up; a request to end the program ends the wait too.
bool HandleMessagesUntil(HANDLE done, DWORD timeoutMs)
{
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now >= end ? 0 : static_cast<DWORD>(end - now);
        const DWORD woken = ::MsgWaitForMultipleObjectsEx(1, &done, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0) return true;
        if (woken != WAIT_OBJECT_0 + 1) return false;
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(message.wParam)); // for the loop that owns it
                return false;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

} // namespace

ProgressEnd WaitWithProgress(HWND owner, HINSTANCE instance, const std::wstring& caption,
                             const DownloadProgress& progress, HANDLE done, std::chrono::milliseconds deadline)
{
    const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(deadline.count());
    {
        ModalScope quiet;
        if (HandleMessagesUntil(done, kQuietMs)) return ProgressEnd::Finished;
    }
    ModalScope modal(owner);

    static constexpr TASKDIALOG_BUTTON buttons[] = {{IDCANCEL, L"Annuler"}};
    Watch watch{progress, done, end};
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.hInstance = instance;
    // Closing the dialog is "Annuler".
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_SHOW_MARQUEE_PROGRESS_BAR | TDF_CALLBACK_TIMER;
    config.pszWindowTitle = caption.c_str();
    config.pszContent = kDownloading;
    config.cButtons = 1;
    config.pButtons = buttons;
    config.nDefaultButton = IDCANCEL;
    config.pfCallback = OnNotification;
    config.lpCallbackData = reinterpret_cast<LONG_PTR>(&watch);

    CheckDialogShown(::TaskDialogIndirect(&config, nullptr, nullptr, nullptr));
    return watch.end;
}
