// Reads and follows a shortcut made by the installer, for the installer's
// test under Wine.
//
//   shortcut_probe show <lnk>
//       prints "target=", "workdir=" and "arguments=" lines (UTF-8)
//   shortcut_probe open <lnk> [program [arguments...]]
//       starts the target in the shortcut's working folder, as the shell
//       does; fails when alerte.wav is not in that folder, when the launcher
//       shows any window but its main one, or when it does not end with 0
//       once closed. A program given is started while the launcher is open
//       and must still be running when the launcher closes (an installer
//       waiting for it), then end with 0.
#include <windows.h>
#include <objbase.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kOpenMs = 2000;
constexpr DWORD kCloseTimeoutMs = 15000;
constexpr DWORD kProgramTimeoutMs = 120000;

std::string Utf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size, nullptr,
                        nullptr);
    return out;
}

int Fail(const std::wstring& message)
{
    std::fprintf(stderr, "shortcut_probe: %s\n", Utf8(message).c_str());
    return 1;
}

struct Shortcut {
    std::wstring target;
    std::wstring workdir;
    std::wstring arguments;
};

bool ReadShortcut(const wchar_t* path, Shortcut& out)
{
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* file = nullptr;
    bool read = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                SUCCEEDED(file->Load(path, STGM_READ));
    if (read) {
        wchar_t buffer[MAX_PATH * 2] = {};
        // Raw: the path as stored, not resolved against what exists now.
        read = SUCCEEDED(link->GetPath(buffer, MAX_PATH * 2, nullptr, SLGP_RAWPATH));
        out.target = buffer;
        buffer[0] = L'\0';
        read = read && SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH * 2));
        out.workdir = buffer;
        buffer[0] = L'\0';
        read = read && SUCCEEDED(link->GetArguments(buffer, MAX_PATH * 2));
        out.arguments = buffer;
    }
    if (file) file->Release();
    link->Release();
    return read;
}

std::wstring Quoted(const std::wstring& text)
{
    return L"\"" + text + L"\"";
}

struct Child {
    PROCESS_INFORMATION info{};

    bool Start(const std::wstring& program, std::wstring commandLine, const wchar_t* folder)
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        return CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder,
                              &startup, &info) != 0;
    }
    bool Ended(DWORD waitMs) const { return WaitForSingleObject(info.hProcess, waitMs) == WAIT_OBJECT_0; }
    DWORD ExitCode() const
    {
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        return code;
    }
    ~Child()
    {
        if (!info.hProcess) return;
        // Nothing the probe started outlives it, on a failure too.
        if (!Ended(0)) TerminateProcess(info.hProcess, 255);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
};

struct Windows {
    DWORD process = 0;
    HWND main = nullptr;
    std::vector<HWND> others;
};

BOOL CALLBACK Collect(HWND window, LPARAM context)
{
    auto& found = *reinterpret_cast<Windows*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != found.process || !IsWindowVisible(window)) return TRUE;
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    const std::wstring name = className;
    if (name == L"TForm1")
        found.main = window;
    else if (name != TOOLTIPS_CLASSW) // a hint under the pointer is no dialog
        found.others.push_back(window);
    return TRUE;
}

Windows VisibleWindows(DWORD process)
{
    Windows found;
    found.process = process;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&found));
    return found;
}

BOOL CALLBACK AppendText(HWND window, LPARAM context)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    if (text[0]) reinterpret_cast<std::wstring*>(context)->append(L" | ").append(text);
    return TRUE;
}

// A dialog's caption and the texts inside it: what the pilot would have read.
std::wstring Describe(HWND window)
{
    wchar_t caption[256] = {};
    GetWindowTextW(window, caption, 256);
    std::wstring text = L"\"" + std::wstring(caption) + L"\"";
    EnumChildWindows(window, AppendText, reinterpret_cast<LPARAM>(&text));
    return text;
}

