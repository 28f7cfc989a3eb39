#include "core/Settings.h"
#include "core/IniFile.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace scenaria {
namespace {

using testing::ReadFile;
using testing::TTempDir;

class SettingsTest : public ::testing::Test {
protected:
    TSettingsPlace Place(const std::string& content, bool create = true)
    {
        const std::string file = dir / "scenarix.INI";
        if (create)
            dir.Write("scenarix.INI", content);
        return {file, "/home/user/Pictures", "/tmp/cache", false};
    }
    TTempDir dir;
};

TEST_F(SettingsTest, MissingFileGivesEveryDefault)
{
    LoadSettings(Place("", false), 42);
    const TSettings& s = Settings;
    EXPECT_EQ(s.Directory, "/home/user/Pictures");
    EXPECT_FALSE(s.Subfolders);
    EXPECT_EQ(s.SaveFolder, "/tmp/cache");
    EXPECT_EQ(s.Mode, 0);
    EXPECT_EQ(s.Delay, 30);
    EXPECT_EQ(s.LastIndex, -1);
    EXPECT_FALSE(s.Random);
    EXPECT_EQ(s.Tile, 2);
    EXPECT_EQ(s.MinWidth, 320);
    EXPECT_EQ(s.MinHeight, 240);
    EXPECT_FALSE(s.RunOnStart);
    EXPECT_FALSE(s.Stretch);
    EXPECT_FALSE(s.Proportional);
    EXPECT_FALSE(s.ActiveDesktop);
    EXPECT_TRUE(s.ShowHints);
    EXPECT_EQ(s.HintOnTray, 0);
    EXPECT_EQ(s.FilesType, 0);
    EXPECT_TRUE(s.AutoRotate);
    EXPECT_FALSE(s.Win98Style);
    // Seed 42 advances to 1366595111 before the one draw of the load.
    EXPECT_EQ(s.RandomDelay, 191);
    EXPECT_EQ(s.Interval, 30);
    EXPECT_FALSE(std::filesystem::exists(dir / "scenarix.INI")) << "loading never creates the file";
}

TEST_F(SettingsTest, ValueEncodings)
{
    LoadSettings(Place("[Diduzavizo]\n"
                       "Delay=0x1E\n"
                       "MinWidth=abc\n"
                       "MinHeight=\n"
                       "Random=2\n"
                       "ShowHints=yes\n"
                       "Stretch=-1\n"
                       "Mode=0x\n"
                       "LastIndex=-7\n"
                       "Tile=0XfFfFfFfF\n"
                       "FilesType=99999999999\n"
                       "Hint on Tray=  2  \n"),
                 1);
    const TSettings& s = Settings;
    EXPECT_EQ(s.Delay, 30);
    EXPECT_EQ(s.MinWidth, 320) << "a text that does not convert gives the default";
    EXPECT_EQ(s.MinHeight, 240) << "an empty value gives the default";
    EXPECT_TRUE(s.Random) << "any non-zero number is on";
    EXPECT_TRUE(s.ShowHints) << "a word reads as the default";
    EXPECT_TRUE(s.Stretch);
    EXPECT_EQ(s.Mode, 0) << "\"0x\" is not longer than two characters: decimal, fails";
    EXPECT_EQ(s.LastIndex, -7);
    EXPECT_EQ(s.Tile, -1) << "eight hexadecimal digits fill the 32 bits";
    EXPECT_EQ(s.FilesType, 0) << "out of range gives the default";
    EXPECT_EQ(s.HintOnTray, 2);
    EXPECT_EQ(s.Interval, s.RandomDelay);
    EXPECT_GE(s.RandomDelay, 20);
    EXPECT_LE(s.RandomDelay, 559);
}

TEST_F(SettingsTest, SectionAndKeysMatchWithoutCase)
{
    LoadSettings(Place("[other]\nDelay=5\n[DIDUZAVIZO]\ndelay=12\nsave folder=/srv/walls\n"
                       "DIRECTORY=\"/data/My Pictures\"\n"),
                 1);
    EXPECT_EQ(Settings.Delay, 12);
    EXPECT_EQ(Settings.SaveFolder, "/srv/walls");
    EXPECT_EQ(Settings.Directory, "/data/My Pictures");
}

TEST_F(SettingsTest, LongStringsAreCut)
{
    LoadSettings(Place("[Diduzavizo]\nDirectory=/" + std::string(2000, 'x') + "\n"), 1);
    EXPECT_EQ(Settings.Directory.size(), 1023u);
}

TEST(SettingsInteger, Parsing)
{
    EXPECT_EQ(ParseSettingsInteger("0x1E", 7), 30);
    EXPECT_EQ(ParseSettingsInteger("0X1e", 7), 30);
    EXPECT_EQ(ParseSettingsInteger("0x1G", 7), 7);
    EXPECT_EQ(ParseSettingsInteger("0x100000000", 7), 7);
    EXPECT_EQ(ParseSettingsInteger("-2147483648", 7), -2147483648LL);
    EXPECT_EQ(ParseSettingsInteger("2147483648", 7), 7);
    EXPECT_EQ(ParseSettingsInteger("+15", 7), 15);
    EXPECT_EQ(ParseSettingsInteger("-", 7), 7);
    EXPECT_EQ(ParseSettingsInteger("12abc", 7), 7);
    EXPECT_EQ(ParseSettingsInteger("$1E", 7), 7);
}

TEST_F(SettingsTest, SaveWritesSixteenKeysInOrderAndKeepsTheRest)
{
    LoadSettings(Place("; my wallpapers\n"
                       "[Window]\nLeft=10\n\n"
                       "[Diduzavizo]\nSave Folder=/srv/walls\nColour=blue\nDelay=45\n"),
                 1);
    Settings.LastIndex = 3;
    Settings.Random = true;
    Settings.Directory = "/pics";
    SaveSettings();
    EXPECT_EQ(ReadFile(dir / "scenarix.INI"),
              "; my wallpapers\n"
              "[Window]\nLeft=10\n\n"
              "[Diduzavizo]\nSave Folder=/srv/walls\nColour=blue\nDelay=45\n"
              "Directory=/pics\nSubfolders=0\nMode=0\nLastIndex=3\nRandom=1\nTile=2\n"
              "MinWidth=320\nMinHeight=240\nRunOnStart=0\nStretch=0\nProportional=0\n"
              "ActiveDesktop=0\nShowHints=1\nHint on Tray=0\nFilesType=0\n");
}

TEST_F(SettingsTest, AutoRotateIsReadAndSavingLeavesItAsTheFileHasIt)
{
    LoadSettings(Place("[Diduzavizo]\nAutoRotate=0\nDelay=45\n"), 1);
    EXPECT_FALSE(Settings.AutoRotate);
    Settings.Delay = 50;
    SaveSettings();
    const std::string saved = ReadFile(dir / "scenarix.INI");
    EXPECT_EQ(saved.rfind("[Diduzavizo]\nAutoRotate=0\nDelay=50\n", 0), 0u) << saved;

    LoadSettings(Place("[Diduzavizo]\nAutoRotate=2\n"), 1);
    EXPECT_TRUE(Settings.AutoRotate) << "any number but 0 is on, as for the other switches";
    LoadSettings(Place("[Diduzavizo]\nAutoRotate=off\n"), 1);
    EXPECT_TRUE(Settings.AutoRotate) << "unreadable: the default";
    SaveSettings();
    EXPECT_EQ(ReadFile(dir / "scenarix.INI").find("AutoRotate=1"), std::string::npos)
        << "never written";
}

TEST_F(SettingsTest, MonitorKeysAreReadAndWrittenOnlyOnceSet)
{
    LoadSettings(Place("[Diduzavizo]\nMonitors=2\nFill=1\nBackground=#1a2B3c\n"), 1);
    EXPECT_EQ(Settings.Monitors, 2);
    EXPECT_TRUE(Settings.Fill);
    EXPECT_EQ(Settings.Background, 0x1A2B3Cu);
    SaveSettings();
    const std::string saved = ReadFile(dir / "scenarix.INI");
    EXPECT_EQ(saved.rfind("[Diduzavizo]\nMonitors=2\nFill=1\nBackground=#1A2B3C\n", 0), 0u)
        << saved;

    // Values a hand may have written: the defaults.
    for (const char* bad : {"Monitors=3\nBackground=#12345\n", "Monitors=-1\nBackground=red\n",
                            "Monitors=x\nBackground=#GG0000\n"}) {
        LoadSettings(Place(std::string("[Diduzavizo]\n") + bad), 1);
        EXPECT_EQ(Settings.Monitors, 0) << bad;
        EXPECT_EQ(Settings.Background, 0u) << bad;
    }

    // A file without them keeps going without them, until one is set.
    LoadSettings(Place("[Diduzavizo]\nDelay=45\n"), 1);
    SaveSettings();
    const std::string untouched = ReadFile(dir / "scenarix.INI");
    for (const char* key : {"Monitors=", "Fill=", "Background="})
        EXPECT_EQ(untouched.find(key), std::string::npos) << key;
    Settings.Background = 0x808080;
    SaveSettings();
    const std::string set = ReadFile(dir / "scenarix.INI");
    EXPECT_NE(set.find("Background=#808080\n"), std::string::npos) << set;
    EXPECT_EQ(set.find("Monitors="), std::string::npos) << set;
}

TEST_F(SettingsTest, FirstSaveCreatesTheFileWithoutSaveFolder)
{
    LoadSettings(Place("", false), 1);
    Settings.LastIndex = 0;
    SaveSettings();
    EXPECT_EQ(ReadFile(dir / "scenarix.INI"),
              "[Diduzavizo]\nDirectory=/home/user/Pictures\nSubfolders=0\nMode=0\nDelay=30\n"
              "LastIndex=0\nRandom=0\nTile=2\nMinWidth=320\nMinHeight=240\nRunOnStart=0\n"
              "Stretch=0\nProportional=0\nActiveDesktop=0\nShowHints=1\nHint on Tray=0\n"
              "FilesType=0\n");
    LoadSettings(Place("", false), 1);
    EXPECT_EQ(Settings.LastIndex, 0);
    EXPECT_EQ(Settings.SaveFolder, "/tmp/cache");
}

TEST_F(SettingsTest, SaveKeepsWindowsLineEnds)
{
    LoadSettings(Place("[Diduzavizo]\r\nDelay=5\r\n"), 1);
    SaveSettings();
    const std::string text = ReadFile(dir / "scenarix.INI");
    EXPECT_EQ(text.rfind("[Diduzavizo]\r\nDelay=5\r\nDirectory=", 0), 0u);
    EXPECT_EQ(text.find("\n\n"), std::string::npos);
}

TEST_F(SettingsTest, SaveSeesHandEditsMadeSinceLoading)
{
    LoadSettings(Place("[Diduzavizo]\nDelay=5\n"), 1);
    dir.Write("scenarix.INI", "[Diduzavizo]\nDelay=5\nSave Folder=/later\n");
    SaveSettings();
    LoadSettings(Place("", false), 1);
    EXPECT_EQ(Settings.SaveFolder, "/later");
}

TEST(Settings, RefusedWriteRaisesAndLeavesTheOldFile)
{
    const std::string original = "[Diduzavizo]\nDelay=5\n";
    const auto refused = [&original](bool readOnlyFolder) {
        TTempDir dir;
        const std::string file = dir.Write("scenarix.INI", original);
        LoadSettings({file, "/", "/", false}, 1);
        std::filesystem::permissions(file, std::filesystem::perms(0444));
        if (readOnlyFolder)
            std::filesystem::permissions(dir.Path(), std::filesystem::perms(0555));
        Settings.Delay = 6;
        bool raised = false;
        try {
            SaveSettings();
        } catch (const EIniFileException& e) {
            raised = std::string(e.what()) == "Unable to write to " + file;
        }
        std::filesystem::permissions(dir.Path(), std::filesystem::perms(0755));
        return raised && ReadFile(file) == original;
    };
    EXPECT_TRUE(testing::AsUnprivilegedUser([&] { return refused(false); })) << "read-only file";
    EXPECT_TRUE(testing::AsUnprivilegedUser([&] { return refused(true); })) << "read-only folder";
}

TEST_F(SettingsTest, FileThatCannotBeReplacedRaises)
{
    // A folder in the file's place cannot be replaced, whoever runs the test.
    std::filesystem::create_directory(dir / "scenarix.INI");
    LoadSettings(Place("", false), 1);
    EXPECT_THROW(SaveSettings(), EIniFileException);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "scenarix.INI"));
}

