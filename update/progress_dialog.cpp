#include "update/progress_dialog.h"

#include <commctrl.h>

#include "app/application.h"
#include "app/dialogs.h"

namespace {

constexpr wchar_t kDownloading[] = L"Téléchargement de la mise à jour…";
constexpr int kBarSteps = 1000;

struct Watch {
    const DownloadProgress& progress;
    const std::function<bool()>& finished;
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
        break;
    case TDN_TIMER:
        if (watch.finished()) {
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

} // namespace

ProgressEnd ShowDownloadProgress(HWND owner, HINSTANCE instance, const std::wstring& caption,
                                 const DownloadProgress& progress, const std::function<bool()>& finished,
                                 std::chrono::milliseconds deadline)
{
    static constexpr TASKDIALOG_BUTTON buttons[] = {{IDCANCEL, L"Annuler"}};
    Watch watch{progress, finished, ::GetTickCount64() + static_cast<ULONGLONG>(deadline.count())};
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

    ModalScope modal;
    CheckDialogShown(::TaskDialogIndirect(&config, nullptr, nullptr, nullptr));
    return watch.end;
}
