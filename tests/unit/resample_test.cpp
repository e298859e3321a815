#include <gtest/gtest.h>

#include <algorithm>

#include "app/logo.h"

namespace {

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
