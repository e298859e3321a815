#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

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

} // namespace

TEST(Logo, DecodesTheCommunityLogoAtFullAndReducedScale)
{
    const auto jpeg = ReadLogo();
    ASSERT_GT(jpeg.size(), 1000u);
    const RgbImage full = DecodeJpeg(jpeg.data(), jpeg.size());
    EXPECT_EQ(full.width, 512);
    EXPECT_EQ(full.height, 512);
    EXPECT_EQ(full.pixels.size(), 512u * 512u * 3u);

    struct Case {
        int wanted;
        int decoded;
    };
    const Case cases[] = {{297, 320}, {446, 448}, {64, 64}, {65, 128}, {600, 512}};
    for (const Case& c : cases) {
        const RgbImage reduced = DecodeJpeg(jpeg.data(), jpeg.size(), c.wanted, c.wanted);
        EXPECT_EQ(reduced.width, c.decoded) << c.wanted;
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
    for (const auto& damaged : cases) EXPECT_THROW(DecodeJpeg(damaged.data(), damaged.size()), LauncherError);
}
