// Stands in for Condor 3 where the real simulator is not installed: a window
// titled "Condor version <version>" that stays until it is closed, and a
// record of the command line it was started with.
//
// Environment: TARVIK_STANDIN_VERSION (default 3.0.4) names the version;
// TARVIK_STANDIN_LOG (default standin.log beside the program) receives one
// line per start: the program's own path, a tab, its whole command line;
// standin-folder.log beside the program receives the folder it was started
// in. TARVIK_STANDIN_TITLE replaces the whole title; TARVIK_STANDIN_DELAY_MS
// holds the window back for that long, as a slow simulator's start does.
#include <windows.h>

#include <string>

namespace {

std::wstring Environment(const wchar_t* name, const wchar_t* fallback)
{
    wchar_t value[1024];
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : fallback;
}

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

void Record(const std::wstring& line, const wchar_t* name = L"standin.log")
{
    std::wstring own = OwnPath();
    std::wstring log = name == std::wstring(L"standin.log") ? Environment(L"TARVIK_STANDIN_LOG", L"") : L"";
    if (log.empty()) log = own.substr(0, own.find_last_of(L'\\') + 1) + name;
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), size, nullptr, nullptr);
    utf8 += "\n";
    HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    Record(OwnPath() + L"\t" + GetCommandLineW());
    wchar_t folder[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    Record(folder, L"standin-folder.log");
    Sleep(static_cast<DWORD>(_wtoi(Environment(L"TARVIK_STANDIN_DELAY_MS", L"0").c_str())));

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"TarvikCondorStandIn";
    RegisterClassExW(&windowClass);

    const std::wstring title =
        Environment(L"TARVIK_STANDIN_TITLE", (L"Condor version " + Environment(L"TARVIK_STANDIN_VERSION", L"3.0.4")).c_str());
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 480, 240, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, show);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
