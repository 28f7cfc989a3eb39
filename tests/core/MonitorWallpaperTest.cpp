// A change on a desktop of several monitors, through the recording platform: which bitmaps are
// written for which monitor, what they show, and that one monitor with the classic keys still
// changes as it always has.

#include "core/Settings.h"
#include "core/Wallpaper.h"
#include "imaging/Canvas.h"
#include "imaging/PixelGraphic.h"

#include "TempDir.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace scenaria {
namespace {

using testing::TFakePlatform;
using testing::TTempDir;

// A landscape monitor and a portrait one to its right, as the layouts of the tests elsewhere,
// at a tenth of the size.
const std::vector<TMonitor> TwoMonitors = {{"A", 0, 0, 192, 108, true, 0},
                                           {"B", 192, 0, 108, 192, false, 0}};

class MonitorWallpaper : public ::testing::Test {
protected:
    MonitorWallpaper()
    {
        Settings = TSettings{};
        Settings.SaveFolder = dir.Path().string();
        Settings.Tile = 1;
        platform.MonitorList = TwoMonitors;
    }
    ~MonitorWallpaper() override { Settings = TSettings{}; }

    std::string Solid(const std::string& name, int width, int height, TColor colour)
    {
        TPixelGraphic picture;
        picture.SetSize(width, height, bc24Bit);
        picture.Canvas().FillRect({0, 0, width, height}, colour);
        const std::string path = dir / name;
        picture.SaveToFile(path);
        return path;
    }

    static std::unique_ptr<TPixelGraphic> Read(const std::string& path)
    {
        auto image = std::make_unique<TPixelGraphic>();
        image->LoadFromFile(path);
        return image;
    }

    TTempDir dir;
    TFakePlatform platform;
};

TEST_F(MonitorWallpaper, ACircleStaysRoundAndCentredOnEachMonitorOfTheSamePicture)
{
    TPixelGraphic circle;
    circle.SetSize(400, 400, bc24Bit);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x)
            circle.SetPixelColor(
                x, y, std::hypot(x - 199.5, y - 199.5) < 150 ? RGB(255, 0, 0) : RGB(255, 255, 255));
    circle.SaveToFile(dir / "circle.bmp");
    Settings.Stretch = Settings.Proportional = true;
    Settings.Background = 0x204060;
    ASSERT_TRUE(SetWallpaper(platform, dir / "circle.bmp"));
    ASSERT_EQ(platform.MonitorInstalls.size(), 1u);
    EXPECT_TRUE(platform.Installs.empty());
    const auto& install = platform.MonitorInstalls[0];
    ASSERT_EQ(install.Pictures.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const TMonitor& m = TwoMonitors[i];
        EXPECT_EQ(install.Pictures[i].Monitor, m);
        const auto read = Read(install.Pictures[i].File);
        const TPixelGraphic& bitmap = *read;
        ASSERT_EQ(bitmap.Width(), m.Width);
        ASSERT_EQ(bitmap.Height(), m.Height);
        int left = m.Width, right = -1, top = m.Height, bottom = -1;
        for (int y = 0; y < m.Height; ++y)
            for (int x = 0; x < m.Width; ++x)
                if (GetRValue(bitmap.GetPixelColor(x, y)) > 200 &&
                    GetGValue(bitmap.GetPixelColor(x, y)) < 100) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        const int width = right - left + 1, height = bottom - top + 1;
        EXPECT_NEAR(width, height, 2) << m.Name;
        EXPECT_NEAR((left + right) / 2.0, (m.Width - 1) / 2.0, 1.5) << m.Name;
        EXPECT_NEAR((top + bottom) / 2.0, (m.Height - 1) / 2.0, 1.5) << m.Name;
        EXPECT_NEAR(width, std::min(m.Width, m.Height) * 300 / 400, 3) << m.Name;
        // The letterbox of the narrow side.
        const TColor edge = m.Width > m.Height ? bitmap.GetPixelColor(0, m.Height / 2)
                                               : bitmap.GetPixelColor(m.Width / 2, 0);
        EXPECT_EQ(edge, RGB(0x20, 0x40, 0x60)) << m.Name;
    }
    const auto layout = Read(install.LayoutFile);
    EXPECT_EQ(layout->Width(), 300);
    EXPECT_EQ(layout->Height(), 192);
    EXPECT_EQ(layout->GetPixelColor(10, 150), RGB(0, 0, 0)) << "below the landscape monitor";
    EXPECT_TRUE(WallpaperShown);
    EXPECT_EQ(LastShown, dir / "circle.bmp");
}

