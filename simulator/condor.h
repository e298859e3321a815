#pragma once
#include <string>

// Where the launcher meets Condor 3: the only place that knows these four.

// Registry of the current user, 32-bit view: the installation directory.
inline constexpr wchar_t kCondorKey[] = L"\\SOFTWARE\\Condor3";
inline constexpr wchar_t kInstallDirValue[] = L"InstallDir";

// "C:\Condor3" -> "C:\Condor3\Condor.exe"
std::wstring CondorExecutable(const std::wstring& folder);

// "C:\Condor3", "abc" -> "C:\Condor3\Condor.exe cndr3:abc"; nothing quoted.
std::wstring CondorCommandLine(const std::wstring& folder, const std::wstring& argument);

// "3.0.4" -> "Condor version 3.0.4", the title of the simulator's window.
std::wstring CondorWindowTitle(const std::wstring& simulatorVersion);
