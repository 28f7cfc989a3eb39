#include "core/Wallpaper.h"
#include "core/Settings.h"
#include "imaging/PixelGraphic.h"

#include "OrientedPictures.h"
#include "TempDir.h"
#include "fakes/FakePlatform.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

namespace scenaria {
namespace {

using testing::TFakePlatform;
using testing::TTempDir;

// A picture with some colour in it, so that reduction to 232 colours has work to do.
void Paint(TPixelGraphic& image, int width, int height)
{
    image.SetSize(width, height, bc24Bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.SetPixelColor(x, y, RGB(x * 255 / width, y * 255 / height, (x + y) % 256));
}

std::string MakePicture(const TTempDir& dir, const std::string& name, int width, int height)
{
    TPixelGraphic image;
    Paint(image, width, height);
    const std::string path = dir / name;
    image.SaveToFile(path);
    return path;
}

class Composition : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings = TSettings{};
        Settings.SaveFolder = dir / "save";
        std::filesystem::create_directory(Settings.SaveFolder);
        ComReady = true;
        WallpaperShown = false;
        LastShown.clear();
    }
    std::string Temp() const
    {
        return (std::filesystem::path(Settings.SaveFolder) / "~scxtmp.bmp").string();
    }

    TTempDir dir;
    TFakePlatform platform;
};

// What a call should hand to the desktop.
enum TExpectedFile { efOwn, efTempOwnSize, efTempScreen, efTempScaled };

struct TRow {
    const char* Name;
    bool Centre;
    bool Stretch;
    bool Proportional;
    bool ActiveDesktop; // the setting
    bool ComReady;
    TExpectedFile ForBmp; // on a true-colour screen; JPEG gives efTempOwnSize where BMP gives efOwn
    TExpectedFile ForBmpLowColor;
    int Style; // active installer style, or -1 for the classic installer
};

const TRow Rows[] = {
    {"tiled", false, false, false, false, true, efOwn, efTempOwnSize, -1},
    {"tiled, stretch, no active desktop", false, true, true, false, true, efOwn, efTempOwnSize, -1},
    {"tiled, stretch, active desktop", false, true, false, true, true, efOwn, efOwn, 1},
    {"centred", true, false, true, false, true, efOwn, efTempOwnSize, -1},
    {"centred, active desktop", true, false, false, true, true, efOwn, efTempOwnSize, 0},
    {"stretched", true, true, false, false, true, efTempScreen, efTempScreen, -1},
    {"stretched by the active desktop", true, true, false, true, true, efOwn, efOwn, 2},
    {"scaled", true, true, true, false, true, efTempScaled, efTempScaled, -1},
    {"scaled, active desktop", true, true, true, true, true, efTempScaled, efTempScaled, 0},
    // The installer follows the setting alone: without a desktop that takes files, stretching
    // is composed, and the active installer still gets the call.
    {"stretched, active setting without desktop", true, true, false, true, false, efTempScreen,
     efTempScreen, 2},
};

TEST_F(Composition, EveryRowOfTheTable)
{
    const std::string bmp = MakePicture(dir, "picture.bmp", 400, 300);
    const std::string jpg = MakePicture(dir, "picture.jpg", 400, 300);
    for (const TRow& row : Rows) {
        for (const std::string& picture : {bmp, jpg}) {
            for (const int depth : {24, 8}) {
                SCOPED_TRACE(std::string(row.Name) + ", " + picture + ", depth " +
                             std::to_string(depth));
                const bool isBmp = picture == bmp;
                Settings.Tile = row.Centre ? 1 : 0;
                Settings.Stretch = row.Stretch;
                Settings.Proportional = row.Proportional;
                Settings.ActiveDesktop = row.ActiveDesktop;
                ComReady = row.ComReady;
                platform.Screen = {1024, 768, depth};
                platform.Installs.clear();
                std::filesystem::remove(Temp());

                ASSERT_TRUE(SetWallpaper(platform, picture));
                EXPECT_TRUE(WallpaperShown);
                EXPECT_EQ(LastShown, picture);

                TExpectedFile expected = depth == 8 ? row.ForBmpLowColor : row.ForBmp;
                if (!isBmp && expected == efOwn &&
                    !(row.Stretch && (row.Centre || (row.ActiveDesktop && row.ComReady))))
                    expected = efTempOwnSize;

                ASSERT_EQ(platform.Installs.size(), 1u);
                const auto& install = platform.Installs[0];
                EXPECT_EQ(install.Active, row.Style >= 0);
                if (row.Style >= 0)
                    EXPECT_EQ(install.Style, row.Style);
                else
                    EXPECT_EQ(install.Tiled, !row.Centre);
                EXPECT_EQ(install.File, expected == efOwn ? picture : Temp());
                EXPECT_EQ(std::filesystem::exists(Temp()), expected != efOwn);
                if (expected == efOwn)
                    continue;

                TPixelGraphic written;
                written.LoadFromFile(Temp());
                const int width = expected == efTempScreen   ? 1024
                                  : expected == efTempScaled ? 1024
                                                             : 400;
                const int height = expected == efTempScreen   ? 768
                                   : expected == efTempScaled ? 768
                                                              : 300;
                EXPECT_EQ(written.Width(), width);
                EXPECT_EQ(written.Height(), height);
                if (depth == 8) {
                    EXPECT_EQ(written.BitCount(), bc8Bit);
                    ASSERT_EQ(written.PaletteCount(), 232);
                    const TColor system[16] = {
                        RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
                        RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(192, 192, 192),
                        RGB(128, 128, 128), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
                        RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255)};
                    for (int i = 0; i < 16; ++i)
                        EXPECT_EQ(written.PaletteEntry(216 + i), system[i]) << "entry " << 216 + i;
                } else {
                    EXPECT_EQ(written.BitCount(), bc24Bit);
                }
            }
        }
    }
}

