// The floor the launcher is measured against: the least a window like its
// own needs (same frame and client size, the same four standard controls on
// white, one font, no picture). What the launcher costs beyond this is its own.
#include <windows.h>
#include <commctrl.h>

namespace {

constexpr wchar_t kClass[] = L"TarvikPlancher";
constexpr SIZE kClient{357, 408};
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

struct Child {
    const wchar_t* windowClass;
    const wchar_t* caption;
    DWORD style;
    RECT bounds; // left, top, width, height at 96 dpi
};

// Where the launcher has them, so that both windows paint the same area.
constexpr Child kChildren[] = {
    {L"STATIC", L"Serveur hors ligne", SS_CENTER | SS_NOPREFIX, {27, 0, 304, 21}},
    {L"BUTTON", L"Connexion", BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, {226, 343, 105, 40}},
    {L"BUTTON", L"Alerte sonore", BS_AUTOCHECKBOX | WS_TABSTOP, {27, 343, 97, 17}},
    {L"BUTTON", L"Connexion automatique", BS_AUTOCHECKBOX | WS_TABSTOP, {27, 366, 158, 17}},
};

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        ::SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kClass;
    if (!::RegisterClassExW(&windowClass)) return 1;

    const UINT dpi = ::GetDpiForSystem();
    auto scale = [dpi](LONG value) { return ::MulDiv(value, static_cast<int>(dpi), 96); };
    RECT frame{0, 0, scale(kClient.cx), scale(kClient.cy)};
    ::AdjustWindowRectExForDpi(&frame, kStyle, FALSE, WS_EX_APPWINDOW, dpi);
    HWND window = ::CreateWindowExW(WS_EX_APPWINDOW, kClass, L"Plancher", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                    frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                                    nullptr);
    if (!window) return 1;

    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi);
    HFONT font = ::CreateFontIndirectW(&metrics.lfMessageFont);
    for (const Child& child : kChildren) {
        HWND control = ::CreateWindowExW(0, child.windowClass, child.caption, WS_CHILD | WS_VISIBLE | child.style,
                                         scale(child.bounds.left), scale(child.bounds.top), scale(child.bounds.right),
                                         scale(child.bounds.bottom), window, nullptr, instance, nullptr);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }

    ::ShowWindow(window, SW_SHOWNORMAL);
    ::UpdateWindow(window);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!::IsDialogMessageW(window, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    ::DeleteObject(font);
    return 0;
}
