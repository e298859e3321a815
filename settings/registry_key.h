#pragma once
#include <windows.h>

#include <string>

#include "base/unique.h"

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::RegCloseKey(h); }
};
using UniqueKey = Unique<RegKeyTraits>;

// Read-only access to one key of the current user's registry, in the
// 32-bit view, for the first run.
class RegistryKey {
public:
    // Opens the key without creating it; false when it cannot be opened.
    bool OpenReadOnly(const std::wstring& path);
    // A text value up to its first NUL; empty when the key or the value is
    // missing. Throws LauncherError for a value of another type.
    std::wstring ReadString(const wchar_t* name) const;

private:
    UniqueKey key_;
};
