// The floor the launcher is measured against: the least a window like its
// own needs (same frame and client size, the same four standard controls on
// white, one font, no picture). What the launcher costs beyond this is its own.
//
//   floor_window            the window alone, for the start-up figures
//   floor_window <port>     also asks 127.0.0.1:<port> for the server's status
//                           every 3 s, with the fewest Windows sockets calls
//                           one exchange needs: the floor of a poll tick
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <cwchar>

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

// Windows sockets, loaded only for the poll: the start-up figures are the
// window's alone.
struct Sockets {
    decltype(&::sendto) sendto = nullptr;
    decltype(&::select) select = nullptr;
    decltype(&::recvfrom) recvfrom = nullptr;
    SOCKET socket = INVALID_SOCKET;
    sockaddr_in server{};
} sockets;

template <class Function>
void Bind(HMODULE library, Function*& function, const char* name)
{
    function = reinterpret_cast<Function*>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

bool OpenSockets(unsigned short port)
{
    HMODULE library = ::LoadLibraryW(L"ws2_32.dll");
    if (!library) return false;
    decltype(&::WSAStartup) startup = nullptr;
    decltype(&::socket) open = nullptr;
    decltype(&::bind) bind = nullptr;
    Bind(library, startup, "WSAStartup");
    Bind(library, open, "socket");
    Bind(library, bind, "bind");
    Bind(library, sockets.sendto, "sendto");
    Bind(library, sockets.select, "select");
    Bind(library, sockets.recvfrom, "recvfrom");
    WSADATA data;
    if (!startup || !open || !bind || !sockets.sendto || !sockets.select || !sockets.recvfrom ||
        startup(MAKEWORD(2, 2), &data))
        return false;
    sockets.socket = open(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    if (sockets.socket == INVALID_SOCKET || bind(sockets.socket, reinterpret_cast<sockaddr*>(&any), sizeof any))
        return false;
    sockets.server.sin_family = AF_INET;
    sockets.server.sin_port = static_cast<u_short>((port >> 8) | (port << 8));
    sockets.server.sin_addr.s_addr = 0x0100007F; // 127.0.0.1, network order
    return true;
}

// One request, then a reply or 500 ms of waiting, as the launcher's tick.
void Poll()
{
    static const char request[] = "TPv2.0";
    sockets.sendto(sockets.socket, request, 6, 0, reinterpret_cast<sockaddr*>(&sockets.server), sizeof sockets.server);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(sockets.socket, &readable);
    timeval wait{0, 500000};
    if (sockets.select(0, &readable, nullptr, nullptr, &wait) != 1) return;
    char reply[512];
    sockets.recvfrom(sockets.socket, reply, sizeof reply, 0, nullptr, nullptr);
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        Poll();
        return 0;
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

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int)
{
    const int port = std::wcstol(arguments, nullptr, 10);
    if (port > 0 && (port > 65535 || !OpenSockets(static_cast<unsigned short>(port)))) return 1;

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
    if (port > 0) ::SetTimer(window, 1, 3000, nullptr);
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
