#include "RunProgram.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace scenaria {
namespace {

using testing::RunTool;
using testing::TTempDir;

// An environment in which the defaults are known: no "temp", an empty home.
std::vector<std::string> QuietEnv(const TTempDir& dir)
{
    return {"HOME=" + (dir / "home"), "XDG_CONFIG_HOME=" + (dir / "config"),
            "XDG_CACHE_HOME=" + (dir / "cache"), "temp="};
}

// A path as the catalogue spells it, with this system's own separators.
std::string Native(const std::string& path)
{
    return std::filesystem::path(path).make_preferred().string();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

TEST(ToolSettings, PrintsEveryKeyInOrderWithTheEncodings)
{
    TTempDir dir;
    const std::string ini = dir.Write("my.ini", "[Diduzavizo]\n"
                                                "Delay=0x1E\n"
                                                "Random=2\n"
                                                "MinWidth=abc\n"
                                                "Save Folder=/srv/walls\n"
                                                "Hint on Tray=1\n"
                                                "Directory=/data/My Pictures\n"
                                                "AutoRotate=0\n"
                                                "Monitors=1\n"
                                                "Background=#FF8000\n");
    const auto r = RunTool({"settings", "--ini", ini, "--seed", "42"}, QuietEnv(dir));
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "Directory=/data/My Pictures\n"
                     "Subfolders=0\n"
                     "Save Folder=/srv/walls\n"
                     "Mode=0\n"
                     "Delay=30\n"
                     "LastIndex=-1\n"
                     "Random=1\n"
                     "Tile=2\n"
                     "MinWidth=320\n"
                     "MinHeight=240\n"
                     "RunOnStart=0\n"
                     "Stretch=0\n"
                     "Proportional=0\n"
                     "ActiveDesktop=0\n"
                     "ShowHints=1\n"
                     "Hint on Tray=1\n"
                     "FilesType=0\n"
                     "Interval=191\n"
                     "RandomDelay=191\n"
                     "AutoRotate=0\n"
                     "Smooth=1\n"
                     "Monitors=1\n"
                     "Fill=0\n"
                     "Background=#FF8000\n");
}

TEST(ToolSettings, MissingFileGivesTheDefaultsOfThisMachine)
{
    TTempDir dir;
    dir.Write("home/.keep");
    const auto r = RunTool({"settings", "--ini", dir / "none.ini", "--seed", "0"}, QuietEnv(dir));
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const auto lines = Lines(r.Out);
    ASSERT_EQ(lines.size(), 24u);
    EXPECT_EQ(lines[0], "Directory=" + (dir / "home")) << "no picture folder: the home folder";
    EXPECT_EQ(lines[2], "Save Folder=" + (dir / "cache") + "/scenaria");
    EXPECT_EQ(lines[17], "Interval=30");
    EXPECT_EQ(lines[18], "RandomDelay=20") << "seed 0 first draws 0";
    EXPECT_EQ(lines[19], "AutoRotate=1") << "pictures are turned unless the file says otherwise";
    EXPECT_EQ(lines[20], "Smooth=1") << "smooth unless the file says otherwise";
    EXPECT_EQ(lines[21], "Monitors=0") << "the same picture on every monitor";
    EXPECT_EQ(lines[22], "Fill=0");
    EXPECT_EQ(lines[23], "Background=#000000");
    EXPECT_FALSE(std::filesystem::exists(dir / "none.ini"));
}

TEST(ToolSettings, PicturesFolderAndTempVariable)
{
    TTempDir dir;
    dir.Write("home/Bilder/.keep");
    dir.Write("config/user-dirs.dirs", "# written by xdg-user-dirs-update\n"
                                       "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    auto env = QuietEnv(dir);
    env.back() = "temp=/var/tmp/walls";
    const auto r = RunTool({"settings", "--ini", dir / "none.ini"}, env);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const auto lines = Lines(r.Out);
    EXPECT_EQ(lines[0], "Directory=" + (dir / "home/Bilder"));
    EXPECT_EQ(lines[2], "Save Folder=/var/tmp/walls");
}

TEST(ToolSettings, UsageMistakesExitWithOne)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"settings", "--bogus"},
                                                 {"settings", "--seed", "x"},
                                                 {"settings", "--ini"},
                                                 {"nonsense"},
                                                 {}}) {
        const auto r = RunTool(args);
        EXPECT_EQ(r.ExitCode, 1);
        EXPECT_FALSE(r.Err.empty());
        EXPECT_TRUE(r.Out.empty());
    }
    const auto help = RunTool({"--help"});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_NE(help.Out.find("settings [--ini PATH] [--seed S]"), std::string::npos);
    EXPECT_NE(help.Out.find("catalogue [--ini PATH] [--choose N] [--seed S]"), std::string::npos);
}