// Watches the launcher for up to waitMs; fails on any window beside its main
// one. Returns false with the reason in `failure`.
bool Watch(const Child& launcher, DWORD waitMs, bool needMain, HWND& main, std::wstring& failure)
{
    const ULONGLONG deadline = GetTickCount64() + waitMs;
    for (;;) {
        const Windows found = VisibleWindows(launcher.info.dwProcessId);
        if (!found.others.empty()) {
            failure = L"the launcher shows a window besides its own: " + Describe(found.others.front());
            return false;
        }
        if (found.main) main = found.main;
        if (launcher.Ended(0)) {
            failure = L"the launcher ended by itself with exit code " + std::to_wstring(launcher.ExitCode());
            return false;
        }
        if (main && needMain) return true;
        if (GetTickCount64() >= deadline) {
            if (needMain) failure = L"no launcher window after " + std::to_wstring(waitMs / 1000) + L" s";
            return !needMain;
        }
        Sleep(100);
    }
}

int Show(const wchar_t* path)
{
    Shortcut shortcut;
    if (!ReadShortcut(path, shortcut)) return Fail(L"cannot read the shortcut " + std::wstring(path));
    std::printf("target=%s\nworkdir=%s\narguments=%s\n", Utf8(shortcut.target).c_str(),
                Utf8(shortcut.workdir).c_str(), Utf8(shortcut.arguments).c_str());
    return 0;
}

int Open(const wchar_t* path, int programArgc, wchar_t** programArgv)
{
    Shortcut shortcut;
    if (!ReadShortcut(path, shortcut)) return Fail(L"cannot read the shortcut " + std::wstring(path));
    if (shortcut.workdir.empty()) return Fail(L"the shortcut has no working folder");
    // Played by its bare name: it must be in the folder the launcher starts in.
    const std::wstring sound = shortcut.workdir + L"\\alerte.wav";
    if (GetFileAttributesW(sound.c_str()) == INVALID_FILE_ATTRIBUTES) return Fail(sound + L" is missing");

    Child launcher;
    std::wstring commandLine = Quoted(shortcut.target);
    if (!shortcut.arguments.empty()) commandLine += L" " + shortcut.arguments;
    if (!launcher.Start(shortcut.target, commandLine, shortcut.workdir.c_str()))
        return Fail(L"cannot start " + shortcut.target + L" (error " + std::to_wstring(GetLastError()) + L")");

    HWND main = nullptr;
    std::wstring failure;
    if (!Watch(launcher, kStartTimeoutMs, true, main, failure)) return Fail(failure);

    Child program;
    if (programArgc > 0) {
        std::wstring programLine = Quoted(programArgv[0]);
        for (int i = 1; i < programArgc; ++i) programLine += L" " + std::wstring(programArgv[i]);
        if (!program.Start(programArgv[0], programLine, nullptr))
            return Fail(L"cannot start " + std::wstring(programArgv[0]));
    }
    if (!Watch(launcher, kOpenMs, false, main, failure)) return Fail(failure);
    if (programArgc > 0 && program.Ended(0))
        return Fail(L"the program ended while the launcher was open, with exit code " +
                    std::to_wstring(program.ExitCode()));

    PostMessageW(main, WM_CLOSE, 0, 0);
    if (!launcher.Ended(kCloseTimeoutMs)) return Fail(L"the launcher did not end once closed");
    if (launcher.ExitCode() != 0)
        return Fail(L"the launcher ended with exit code " + std::to_wstring(launcher.ExitCode()));

    if (programArgc > 0) {
        if (!program.Ended(kProgramTimeoutMs)) return Fail(L"the program did not end after the launcher closed");
        if (program.ExitCode() != 0)
            return Fail(L"the program ended with exit code " + std::to_wstring(program.ExitCode()));
    }
    std::printf("launcher started in %s and closed with exit code 0\n", Utf8(shortcut.workdir).c_str());
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Fail(L"COM did not start");
    int result = 2;
    if (argc == 3 && std::wstring(argv[1]) == L"show")
        result = Show(argv[2]);
    else if (argc >= 3 && std::wstring(argv[1]) == L"open")
        result = Open(argv[2], argc - 3, argv + 3);
    else
        std::fprintf(stderr, "usage: shortcut_probe show <lnk> | open <lnk> [program [arguments...]]\n");
    CoUninitialize();
    return result;
}
