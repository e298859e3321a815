#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "app/window_parts.h"

// A disabled control gets no mouse input; the window under it does. The
// hints must stand for each control's area of the window too, or the hint
// of "Connexion" never shows while the server is offline.
TEST(Hints, EachHintedControlsAreaOfTheWindowHasItsHint)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 450, nullptr, nullptr, instance,
                                  nullptr);
    ASSERT_TRUE(window);
    HWND controls[std::size(kControls)] = {};
    for (size_t i = 0; i < std::size(kControls); ++i) {
        const ControlLayout& layout = kControls[i];
        controls[i] = CreateWindowExW(0, layout.windowClass, layout.caption, WS_CHILD | WS_VISIBLE | layout.style,
                                      layout.bounds.left, layout.bounds.top, std::max(layout.bounds.width, 20),
                                      std::max(layout.bounds.height, 10), window, nullptr, instance, nullptr);
    }
    HWND hints = CreateHints(instance, window, controls);
    ASSERT_TRUE(hints);

    int hinted = 0;
    for (size_t i = 0; i < std::size(kControls); ++i) {
        if (!kControls[i].hint) continue;
        ++hinted;
        EnableWindow(controls[i], FALSE);
        RECT area;
        GetWindowRect(controls[i], &area);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&area), 2);
        wchar_t text[128] = L"";
        TTHITTESTINFOW probe{};
        probe.hwnd = window;
        probe.pt = {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
        probe.ti.cbSize = sizeof probe.ti;
        probe.ti.lpszText = text;
        ASSERT_TRUE(SendMessageW(hints, TTM_HITTESTW, 0, reinterpret_cast<LPARAM>(&probe))) << i;
        EXPECT_EQ(std::wstring(text), kControls[i].hint);

        // After a move, the areas follow.
        SetWindowPos(controls[i], nullptr, 0, 430 - 8, 8, 8, SWP_NOZORDER);
        PlaceHints(hints, window, controls);
        probe.pt = {4, 430 - 4};
        text[0] = L'\0';
        ASSERT_TRUE(SendMessageW(hints, TTM_HITTESTW, 0, reinterpret_cast<LPARAM>(&probe))) << i;
        EXPECT_EQ(std::wstring(text), kControls[i].hint);
        SetWindowPos(controls[i], nullptr, -100, -100, 8, 8, SWP_NOZORDER);
        PlaceHints(hints, window, controls);
    }
    EXPECT_EQ(hinted, 4);
    DestroyWindow(window);
}
