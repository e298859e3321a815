#include "app/form1.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/application.h"
#include "app/errors.h"
#include "app/logo.h"
#include "app/site.h"
#include "server/poll.h"

namespace {

constexpr wchar_t kFormClass[] = L"TForm1";
constexpr wchar_t kFormCaption[] = L"Lanceur Tarvik";
constexpr UINT kWatchIntervalMs = 3000;

HICON LoadMainIcon(HINSTANCE instance, int size)
{
    return static_cast<HICON>(::LoadImageW(instance, L"MAINICON", IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

void RegisterFormClass(HINSTANCE instance, WNDPROC procedure)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadMainIcon(instance, ::GetSystemMetrics(SM_CXICON));
    windowClass.hIconSm = LoadMainIcon(instance, ::GetSystemMetrics(SM_CXSMICON));
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kFormClass;
    if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw Erreur(L"Impossible d'enregistrer la classe de la fenêtre principale");
}

RECT FrameForClient(UINT dpi)
{
    RECT frame{0, 0, ScaleToDpi(kClientSize.cx, dpi), ScaleToDpi(kClientSize.cy, dpi)};
    ::AdjustWindowRectExForDpi(&frame, kFormStyle, FALSE, kFormExStyle, dpi);
    return frame;
}

std::pair<const void*, DWORD> LogoResource(HINSTANCE instance)
{
    HRSRC found = ::FindResourceW(instance, L"LOGO", MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = found ? ::LoadResource(instance, found) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) throw Erreur(L"Le logo est absent des ressources du programme");
    return {data, ::SizeofResource(instance, found)};
}

} // namespace

TForm1::TForm1(Application& app)
    : Timer1(*this, Timer1Id, kPollPeriodMs), Timer2(*this, Timer2Id, kWatchIntervalMs), app_(app)
{
    CreateWindowFrame();
    CreateControls();
    CreateTooltips();
    PrepareLogo();
    // The poll runs from the moment its handler is wired, before FormCreate.
    Timer1.SetEnabled(true);
    IdUDPClient1.Activate();

    try {
        FormCreate(this);
    } catch (...) {
        app_.HandleException();
    }

    // A tick inside FormCreate may already have ended the program.
    if (app_.Terminated()) return;
    ::ShowWindow(Handle(), SW_SHOWNORMAL);
    ::UpdateWindow(Handle());
}

TForm1::~TForm1()
{
    // The window outlives nothing of ours: stop routing its last messages here.
    if (window_) ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
}

void TForm1::CreateWindowFrame()
{
    RegisterFormClass(app_.Instance(), WindowProc);
    const RECT frame = FrameForClient(::GetDpiForSystem());
    HWND window = ::CreateWindowExW(kFormExStyle, kFormClass, kFormCaption, kFormStyle, CW_USEDEFAULT,
                                    CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                    nullptr, nullptr, app_.Instance(), this);
    if (!window) throw Erreur(L"Impossible de créer la fenêtre principale");
    dpi_ = ::GetDpiForWindow(window);
    if (dpi_ == 0) dpi_ = kBaseDpi;
    // The monitor that shows the window may differ from the system's DPI.
    const RECT own = FrameForClient(dpi_);
    ::SetWindowPos(window, nullptr, 0, 0, own.right - own.left, own.bottom - own.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm1::CreateControls()
{
    for (size_t i = 0; i < std::size(kControls); ++i) {
        const ControlLayout& layout = kControls[i];
        controls_[i] = ::CreateWindowExW(0, layout.windowClass, layout.caption, WS_CHILD | WS_VISIBLE | layout.style,
                                         0, 0, 0, 0, Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)),
                                         app_.Instance(), nullptr);
        if (!controls_[i]) throw Erreur(L"Impossible de créer les contrôles de la fenêtre principale");
    }
    auto control = [this](ControlId id) { return ::GetDlgItem(Handle(), id); };
    EtatCon.Attach(control(IdEtatCon));
    Connect.Attach(control(IdConnect));
    CheckBox1.Attach(control(IdCheckBox1), [this] { CheckBox1Click(&CheckBox1); });
    CheckBox2.Attach(control(IdCheckBox2), [this] { CheckBox2Click(&CheckBox2); });
    ApplyDpi(dpi_);
}

void TForm1::CreateTooltips()
{
    tooltips_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                                  app_.Instance(), nullptr);
    if (!tooltips_) return; // hints are a comfort; the launcher works without them
    for (size_t i = 0; i < std::size(kControls); ++i) {
        if (!kControls[i].hint) continue;
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = Handle();
        tool.uId = reinterpret_cast<UINT_PTR>(controls_[i]);
        tool.lpszText = const_cast<wchar_t*>(kControls[i].hint);
        ::SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    ::SendMessageW(tooltips_, TTM_SETDELAYTIME, TTDT_INITIAL, kTooltipDelayMs);
    ::SendMessageW(tooltips_, TTM_SETDELAYTIME, TTDT_AUTOPOP, kTooltipShownMs);
}

void TForm1::ApplyDpi(UINT dpi)
{
    dpi_ = dpi;
    for (int role = 0; role < static_cast<int>(FontRole::Count); ++role) {
        const FontStyle& style = kFonts[role];
        fonts_[role].reset(::CreateFontW(ScaleToDpi(style.height, dpi), 0, 0, 0, style.weight, FALSE, style.underline,
                                         FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                         CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, style.face));
    }
    PlaceControls();
}

void TForm1::PlaceControls()
{
    for (size_t i = 0; i < std::size(kControls); ++i) {
        const ControlLayout& layout = kControls[i];
        HFONT font = fonts_[static_cast<int>(layout.font)].get();
        ::SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        int width = ScaleToDpi(layout.bounds.width, dpi_);
        int height = ScaleToDpi(layout.bounds.height, dpi_);
        if (layout.sizedToText) {
            HDC dc = ::GetDC(controls_[i]);
            HGDIOBJ previous = ::SelectObject(dc, font);
            SIZE extent{};
            ::GetTextExtentPoint32W(dc, layout.caption, static_cast<int>(::wcslen(layout.caption)), &extent);
            ::SelectObject(dc, previous);
            ::ReleaseDC(controls_[i], dc);
            width = extent.cx;
            height = extent.cy;
        }
        ::SetWindowPos(controls_[i], nullptr, ScaleToDpi(layout.bounds.left, dpi_), ScaleToDpi(layout.bounds.top, dpi_),
                       width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TForm1::PrepareLogo()
{
    const Bounds box{ScaleToDpi(kImage1Box.left, dpi_), ScaleToDpi(kImage1Box.top, dpi_),
                     ScaleToDpi(kImage1Box.width, dpi_), ScaleToDpi(kImage1Box.height, dpi_)};
    const auto [data, size] = LogoResource(app_.Instance());
    // Decoded at the smallest DCT scale that still covers the box.
    const int side = std::min(box.width, box.height);
    const RgbImage decoded = DecodeJpeg(data, size, side, side);
    logoBounds_ = FitPicture(box, decoded.width, decoded.height);
    const RgbImage picture = Resample(decoded, logoBounds_.width, logoBounds_.height);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap) throw Erreur(L"Mémoire insuffisante pour afficher le logo");
    auto* out = static_cast<std::uint8_t*>(bits);
    for (size_t i = 0, n = static_cast<size_t>(picture.width) * picture.height; i < n; ++i) {
        out[i * 4] = picture.pixels[i * 3 + 2];
        out[i * 4 + 1] = picture.pixels[i * 3 + 1];
        out[i * 4 + 2] = picture.pixels[i * 3];
        out[i * 4 + 3] = 0;
    }
    logo_ = std::move(bitmap);
    ::InvalidateRect(Handle(), nullptr, TRUE);
}

void TForm1::Hide()
{
    ::ShowWindow(Handle(), SW_HIDE);
}

void TForm1::Show()
{
    ::ShowWindow(Handle(), SW_SHOW);
    ::SetForegroundWindow(Handle());
    ::BringWindowToTop(Handle());
}

void TForm1::Update()
{
    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TForm1::Close()
{
    TCloseAction action = caHide;
    FormClose(this, action);
}

void TForm1::FormClose(void* /*Sender*/, TCloseAction& /*Action*/)
{
    FileIni.reset();
    app_.Terminate();
}

void TForm1::Label1Click(void* /*Sender*/)
{
    // Nothing to tell the pilot when no browser can open it.
    ::ShellExecuteW(nullptr, L"OPEN", kSiteUrl, nullptr, nullptr, SW_SHOW);
}

bool TForm1::StartTimer(UINT_PTR id, UINT intervalMs)
{
    return ::SetTimer(Handle(), id, intervalMs, nullptr) != 0;
}

void TForm1::StopTimer(UINT_PTR id)
{
    ::KillTimer(Handle(), id);
}

LRESULT CALLBACK TForm1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<TForm1*>(create->lpCreateParams);
        self->window_.reset(window);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TForm1*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // Destroyed by the system, not by us: forget the handle.
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_.release();
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        self->app_.HandleException();
        return 0;
    }
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_ACTIVATE:
        OnActivate(LOWORD(wParam) != WA_INACTIVE);
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CLOSE:
        Close();
        return 0;
    case WM_DPICHANGED: {
        ApplyDpi(HIWORD(wParam));
        PrepareLogo();
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    }
    return ::DefWindowProcW(Handle(), message, wParam, lParam);
}

void TForm1::OnActivate(bool active)
{
    // As a dialog does: the focus goes to the control that had it, or to the
    // first control that Tab can reach.
    if (!active) {
        HWND focus = ::GetFocus();
        if (focus && ::IsChild(Handle(), focus)) lastFocus_ = focus;
        return;
    }
    HWND target = lastFocus_ && ::IsWindowEnabled(lastFocus_) ? lastFocus_ : ::GetNextDlgTabItem(Handle(), nullptr, FALSE);
    if (target) ::SetFocus(target);
}

void TForm1::OnCommand(int id, int code)
{
    if (app_.Terminated()) return;
    switch (id) {
    case IdConnect:
        if (code == BN_CLICKED) ConnectClick(&Connect);
        break;
    case IdCheckBox1:
        if (code == BN_CLICKED) CheckBox1.Clicked();
        break;
    case IdCheckBox2:
        if (code == BN_CLICKED) CheckBox2.Clicked();
        break;
    case IdLabel1:
        if (code == STN_CLICKED) Label1Click(this);
        break;
    }
}

void TForm1::OnTimer(UINT_PTR id)
{
    // Ticks that fall while an error box is open are dropped: a failure that
    // repeats at every tick then shows one box, and the ticks go on at their
    // period once it is closed. No tick runs once the end is requested.
    if (app_.ShowingError() || app_.Terminated()) return;
    if (id == Timer1Id) Timer1Timer(&Timer1);
    if (id == Timer2Id) Timer2Timer(&Timer2);
}

void TForm1::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(Handle(), &paint);
    if (logo_) {
        HDC source = ::CreateCompatibleDC(dc);
        HGDIOBJ previous = ::SelectObject(source, logo_.get());
        ::BitBlt(dc, logoBounds_.left, logoBounds_.top, logoBounds_.width, logoBounds_.height, source, 0, 0, SRCCOPY);
        ::SelectObject(source, previous);
        ::DeleteDC(source);
    }
    ::EndPaint(Handle(), &paint);
}

LRESULT TForm1::OnControlColour(HDC dc, HWND control)
{
    const int id = ::GetDlgCtrlID(control);
    ::SetTextColor(dc, id == IdLabel1 ? kLinkColour : ::GetSysColor(COLOR_WINDOWTEXT));
    if (id == IdLabel1 || id == IdLabel2) {
        // Drawn over whatever lies beneath: the white window or the logo.
        ::SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    }
    ::SetBkColor(dc, RGB(255, 255, 255));
    return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
}
