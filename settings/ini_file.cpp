#include "settings/ini_file.h"

#include <windows.h>

#include "base/errors.h"
#include "settings/flag.h"

namespace {

constexpr DWORD kValueBuffer = 2048;

} // namespace

IniFile::~IniFile()
{
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, path_.c_str());
}

std::wstring IniFile::ReadString(const wchar_t* section, const wchar_t* key, const wchar_t* fallback) const
{
    wchar_t buffer[kValueBuffer];
    const DWORD length = ::GetPrivateProfileStringW(section, key, fallback, buffer, kValueBuffer, path_.c_str());
    return std::wstring(buffer, length);
}

bool IniFile::ReadBool(const wchar_t* section, const wchar_t* key, bool fallback) const
{
    return ParseFlag(ReadString(section, key, L"")).value_or(fallback);
}

void IniFile::WriteString(const wchar_t* section, const wchar_t* key, const std::wstring& value) const
{
    if (!::WritePrivateProfileStringW(section, key, value.c_str(), path_.c_str()))
        throw SystemError(L"Impossible d'écrire dans " + path_, "WritePrivateProfileStringW", ::GetLastError());
}

void IniFile::WriteBool(const wchar_t* section, const wchar_t* key, bool value) const
{
    WriteString(section, key, FlagText(value));
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
