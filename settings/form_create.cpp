#include "app/dialogs.h"
#include "app/files.h"
#include "app/form1.h"
#include "settings/file_ini.h"
#include "settings/folder_chooser.h"
#include "settings/registre.h"
#include "simulator/condor.h"

namespace {

constexpr wchar_t kCondorSection[] = L"CONDOR 3";
constexpr wchar_t kLauncherSection[] = L"LAUNCHER";
constexpr wchar_t kNotStoredYet[] = L"VIDE";
constexpr wchar_t kCondorNotFound[] =
    L"Chemin vers Condor.exe non trouvé\r\nVeuillez sélectionner manuellement le répertoire\r\n"
    L"d'intallation de Condor3";

// Every writer opens the file on a freshly built path of its own: a poll
// tick that closes the window while FormCreate waits in a first-run dialog
// releases FileIni, and FormCreate still has its settings to write.
TIniFile OpenSettings()
{
    return TIniFile(SettingsPath(AppDataFolder()));
}

} // namespace

void TForm1::FormCreate(void* /*Sender*/)
{
    State.PresenceServer = false;
    FileIni.emplace(SettingsPath(AppDataFolder()));
    State.Chemin = FileIni->ReadString(kCondorSection, L"CheminExe", kNotStoredYet);
    State.Alerte = FileIni->ReadBool(kLauncherSection, L"Alerte", false);
    State.AutoConnect = FileIni->ReadBool(kLauncherSection, L"AutoConnect", false);
    // Checking a box runs its click handler, which writes the value back.
    CheckBox1.SetChecked(State.Alerte);
    CheckBox2.SetChecked(State.AutoConnect);
    if (State.Chemin == kNotStoredYet) LocateSimulator();
}

void TForm1::LocateSimulator()
{
    TRegistry Registre;
    Registre.OpenKeyReadOnly(kCondorKey);
    State.Chemin = Registre.ReadString(kInstallDirValue);
    if (!IsExistingFile(CondorExecutable(State.Chemin))) {
        ShowMessage(app_, kCondorNotFound);
        ChooseFolder(app_, State.Chemin);
    }
    const TIniFile settings = OpenSettings();
    settings.WriteString(kCondorSection, L"CheminExe", State.Chemin);
    settings.WriteString(kLauncherSection, L"Update", L"no");
    // The file only: this run keeps the options it read.
    settings.WriteBool(kLauncherSection, L"Alerte", false);
    settings.WriteBool(kLauncherSection, L"AutoConnect", false);
}

void TForm1::CheckBox1Click(void* /*Sender*/)
{
    State.Alerte = CheckBox1.Checked();
    OpenSettings().WriteBool(kLauncherSection, L"Alerte", State.Alerte);
}

void TForm1::CheckBox2Click(void* /*Sender*/)
{
    State.AutoConnect = CheckBox2.Checked();
    OpenSettings().WriteBool(kLauncherSection, L"AutoConnect", State.AutoConnect);
}
