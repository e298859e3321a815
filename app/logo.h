#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// A baseline or progressive JPEG, decoded one row at a time, top to bottom,
// so that the whole picture is never held. When the picture will be shown
// smaller, it is decoded at the smallest DCT scale that is still at least
// minWidth x minHeight.
class JpegRows {
public:
    // Reads the header. Throws LauncherError on a damaged picture.
    JpegRows(const void* data, std::size_t size, int minWidth = 0, int minHeight = 0);
    ~JpegRows();
    JpegRows(JpegRows&&) noexcept;
    JpegRows& operator=(JpegRows&&) noexcept;

    int Width() const { return width_; }
    int Height() const { return height_; }
    // The next row, 8-bit RGB, valid until the next call; at most Height()
    // calls. Throws LauncherError on a damaged picture.
    const std::uint8_t* NextRow();

private:
    struct Decoder;
    std::unique_ptr<Decoder> decoder_;
    int width_ = 0;
    int height_ = 0;
};

// Resamples a sourceWidth x sourceHeight picture, whose 8-bit RGB rows
// nextSourceRow gives top to bottom, each asked for once at most, with a
// triangle filter widened to the reduction, so that a reduction averages
// every source pixel it covers (no nearest-neighbour aliasing) and an
// enlargement is bilinear. Each destination row goes, top to bottom, as
// 8-bit RGB to `row`: neither picture is ever held whole.
void ResampleRows(int sourceWidth, int sourceHeight, const std::function<const std::uint8_t*()>& nextSourceRow,
                  int width, int height, const std::function<void(int y, const std::uint8_t* rgb)>& row);
