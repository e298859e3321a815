#pragma once
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/unique.h"
#include "tests/support/scratch.h"
#include "tests/support/settings_text.h"
#include "tests/support/ui.h"

// The real launcher, started as a pilot would start it, with an AppData of
// the test's own. Ended by process id when the test is done with it.
class LauncherRun {
public:
    struct Options {
        std::wstring executable;    // default: the build's Lanceur_Tarvik.exe
        std::wstring workingFolder; // default: the executable's folder
        bool settingsFolder = true; // make AppData\LeTarvik\LanceurTarvik
        // The settings file to start with; none: no file. By default one
        // that names a simulator directory, so that no first run asks.
        std::optional<std::string> settings = SettingsText().CheminExe("C:\\Condor3").Text();
        bool settingsIsFolder = false; // a folder stands where the file should be
        std::vector<std::wstring> environment; // "NAME=value", added to the test's own
    };

    LauncherRun();
    explicit LauncherRun(Options options);
    ~LauncherRun();
    LauncherRun(const LauncherRun&) = delete;
    LauncherRun& operator=(const LauncherRun&) = delete;

    DWORD ProcessId() const { return processId_; }
    HANDLE Process() const { return process_.get(); }
    const std::wstring& AppData() const { return appData_; }
    std::wstring SettingsFile() const;
    // The settings file's lines, blank ones left out.
    std::vector<std::string> SettingsLines() const;

    // The visible main window, or nullptr when none came in time.
    HWND MainWindow(ui::Duration timeout = ui::Duration(15000));
    HWND Control(int id);
    // A box of the launcher's (task dialog or message box).
    HWND WaitForBox(ui::Duration timeout = ui::Duration(10000));
    std::optional<DWORD> WaitForExit(ui::Duration timeout = ui::Duration(10000));

private:
    ScratchFolder appDataFolder_{L"appdata"};
    std::wstring appData_;
    UniqueHandle process_;
    DWORD processId_ = 0;
    HWND main_ = nullptr;
};

// Closes every window of the stand-in simulator (started as the simulator
// or as the updater) and waits for each to go.
void CloseStandins();

// ASCII text of the tests, as the files that the programs write hold it.
std::string Narrow(const std::wstring& text);

// The build's launcher as a Windows path.
std::wstring LauncherPath();
std::wstring ArtifactsPath();
std::wstring FromBuildPath(const wchar_t* path);
