#include "base/process.h"

#include <windows.h>

#include "base/launcher_window.h"
#include "base/finally.h"
#include "base/timer.h"
#include "base/unique.h"

bool StartProgram(const std::wstring& commandLine, const std::wstring& programPath)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    UniqueProcessInformation started; // handles closed at once: never waited for
    std::wstring writableCommandLine = commandLine;
    // The program's path is given apart from the command line, so that a
    // path with blanks ("C:\Program Files\...") cannot start "C:\Program.exe".
    return ::CreateProcessW(programPath.c_str(), writableCommandLine.data(), nullptr, nullptr, FALSE,
                            CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                            &started.info) != 0;
}

void StartProgramOrEnd(LauncherWindow& window, const std::wstring& commandLine, const std::wstring& programPath)
{
    if (StartProgram(commandLine, programPath)) return;
    window.PollTimer().SetEnabled(false);
    // Ends even when the box cannot be shown.
    Finally([&] { window.Tell(L"Problème au lancement du programme\r\nFichier " + commandLine +
                              L" absent ou corrompu.\r\nFermeture de l'application TarvikLauncher"); },
            [&] { window.Close(); });
}
