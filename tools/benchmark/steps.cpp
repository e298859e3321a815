// Times, in one fresh process, the pieces of the launcher's start-up that the
// floor does without, in the launcher's order and with the launcher's own
// code where it has some: where the launcher's extra time and memory go.
// Prints "<step>_ms=" and "<step>_ws=" (working-set growth, bytes) lines.
//
//   bench_steps <settings file>
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/layout.h"
#include "app/logo.h"
#include "server/udp_client.h"
#include "settings/file_ini.h"

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
    const UINT dpi = ::GetDpiForSystem();
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
        ::LoadImageW(instance, L"MAINICON", IMAGE_ICON, ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CXICON),
                     LR_DEFAULTCOLOR);
        ::LoadImageW(instance, L"MAINICON", IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                     ::GetSystemMetrics(SM_CXSMICON), LR_DEFAULTCOLOR);
    });

    // Made and measured once each, as the controls' first painting does.
    Time("fonts", [&] {
        HDC dc = ::GetDC(nullptr);
        for (const auto& wanted : kFonts) {
            HFONT font = ::CreateFontW(::MulDiv(wanted.height, static_cast<int>(dpi), kBaseDpi), 0, 0, 0, wanted.weight,
                                       FALSE, wanted.underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, wanted.face);
            HGDIOBJ previous = ::SelectObject(dc, font);
            SIZE extent;
            ::GetTextExtentPoint32W(dc, L"Serveur hors ligne", 18, &extent);
            ::SelectObject(dc, previous);
        }
        ::ReleaseDC(nullptr, dc);
    });

    Time("tooltips", [&] {
        HWND tips = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                                      instance, nullptr);
        for (const ControlLayout& layout : kControls) {
            if (!layout.hint) continue;
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof tool;
            tool.uFlags = TTF_SUBCLASS;
            tool.hwnd = owner;
            tool.uId = static_cast<UINT_PTR>(layout.id);
            tool.lpszText = const_cast<wchar_t*>(layout.hint);
            ::SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    });

    const Bounds box{::MulDiv(kImage1Box.left, static_cast<int>(dpi), kBaseDpi),
                     ::MulDiv(kImage1Box.top, static_cast<int>(dpi), kBaseDpi),
                     ::MulDiv(kImage1Box.width, static_cast<int>(dpi), kBaseDpi),
                     ::MulDiv(kImage1Box.height, static_cast<int>(dpi), kBaseDpi)};
    RgbImage decoded;
    Time("logo_decode", [&] {
        HRSRC found = ::FindResourceW(instance, L"LOGO", MAKEINTRESOURCEW(10));
        const void* data = ::LockResource(::LoadResource(instance, found));
        const int side = box.width < box.height ? box.width : box.height;
        decoded = DecodeJpeg(data, ::SizeofResource(instance, found), side, side);
    });
    std::printf("logo_decoded=%dx%d\n", decoded.width, decoded.height);
    RgbImage picture;
    Time("logo_resample", [&] {
        const Bounds fitted = FitPicture(box, decoded.width, decoded.height);
        picture = Resample(decoded, fitted.width, fitted.height);
    });
    std::printf("logo_shown=%dx%d\n", picture.width, picture.height);
    Time("logo_bitmap", [&] {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof info.bmiHeader, picture.width, -picture.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        auto* out = static_cast<unsigned char*>(bits);
        for (size_t i = 0, n = static_cast<size_t>(picture.width) * picture.height; i < n; ++i) {
            out[i * 4] = picture.pixels[i * 3 + 2];
            out[i * 4 + 1] = picture.pixels[i * 3 + 1];
            out[i * 4 + 2] = picture.pixels[i * 3];
            out[i * 4 + 3] = 0;
        }
    });

    IdUDPClient client;
    Time("winsock", [&] { client.Activate(); });

    Time("settings", [&] {
        const TIniFile settings(argv[1]);
        settings.ReadString(L"CONDOR 3", L"CheminExe", L"VIDE");
        settings.ReadBool(L"LAUNCHER", L"Alerte", false);
        settings.ReadBool(L"LAUNCHER", L"AutoConnect", false);
    });

    const PROCESS_MEMORY_COUNTERS end = Memory();
    std::printf("end_ws=%zu\npeak_ws=%zu\n", end.WorkingSetSize, end.PeakWorkingSetSize);
    std::fflush(stdout);
    return 0;
}
