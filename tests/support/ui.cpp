#include "tests/support/ui.h"

#include <thread>

namespace ui {

bool WaitFor(const std::function<bool()>& condition, Duration timeout, Duration step)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(step);
    }
}

std::vector<HWND> TopLevelWindows(DWORD processId, const wchar_t* className)
{
    struct Search {
        DWORD processId;
        const wchar_t* className;
        std::vector<HWND> found;
    } search{processId, className, {}};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s.processId && IsWindowVisible(window) && (!s.className || ClassName(window) == s.className))
                s.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(DWORD processId, const wchar_t* className, Duration timeout)
{
    HWND found = nullptr;
    WaitFor(
        [&] {
            auto windows = TopLevelWindows(processId, className);
            found = windows.empty() ? nullptr : windows.front();
            return found != nullptr;
        },
        timeout);
    return found;
}

std::wstring Text(HWND window, Duration timeout)
{
    wchar_t buffer[4096] = L"";
    SendMessageTimeoutW(window, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                        static_cast<UINT>(timeout.count()), nullptr);
    return buffer;
}

std::wstring ClassName(HWND window)
{
    wchar_t buffer[256] = L"";
    GetClassNameW(window, buffer, static_cast<int>(std::size(buffer)));
    return buffer;
}

std::vector<HWND> Children(HWND window)
{
    std::vector<HWND> children;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM context) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(context)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

std::wstring ChildTexts(HWND window)
{
    std::wstring joined;
    for (HWND child : Children(window)) {
        std::wstring text = Text(child);
        if (text.empty()) continue;
        if (!joined.empty()) joined += L"|";
        joined += text;
    }
    return joined;
}

RECT ClientRectOnScreen(HWND window)
{
    RECT rect{};
    GetClientRect(window, &rect);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT RectInParentClient(HWND child)
{
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void Click(HWND button)
{
    PostMessageW(button, BM_CLICK, 0, 0);
}

void Press(HWND box, Button button)
{
    Click(GetDlgItem(box, static_cast<int>(button)));
}

void PressEnter(HWND window)
{
    GUITHREADINFO info{sizeof info};
    HWND target = window;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus) target = info.hwndFocus;
    PostMessageW(target, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageW(target, WM_KEYUP, VK_RETURN, 0xC01C0001);
}

} // namespace ui
