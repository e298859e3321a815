#pragma once
#include <string>
#include <vector>

inline constexpr wchar_t kSimulatorSection[] = L"CONDOR 3";
inline constexpr wchar_t kLauncherSection[] = L"LAUNCHER";
// The simulator's folder until the first run has stored one.
inline constexpr wchar_t kNotStoredYet[] = L"VIDE";

struct SettingEntry {
    const wchar_t* section;
    const wchar_t* key;
    std::wstring value;
};

// What the first run writes: the simulator's folder, and the options off.
// Nothing when the program is ending meanwhile (a tick ended it while a
// first-run box was open): the boxes were closed unanswered, and the next
// start must ask again.
std::vector<SettingEntry> FirstRunEntries(const std::wstring& simulatorFolder, bool programEnding);
