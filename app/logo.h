#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// An 8-bit RGB picture, rows top to bottom, no padding.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// Decodes a baseline or progressive JPEG; when the picture will be shown
// smaller, it is decoded at the smallest DCT scale that is still at least
// minWidth x minHeight. Throws LauncherError on a damaged picture.
RgbImage DecodeJpeg(const void* data, std::size_t size, int minWidth = 0, int minHeight = 0);

// Resamples with a triangle filter widened to the reduction, so that a
// reduction averages every source pixel it covers (no nearest-neighbour
// aliasing) and an enlargement is bilinear. Each destination row goes, top
// to bottom, as 8-bit RGB to `row`: the whole result is never held.
void ResampleRows(const RgbImage& source, int width, int height,
                  const std::function<void(int y, const std::uint8_t* rgb)>& row);
