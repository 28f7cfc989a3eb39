#include "app/MainForm.h"
#include "core/Settings.h"
#include "core/Wallpaper.h"

#include "TempDir.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

namespace scenaria {
namespace {

using testing::TFakePlatform;
using testing::TTempDir;

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform.SettingsFile = dir / "scenarix.INI";
        platform.PictureFolder = dir / "pics";
    }
    void WriteSettings(const std::string& keys)
    {
        dir.Write("scenarix.INI", "[Diduzavizo]\nDirectory=" + (dir / "pics") + "\n" + keys);
    }
    TTempDir dir;
    TFakePlatform platform;
};

TEST_F(MainFormTest, FormCreateRestoresThePositionAndBuildsTheCatalogue)
{
    dir.Write("pics/a.bmp");
    dir.Write("pics/b.txt");
    WriteSettings("LastIndex=4\n");
    platform.DesktopReady = false;
    TfmMain form(platform, {});
    EXPECT_EQ(form.CurrentIndex, 4);
    EXPECT_EQ(form.Catalogue, TCatalogue{dir / "pics/a.bmp"});
    EXPECT_FALSE(ComReady);
    EXPECT_FALSE(form.Busy);
    EXPECT_FALSE(form.GifPreview);
    EXPECT_FALSE(WallpaperShown);
    EXPECT_EQ(form.MinuteCount, 0);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(platform.InitializeCalls, 1);
}

TEST_F(MainFormTest, GifSwitchMustMatchExactly)
{
    WriteSettings("");
    EXPECT_TRUE(TfmMain(platform, {"/gif"}).GifPreview);
    EXPECT_TRUE(TfmMain(platform, {"/gif", "more"}).GifPreview);
    EXPECT_FALSE(TfmMain(platform, {"/GIF"}).GifPreview);
    EXPECT_FALSE(TfmMain(platform, {"-gif"}).GifPreview);
    EXPECT_FALSE(TfmMain(platform, {"x", "/gif"}).GifPreview);
    TfmMain form(platform, {});
    EXPECT_TRUE(ComReady);
}

TEST_F(MainFormTest, MissingFolderLeavesTheCatalogueEmptyAndDestroyReleasesTheDesktop)
{
    WriteSettings("");
    {
        TfmMain form(platform, {});
        EXPECT_TRUE(form.Catalogue.empty());
    }
    EXPECT_EQ(platform.FinalizeCalls, 1);
}

} // namespace
} // namespace scenaria
