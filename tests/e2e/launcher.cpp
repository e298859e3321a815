#include "tests/e2e/launcher.h"

#include <fstream>
#include <stdexcept>
#include <string>

#include "tests/support/texts.h"

namespace {

std::wstring Folder(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L'\\'));
}

// The test's own environment with AppData replaced: Wine would override an
// AppData taken from the Unix side, but not one given to CreateProcessW.
std::wstring EnvironmentWithAppData(const std::wstring& appData, const std::vector<std::wstring>& added)
{
    std::wstring block;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
        if (_wcsnicmp(entry, L"APPDATA=", 8) == 0) continue;
        block.append(entry).push_back(L'\0');
    }
    FreeEnvironmentStringsW(strings);
    block.append(L"APPDATA=").append(appData).push_back(L'\0');
    for (const std::wstring& entry : added) block.append(entry).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

} // namespace

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t c : text) narrow.push_back(static_cast<char>(c));
    return narrow;
}

std::wstring FromBuildPath(const wchar_t* path)
{
    std::wstring windows = path;
    for (auto& c : windows)
        if (c == L'/') c = L'\\';
    return windows;
}

std::wstring LauncherPath()
{
    return FromBuildPath(TARVIK_LAUNCHER_PATH);
}

std::wstring ArtifactsPath()
{
    return FromBuildPath(TARVIK_ARTIFACTS_PATH);
}

void CloseStandins()
{
    HWND window;
    while ((window = FindWindowW(window_class::kStandin, nullptr))) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        ui::WaitFor([window] { return !IsWindow(window); }, ui::Duration(3000));
    }
}

LauncherRun::LauncherRun() : LauncherRun(Options{}) {}

LauncherRun::LauncherRun(Options options)
{
    const std::wstring executable = options.executable.empty() ? LauncherPath() : options.executable;
    appData_ = appDataFolder_.Path();
    if (options.settingsFolder) {
        CreateDirectoryW((appData_ + L"\\LeTarvik").c_str(), nullptr);
        CreateDirectoryW((appData_ + L"\\LeTarvik\\LanceurTarvik").c_str(), nullptr);
        if (options.settingsIsFolder) {
            CreateDirectoryW(SettingsFile().c_str(), nullptr);
        } else if (options.settings) {
            std::ofstream(SettingsFile().c_str(), std::ios::binary) << *options.settings;
        }
    }
    const std::wstring working = options.workingFolder.empty() ? Folder(executable) : options.workingFolder;
    std::wstring environment = EnvironmentWithAppData(appData_, options.environment);
    std::wstring commandLine = L"\"" + executable + L"\"";

    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION info{};
    auto start = [&] {
        return CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                              CREATE_UNICODE_ENVIRONMENT, environment.data(), working.c_str(), &startup, &info);
    };
    // On a loaded machine Wine's start of a process may fail inside Wine,
    // before any of the launcher runs: that is worth one more try.
    bool started = start();
    if (!started && GetLastError() == ERROR_INTERNAL_ERROR) {
        Sleep(500);
        started = start();
    }
    if (!started)
        throw std::runtime_error("the launcher could not be started: CreateProcessW error " +
                                 std::to_string(GetLastError()));
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    processId_ = info.dwProcessId;
}

LauncherRun::~LauncherRun()
{
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 5000);
    }
}

std::wstring LauncherRun::SettingsFile() const
{
    return appData_ + L"\\LeTarvik\\LanceurTarvik\\TarvikLauncher.ini";
}

std::vector<std::string> LauncherRun::SettingsLines() const
{
    std::vector<std::string> lines;
    std::ifstream file(SettingsFile().c_str(), std::ios::binary);
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

HWND LauncherRun::MainWindow(ui::Duration timeout)
{
    if (!main_ || !IsWindow(main_)) main_ = ui::WaitForWindow(processId_, window_class::kMain, timeout);
    return main_;
}

HWND LauncherRun::Control(int id)
{
    return GetDlgItem(MainWindow(), id);
}

HWND LauncherRun::WaitForBox(ui::Duration timeout)
{
    return ui::WaitForWindow(processId_, window_class::kBox, timeout);
}

std::optional<DWORD> LauncherRun::WaitForExit(ui::Duration timeout)
{
    if (WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}
