#include "app/dpi.h"

#include "app/layout.h"
#include "base/system_library.h"

UINT SystemDpi()
{
    using ForSystem = UINT WINAPI();
    static ForSystem* const forSystem = SystemFunction<ForSystem>(L"user32.dll", "GetDpiForSystem");
    if (forSystem) return forSystem();
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

UINT WindowDpi(HWND window)
{
    using ForWindow = UINT WINAPI(HWND);
    static ForWindow* const forWindow = SystemFunction<ForWindow>(L"user32.dll", "GetDpiForWindow");
    const UINT dpi = forWindow ? forWindow(window) : SystemDpi();
    return dpi ? dpi : kBaseDpi;
}

void AdjustFrameForDpi(RECT& frame, DWORD style, DWORD exStyle, UINT dpi)
{
    using AdjustForDpi = BOOL WINAPI(RECT*, DWORD, BOOL, DWORD, UINT);
    static AdjustForDpi* const adjust = SystemFunction<AdjustForDpi>(L"user32.dll", "AdjustWindowRectExForDpi");
    // Before it, the frame is measured at the system's DPI, which is the
    // only one those systems give a program.
    if (!adjust || !adjust(&frame, style, FALSE, exStyle, dpi)) ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
}