TEST_F(Composition, SizeRuleOfTileTwo)
{
    Settings.Tile = 2;
    Settings.MinWidth = 320;
    Settings.MinHeight = 240;
    const struct {
        int Width, Height;
        bool Tiled;
    } cases[] = {{320, 480, true}, {321, 241, false}, {321, 240, true}, {1000, 100, true}};
    for (const auto& c : cases) {
        platform.Installs.clear();
        const std::string file = MakePicture(dir, "p.bmp", c.Width, c.Height);
        ASSERT_TRUE(SetWallpaper(platform, file));
        ASSERT_EQ(platform.Installs.size(), 1u);
        EXPECT_EQ(platform.Installs[0].Tiled, c.Tiled) << c.Width << "x" << c.Height;
        EXPECT_EQ(platform.Installs[0].File, file)
            << "a BMP on a true-colour screen is used as it is";
    }
    for (int tile : {3, -1}) {
        Settings.Tile = tile;
        platform.Installs.clear();
        ASSERT_TRUE(SetWallpaper(platform, MakePicture(dir, "p.bmp", 800, 600)));
        EXPECT_TRUE(platform.Installs.at(0).Tiled) << "Tile " << tile << " behaves as tiled";
    }
}

bool SamePixels(const TPixelGraphic& a, const TPixelGraphic& b)
{
    return a.Width() == b.Width() && a.Height() == b.Height() && a.BitCount() == b.BitCount() &&
           std::memcmp(a.PixelData(), b.PixelData(), a.ImageSize()) == 0;
}

TEST_F(Composition, PhotosTakenSidewaysAreComposedUprightUnlessAutoRotateIsOff)
{
    Settings.Tile = 0; // tiled at its own size: the composed bitmap holds the picture's pixels
    platform.Screen = {1024, 768, 24};
    TPixelGraphic upright;
    testing::PaintUpright(upright, 40, 24);
    for (int k = 1; k <= 8; ++k) {
        SCOPED_TRACE("orientation " + std::to_string(k));
        TPixelGraphic stored;
        testing::StoredFor(upright, k, stored);
        const std::string photo = dir.Write("photo.png", testing::PngWithOrientation(stored, k));
        for (const bool autoRotate : {true, false}) {
            Settings.AutoRotate = autoRotate;
            std::filesystem::remove(Temp());
            ASSERT_TRUE(SetWallpaper(platform, photo));
            TPixelGraphic composed;
            composed.LoadFromFile(Temp());
            EXPECT_TRUE(SamePixels(composed, autoRotate ? upright : stored)) << autoRotate;
        }
    }
}

