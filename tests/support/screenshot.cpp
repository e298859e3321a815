#include "tests/support/screenshot.h"

#include <fstream>

COLORREF Screenshot::At(int x, int y) const
{
    const std::uint32_t bgrx = pixels[static_cast<size_t>(y) * width + x];
    return RGB((bgrx >> 16) & 0xFF, (bgrx >> 8) & 0xFF, bgrx & 0xFF);
}

void Screenshot::Save(const std::wstring& path) const
{
    BITMAPINFOHEADER header{sizeof header};
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    const DWORD bytes = static_cast<DWORD>(pixels.size() * 4);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + bytes;
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    // Opaque, so that viewers do not take the unused byte for transparency.
    std::vector<std::uint32_t> opaque(pixels);
    for (auto& pixel : opaque) pixel |= 0xFF000000u;
    out.write(reinterpret_cast<const char*>(opaque.data()), bytes);
}

Screenshot CaptureClient(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    Screenshot shot;
    shot.width = client.right;
    shot.height = client.bottom;
    shot.pixels.resize(static_cast<size_t>(shot.width) * shot.height);

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, shot.width, -shot.height, 1, 32, BI_RGB};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, shot.width, shot.height, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    memcpy(shot.pixels.data(), bits, shot.pixels.size() * 4);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return shot;
}
