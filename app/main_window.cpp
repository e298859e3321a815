#include "app/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "app/application.h"
#include "app/dialogs.h"
#include "app/dpi.h"
#include "app/logo.h"
#include "app/window_parts.h"
#include "base/errors.h"
#include "base/paint_scope.h"
#include "settings/folder_chooser.h"
#include "settings/launcher_settings.h"
#include "simulator/connection.h"
#include "update/updater.h"

namespace {

// Other programs find the launcher by this class name.
constexpr wchar_t kWindowClass[] = L"TForm1";
constexpr wchar_t kWindowCaption[] = L"Lanceur Tarvik";

void RegisterWindowClass(HINSTANCE instance, WNDPROC procedure)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadMainIcon(instance, ::GetSystemMetrics(SM_CXICON));
    windowClass.hIconSm = LoadMainIcon(instance, ::GetSystemMetrics(SM_CXSMICON));
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kWindowClass;
    if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw SystemError(L"Impossible d'enregistrer la classe de la fenêtre principale", "RegisterClassExW",
                          ::GetLastError());
}

RECT FrameForClient(UINT dpi)
{
    RECT frame{0, 0, ScaleToDpi(kClientSize.cx, dpi), ScaleToDpi(kClientSize.cy, dpi)};
    AdjustFrameForDpi(frame, kWindowStyle, kWindowExStyle, dpi);
    return frame;
}

} // namespace

MainWindow::MainWindow(Application& app, const Site& site)
    : app_(app), site_(site), pollTimer_(*this, PollTimerId, kPollPeriodMs),
      watchTimer_(*this, WatchTimerId, kWatchIntervalMs), status_(site.statusHost), leftoverUpdater_(app.ModulePath())
{
    CreateWindowFrame();
    CreateControls();
    // The poll runs from the moment its handler is wired, before the
    // settings are read: a first-run box may see ticks.
    pollTimer_.SetEnabled(true);
    status_.Open();

    try {
        LoadSettings();
    } catch (...) {
        app_.HandleException();
    }

    // A tick during the first run may already have ended the program.
    if (app_.Terminated()) return;
    PlaceLogo();
    ::ShowWindow(Handle(), SW_SHOWNORMAL);
    ::UpdateWindow(Handle());
}

MainWindow::~MainWindow()
{
    // The window outlives nothing of ours: stop routing its last messages here.
    if (window_) ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
}

void MainWindow::CreateWindowFrame()
{
    RegisterWindowClass(app_.Instance(), WindowProc);
    const UINT systemDpi = SystemDpi();
    const RECT frame = FrameForClient(systemDpi);
    HWND window = ::CreateWindowExW(kWindowExStyle, kWindowClass, kWindowCaption, kWindowStyle, CW_USEDEFAULT,
                                    CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                    nullptr, nullptr, app_.Instance(), this);
    if (!window) throw SystemError(L"Impossible de créer la fenêtre principale", "CreateWindowExW", ::GetLastError());
    dpi_ = WindowDpi(window);
    // The monitor that shows the window may differ from the system's DPI.
    if (dpi_ == systemDpi) return;
    const RECT own = FrameForClient(dpi_);
    ::SetWindowPos(window, nullptr, 0, 0, own.right - own.left, own.bottom - own.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::CreateControls()
{
    CreateFonts(dpi_, fonts_);
    // Made in place and in their font: a move is a round of messages each.
    for (size_t i = 0; i < std::size(kControls); ++i) {
        const ControlLayout& layout = kControls[i];
        const Bounds place = ControlPlace(i);
        controls_[i] =
            ::CreateWindowExW(0, layout.windowClass, layout.caption, WS_CHILD | WS_VISIBLE | layout.style, place.left,
                              place.top, place.width, place.height, Handle(),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), app_.Instance(), nullptr);
        if (!controls_[i]) throw LauncherError(L"Impossible de créer les contrôles de la fenêtre principale");
        ::SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(ControlFont(i)), FALSE);
    }
    auto control = [this](ControlId id) { return ::GetDlgItem(Handle(), id); };
    auto caption = [](ControlId id) {
        return std::find_if(std::begin(kControls), std::end(kControls),
                            [id](const ControlLayout& layout) { return layout.id == id; })
            ->caption;
    };
    statusLabel_.Attach(control(IdStatusLabel), caption(IdStatusLabel));
    connectButton_.Attach(control(IdConnectButton), caption(IdConnectButton));
    alertBox_.Attach(control(IdAlertBox), [this] { OnAlertToggled(); });
    autoConnectBox_.Attach(control(IdAutoConnectBox), [this] { OnAutoConnectToggled(); });
}