TEST_F(Composition, TheUprightSizeDecidesWhetherAPictureIsCentred)
{
    // 300 x 400 as stored, 400 x 300 as taken: larger than 320 x 240 only when upright.
    Settings.Tile = 2;
    Settings.MinWidth = 320;
    Settings.MinHeight = 240;
    platform.Screen = {1024, 768, 24};
    TPixelGraphic upright;
    testing::PaintUpright(upright, 400, 300);
    TPixelGraphic stored;
    testing::StoredFor(upright, 6, stored);
    const std::string photo = dir.Write("photo.png", testing::PngWithOrientation(stored, 6));
    for (const bool autoRotate : {true, false}) {
        Settings.AutoRotate = autoRotate;
        platform.Installs.clear();
        ASSERT_TRUE(SetWallpaper(platform, photo));
        ASSERT_EQ(platform.Installs.size(), 1u);
        EXPECT_EQ(platform.Installs[0].Tiled, !autoRotate) << autoRotate;
    }
}

TEST_F(Composition, ProportionalScale)
{
    Settings.Tile = 1;
    Settings.Stretch = true;
    Settings.Proportional = true;
    const struct {
        int Width, Height, ExpectedWidth, ExpectedHeight;
    } cases[] = {
        {800, 600, 1024, 768}, {18, 13, 1023, 739}, {2048, 768, 1024, 384}, {100, 400, 192, 768}};
    for (const auto& c : cases) {
        ASSERT_TRUE(SetWallpaper(platform, MakePicture(dir, "p.bmp", c.Width, c.Height)));
        TPixelGraphic written;
        written.LoadFromFile(Temp());
        EXPECT_EQ(written.Width(), c.ExpectedWidth) << c.Width << "x" << c.Height;
        EXPECT_EQ(written.Height(), c.ExpectedHeight) << c.Width << "x" << c.Height;
    }
}

TEST(Real48, RoundsTheSignificandToFortyBits)
{
    EXPECT_EQ(RoundToReal48(1.0L), 1.0L);
    EXPECT_EQ(RoundToReal48(0.75L), 0.75L);
    // 1024/18 = 56.888...: the 40-bit value lies just below, so 18 times it falls short of 1024.
    const long double ratio = RoundToReal48(1024.0L / 18);
    EXPECT_LT(ratio, 1024.0L / 18);
    EXPECT_EQ(static_cast<int>(18 * ratio), 1023);
    // A half in the 41st bit rounds up: 1 + 2^-40 is exactly between two 40-bit values.
    EXPECT_EQ(RoundToReal48(1.0L + std::ldexp(1.0L, -40)), 1.0L + std::ldexp(1.0L, -39));
    EXPECT_EQ(RoundToReal48(-(1.0L + std::ldexp(1.0L, -40))), -(1.0L + std::ldexp(1.0L, -39)));
    EXPECT_EQ(ProportionalScale(1024, 768, 800, 600), RoundToReal48(768.0L / 600))
        << "equal ratios take the height's";
}

TEST_F(Composition, GifIsRefusedWithoutOpeningIt)
{
    // Opening a pipe for reading would block: a call that touched the file would hang.
    const std::string gif = dir / "moving.GIF";
    ASSERT_TRUE(testing::MakeFifo(gif));
    Settings.ActiveDesktop = false;
    EXPECT_FALSE(SetWallpaper(platform, gif));
    ComReady = false;
    Settings.ActiveDesktop = true;
    EXPECT_FALSE(SetWallpaper(platform, gif));
    EXPECT_TRUE(platform.Installs.empty());
    EXPECT_FALSE(std::filesystem::exists(Temp()));
    EXPECT_FALSE(WallpaperShown);
}

