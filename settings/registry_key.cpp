#include "settings/registry_key.h"

#include "base/errors.h"

namespace {

constexpr REGSAM kAccess = KEY_READ | KEY_WOW64_32KEY; // 0x20219

} // namespace

bool RegistryKey::OpenReadOnly(const std::wstring& path)
{
    // "\SOFTWARE\Condor3": the leading separator only says "from the root".
    const std::wstring relative = !path.empty() && path.front() == L'\\' ? path.substr(1) : path;
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, relative.c_str(), 0, kAccess, &opened) != ERROR_SUCCESS) return false;
    key_.reset(opened);
    return true;
}

std::wstring RegistryKey::ReadString(const wchar_t* name) const
{
    if (!key_) return {};
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key_.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw LauncherError(std::wstring(L"Type de données incorrect pour '") + name + L"'");
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    DWORD read = size;
    const LSTATUS status =
        ::RegQueryValueExW(key_.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &read);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        throw SystemError(std::wstring(L"Echec à l'obtention des données pour '") + name + L"'", "RegQueryValueExW",
                          static_cast<unsigned long>(status));
    text.resize(read / sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}
