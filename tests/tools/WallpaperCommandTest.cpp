#include "imaging/PixelGraphic.h"

#include "RunProgram.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace scenaria {
namespace {

using testing::RunTool;
using testing::TTempDir;

class ToolWallpaper : public ::testing::Test {
protected:
    void SetUp() override
    {
        TPixelGraphic image;
        image.SetSize(400, 300, bc24Bit);
        image.Clear();
        picture = dir / "photo.bmp";
        image.SaveToFile(picture);
        image.SaveToFile(dir / "photo.jpg");
        std::filesystem::create_directory(dir / "save");
    }
    std::string Ini(const std::string& keys)
    {
        return dir.Write("scenarix.INI",
                         "[Diduzavizo]\nSave Folder=" + (dir / "save") + "\n" + keys);
    }
    // A desktop that takes files (GNOME), without touching the real one: a dry run.
    testing::TRunResult Run(const std::vector<std::string>& args,
                            const std::string& desktop = "GNOME")
    {
        std::vector<std::string> all{"wallpaper"};
        all.insert(all.end(), args.begin(), args.end());
        return RunTool(all, {"XDG_CURRENT_DESKTOP=" + desktop, "DESKTOP_SESSION=", "DISPLAY=",
                             "WAYLAND_DISPLAY=", "SWAYSOCK=", "HOME=" + (dir / "home")});
    }
    TTempDir dir;
    std::string picture;
};

TEST_F(ToolWallpaper, PrintsTheClassicCall)
{
    const auto r = Run(
        {picture, "--ini", Ini("Tile=0\n"), "--screen", "1024x768", "--depth", "24", "--dry-run"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "installer: classic\nfile: " + picture + "\ntiled: 1\n");
}

TEST_F(ToolWallpaper, StretchWritesTheTemporaryBitmapForTheScreen)
{
    const auto r =
        Run({picture, "--ini", Ini("Tile=1\nStretch=1\n"), "--screen", "640x480", "--dry-run"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "installer: classic\nfile: " + (dir / "save/~scxtmp.bmp") + "\ntiled: 0\n");
    TPixelGraphic written;
    written.LoadFromFile(dir / "save/~scxtmp.bmp");
    EXPECT_EQ(written.Width(), 640);
    EXPECT_EQ(written.Height(), 480);
}

TEST_F(ToolWallpaper, ActiveDesktopStyles)
{
    const auto stretch = Run({picture, "--ini", Ini("Tile=1\nStretch=1\nActiveDesktop=1\n"),
                              "--screen", "640x480", "--dry-run"});
    EXPECT_EQ(stretch.ExitCode, 0) << stretch.Err;
    EXPECT_EQ(stretch.Out, "installer: active\nfile: " + picture + "\nstyle: 2\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "save/~scxtmp.bmp"));

    // Without a desktop that takes files the stretching is composed, yet the setting still
    // picks the installer.
    const auto bare = Run({picture, "--ini", Ini("Tile=1\nStretch=1\nActiveDesktop=1\n"),
                           "--screen", "640x480", "--dry-run"},
                          "");
    EXPECT_EQ(bare.ExitCode, 0) << bare.Err;
    EXPECT_EQ(bare.Out, "installer: active\nfile: " + (dir / "save/~scxtmp.bmp") + "\nstyle: 2\n");
}

TEST_F(ToolWallpaper, LowColourScreenConvertsEvenABitmap)
{
    const auto r = Run(
        {picture, "--ini", Ini("Tile=0\n"), "--screen", "800x600", "--depth", "8", "--dry-run"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "installer: classic\nfile: " + (dir / "save/~scxtmp.bmp") + "\ntiled: 1\n");
    TPixelGraphic written;
    written.LoadFromFile(dir / "save/~scxtmp.bmp");
    EXPECT_EQ(written.BitCount(), bc8Bit);
}

TEST_F(ToolWallpaper, ExitCodes)
{
    const auto gif = Run({dir.Write("a.gif", "GIF89a"), "--ini", Ini(""), "--dry-run"});
    EXPECT_EQ(gif.ExitCode, 1);
    EXPECT_EQ(gif.Out, "");
    const auto unreadable =
        Run({dir.Write("b.bmp", "not a picture"), "--ini", Ini(""), "--dry-run"});
    EXPECT_EQ(unreadable.ExitCode, 1);

    std::filesystem::remove_all(dir / "save");
    const auto raised =
        Run({picture, "--ini", Ini("Tile=1\nStretch=1\n"), "--screen", "640x480", "--dry-run"});
    EXPECT_EQ(raised.ExitCode, 2);
    EXPECT_EQ(raised.Out, "");
    EXPECT_FALSE(raised.Err.empty());

    const auto usage = Run({picture, "--screen", "640by480"});
    EXPECT_EQ(usage.ExitCode, 1);

    // Converting to the temporary bitmap is composing too.
    const auto unsaved = Run({dir / "photo.jpg", "--ini", Ini("Tile=0\n"), "--dry-run"});
    EXPECT_EQ(unsaved.ExitCode, 2) << unsaved.Err;
    EXPECT_EQ(unsaved.Out, "");
    EXPECT_NE(unsaved.Err.find("~scxtmp.bmp"), std::string::npos) << unsaved.Err;
}

TEST_F(ToolWallpaper, RefusedByTheDesktop)
{
    // No desktop and no display: the desktop refuses, yet the call is printed and the reason
    // given; only the exit status differs from a success.
    const auto r = Run({picture, "--ini", Ini("Tile=0\n"), "--screen", "640x480"}, "");
    EXPECT_EQ(r.ExitCode, 3) << r.Err;
    EXPECT_EQ(r.Out, "installer: classic\nfile: " + picture + "\ntiled: 1\n");
    EXPECT_NE(r.Err.find("no desktop"), std::string::npos) << r.Err;

    const auto help = RunTool({"--help"}, {});
    EXPECT_NE(help.Out.find("3 the desktop refused it"), std::string::npos) << help.Out;
}

} // namespace
} // namespace scenaria
