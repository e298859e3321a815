#pragma once
#include <windows.h>

// Keeps the current and the program's folder out of the DLL search from
// here on, as far as the system allows.
void RestrictDllSearch();

// A DLL from the system folder only, never a copy planted beside the
// program; null when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

// A function that older systems may lack, resolved at run time so that the
// loader never refuses the program for it; null when absent.
template <class Function>
Function* SystemFunction(const wchar_t* module, const char* name)
{
    HMODULE loaded = ::GetModuleHandleW(module);
    return loaded ? reinterpret_cast<Function*>(reinterpret_cast<void*>(::GetProcAddress(loaded, name))) : nullptr;
}
