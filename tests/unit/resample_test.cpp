#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/logo.h"

namespace {

// An 8-bit RGB picture, rows top to bottom, no padding.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

RgbImage Stripes(int width, int height)
{
    // One-pixel black and white columns: nearest-neighbour keeps them, an
    // averaging reduction turns them grey.
    RgbImage image{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) image.pixels.push_back(x % 2 ? 255 : 0);
    return image;
}

// The whole resampled picture, gathered row by row.
RgbImage Resample(const RgbImage& source, int width, int height)
{
    RgbImage result{width, height, {}};
    int asked = 0; // the source's rows, like a decoder's, come once each and in order
    ResampleRows(
        source.width, source.height,
        [&] {
            EXPECT_LT(asked, source.height) << "a row past the picture's end";
            return &source.pixels[static_cast<size_t>(std::min(asked++, source.height - 1)) * source.width * 3];
        },
        width, height,
        [&](int, const std::uint8_t* rgb) {
            result.pixels.insert(result.pixels.end(), rgb, rgb + static_cast<size_t>(width) * 3);
        });
    return result;
}

} // namespace

TEST(Logo, ReductionAveragesInsteadOfPickingPixels)
{
    const RgbImage half = Resample(Stripes(512, 4), 256, 2);
    ASSERT_EQ(half.width, 256);
    ASSERT_EQ(half.pixels.size(), 256u * 2u * 3u);
    // The outermost columns see only part of the filter.
    for (int y = 0; y < 2; ++y)
        for (int x = 1; x < 255; ++x) EXPECT_NEAR(half.pixels[(y * 256 + x) * 3], 128, 2) << x;

    const RgbImage odd = Resample(Stripes(512, 512), 297, 297);
    int lowest = 255, highest = 0;
    for (int y = 0; y < 297; ++y)
        for (int x = 1; x < 296; ++x) {
            const int value = odd.pixels[(y * 297 + x) * 3];
            lowest = std::min(lowest, value);
            highest = std::max(highest, value);
        }
    EXPECT_GT(lowest, 96);
    EXPECT_LT(highest, 160);
}

TEST(Logo, ResamplingKeepsFlatColoursAndEdgesInPlace)
{
    RgbImage flat{64, 64, std::vector<std::uint8_t>(64 * 64 * 3, 0)};
    for (size_t i = 0; i < flat.pixels.size(); i += 3) {
        flat.pixels[i] = 200;
        flat.pixels[i + 1] = 30;
        flat.pixels[i + 2] = 90;
    }
    for (auto [w, h] : {std::pair{37, 37}, std::pair{100, 100}, std::pair{64, 1}}) {
        const RgbImage out = Resample(flat, w, h);
        for (size_t i = 0; i < out.pixels.size(); i += 3) {
            ASSERT_EQ(out.pixels[i], 200);
            ASSERT_EQ(out.pixels[i + 1], 30);
            ASSERT_EQ(out.pixels[i + 2], 90);
        }
    }

    // Left half black, right half white: the edge stays in the middle.
    RgbImage halves{100, 1, {}};
    for (int x = 0; x < 100; ++x)
        for (int c = 0; c < 3; ++c) halves.pixels.push_back(x < 50 ? 0 : 255);
    const RgbImage out = Resample(halves, 10, 1);
    EXPECT_EQ(out.pixels[0], 0);
    EXPECT_EQ(out.pixels[9 * 3], 255);
    EXPECT_LT(out.pixels[4 * 3], 128);
    EXPECT_GT(out.pixels[5 * 3], 128);
}

TEST(Logo, EachRowComesFromTheSourceRowsAtItsPlace)
{
    // Row y of the source is grey y: every destination row away from the
    // edges is the grey at its centre, whatever the ratio.
    for (auto [from, to] : {std::pair{256, 100}, std::pair{256, 297}, std::pair{40, 7}, std::pair{200, 199}}) {
        SCOPED_TRACE(std::to_string(from) + " -> " + std::to_string(to));
        RgbImage ramp{2, from, {}};
        for (int y = 0; y < from; ++y)
            for (int i = 0; i < 2 * 3; ++i) ramp.pixels.push_back(static_cast<std::uint8_t>(y));
        const RgbImage out = Resample(ramp, 2, to);
        ASSERT_EQ(out.pixels.size(), static_cast<size_t>(2 * to * 3));
        const double scale = static_cast<double>(from) / to;
        const double support = std::max(scale, 1.0);
        for (int y = 0; y < to; ++y) {
            const double centre = (y + 0.5) * scale;
            if (centre - support < 0 || centre + support > from) continue;
            EXPECT_NEAR(out.pixels[static_cast<size_t>(y) * 2 * 3], centre - 0.5, 0.51) << "row " << y;
        }
    }
}
