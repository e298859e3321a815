#include "app/layout.h"

int ScaleToDpi(int value, UINT dpi)
{
    return ::MulDiv(value, static_cast<int>(dpi), kBaseDpi);
}

Bounds ScaleToDpi(const Bounds& bounds, UINT dpi)
{
    return {ScaleToDpi(bounds.left, dpi), ScaleToDpi(bounds.top, dpi), ScaleToDpi(bounds.width, dpi),
            ScaleToDpi(bounds.height, dpi)};
}

Bounds FitPicture(const Bounds& box, int pictureWidth, int pictureHeight)
{
    const int boxWidth = box.width;
    const int boxHeight = box.height;
    int width = boxWidth;
    int height = ::MulDiv(pictureHeight, boxWidth, pictureWidth);
    if (height > boxHeight) {
        height = boxHeight;
        width = ::MulDiv(pictureWidth, boxHeight, pictureHeight);
    }
    return Bounds{box.left + (boxWidth - width) / 2, box.top + (boxHeight - height) / 2, width, height};
}
