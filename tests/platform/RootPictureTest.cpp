#include "platform/X11Root.h"

#include <gtest/gtest.h>

namespace scenaria {
namespace {

// A picture whose every pixel tells where it came from: red = x, green = y, blue = 200.
TRgbPicture Numbered(int width, int height)
{
    TRgbPicture picture{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.Pixels.insert(picture.Pixels.end(), {static_cast<std::uint8_t>(x),
                                                         static_cast<std::uint8_t>(y), 200});
    return picture;
}

std::array<int, 3> At(const TRgbPicture& picture, int x, int y)
{
    const std::size_t offset = (static_cast<std::size_t>(y) * picture.Width + x) * 3;
    return {picture.Pixels[offset], picture.Pixels[offset + 1], picture.Pixels[offset + 2]};
}

TEST(RootPicture, TilesFromTheTopLeftCorner)
{
    const TRgbPicture screen = ComposeRootPicture(Numbered(16, 10), true, 50, 25);
    ASSERT_EQ(screen.Width, 50);
    ASSERT_EQ(screen.Height, 25);
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 50; ++x)
            ASSERT_EQ(At(screen, x, y), (std::array<int, 3>{x % 16, y % 10, 200})) << x << "," << y;
}

TEST(RootPicture, CentresOnBlackAndShowsTheMiddleOfALargerPicture)
{
    const TRgbPicture screen = ComposeRootPicture(Numbered(10, 4), false, 21, 9);
    // (21 - 10) / 2 = 5 from the left, (9 - 4) / 2 = 2 from the top.
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 21; ++x) {
            const bool inside = x >= 5 && x < 15 && y >= 2 && y < 6;
            const std::array<int, 3> expected =
                inside ? std::array<int, 3>{x - 5, y - 2, 200} : std::array<int, 3>{0, 0, 0};
            ASSERT_EQ(At(screen, x, y), expected) << x << "," << y;
        }
    }

    const TRgbPicture cropped = ComposeRootPicture(Numbered(40, 30), false, 20, 10);
    EXPECT_EQ(At(cropped, 0, 0), (std::array<int, 3>{10, 10, 200}));
    EXPECT_EQ(At(cropped, 19, 9), (std::array<int, 3>{29, 19, 200}));
}

TEST(RootPicture, AnEmptyOrShortPictureGivesABlackScreenNotACrash)
{
    TRgbPicture shortPicture{4, 4, std::vector<std::uint8_t>(5, 255)};
    for (const bool tiled : {true, false}) {
        const TRgbPicture screen = ComposeRootPicture(shortPicture, tiled, 8, 8);
        ASSERT_EQ(screen.Pixels.size(), 8u * 8 * 3);
        EXPECT_EQ(std::count(screen.Pixels.begin(), screen.Pixels.end(), 0), 8 * 8 * 3);
        EXPECT_EQ(ComposeRootPicture(TRgbPicture{}, tiled, 3, 2).Pixels.size(), 3u * 2 * 3);
    }
    EXPECT_TRUE(ComposeRootPicture(Numbered(2, 2), true, 0, 5).Pixels.empty());
}

TEST(RootPicture, TheVisibleRegionAloneComposesTheSameScreen)
{
    const auto crop = [](const TRgbPicture& picture, const TPictureRegion& region) {
        TRgbPicture part{region.Width, region.Height, {}};
        for (int y = region.Top; y < region.Top + region.Height; ++y)
            for (int x = region.Left; x < region.Left + region.Width; ++x) {
                const auto pixel = At(picture, x, y);
                part.Pixels.insert(part.Pixels.end(), {static_cast<std::uint8_t>(pixel[0]),
                                                       static_cast<std::uint8_t>(pixel[1]),
                                                       static_cast<std::uint8_t>(pixel[2])});
            }
        return part;
    };
    for (const auto& [width, height] : {std::pair{7, 3}, std::pair{20, 10}, std::pair{41, 23},
                                        std::pair{40, 5}, std::pair{3, 50}, std::pair{21, 11}})
        for (const bool tiled : {true, false}) {
            SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) +
                         (tiled ? " tiled" : " centred"));
            const TRgbPicture picture = Numbered(width, height);
            const TPictureRegion region = VisibleRegion(width, height, tiled, 20, 10);
            EXPECT_LE(region.Width, 20);
            EXPECT_LE(region.Height, 10);
            EXPECT_EQ(ComposeRootPicture(crop(picture, region), tiled, 20, 10).Pixels,
                      ComposeRootPicture(picture, tiled, 20, 10).Pixels);
        }
}

} // namespace
} // namespace scenaria
