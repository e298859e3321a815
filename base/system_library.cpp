#include "base/system_library.h"

#include <string>

void RestrictDllSearch()
{
    // Windows 8, or 7 and Vista with KB2533623: the system folder only.
    using SetDefault = BOOL WINAPI(DWORD);
    if (auto* setDefault = SystemFunction<SetDefault>(L"kernel32.dll", "SetDefaultDllDirectories"))
        if (setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    // Older: at least the current folder goes.
    ::SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* name)
{
    if (HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
    // Without the safe search the flag is refused: name the system folder.
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(folder, length) + L"\\" + name;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
