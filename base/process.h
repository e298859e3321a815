#pragma once
#include <string>

class LauncherWindow;

// Starts a program from its whole command line without waiting for it;
// false when it cannot be started.
bool StartProgram(const std::wstring& commandLine, const std::wstring& programPath);

// Starts it, or tells the pilot it cannot and ends the launcher.
void StartProgramOrEnd(LauncherWindow& window, const std::wstring& commandLine, const std::wstring& programPath);
