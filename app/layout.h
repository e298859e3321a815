#pragma once
#include <windows.h>

#include "version.h"

// The main window's layout, in pixels at 96 dpi.

inline constexpr int kBaseDpi = 96;
inline constexpr SIZE kClientSize{357, 408};
inline constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
inline constexpr DWORD kWindowExStyle = WS_EX_APPWINDOW;
inline constexpr COLORREF kLinkColour = RGB(0, 0, 255);
inline constexpr UINT kTooltipDelayMs = 500;
inline constexpr UINT kTooltipShownMs = 2500;

enum ControlId : int {
    IdStatusLabel = 101,
    IdSiteLink,
    IdCredit,
    IdConnectButton,
    IdAlertBox,
    IdAutoConnectBox,
};

enum class FontRole { Window, Status, Link, Credit, Count };

struct FontStyle {
    const wchar_t* face;
    int height; // negative: character height; positive: cell height
    int weight;
    bool underline;
};

inline constexpr FontStyle kFonts[] = {
    {L"Segoe UI", -12, FW_NORMAL, false}, // Window
    {L"Segoe UI", -16, FW_BOLD, false},   // Status
    {L"Segoe UI", -12, FW_NORMAL, true},  // Link
    {L"Segoe UI", 10, FW_NORMAL, false},  // Credit
};

struct Bounds {
    int left, top, width, height;
};

struct ControlLayout {
    ControlId id;
    const wchar_t* windowClass;
    DWORD style;
    Bounds bounds;
    const wchar_t* caption;
    const wchar_t* hint;
    FontRole font;
    bool sizedToText;
};

// Creation order is the painting and tab order.
inline constexpr ControlLayout kControls[] = {
    {IdStatusLabel, L"STATIC", SS_CENTER | SS_NOTIFY | SS_NOPREFIX, {27, 0, 304, 21},
     L"Serveur hors ligne", L"Indicateur d'état du serveur", FontRole::Status, false},
    {IdSiteLink, L"STATIC", SS_LEFT | SS_NOTIFY | SS_NOPREFIX, {109, 389, 127, 15},
     L"Le site du Vol du Tarvik", nullptr, FontRole::Link, true},
    {IdCredit, L"STATIC", SS_LEFT | SS_NOPREFIX, {27, 27, 80, 10},
     L"V" TARVIK_SHORT_VERSION_W L" \u00A9 Le Tarvik", nullptr, FontRole::Credit, true},
    {IdConnectButton, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, {226, 343, 105, 40},
     L"Connexion", L"Lancer Condor 3 sur Le Vol Du Tarvik", FontRole::Window, false},
    {IdAlertBox, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, {27, 343, 97, 17},
     L"Alerte sonore", L"Annonce vocalement la présence du serveur", FontRole::Window, false},
    {IdAutoConnectBox, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, {27, 366, 158, 17},
     L"Connexion automatique", L"Lance automatiquement Condor 3 sur présence serveur",
     FontRole::Window, false},
};

// The logo's box; the logo is drawn in it, not by a control of its own.
inline constexpr Bounds kLogoBox{27, 27, 304, 297};

int ScaleToDpi(int value, UINT dpi);
Bounds ScaleToDpi(const Bounds& bounds, UINT dpi);

// The largest rectangle of the picture's proportions that fits the box,
// centred in it.
Bounds FitPicture(const Bounds& box, int pictureWidth, int pictureHeight);