void MainWindow::PreviewMessage(const MSG& message)
{
    // The hints are the slowest piece of the window, and only the mouse needs
    // them: they are made for its first move, which they then see.
    if (!hintsMade_ && IsMouseMessage(message)) {
        hintsMade_ = true;
        tooltips_ = CreateHints(app_.Instance(), Handle(), controls_);
    }
    if (tooltips_) RelayToHints(tooltips_, Handle(), message);
}

void MainWindow::ApplyDpi(UINT dpi)
{
    dpi_ = dpi;
    CreateFonts(dpi, fonts_);
    PlaceControls();
}

HFONT MainWindow::ControlFont(size_t index) const
{
    return fonts_[static_cast<int>(kControls[index].font)].get();
}

Bounds MainWindow::ControlPlace(size_t index) const
{
    const ControlLayout& layout = kControls[index];
    Bounds place = ScaleToDpi(layout.bounds, dpi_);
    if (layout.sizedToText) {
        HDC dc = ::GetDC(nullptr);
        HGDIOBJ previous = ::SelectObject(dc, ControlFont(index));
        SIZE extent{};
        ::GetTextExtentPoint32W(dc, layout.caption, static_cast<int>(::wcslen(layout.caption)), &extent);
        ::SelectObject(dc, previous);
        ::ReleaseDC(nullptr, dc);
        place.width = extent.cx;
        place.height = extent.cy;
    }
    return place;
}

