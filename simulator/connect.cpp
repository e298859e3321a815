#include "app/application.h"
#include "app/dialogs.h"
#include "app/form1.h"
#include "simulator/condor.h"

namespace {

constexpr UINT kRetryAfterOtherInstanceMs = 10000;
constexpr wchar_t kOtherInstance[] =
    L"Une autre instance de Condor3 est déja lancée. \r\nVeuillez la fermer avant de réessayer.";

} // namespace

void TForm1::ConnectClick(void* /*Sender*/)
{
    State.PresenceServer = false;
    if (::FindWindowW(nullptr, CondorWindowTitle(State.VersionCondor).c_str())) {
        Timer1.SetEnabled(false); // no tick inside the message
        ShowMessage(app_, kOtherInstance);
        Timer1.SetInterval(kRetryAfterOtherInstanceMs);
        Timer1.SetEnabled(true);
        return;
    }

    Envoi(L"DC");
    if (State.Commande == L"CC") {
        EtatCon.SetText(L"Connexion validée.");
        Connect.SetEnabled(false);
        ExecNewProcess(CondorCommandLine(State.Chemin, State.Argument), CondorExecutable(State.Chemin));
        Hide();
        Timer1.SetEnabled(false);
        Timer2.SetEnabled(true);
    } else {
        EtatCon.SetText(L"Le serveur ne répond pas.");
        Timer1.SetEnabled(true);
        Update();
    }
}

void TForm1::ExecNewProcess(const std::wstring& ProgramName, const std::wstring& Program)
{
    STARTUPINFOW StartInfo{};
    StartInfo.cb = sizeof StartInfo;
    UniqueProcessInformation started; // handles closed at once: never waited for
    std::wstring commandLine = ProgramName;
    // The program's path is given apart from the command line, so that a
    // path with blanks ("C:\Program Files\...") cannot start "C:\Program.exe".
    const bool CreateOK = ::CreateProcessW(Program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                           CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                                           &StartInfo, &started.info) != 0;
    if (CreateOK) return;

    Timer1.SetEnabled(false);
    ShowMessage(app_, std::wstring(L"Problème au lancement du programme\r\nFichier ") + ProgramName +
                          L" absent ou corrompu." + L"\r\n" + L"Fermeture de l'application TarvikLauncher");
    app_.Terminate();
}