TEST_F(SettingsTest, MissingFolderRaisesWithTheFullName)
{
    TSettingsPlace place{dir / "gone/scenarix.INI", "/", "/", false};
    LoadSettings(place, 1);
    try {
        SaveSettings();
        FAIL();
    } catch (const EIniFileException& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + (dir / "gone/scenarix.INI"));
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "gone"));
}

TEST_F(SettingsTest, SaveLeavesNoTemporaryFiles)
{
    LoadSettings(Place("[Diduzavizo]\n"), 1);
    SaveSettings();
    SaveSettings();
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        ++files;
    EXPECT_EQ(files, 1);
}

TEST_F(SettingsTest, SaveThroughALinkKeepsTheLink)
{
    dir.Write("real/settings.ini", "[Diduzavizo]\n");
    std::filesystem::create_symlink(dir / "real/settings.ini", dir / "scenarix.INI");
    LoadSettings(Place("", false), 1);
    Settings.Delay = 9;
    SaveSettings();
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "scenarix.INI"));
    EXPECT_NE(ReadFile(dir / "real/settings.ini").find("Delay=9"), std::string::npos);
}

TEST(IniFile, InterruptedWritesAreRemovedAndNothingElse)
{
    TTempDir dir;
    const std::string settings = dir.Write("scenarix.INI", "[Diduzavizo]\n");
    const std::vector<std::string> leftovers{"scenarix.INI.a1B2c3", "scenarix.INI.XXXXXX",
                                             "scenarix.INI.000000"};
    const std::vector<std::string> foreign{
        "scenarix.INI.a1B2c",   // five letters
        "scenarix.INI.a1B2c3d", // seven
        "scenarix.INI.a1-2c3",  // not a letter or digit
        "scenarix.ini.a1B2c3",  // another file's name (case matters on this system)
        "Scenarix.INI.a1B2c3",  "other.INI.a1B2c3",    "scenarix.INI~",
        "scenarix.INIa1B2c3x",  "xscenarix.INI.a1B2c3"};
    for (const auto& name : leftovers)
        dir.Write(name, "[Diduzavizo]\nDelay=");
    for (const auto& name : foreign)
        dir.Write(name, "mine");
    std::filesystem::create_directory(dir / "scenarix.INI.dir123");
    std::filesystem::create_symlink(dir / "other.INI.a1B2c3", dir / "scenarix.INI.link12");

    EXPECT_EQ(TIniFile::RemoveInterruptedWrites(settings), 3);
    for (const auto& name : leftovers)
        EXPECT_FALSE(std::filesystem::exists(dir / name)) << name;
    for (const auto& name : foreign)
        EXPECT_EQ(ReadFile(dir / name), "mine") << name;
    EXPECT_TRUE(std::filesystem::is_directory(dir / "scenarix.INI.dir123"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "scenarix.INI.link12"));
    EXPECT_EQ(ReadFile(settings), "[Diduzavizo]\n");
}

