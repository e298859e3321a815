// Times, in one fresh process, the pieces of the launcher's start-up that the
// floor does without, in the launcher's order and with the launcher's own
// code: where the launcher's extra time and memory go.
// Prints "<step>_ms=" and "<step>_ws=" (working-set growth, bytes) lines.
//
//   bench_steps <settings file>
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "app/dpi.h"
#include "app/layout.h"
#include "app/window_parts.h"
#include "server/status_poll.h"
#include "settings/launcher_settings.h"

namespace {

LARGE_INTEGER Now()
{
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

PROCESS_MEMORY_COUNTERS Memory()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

// Runs one step and prints its time and what it added to the working set.
template <class Step>
void Time(const char* name, Step&& step)
{
    const SIZE_T before = Memory().WorkingSetSize;
    const LARGE_INTEGER start = Now();
    step();
    const LARGE_INTEGER end = Now();
    const PROCESS_MEMORY_COUNTERS after = Memory();
    std::printf("%s_ms=%.3f\n%s_ws=%lld\n", name, Milliseconds(start, end), name,
                static_cast<long long>(after.WorkingSetSize) - static_cast<long long>(before));
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fputs("usage: bench_steps <settings file>\n", stderr);
        return 2;
    }
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const UINT dpi = SystemDpi();
    // Untimed, what the floor does too: common controls, a first window
    // (Wine's display driver starts with it), one font made and measured.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    HWND owner = ::CreateWindowExW(WS_EX_APPWINDOW, L"STATIC", L"", WS_OVERLAPPED | WS_CAPTION, 0, 0, 100, 100,
                                   nullptr, nullptr, instance, nullptr);
    {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        ::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi);
        HDC dc = ::GetDC(owner);
        HGDIOBJ previous = ::SelectObject(dc, ::CreateFontIndirectW(&metrics.lfMessageFont));
        SIZE extent;
        ::GetTextExtentPoint32W(dc, L"Serveur hors ligne", 18, &extent);
        ::SelectObject(dc, previous);
        ::ReleaseDC(owner, dc);
    }
    const PROCESS_MEMORY_COUNTERS entry = Memory();
    std::printf("entry_ws=%zu\n", entry.WorkingSetSize);

    // The floor does not link it; the launcher has it loaded before its
    // first line runs. (ole32 and shell32 wait for their first call.)
    for (const wchar_t* dll : {L"advapi32.dll"}) {
        const bool loaded = ::GetModuleHandleW(dll) != nullptr;
        char name[32];
        std::snprintf(name, sizeof name, "dll_%ls", dll);
        *std::strrchr(name, '.') = '\0';
        Time(name, [&] { ::LoadLibraryW(dll); });
        std::printf("%s_already=%d\n", name, loaded ? 1 : 0);
    }

    Time("icons", [&] {
        LoadMainIcon(instance, ::GetSystemMetrics(SM_CXICON));
        LoadMainIcon(instance, ::GetSystemMetrics(SM_CXSMICON));
    });

    UniqueFont fonts[static_cast<int>(FontRole::Count)];
    // Made and measured once each, as the controls' first painting does.
    Time("fonts", [&] {
        CreateFonts(dpi, fonts);
        HDC dc = ::GetDC(nullptr);
        for (const UniqueFont& font : fonts) {
            HGDIOBJ previous = ::SelectObject(dc, font.get());
            SIZE extent;
            ::GetTextExtentPoint32W(dc, L"Serveur hors ligne", 18, &extent);
            ::SelectObject(dc, previous);
        }
        ::ReleaseDC(nullptr, dc);
    });

    StatusPoll status(L"127.0.0.1");
    Time("winsock", [&] { status.Open(); });

    Time("settings", [&] {
        LauncherState state;
        ReadSettings(IniFile(argv[1]), state);
    });

    // Before the window shows: where the logo goes. In the first paint: the logo.
    const Bounds box = ScaleToDpi(kLogoBox, dpi);
    std::optional<JpegRows> picture;
    Time("logo_open", [&] { picture.emplace(OpenLogo(instance, box)); });
    std::printf("logo_decoded=%dx%d\n", picture->Width(), picture->Height());
    const Bounds fitted = FitPicture(box, picture->Width(), picture->Height());
    std::printf("logo_shown=%dx%d\n", fitted.width, fitted.height);
    // Drawn into a 32-bit bitmap of the window's size, as Wine draws a window's paint.
    BITMAPINFO surfaceInfo{};
    surfaceInfo.bmiHeader.biSize = sizeof surfaceInfo.bmiHeader;
    surfaceInfo.bmiHeader.biWidth = fitted.left + fitted.width;
    surfaceInfo.bmiHeader.biHeight = -(fitted.top + fitted.height); // top-down rows
    surfaceInfo.bmiHeader.biPlanes = 1;
    surfaceInfo.bmiHeader.biBitCount = 32;
    surfaceInfo.bmiHeader.biCompression = BI_RGB;
    void* surfaceBits = nullptr;
    UniqueBitmap surface(::CreateDIBSection(nullptr, &surfaceInfo, DIB_RGB_COLORS, &surfaceBits, nullptr, 0));
    HDC surfaceDc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ previousSurface = ::SelectObject(surfaceDc, surface.get());
    Time("logo_paint", [&] { DrawPicture(surfaceDc, *picture, fitted); });
    ::SelectObject(surfaceDc, previousSurface);
    ::DeleteDC(surfaceDc);

    // At the mouse's first move over the launcher's window. Each hint on a control of its
    // own, as in the launcher's window.
    HWND hinted[std::size(kControls)] = {};
    for (size_t i = 0; i < std::size(kControls); ++i)
        hinted[i] = ::CreateWindowExW(0, kControls[i].windowClass, kControls[i].caption, WS_CHILD | kControls[i].style,
                                      0, 0, 10, 10, owner, nullptr, instance, nullptr);
    Time("tooltips", [&] { CreateHints(instance, owner, hinted); });

    const PROCESS_MEMORY_COUNTERS end = Memory();
    std::printf("end_ws=%zu\npeak_ws=%zu\n", end.WorkingSetSize, end.PeakWorkingSetSize);
    std::fflush(stdout);
    return 0;
}
