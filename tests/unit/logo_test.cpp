#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/errors.h"
#include "app/logo.h"

namespace {

std::vector<char> ReadLogo()
{
    std::wstring path = TARVIK_LOGO_PATH;
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    std::ifstream file(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

struct Decoded {
    int width;
    int height;
    std::vector<std::uint8_t> pixels;
};

Decoded DecodeAll(const void* data, std::size_t size, int minWidth = 0, int minHeight = 0)
{
    JpegRows rows(data, size, minWidth, minHeight);
    Decoded decoded{rows.Width(), rows.Height(), {}};
    for (int y = 0; y < rows.Height(); ++y) {
        const std::uint8_t* row = rows.NextRow();
        decoded.pixels.insert(decoded.pixels.end(), row, row + static_cast<std::size_t>(rows.Width()) * 3);
    }
    return decoded;
}

} // namespace

TEST(Logo, DecodesTheCommunityLogoAtFullAndReducedScale)
{
    const auto jpeg = ReadLogo();
    ASSERT_GT(jpeg.size(), 1000u);
    const Decoded full = DecodeAll(jpeg.data(), jpeg.size());
    EXPECT_EQ(full.width, 512);
    EXPECT_EQ(full.height, 512);
    ASSERT_EQ(full.pixels.size(), 512u * 512u * 3u);
    // The logo is not one colour: rows are really decoded, not left as they were.
    EXPECT_NE(std::count(full.pixels.begin(), full.pixels.end(), full.pixels[0]), 512 * 512 * 3);

    struct Case {
        int wanted;
        int decoded;
    };
    const Case cases[] = {{297, 320}, {446, 448}, {64, 64}, {65, 128}, {600, 512}};
    for (const Case& c : cases) {
        const Decoded reduced = DecodeAll(jpeg.data(), jpeg.size(), c.wanted, c.wanted);
        EXPECT_EQ(reduced.width, c.decoded) << c.wanted;
        EXPECT_EQ(reduced.height, c.decoded) << c.wanted;
        EXPECT_GE(reduced.width, std::min(c.wanted, 512));
    }
}

TEST(Logo, DamagedPictureIsAnError)
{
    auto jpeg = ReadLogo();
    ASSERT_GT(jpeg.size(), 1000u);
    const std::vector<char> cases[] = {
        {},
        {jpeg.begin(), jpeg.begin() + 200},
        {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'},
    };
    for (const auto& damaged : cases) EXPECT_THROW(DecodeAll(damaged.data(), damaged.size()), LauncherError);
}
