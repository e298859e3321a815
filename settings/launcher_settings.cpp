#include "settings/launcher_settings.h"

#include "base/files.h"
#include "settings/first_run.h"
#include "settings/registry_key.h"
#include "simulator/condor.h"

namespace {

constexpr wchar_t kSimulatorNotFound[] =
    L"Chemin vers Condor.exe non trouvé\r\nVeuillez sélectionner manuellement le répertoire\r\n"
    L"d'intallation de Condor3";

// Every writer opens the file on a freshly built path of its own: a poll
// tick that closes the window while the first run waits in a box releases
// the window's copy, and the first run still has its settings to write.
IniFile OpenSettings()
{
    return IniFile(SettingsPath(AppDataFolder()));
}

} // namespace

void ReadSettings(const IniFile& settings, LauncherState& state)
{
    state.simulatorFolder = settings.ReadString(kSimulatorSection, L"CheminExe", kNotStoredYet);
    state.alertOn = settings.ReadBool(kLauncherSection, L"Alerte", false);
    state.autoConnectOn = settings.ReadBool(kLauncherSection, L"AutoConnect", false);
}

bool IsFirstRun(const LauncherState& state)
{
    return state.simulatorFolder == kNotStoredYet;
}

void LocateSimulator(LauncherState& state, LauncherWindow& window)
{
    RegistryKey registered;
    registered.OpenReadOnly(kCondorKey);
    state.simulatorFolder = registered.ReadString(kInstallDirValue);
    if (!IsExistingFile(CondorExecutable(state.simulatorFolder))) {
        window.Tell(kSimulatorNotFound);
        if (!window.Closing()) window.ChooseFolder(state.simulatorFolder);
    }
    const IniFile settings = OpenSettings();
    for (const SettingEntry& entry : FirstRunEntries(state.simulatorFolder, window.Closing()))
        settings.WriteString(entry.section, entry.key, entry.value);
}

void StoreAlert(bool on)
{
    OpenSettings().WriteBool(kLauncherSection, L"Alerte", on);
}

void StoreAutoConnect(bool on)
{
    OpenSettings().WriteBool(kLauncherSection, L"AutoConnect", on);
}