class ToolCatalogue : public ::testing::Test {
protected:
    // Three pictures (and two files that are not) in a folder; returns the pictures in the
    // order the file system lists them.
    std::vector<std::string> MakeFolder(int pictures = 3)
    {
        const char* names[] = {"sea.jpg", "hill.PNG", "town.bmp"};
        for (int i = 0; i < pictures; ++i)
            dir.Write(std::string("pics/") + names[i]);
        dir.Write("pics/readme.txt");
        dir.Write("pics/Makefile");
        std::vector<std::string> listed;
        for (const auto& entry : std::filesystem::directory_iterator(dir / "pics")) {
            const std::string n = entry.path().filename().string();
            if (n == "sea.jpg" || n == "hill.PNG" || n == "town.bmp")
                listed.push_back(Native(dir / ("pics/" + n)));
        }
        return listed;
    }
    std::string Ini(const std::string& keys)
    {
        return dir.Write("scenarix.INI", "[Diduzavizo]\nDirectory=" + (dir / "pics") + "\n" + keys);
    }
    TTempDir dir;
};

TEST_F(ToolCatalogue, InOrderFromLastIndex)
{
    const auto pictures = MakeFolder();
    const std::string ini = Ini("LastIndex=2\nMode=0\n");
    const auto r = RunTool({"catalogue", "--ini", ini, "--choose", "4"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    std::string expected;
    for (const auto& p : pictures)
        expected += p + "\n";
    expected += "choose: 0\nchoose: 1\nchoose: 2\nchoose: 0\n";
    EXPECT_EQ(r.Out, expected);
    EXPECT_EQ(testing::ReadFile(ini),
              "[Diduzavizo]\nDirectory=" + (dir / "pics") + "\nLastIndex=2\nMode=0\n")
        << "nothing is written";
}

TEST_F(ToolCatalogue, ShrunkenFolderStartsOver)
{
    MakeFolder();
    const auto r = RunTool({"catalogue", "--ini", Ini("LastIndex=7\n"), "--choose", "1"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_NE(r.Out.find("choose: 0\n"), std::string::npos);
}

TEST_F(ToolCatalogue, AtRandomTwoEntriesAlternate)
{
    MakeFolder(2);
    const auto r = RunTool(
        {"catalogue", "--ini", Ini("Mode=1\nLastIndex=0\n"), "--choose", "6", "--seed", "99"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const auto lines = Lines(r.Out);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end()),
              (std::vector<std::string>{"choose: 1", "choose: 0", "choose: 1", "choose: 0",
                                        "choose: 1", "choose: 0"}));
}

TEST_F(ToolCatalogue, AtRandomFollowsTheSeed)
{
    MakeFolder();
    // Seed 12345: the load draws RandomDelay first, then the choices draw from 3, drawing
    // again whenever a draw repeats the choice before it.
    const auto r =
        RunTool({"catalogue", "--ini", Ini("Mode=1\n"), "--choose", "5", "--seed", "12345"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const auto lines = Lines(r.Out);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()),
              (std::vector<std::string>{"choose: 0", "choose: 1", "choose: 0", "choose: 2",
                                        "choose: 0"}));
    const auto settings = RunTool({"settings", "--ini", Ini("Mode=1\n"), "--seed", "12345"});
    EXPECT_NE(settings.Out.find("RandomDelay=228\n"), std::string::npos);
}

TEST_F(ToolCatalogue, OneEntryAtRandomEnds)
{
    MakeFolder(1);
    const auto r = RunTool({"catalogue", "--ini", Ini("Mode=1\nLastIndex=0\n"), "--choose", "3"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_NE(r.Out.find("choose: 0\nchoose: 0\nchoose: 0\n"), std::string::npos);
}

TEST_F(ToolCatalogue, OtherModeKeepsThePosition)
{
    MakeFolder();
    const auto r = RunTool({"catalogue", "--ini", Ini("Mode=2\nLastIndex=1\n"), "--choose", "2"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_NE(r.Out.find("choose: 1\nchoose: 1\n"), std::string::npos);
}

TEST_F(ToolCatalogue, FileTypesAndSubfolders)
{
    dir.Write("pics/a.gif");
    dir.Write("pics/b.jpg");
    dir.Write("pics/sub/c.jpg");
    dir.Write("pics/.hidden/d.jpg");
    const auto gifOnly = RunTool({"catalogue", "--ini", Ini("FilesType=5\n")});
    EXPECT_EQ(gifOnly.Out, Native(dir / "pics/a.gif") + "\n");
    const auto all = RunTool({"catalogue", "--ini", Ini("FilesType=0\nSubfolders=1\n")});
    EXPECT_EQ(all.Out, Native(dir / "pics/b.jpg") + "\n" + Native(dir / "pics/sub/c.jpg") + "\n");
    const auto none = RunTool({"catalogue", "--ini", Ini("FilesType=13\n")});
    EXPECT_EQ(none.ExitCode, 0);
    EXPECT_EQ(none.Out, "");
}

TEST_F(ToolCatalogue, MissingFolderAndEmptyCatalogueAreReported)
{
    const auto missing = RunTool({"catalogue", "--ini", Ini("")});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_NE(missing.Err.find("does not exist"), std::string::npos);
    dir.Write("pics/notes.txt");
    const auto empty = RunTool({"catalogue", "--ini", Ini(""), "--choose", "1"});
    EXPECT_EQ(empty.ExitCode, 1);
    EXPECT_NE(empty.Err.find("empty"), std::string::npos);
}

} // namespace
} // namespace scenaria