TEST_F(Composition, GifWithActiveDesktopFailsToLoad)
{
    const std::string gif = dir / "still.gif";
    std::ofstream(gif) << "GIF89a" << std::string(30, '\0');
    Settings.ActiveDesktop = true;
    ComReady = true;
    EXPECT_FALSE(SetWallpaper(platform, gif));
    EXPECT_TRUE(platform.Installs.empty());
}

TEST_F(Composition, UnreadablePicturesInstallNothing)
{
    const std::string picture = MakePicture(dir, "good.jpg", 50, 40);
    ASSERT_TRUE(SetWallpaper(platform, picture));
    platform.Installs.clear();
    for (const std::string& bad :
         {dir / "missing.bmp", dir.Write("text.bmp", "hello, world"), dir.Write("empty.png", "")}) {
        EXPECT_FALSE(SetWallpaper(platform, bad)) << bad;
        EXPECT_FALSE(WallpaperShown);
        EXPECT_EQ(LastShown, picture) << "the last success is kept";
    }
    EXPECT_TRUE(platform.Installs.empty());
}

TEST_F(Composition, ReaderWarningMakesTheCallFail)
{
    const std::string whole = MakePicture(dir, "whole.jpg", 300, 200);
    const std::string data = testing::ReadFile(whole);
    const std::string cut = dir.Write("cut.jpg", data.substr(0, data.size() / 2));
    EXPECT_FALSE(SetWallpaper(platform, cut));
    EXPECT_FALSE(WallpaperShown);
    EXPECT_TRUE(platform.Installs.empty());
    EXPECT_FALSE(std::filesystem::exists(Temp())) << "nothing is written";
}

