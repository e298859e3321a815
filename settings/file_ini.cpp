#include "settings/file_ini.h"

#include <windows.h>

#include "app/errors.h"
#include "settings/flag.h"

namespace {

constexpr DWORD kValueBuffer = 2048;

} // namespace

TIniFile::~TIniFile()
{
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, path_.c_str());
}

std::wstring TIniFile::ReadString(const wchar_t* section, const wchar_t* key, const wchar_t* fallback) const
{
    wchar_t buffer[kValueBuffer];
    const DWORD length = ::GetPrivateProfileStringW(section, key, fallback, buffer, kValueBuffer, path_.c_str());
    return std::wstring(buffer, length);
}

bool TIniFile::ReadBool(const wchar_t* section, const wchar_t* key, bool fallback) const
{
    return ParseFlag(ReadString(section, key, L"")).value_or(fallback);
}

void TIniFile::WriteString(const wchar_t* section, const wchar_t* key, const std::wstring& value) const
{
    if (!::WritePrivateProfileStringW(section, key, value.c_str(), path_.c_str()))
        throw Erreur(L"Impossible d'écrire dans " + path_);
}

void TIniFile::WriteBool(const wchar_t* section, const wchar_t* key, bool value) const
{
    WriteString(section, key, value ? L"1" : L"0");
}

std::wstring SettingsPath(const std::wstring& appData)
{
    return appData + L"\\LeTarvik\\LanceurTarvik\\TarvikLauncher.ini";
}

std::wstring AppDataFolder()
{
    const DWORD size = ::GetEnvironmentVariableW(L"AppData", nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(L"AppData", value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
}
