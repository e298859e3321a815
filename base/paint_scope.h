#pragma once
#include <windows.h>

// A window's paint from BeginPaint to EndPaint, also when the painting throws.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
    ~PaintScope() { ::EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HDC Dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};
