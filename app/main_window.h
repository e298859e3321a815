#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "app/checkbox.h"
#include "app/layout.h"
#include "app/site.h"
#include "base/launcher_window.h"
#include "base/timer.h"
#include "base/unique.h"
#include "server/status_poll.h"
#include "settings/ini_file.h"
#include "update/updater.h"

class Application;

// A standard child control: text and enabled state.
class Control {
public:
    // The control shows the given text, set when it was made.
    void Attach(HWND control, std::wstring text)
    {
        control_ = control;
        text_ = std::move(text);
    }
    HWND Handle() const { return control_; }
    // Unchanged, nothing is done: every poll tick sets both, and a control
    // given its own text again repaints for nothing. The text shown is kept
    // here, as asking the control for it is a message or two at every tick.
    void SetText(const std::wstring& text);
    void SetEnabled(bool enabled);

private:
    HWND control_ = nullptr;
    std::wstring text_;
};

// The launcher's one window: its controls and timers, and the wiring of
// their events to the subsystems. Its class is registered as "TForm1",
// the name by which the installer and other programs find it.
class MainWindow final : public LauncherWindow, private TimerHost {
public:
    enum TimerId : UINT_PTR { PollTimerId = 1, WatchTimerId = 2 };

    // Builds the window (the poll on), reads the settings, then shows it.
    // Throws when the window cannot be built; errors of the settings are
    // reported and creation goes on.
    MainWindow(Application& app, const Site& site);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    HWND Handle() const { return window_.get(); }
    // Shows the hints a mouse message before it is dispatched; the first
    // one makes them.
    void PreviewMessage(const MSG& message);

    // What the subsystems may do.
    void SetStatusText(const std::wstring& text) override { statusLabel_.SetText(text); }
    void SetConnectEnabled(bool enabled) override { connectButton_.SetEnabled(enabled); }
    void PaintNow() override;
    void Hide() override;
    void Show() override;
    bool Shown() const override;
    Timer& PollTimer() override { return pollTimer_; }
    Timer& WatchTimer() override { return watchTimer_; }
    void Tell(const std::wstring& text) override;
    Answer Ask(const std::wstring& question) override;
    bool ChooseFolder(std::wstring& folder) override;
    void Close() override;
    bool Closing() const override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool StartTimer(UINT_PTR id, UINT intervalMs) override;
    void StopTimer(UINT_PTR id) override;

    void CreateWindowFrame();
    void CreateControls();
    void ApplyDpi(UINT dpi);
    void PlaceControls();
    // Where the control goes at the window's DPI, and its font.
    Bounds ControlPlace(size_t index) const;
    HFONT ControlFont(size_t index) const;
    void PlaceLogo();

    void LoadSettings();
    void OnPollTick();
    void OnWatchTick();
    void OnConnect();
    void OnAlertToggled();
    void OnAutoConnectToggled();
    void OpenSite();

    void OnActivate(bool active);
    void OnCommand(int id, int code);
    void OnTimer(UINT_PTR id);
    void OnPaint();
    LRESULT OnControlColour(HDC dc, HWND control);

    Application& app_;
    const Site site_;
    // Declared before the window, so that the window goes first.
    UniqueFont fonts_[static_cast<int>(FontRole::Count)];
    Bounds logoBounds_{}; // where the logo is drawn in its box
    UINT dpi_ = kBaseDpi;
    UniqueWindow window_;
    HWND tooltips_ = nullptr; // owned by the window, destroyed with it
    bool hintsMade_ = false;
    HWND controls_[std::size(kControls)] = {};
    HWND lastFocus_ = nullptr; // given back when the window is activated again

    // After the window: a timer still on at destruction stops through it.
    Timer pollTimer_;
    Timer watchTimer_;
    StatusPoll status_;
    Control statusLabel_;
    Control connectButton_;
    CheckBox alertBox_;
    CheckBox autoConnectBox_;
    LauncherState state_;
    LeftoverUpdater leftoverUpdater_;
    std::optional<IniFile> settingsFile_; // from the settings' reading to the close
};
