#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The client area of a window as it is on screen, 32-bit BGRX, top-down.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    COLORREF At(int x, int y) const;
    // Saved as a BMP for the run's artefacts.
    void Save(const std::wstring& path) const;
};

Screenshot CaptureClient(HWND window);
