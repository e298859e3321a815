#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "app/checkbox.h"
#include "app/launcher_state.h"
#include "app/layout.h"
#include "app/timer.h"
#include "app/unique.h"
#include "server/udp_client.h"
#include "settings/file_ini.h"

class Application;

enum TCloseAction { caNone, caHide, caFree, caMinimize };

// A standard child control: text and enabled state.
class Control {
public:
    void Attach(HWND control) { control_ = control; }
    HWND Handle() const { return control_; }
    void SetText(const std::wstring& text) { ::SetWindowTextW(control_, text.c_str()); }
    void SetEnabled(bool enabled) { ::EnableWindow(control_, enabled); }
    bool Enabled() const { return ::IsWindowEnabled(control_) != FALSE; }

private:
    HWND control_ = nullptr;
};

// The main window: its controls, its two timers and the handlers of their
// events. Handlers of other subsystems are defined in their own folders.
class TForm1 final : private TimerHost {
public:
    enum TimerId : UINT_PTR { Timer1Id = 1, Timer2Id = 2 };

    // Builds the window from the layout (Timer1 on), then runs FormCreate.
    // Throws when the window cannot be built; FormCreate's own errors are
    // reported and creation goes on.
    explicit TForm1(Application& app);
    ~TForm1();
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    HWND Handle() const { return window_.get(); }

    void Hide();
    void Show();   // visible again, in front
    void Update(); // paints what waits to be painted, now
    void Close();  // the close path; returns to the caller

    // Components, in the window's declaration order.
    IdUDPClient IdUDPClient1;
    Control Connect;
    Control EtatCon;
    Timer Timer1;
    CheckBox CheckBox1;
    CheckBox CheckBox2;
    Timer Timer2;

    LauncherState State;
    std::optional<TIniFile> FileIni; // from FormCreate to FormClose

    // Event handlers.
    void FormCreate(void* Sender);
    void FormClose(void* Sender, TCloseAction& Action);
    void Label1Click(void* Sender);
    void Timer1Timer(void* Sender);
    void CheckBox1Click(void* Sender);
    void CheckBox2Click(void* Sender);
    void ConnectClick(void* Sender);
    void Timer2Timer(void* Sender);

    // The update asked for by an "MJ" reply: always ends the launcher.
    void MiseAJour();
    // Removes an updater left beside the launcher by an earlier update.
    void EffacerMiseAJour();

    // Starts a program from its whole command line without waiting for it.
    // When it cannot be started: the message, then the end of the launcher.
    void ExecNewProcess(const std::wstring& ProgramName, const std::wstring& Program);

    // One request to the status server and its reply, split into
    // State.Commande and State.Argument. Blocks up to the reply wait.
    std::wstring Envoi(const std::wstring& Message);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool StartTimer(UINT_PTR id, UINT intervalMs) override;
    void StopTimer(UINT_PTR id) override;

    // The first run: the simulator's directory from the registry, or from
    // the pilot; then the defaults, written to the settings file.
    void LocateSimulator();

    void CreateWindowFrame();
    void CreateControls();
    void CreateTooltips();
    void ApplyDpi(UINT dpi);
    void PlaceControls();
    void PrepareLogo();

    void OnActivate(bool active);
    void OnCommand(int id, int code);
    void OnTimer(UINT_PTR id);
    void OnPaint();
    LRESULT OnControlColour(HDC dc, HWND control);

    Application& app_;
    // Declared before the window, so that the window goes first.
    UniqueFont fonts_[static_cast<int>(FontRole::Count)];
    UniqueBitmap logo_;
    Bounds logoBounds_{};
    UINT dpi_ = kBaseDpi;
    UniqueWindow window_;
    HWND tooltips_ = nullptr; // owned by the window, destroyed with it
    HWND controls_[std::size(kControls)] = {};
    HWND lastFocus_ = nullptr; // given back when the window is activated again
};
