#include "update/updater.h"

#include <windows.h>

#include "base/files.h"
#include "base/finally.h"
#include "base/process.h"
#include "base/timer.h"
#include "update/updater_fetch.h"
#include "update/update_rules.h"
#include "update/url.h"

namespace {

constexpr wchar_t kQuestion[] =
    L"Le lanceur doit être mis à jour pour continuer.\r\nVoulez vous mettre à jour maintenant?";
constexpr wchar_t kDownloadFailed[] =
    L"La mise à jour n'a pas pu être téléchargée.\r\nRéessayez ultérieurement ou contactez le Tarvik pour plus "
    L"d'informations";

} // namespace

LeftoverUpdater::LeftoverUpdater(const std::wstring& launcherPath) : path_(UpdaterPath(launcherPath)) {}

void LeftoverUpdater::Remove()
{
    if (left_) left_ = IsExistingFile(path_) && !::DeleteFileW(path_.c_str());
}

void UpdateLauncher(const LauncherState& state, LauncherWindow& window, const std::wstring& launcherPath,
                    const UpdateSource& source)
{
    window.PollTimer().SetEnabled(false); // no tick from here on: the launcher ends below
    // Ends even when a box cannot be shown.
    Finally(
        [&] {
            if (AfterUpdateQuestion(window.Ask(kQuestion)) == UpdateStep::Quit) return;
            const std::wstring updater = UpdaterPath(launcherPath);
            if (const auto held = FetchUpdater(source.owner, source.instance, source.caption, state.lastReply.argument,
                                               updater, source.httpsOnly, source.publicKey)) {
                StartProgramOrEnd(window, updater, updater); // while a signed updater is still held
            } else {
                window.Tell(kDownloadFailed);
            }
        },
        [&] { window.Close(); });
}
