// The Explorer's browsing rules: Home, Select and Goto, hints, picking and Fit.

#include "ui/ExplorerModel.h"

#include "TempDir.h"
#include "core/Settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace scenaria {
namespace {

TEST(ExplorerModelTest, GotoRightAfterOpeningStaysAndThenSwingsBetweenHomeAndTheLastFolder)
{
    TExplorerState state;
    state.Quality = 0;
    ExplorerOpened(state, "/pics");
    EXPECT_EQ(state.Quality, 80);
    EXPECT_EQ(GotoTarget(state, "/pics"), "/pics");

    EXPECT_EQ(GotoTarget(state, "/pics/sub"), "/pics");
    EXPECT_EQ(state.ReturnDir, "/pics/sub");
    EXPECT_EQ(GotoTarget(state, "/pics"), "/pics/sub");
    EXPECT_EQ(state.HomeDir, "/pics");
}

TEST(ExplorerModelTest, SelectModeMakesTheBrowsedFolderHomeAndReturns)
{
    TExplorerState state;
    ExplorerOpened(state, "/pics");
    state.CurrentFile = "/pics/a.jpg";
    state.Status1 = "Viewing file";
    SelectModeEntered(state, "/pics/sub");
    // Browsing while selecting forgets nothing.
    ExplorerFolderChanged(state, true);
    EXPECT_EQ(state.CurrentFile, "/pics/a.jpg");
    EXPECT_EQ(SelectModeLeft(state, "/keep"), "/pics/sub");
    EXPECT_EQ(state.HomeDir, "/keep");
    // The return to another folder than the file's then clears the panels.
    ExplorerFolderChanged(state, false);
    EXPECT_EQ(state.CurrentFile, "");
    EXPECT_EQ(state.Status1, "");
}

TEST(ExplorerModelTest, AFolderThatVanishedSendsTheListToTheNearestFolderAboveIt)
{
    testing::TTempDir dir;
    std::filesystem::create_directories(dir / "pics/sub");
    const std::string file = dir.Write("pics/picture.bmp");
    EXPECT_EQ(FolderMoveTo(dir / "pics/sub").Folder, dir / "pics/sub");
    EXPECT_EQ(FolderMoveTo(dir / "pics/sub").Error, "");

    const TFolderMove gone = FolderMoveTo(dir / "pics/gone/deeper");
    EXPECT_EQ(gone.Folder, dir / "pics");
    EXPECT_EQ(gone.Error, "Cannot open folder \"" + (dir / "pics/gone/deeper") +
                              "\". No such file or directory");
    EXPECT_EQ(FolderMoveTo(file).Folder, dir / "pics") << "a file in its place";
    EXPECT_EQ(FolderMoveTo("/").Folder, "/");
}

TEST(ExplorerModelTest, HintsCoverPanelOneAndLeavingRestoresItExactly)
{
    TExplorerState state;
    ExplorerOpened(state, "/home");
    SelectHintShown(state);
    EXPECT_EQ(state.Status1, "Home Dir: /home");
    HintLeft(state);
    EXPECT_EQ(state.Status1, "");

    state.Status1 = "Viewing file [1x1 | 0 Kb]";
    state.ReturnDir = "/back";
    GotoHintShown(state, "/home");
    EXPECT_EQ(state.Status1, "Goto Dir: /back");
    HintLeft(state);
    GotoHintShown(state, "/elsewhere");
    EXPECT_EQ(state.Status1, "Goto Dir: /home");
    HintLeft(state);
    state.Quality = 50;
    QualityHintShown(state);
    EXPECT_EQ(state.Status1, "Current Quality: 50%");
    HintLeft(state);
    EXPECT_EQ(state.Status1, "Viewing file [1x1 | 0 Kb]");
}

TEST(ExplorerModelTest, GifsAreKnownByTheirExtensionInAnyCase)
{
    EXPECT_TRUE(IsUnshownGif("/p/PHOTO.Gif", false));
    EXPECT_TRUE(IsUnshownGif("/p/a.gif", false));
    EXPECT_FALSE(IsUnshownGif("/p/photo.gifx", false));
    EXPECT_FALSE(IsUnshownGif("/p.gif/photo", false));
    EXPECT_FALSE(IsUnshownGif("/p/PHOTO.Gif", true));
}

TEST(ExplorerModelTest, KilobytesRoundHalvesToEven)
{
    EXPECT_EQ(KilobytesOf(0), 0);
    EXPECT_EQ(KilobytesOf(100), 0);
    EXPECT_EQ(KilobytesOf(511), 0);
    EXPECT_EQ(KilobytesOf(512), 0);
    EXPECT_EQ(KilobytesOf(513), 1);
    EXPECT_EQ(KilobytesOf(1536), 2);
    EXPECT_EQ(KilobytesOf(2560), 2);
    EXPECT_EQ(KilobytesOf(99000), 97);
    EXPECT_EQ(KilobytesOf(5ull << 40), 5ll << 30);
    EXPECT_EQ(ViewingText(1024, 768, 97, ","), "Viewing file [1,024x768 | 97 Kb]");
    EXPECT_EQ(ViewingText(1234567, 100, 0, "."), "Viewing file [1.234.567x100 | 0 Kb]");
}

TEST(ExplorerModelTest, PickingLoadsOrReportsAndKeepsTheLastGoodFile)
{
    TExplorerState state;
    state.CurrentFile = "/p/old.jpg";
    int loads = 0;
    const auto load = [&](const std::string& path, int& width, int& height) {
        ++loads;
        if (path.find("bad") != std::string::npos)
            throw std::runtime_error("JPG: broken");
        width = 1024;
        height = 768;
    };
    TPickOutcome gif = PickFile(state, "/p/anim.GIF", false, 10, load, ",");
    EXPECT_TRUE(gif.ShowGifLabel);
    EXPECT_FALSE(gif.Loaded);
    EXPECT_EQ(loads, 0);
    EXPECT_EQ(state.Status0, "/p/anim.GIF");
    EXPECT_EQ(state.CurrentFile, "/p/old.jpg");

    TPickOutcome bad = PickFile(state, "/p/bad.jpg", false, 10, load, ",");
    EXPECT_FALSE(bad.Loaded);
    EXPECT_EQ(state.Status1, "Format of file not supported!!");
    EXPECT_EQ(state.CurrentFile, "/p/old.jpg");

    TPickOutcome good = PickFile(state, "/p/anim.gif", true, 99000, load, ",");
    EXPECT_TRUE(good.Loaded);
    EXPECT_FALSE(good.ShowGifLabel);
    EXPECT_EQ(state.Status1, "Viewing file [1,024x768 | 97 Kb]");
    EXPECT_EQ(state.CurrentFile, "/p/anim.gif");
}

TEST(ExplorerModelTest, EveryClickPicksItsEntryButAPressThatChangedTheEntryPicksOnce)
{
    TPickByClick pick;
    // Click on the entry picked last (after Copy, say): picked again.
    pick.Pressed();
    EXPECT_TRUE(pick.Clicked());
    pick.Pressed();
    EXPECT_TRUE(pick.Clicked()) << "and again";
    // Click on another entry: the press changed the entry and picked it.
    pick.Pressed();
    pick.PickedOnChange();
    EXPECT_FALSE(pick.Clicked());
    // The arrow keys pick as they go; a click then on the entry they reached picks it again.
    pick.PickedOnChange();
    pick.PickedOnChange();
    pick.Pressed();
    EXPECT_TRUE(pick.Clicked());
}

TEST(ExplorerModelTest, FitImitatesTheWallpaperRule)
{
    TSettings s;
    s.Tile = 2;
    s.MinWidth = 320;
    s.MinHeight = 240;
    const TFitChoice natural{sNeverKAR, tNone};
    const TFitChoice tiled{sNeverKAR, tRepeat};
    EXPECT_EQ(FitChoice(false, s, 10, 10), natural);
    EXPECT_EQ(FitChoice(true, s, 320, 480), tiled);
    EXPECT_EQ(FitChoice(true, s, 321, 240), tiled);
    EXPECT_EQ(FitChoice(true, s, 321, 241), natural);
    s.Stretch = true;
    EXPECT_EQ(FitChoice(true, s, 321, 241), (TFitChoice{sAlways, tNone, smPrecise}));
    s.Smooth = false;
    EXPECT_EQ(FitChoice(true, s, 321, 241), (TFitChoice{sAlways, tNone, smFast}));
    s.Smooth = true;
    s.Proportional = true;
    EXPECT_EQ(FitChoice(true, s, 321, 241), (TFitChoice{sAlwaysKAR, tNone, smPrecise}));
    EXPECT_EQ(FitChoice(true, s, 320, 480), tiled);
    s.Tile = 1;
    EXPECT_EQ(FitChoice(true, s, 2, 2), (TFitChoice{sAlwaysKAR, tNone, smPrecise}));
    s.Tile = 0;
    EXPECT_EQ(FitChoice(true, s, 2000, 2000), tiled);
    s.Tile = 7;
    EXPECT_EQ(FitChoice(true, s, 2000, 2000), tiled);
}

} // namespace
} // namespace scenaria
