#pragma once
#include <windows.h>

#include <iterator>

#include "app/layout.h"
#include "app/logo.h"
#include "base/unique.h"

// The pieces of the main window's start-up, apart so that the benchmark
// times this very code.

HICON LoadMainIcon(HINSTANCE instance, int size);

// The fonts of every role at the given DPI.
void CreateFonts(UINT dpi, UniqueFont (&fonts)[static_cast<int>(FontRole::Count)]);

// The hints of the controls that have one; null when the system refuses
// the tooltip window (hints are a comfort: the launcher works without).
// They see the mouse through RelayToHints, not by subclassing the windows:
// a subclassed window costs a lookup of its properties in every message,
// the poll's timer and the status label's included.
HWND CreateHints(HINSTANCE instance, HWND window, const HWND (&controls)[std::size(kControls)]);

// Hands the hints a mouse message of the window or of one of its controls.
void RelayToHints(HWND hints, HWND window, const MSG& message);
bool IsMouseMessage(const MSG& message);

// The areas of the window's own hints follow the controls they stand for.
void PlaceHints(HWND hints, HWND window, const HWND (&controls)[std::size(kControls)]);

// The logo from the resources, to be decoded at the smallest DCT scale
// that still covers the box. Throws.
JpegRows OpenLogo(HINSTANCE instance, const Bounds& box);

// The picture decoded and resampled to `at`'s size straight onto the DC, a
// band of rows at a time: it is never held whole, neither decoded nor drawn.
// Throws when the picture is damaged.
void DrawPicture(HDC dc, JpegRows& picture, const Bounds& at);