TEST_F(MonitorWallpaper, EachMonitorItsOwnPictureOrOnePictureAcrossThemAll)
{
    const std::string red = Solid("red.bmp", 50, 40, RGB(255, 0, 0));
    const std::string blue = Solid("blue.bmp", 50, 40, RGB(0, 0, 255));
    Settings.Stretch = true;
    Settings.Monitors = 1;
    ASSERT_TRUE(SetMonitorWallpapers(platform, TwoMonitors, {red, blue}));
    const auto& own = platform.MonitorInstalls.back();
    EXPECT_EQ(Read(own.Pictures[0].File)->GetPixelColor(100, 50), RGB(255, 0, 0));
    EXPECT_EQ(Read(own.Pictures[1].File)->GetPixelColor(50, 100), RGB(0, 0, 255));
    EXPECT_NE(own.Pictures[0].File, own.Pictures[1].File);
    EXPECT_EQ(LastShown, blue);

    // Across the layout: a picture whose left half is green and right half yellow shows green
    // on the landscape monitor's left and yellow on the portrait one.
    TPixelGraphic halves;
    halves.SetSize(300, 192, bc24Bit);
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 300; ++x)
            halves.SetPixelColor(x, y, x < 150 ? RGB(0, 255, 0) : RGB(255, 255, 0));
    halves.SaveToFile(dir / "halves.bmp");
    Settings.Monitors = 2;
    ASSERT_TRUE(SetWallpaper(platform, dir / "halves.bmp"));
    const auto& spanned = platform.MonitorInstalls.back();
    EXPECT_EQ(Read(spanned.Pictures[0].File)->GetPixelColor(20, 50), RGB(0, 255, 0));
    EXPECT_EQ(Read(spanned.Pictures[1].File)->GetPixelColor(50, 100), RGB(255, 255, 0));
}

TEST_F(MonitorWallpaper, OneMonitorWithTheClassicKeysChangesAsItAlwaysHas)
{
    platform.MonitorList = {{"A", 0, 0, 1024, 768, true, 0}};
    const std::string red = Solid("red.bmp", 50, 40, RGB(255, 0, 0));
    Settings.Tile = 0;
    ASSERT_TRUE(SetWallpaper(platform, red));
    ASSERT_EQ(platform.Installs.size(), 1u);
    EXPECT_EQ(platform.Installs[0], (TFakePlatform::TInstall{false, red, true, -1}));
    EXPECT_TRUE(platform.MonitorInstalls.empty());

    // Fill is done by the program, even on one monitor: the picture covers it.
    Settings.Tile = 1;
    Settings.Fill = true;
    ASSERT_TRUE(SetWallpaper(platform, Solid("wide.bmp", 400, 100, RGB(0, 0, 255))));
    ASSERT_EQ(platform.MonitorInstalls.size(), 1u);
    const auto filled = Read(platform.MonitorInstalls[0].Pictures[0].File);
    EXPECT_EQ(filled->GetPixelColor(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(filled->GetPixelColor(1023, 767), RGB(0, 0, 255));
}

TEST_F(MonitorWallpaper, APictureThatDoesNotLoadShowsNothing)
{
    dir.Write("broken.bmp", "BM not a bitmap");
    EXPECT_FALSE(SetWallpaper(platform, dir / "broken.bmp"));
    EXPECT_EQ(LastWallpaperFailure, wfPicture);
    Settings.Monitors = 1;
    EXPECT_FALSE(SetMonitorWallpapers(
        platform, TwoMonitors, {Solid("red.bmp", 5, 5, RGB(255, 0, 0)), dir / "broken.bmp"}));
    EXPECT_TRUE(platform.MonitorInstalls.empty());
    EXPECT_FALSE(WallpaperShown);
}

} // namespace
} // namespace scenaria
