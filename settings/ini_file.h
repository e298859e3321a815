#pragma once
#include <string>

// The settings file, reached through the platform's private-profile
// functions at every read and write; it holds nothing but the path.
class IniFile {
public:
    explicit IniFile(std::wstring path) : path_(std::move(path)) {}
    // Asks the platform to flush its cached copy of the file.
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    const std::wstring& Path() const { return path_; }

    // At most 2047 characters of a value are read.
    std::wstring ReadString(const wchar_t* section, const wchar_t* key, const wchar_t* fallback) const;
    bool ReadBool(const wchar_t* section, const wchar_t* key, bool fallback) const;
    // Throw LauncherError "Impossible d'écrire dans <path>" when the platform fails.
    void WriteString(const wchar_t* section, const wchar_t* key, const std::wstring& value) const;
    void WriteBool(const wchar_t* section, const wchar_t* key, bool value) const;

private:
    std::wstring path_;
};

// "<AppData>\LeTarvik\LanceurTarvik\TarvikLauncher.ini", by plain
// concatenation: an empty AppData leaves the tail alone.
std::wstring SettingsPath(const std::wstring& appData);

// The environment's AppData, whole, or empty when it is not set.
std::wstring AppDataFolder();
