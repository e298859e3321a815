#pragma once
#include <windows.h>

// The screen's DPI, through the per-window calls of Windows 10 1607 where
// they exist and the screen's device context before that.
UINT SystemDpi();
UINT WindowDpi(HWND window);

// The frame around a client rectangle at the given DPI.
void AdjustFrameForDpi(RECT& frame, DWORD style, DWORD exStyle, UINT dpi);
