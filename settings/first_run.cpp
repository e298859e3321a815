#include "settings/first_run.h"

#include "settings/flag.h"

std::vector<SettingEntry> FirstRunEntries(const std::wstring& simulatorFolder, bool programEnding)
{
    if (programEnding) return {};
    return {
        {kSimulatorSection, L"CheminExe", simulatorFolder},
        {kLauncherSection, L"Update", L"no"},
        // The file only: this run keeps the options it read.
        {kLauncherSection, L"Alerte", FlagText(false)},
        {kLauncherSection, L"AutoConnect", FlagText(false)},
    };
}
