#include "app/application.h"
#include "app/dialogs.h"
#include "app/files.h"
#include "app/form1.h"
#include "app/site.h"
#include "update/updater_fetch.h"
#include "update/url.h"

namespace {

constexpr wchar_t kQuestion[] =
    L"Le lanceur doit être mis à jour pour continuer.\r\nVoulez vous mettre à jour maintenant?";
constexpr wchar_t kDownloadFailed[] =
    L"La mise à jour n'a pas pu être téléchargée.\r\nRéessayez ultérieurement ou contactez le Tarvik pour plus "
    L"d'informations";

} // namespace

void TForm1::EffacerMiseAJour()
{
    // An updater that still runs keeps its file: the next tick tries again.
    const std::wstring updater = UpdaterPath(app_.ModulePath());
    if (IsExistingFile(updater)) ::DeleteFileW(updater.c_str());
}

void TForm1::MiseAJour()
{
    Timer1.SetEnabled(false); // no tick from here on: the launcher ends below
    if (MessageDlg(app_, kQuestion) == mrNo) {
        Close();
        return;
    }
    const std::wstring updater = UpdaterPath(app_.ModulePath());
    if (const auto held = FetchUpdater(app_.ActiveOwner(), app_.Instance(), app_.Title(), State.Argument, updater,
                                       kUpdateHttpsOnly, kUpdatePublicKey)) {
        ExecNewProcess(updater, updater); // while a signed updater is still held
    } else {
        ShowMessage(app_, kDownloadFailed);
    }
    Close();
}