TEST_F(Composition, MissingSaveFolder)
{
    Settings.SaveFolder = dir / "gone";
    const std::string bmp = MakePicture(dir, "p.bmp", 400, 300);
    const std::string jpg = MakePicture(dir, "p.jpg", 400, 300);

    // Composition raises, and nothing is installed.
    Settings.Tile = 1;
    Settings.Stretch = true;
    EXPECT_ANY_THROW(SetWallpaper(platform, bmp));
    EXPECT_FALSE(WallpaperShown);
    EXPECT_TRUE(platform.Installs.empty());

    // Conversion fails too, says so in one line, and installs nothing rather than a name that
    // is not there.
    Settings.Stretch = false;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(SetWallpaper(platform, jpg));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(LastWallpaperFailure, wfTemporaryBitmap);
    EXPECT_FALSE(WallpaperShown);
    EXPECT_TRUE(platform.Installs.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "gone"));
    EXPECT_NE(said.find(dir / "gone/~scxtmp.bmp"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

TEST_F(Composition, FailedConversionNeverInstallsTheOldTemporaryBitmap)
{
    // A first picture leaves its conversion behind; the second one's save is then refused
    // (the temporary name is taken by a folder, which even root cannot write as a file).
    ASSERT_TRUE(SetWallpaper(platform, MakePicture(dir, "first.jpg", 40, 30)));
    ASSERT_EQ(platform.Installs.size(), 1u);
    std::filesystem::remove(Temp());
    std::filesystem::create_directory(Temp());
    platform.Installs.clear();

    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(SetWallpaper(platform, MakePicture(dir, "second.png", 40, 30)));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(platform.Installs.empty());
    EXPECT_FALSE(WallpaperShown);
    EXPECT_EQ(LastShown, dir / "first.jpg") << "the last success is kept";
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;

    // A bitmap that needs no conversion is still installed as itself.
    const std::string bmp = MakePicture(dir, "third.bmp", 40, 30);
    EXPECT_TRUE(SetWallpaper(platform, bmp));
    EXPECT_EQ(LastWallpaperFailure, wfNone);
    ASSERT_EQ(platform.Installs.size(), 1u);
    EXPECT_EQ(platform.Installs[0].File, bmp);
}

TEST_F(Composition, DefaultSaveFolderIsCreatedWhenFirstNeeded)
{
    platform.SaveFolder = dir / "cache/scenaria";
    Settings.SaveFolder = platform.SaveFolder;
    ASSERT_TRUE(SetWallpaper(platform, MakePicture(dir, "p.jpg", 40, 30)));
    EXPECT_TRUE(std::filesystem::exists(dir / "cache/scenaria/~scxtmp.bmp"));
}

TEST_F(Composition, ActiveDesktopWithoutDesktopStillCountsAsShown)
{
    Settings.ActiveDesktop = true;
    ComReady = false;
    platform.InstallResult = TPlatformStatus::Failure("no desktop");
    const std::string bmp = MakePicture(dir, "p.bmp", 64, 64);
    EXPECT_TRUE(SetWallpaper(platform, bmp));
    EXPECT_TRUE(WallpaperShown);
    EXPECT_EQ(LastShown, bmp);
    ASSERT_EQ(platform.Installs.size(), 1u);
    EXPECT_TRUE(platform.Installs[0].Active);
    EXPECT_EQ(platform.Installs[0].Style, 1);
}

TEST_F(Composition, DesktopNeverReachedAbandonsTheCall)
{
    // What Windows answers when the registry refuses the classic installer's values.
    platform.InstallResult = TPlatformStatus::Abandoning("Failed to create key Desktop");
    const std::string bmp = MakePicture(dir, "p.bmp", 64, 64);
    try {
        SetWallpaper(platform, bmp);
        ADD_FAILURE() << "the call must fail";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Failed to create key Desktop");
    }
    EXPECT_FALSE(WallpaperShown);
    EXPECT_EQ(platform.Installs.size(), 1u);
}

TEST_F(Composition, LowColourScreenWithUnknownDepthIsNotLow)
{
    platform.Screen = {1024, 768, 0};
    EXPECT_FALSE(IsLowColorDisplay(platform));
    platform.Screen = {1024, 768, 8};
    EXPECT_TRUE(IsLowColorDisplay(platform));
    platform.Screen = {1024, 768, 16};
    EXPECT_FALSE(IsLowColorDisplay(platform));
}

TEST_F(Composition, SliverOfAPictureKeepsAPixelOnEachSide)
{
    Settings.Tile = 1;
    Settings.Stretch = true;
    Settings.Proportional = true;
    // The long side follows the 40-bit scale as any other picture does (2000 x 0.512 falls
    // just short of 1024); the short side, which would truncate to 0, keeps one pixel.
    const auto fit = [](int side, int width, int height) {
        return static_cast<int>(side * ProportionalScale(1024, 768, width, height));
    };
    const struct {
        int Width, Height, ExpectedWidth, ExpectedHeight;
    } cases[] = {{2000, 1, fit(2000, 2000, 1), 1},
                 {1, 3000, 1, fit(3000, 1, 3000)},
                 {5000, 2, fit(5000, 5000, 2), 1}};
    for (const auto& c : cases) {
        ASSERT_GT(c.ExpectedWidth + c.ExpectedHeight, 700);
        ASSERT_TRUE(SetWallpaper(platform, MakePicture(dir, "sliver.bmp", c.Width, c.Height)))
            << c.Width << "x" << c.Height;
        ASSERT_EQ(platform.Installs.back().File, Temp());
        TPixelGraphic written;
        written.LoadFromFile(Temp());
        EXPECT_EQ(written.Width(), c.ExpectedWidth) << c.Width << "x" << c.Height;
        EXPECT_EQ(written.Height(), c.ExpectedHeight) << c.Width << "x" << c.Height;
    }
}

TEST_F(Composition, UnknownScreenSizeFailsComposition)
{
    platform.Screen = {0, 0, 0};
    Settings.Tile = 1;
    Settings.Stretch = true;
    EXPECT_ANY_THROW(SetWallpaper(platform, MakePicture(dir, "p.bmp", 400, 300)));
    EXPECT_TRUE(platform.Installs.empty());

    Settings.Proportional = true;
    try {
        SetWallpaper(platform, MakePicture(dir, "sliver.bmp", 2000, 1));
        ADD_FAILURE() << "a proportional fit to an unknown screen must fail";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "The screen size is unknown: the picture cannot be fitted to it");
    }
    EXPECT_TRUE(platform.Installs.empty());
}

} // namespace
} // namespace scenaria