void MainWindow::PlaceControls()
{
    for (size_t i = 0; i < std::size(kControls); ++i) {
        ::SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(ControlFont(i)), FALSE);
        const Bounds place = ControlPlace(i);
        ::SetWindowPos(controls_[i], nullptr, place.left, place.top, place.width, place.height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (tooltips_) PlaceHints(tooltips_, Handle(), controls_);
}

void MainWindow::PlaceLogo()
{
    const Bounds box = ScaleToDpi(kLogoBox, dpi_);
    const JpegRows picture = OpenLogo(app_.Instance(), box);
    logoBounds_ = FitPicture(box, picture.Width(), picture.Height());
    ::InvalidateRect(Handle(), nullptr, TRUE);
}

void MainWindow::Hide()
{
    ::ShowWindow(Handle(), SW_HIDE);
}

void MainWindow::Show()
{
    ::ShowWindow(Handle(), SW_SHOW);
    ::SetForegroundWindow(Handle());
    ::BringWindowToTop(Handle());
}

bool MainWindow::Shown() const
{
    return ::IsWindowVisible(Handle()) != FALSE;
}

void Control::SetText(const std::wstring& text)
{
    if (text == text_) return;
    if (::SetWindowTextW(control_, text.c_str())) text_ = text;
}

void Control::SetEnabled(bool enabled)
{
    if ((::IsWindowEnabled(control_) != FALSE) != enabled) ::EnableWindow(control_, enabled);
}

void MainWindow::PaintNow()
{
    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void MainWindow::Tell(const std::wstring& text)
{
    ShowInformation(app_, text);
}

Answer MainWindow::Ask(const std::wstring& question)
{
    return AskYesNo(app_, question);
}

bool MainWindow::ChooseFolder(std::wstring& folder)
{
    return ::ChooseFolder(app_.HiddenOwner(), folder);
}

void MainWindow::Close()
{
    settingsFile_.reset();
    app_.Terminate();
}

bool MainWindow::Closing() const
{
    return app_.Terminated();
}

void MainWindow::LoadSettings()
{
    state_.serverOnline = false;
    settingsFile_.emplace(SettingsPath(AppDataFolder()));
    ReadSettings(*settingsFile_, state_);
    // Checking a box runs its handler, which writes the value back.
    alertBox_.SetChecked(state_.alertOn);
    autoConnectBox_.SetChecked(state_.autoConnectOn);
    if (IsFirstRun(state_)) LocateSimulator(state_, *this);
}

void MainWindow::OnPollTick()
{
    leftoverUpdater_.Remove();
    switch (status_.Tick(state_, *this)) {
    case PollFollowUp::Connect:
        OnConnect();
        break;
    case PollFollowUp::Update:
        UpdateLauncher(state_, *this, app_.ModulePath(),
                       {site_.updateHttpsOnly, site_.updatePublicKey, app_.ActiveOwner(), app_.Instance(), app_.Title()});
        break;
    case PollFollowUp::None:
        break;
    }
}

void MainWindow::OnWatchTick()
{
    WatchSimulator(state_, *this);
}

void MainWindow::OnConnect()
{
    ConnectToServer(state_, *this, status_);
}

void MainWindow::OnAlertToggled()
{
    state_.alertOn = alertBox_.Checked();
    StoreAlert(state_.alertOn);
}

void MainWindow::OnAutoConnectToggled()
{
    state_.autoConnectOn = autoConnectBox_.Checked();
    StoreAutoConnect(state_.autoConnectOn);
}

void MainWindow::OpenSite()
{
    // Nothing to tell the pilot when no browser can open it.
    ::ShellExecuteW(nullptr, L"OPEN", site_.siteUrl, nullptr, nullptr, SW_SHOW);
}

bool MainWindow::StartTimer(UINT_PTR id, UINT intervalMs)
{
    return ::SetTimer(Handle(), id, intervalMs, nullptr) != 0;
}

void MainWindow::StopTimer(UINT_PTR id)
{
    ::KillTimer(Handle(), id);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<MainWindow*>(create->lpCreateParams);
        self->window_.reset(window);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
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

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
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
        PlaceLogo();
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    }
    return ::DefWindowProcW(Handle(), message, wParam, lParam);
}

void MainWindow::OnActivate(bool active)
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

void MainWindow::OnCommand(int id, int code)
{
    if (app_.Terminated()) return;
    switch (id) {
    case IdConnectButton:
        if (code == BN_CLICKED) OnConnect();
        break;
    case IdAlertBox:
        if (code == BN_CLICKED) alertBox_.Clicked();
        break;
    case IdAutoConnectBox:
        if (code == BN_CLICKED) autoConnectBox_.Clicked();
        break;
    case IdSiteLink:
        if (code == STN_CLICKED) OpenSite();
        break;
    }
}

void MainWindow::OnTimer(UINT_PTR id)
{
    // Ticks that fall while an error box is open are dropped: a failure that
    // repeats at every tick then shows one box, and the ticks go on at their
    // period once it is closed. No tick runs once the end is requested.
    if (app_.ShowingError() || app_.Terminated()) return;
    if (id == PollTimerId) OnPollTick();
    if (id == WatchTimerId) OnWatchTick();
}

void MainWindow::OnPaint()
{
    const PaintScope paint(Handle());
    // The logo is made anew at each paint that shows it, a rare event: that
    // costs a few milliseconds then, and saves holding its bitmap for the run.
    const RECT logo{logoBounds_.left, logoBounds_.top, logoBounds_.left + logoBounds_.width,
                    logoBounds_.top + logoBounds_.height};
    if (logoBounds_.width > 0 && ::RectVisible(paint.Dc(), &logo)) {
        JpegRows picture = OpenLogo(app_.Instance(), ScaleToDpi(kLogoBox, dpi_));
        DrawPicture(paint.Dc(), picture, logoBounds_);
    }
}

LRESULT MainWindow::OnControlColour(HDC dc, HWND control)
{
    const int id = ::GetDlgCtrlID(control);
    ::SetTextColor(dc, id == IdSiteLink ? kLinkColour : ::GetSysColor(COLOR_WINDOWTEXT));
    if (id == IdSiteLink || id == IdCredit) {
        // Drawn over whatever lies beneath: the white window or the logo.
        ::SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    }
    ::SetBkColor(dc, RGB(255, 255, 255));
    return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
}
