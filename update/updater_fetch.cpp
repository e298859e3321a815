#include "update/updater_fetch.h"

#include "update/progress_dialog.h"
#include "update/signature_check.h"
#include "update/transfer.h"

namespace {

constexpr std::chrono::minutes kDeadline{10};

} // namespace

std::optional<UniqueFile> FetchUpdater(HWND owner, HINSTANCE instance, const std::wstring& caption,
                                       const std::wstring& address, const std::wstring& updaterPath, bool httpsOnly,
                                       std::string_view publicKey)
{
    UpdateTransfer transfer(address, updaterPath, httpsOnly, !publicKey.empty());
    if (!transfer.Finished()) {
        const ProgressEnd end =
            WaitWithProgress(owner, instance, caption, transfer.Progress(), transfer.Done(), kDeadline);
        if (end != ProgressEnd::Finished) {
            transfer.Cancel();
            return std::nullopt;
        }
    }
    if (!transfer.Succeeded()) return std::nullopt;
    if (publicKey.empty()) return UniqueFile();

    std::optional<UniqueFile> held =
        HoldSignedUpdater(updaterPath, transfer.Signature(), publicKey, RunningFileVersion());
    if (!held) ::DeleteFileW(updaterPath.c_str());
    return held;
}
