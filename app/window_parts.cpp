#include "app/window_parts.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "base/errors.h"

namespace {

std::pair<const void*, DWORD> LogoResource(HINSTANCE instance)
{
    HRSRC found = ::FindResourceW(instance, L"LOGO", MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = found ? ::LoadResource(instance, found) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) throw LauncherError(L"Le logo est absent des ressources du programme");
    return {data, ::SizeofResource(instance, found)};
}

} // namespace

HICON LoadMainIcon(HINSTANCE instance, int size)
{
    return static_cast<HICON>(::LoadImageW(instance, L"MAINICON", IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

void CreateFonts(UINT dpi, UniqueFont (&fonts)[static_cast<int>(FontRole::Count)])
{
    for (int role = 0; role < static_cast<int>(FontRole::Count); ++role) {
        const FontStyle& style = kFonts[role];
        fonts[role].reset(::CreateFontW(ScaleToDpi(style.height, dpi), 0, 0, 0, style.weight, FALSE, style.underline,
                                        FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                        CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, style.face));
    }
}

HWND CreateHints(HINSTANCE instance, HWND window, const HWND (&controls)[std::size(kControls)])
{
    HWND hints = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                                   instance, nullptr);
    if (!hints) return nullptr;
    for (size_t i = 0; i < std::size(kControls); ++i) {
        if (!kControls[i].hint) continue;
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND;
        tool.hwnd = window;
        tool.uId = reinterpret_cast<UINT_PTR>(controls[i]);
        tool.lpszText = const_cast<wchar_t*>(kControls[i].hint);
        ::SendMessageW(hints, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        // A disabled control gets no mouse input: the window under it does,
        // so the same hint also stands for the control's area of the window.
        tool.uFlags = 0;
        tool.uId = static_cast<UINT_PTR>(kControls[i].id);
        ::SendMessageW(hints, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    PlaceHints(hints, window, controls);
    ::SendMessageW(hints, TTM_SETDELAYTIME, TTDT_INITIAL, kTooltipDelayMs);
    ::SendMessageW(hints, TTM_SETDELAYTIME, TTDT_AUTOPOP, kTooltipShownMs);
    return hints;
}

bool IsMouseMessage(const MSG& message)
{
    return message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST;
}

void RelayToHints(HWND hints, HWND window, const MSG& message)
{
    if (!IsMouseMessage(message)) return;
    if (message.hwnd != window && ::GetParent(message.hwnd) != window) return;
    ::SendMessageW(hints, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&message));
}

void PlaceHints(HWND hints, HWND window, const HWND (&controls)[std::size(kControls)])
{
    for (size_t i = 0; i < std::size(kControls); ++i) {
        if (!kControls[i].hint) continue;
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = window;
        tool.uId = static_cast<UINT_PTR>(kControls[i].id);
        ::GetWindowRect(controls[i], &tool.rect);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&tool.rect), 2);
        ::SendMessageW(hints, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

JpegRows OpenLogo(HINSTANCE instance, const Bounds& box)
{
    const auto [data, size] = LogoResource(instance);
    const int side = std::min(box.width, box.height);
    return JpegRows(data, size, side, side);
}

void DrawPicture(HDC dc, JpegRows& picture, const Bounds& at)
{
    constexpr int kBandRows = 32;
    const size_t rowSize = static_cast<size_t>(at.width) * 4;
    std::vector<std::uint8_t> band(rowSize * kBandRows);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = at.width;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    int bandTop = 0;
    auto draw = [&](int rows) {
        info.bmiHeader.biHeight = -rows; // top-down rows
        ::StretchDIBits(dc, at.left, at.top + bandTop, at.width, rows, 0, 0, at.width, rows, band.data(), &info,
                        DIB_RGB_COLORS, SRCCOPY);
    };
    ResampleRows(
        picture.Width(), picture.Height(), [&] { return picture.NextRow(); }, at.width, at.height,
        [&](int y, const std::uint8_t* rgb) {
            if (y - bandTop == kBandRows) {
                draw(kBandRows);
                bandTop = y;
            }
            std::uint8_t* out = &band[static_cast<size_t>(y - bandTop) * rowSize];
            for (int x = 0; x < at.width; ++x, rgb += 3, out += 4) {
                out[0] = rgb[2];
                out[1] = rgb[1];
                out[2] = rgb[0];
                out[3] = 0;
            }
        });
    if (at.height > bandTop) draw(at.height - bandTop);
}