TEST(IniFile, InterruptedWritesBesideALinksTargetAreRemoved)
{
    TTempDir dir;
    dir.Write("real/settings.ini", "[Diduzavizo]\n");
    std::filesystem::create_symlink(dir / "real/settings.ini", dir / "scenarix.INI");
    dir.Write("real/settings.ini.Zz9Yy8", "half");
    dir.Write("real/scenarix.INI.Zz9Yy8", "not ours: another name in that folder");
    dir.Write("scenarix.INI.Qq1Ww2", "half");
    EXPECT_EQ(TIniFile::RemoveInterruptedWrites(dir / "scenarix.INI"), 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "real/settings.ini.Zz9Yy8"));
    EXPECT_FALSE(std::filesystem::exists(dir / "scenarix.INI.Qq1Ww2"));
    EXPECT_TRUE(std::filesystem::exists(dir / "real/scenarix.INI.Zz9Yy8"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "scenarix.INI"));
}

TEST(IniFile, DuplicateKeysReadAndWriteTheFirst)
{
    TTempDir dir;
    const std::string file = dir.Write("a.ini", "[s]\nk=1\nk=2\n[s]\nk=3\n");
    TIniFile ini(file);
    EXPECT_EQ(ini.ReadString("s", "k"), "1");
    EXPECT_EQ(ini.ReadString("s", "missing"), std::nullopt);
    EXPECT_EQ(ini.ReadString("t", "k"), std::nullopt);
    ini.WriteString("S", "K", "9");
    ini.WriteString("s", "new", "x");
    ini.WriteString("t", "k", "y");
    ini.UpdateFile();
    EXPECT_EQ(ReadFile(file), "[s]\nK=9\nk=2\nnew=x\n[s]\nk=3\n\n[t]\nk=y\n");
}

} // namespace
} // namespace scenaria
