#include "platform/WallpaperAlias.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace scenaria {
namespace {

using testing::ReadFile;
using testing::TTempDir;
namespace fs = std::filesystem;

// A desktop that remembers what it was told, and what the file held at that moment.
struct TRecordingDesktop {
    std::vector<std::string> Names;
    std::vector<std::string> Contents;
    bool Refuse = false;

    TWallpaperAliases::TApply Apply()
    {
        return [this](const std::string& name) {
            if (Refuse)
                return TPlatformStatus::Failure("refused");
            Names.push_back(name);
            Contents.push_back(ReadFile(name));
            return TPlatformStatus::Success();
        };
    }
};

std::vector<std::string> Names(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WallpaperAliases, TheSameTemporaryBitmapAlwaysReachesTheDesktopUnderANewName)
{
    TTempDir dir;
    TWallpaperAliases aliases;
    TRecordingDesktop desktop;
    const std::string bitmap = dir / "~scxtmp.bmp";
    for (const char* content : {"one", "two", "three", "four"}) {
        dir.Write("~scxtmp.bmp", content);
        ASSERT_TRUE(aliases.Show(bitmap, true, desktop.Apply()).Ok);
    }
    ASSERT_EQ(desktop.Names.size(), 4u);
    for (std::size_t i = 1; i < desktop.Names.size(); ++i)
        EXPECT_NE(desktop.Names[i], desktop.Names[i - 1]) << "change " << i;
    EXPECT_EQ(desktop.Contents, (std::vector<std::string>{"one", "two", "three", "four"}));
    // The desktop may still show the bitmap from the last run: even the first change of a run
    // gives it another name.
    EXPECT_NE(desktop.Names[0], bitmap);
    EXPECT_EQ(fs::path(desktop.Names[0]).filename(), "~scxtmp.1.bmp");
    // Once the desktop shows another name, the alias goes; the bitmap itself stays.
    EXPECT_EQ(desktop.Names[3], bitmap);
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"~scxtmp.bmp"}));
    EXPECT_EQ(aliases.Shown(), bitmap);
}

TEST(WallpaperAliases, OtherFilesGoAsTheyAreAndUnrelatedFilesAreNeverRemoved)
{
    TTempDir dir;
    TWallpaperAliases aliases;
    TRecordingDesktop desktop;
    const std::string picture = dir.Write("holiday.bmp", "sun");
    const std::string users = dir.Write("~scxtmp.1.bmp", "the user's own");
    const std::string bitmap = dir.Write("~scxtmp.bmp", "prepared");

    ASSERT_TRUE(aliases.Show(picture, true, desktop.Apply()).Ok);
    ASSERT_TRUE(aliases.Show(bitmap, true, desktop.Apply()).Ok);
    ASSERT_TRUE(aliases.Show(picture, true, desktop.Apply()).Ok);

    ASSERT_EQ(desktop.Names.size(), 3u);
    EXPECT_EQ(desktop.Names[0], picture);
    EXPECT_EQ(desktop.Names[1], bitmap) << "the desktop showed another name before";
    EXPECT_EQ(desktop.Names[2], picture);
    EXPECT_EQ(ReadFile(users), "the user's own");

    // Handed its own name again, the picture gets an alias past the user's file.
    ASSERT_TRUE(aliases.Show(picture, true, desktop.Apply()).Ok);
    EXPECT_EQ(fs::path(desktop.Names[3]).filename(), "~scxtmp.2.bmp");
    EXPECT_EQ(desktop.Contents[3], "sun");
    ASSERT_TRUE(aliases.Show(bitmap, true, desktop.Apply()).Ok);
    EXPECT_FALSE(fs::exists(desktop.Names[3]));
    EXPECT_EQ(ReadFile(users), "the user's own");
    EXPECT_EQ(ReadFile(picture), "sun");
}

TEST(WallpaperAliases, ANameTheDesktopCannotTakeGetsAnAliasWithAPlainExtension)
{
    TTempDir dir;
    TWallpaperAliases aliases;
    TRecordingDesktop desktop;
    const std::string picture = dir.Write("it's $HOME.png", "p");
    ASSERT_TRUE(aliases.Show(picture, false, desktop.Apply()).Ok);
    ASSERT_EQ(desktop.Names.size(), 1u);
    EXPECT_EQ(fs::path(desktop.Names[0]).filename(), "~scxtmp.1.png");
    EXPECT_EQ(desktop.Contents[0], "p");
    EXPECT_TRUE(fs::exists(picture));
}

TEST(WallpaperAliases, ARefusalKeepsTheAliasUntilALaterChangeSucceeds)
{
    TTempDir dir;
    TWallpaperAliases aliases;
    TRecordingDesktop desktop;
    const std::string bitmap = dir.Write("~scxtmp.bmp", "a");
    desktop.Refuse = true;
    const TPlatformStatus refused = aliases.Show(bitmap, true, desktop.Apply());
    EXPECT_FALSE(refused.Ok);
    EXPECT_EQ(refused.Error, "refused");
    EXPECT_TRUE(aliases.Shown().empty());

    desktop.Refuse = false;
    const std::string picture = dir.Write("p.bmp", "p");
    ASSERT_TRUE(aliases.Show(picture, true, desktop.Apply()).Ok);
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"p.bmp", "~scxtmp.bmp"}));
}

TEST(WallpaperAliases, NoAliasIsMadeInAFolderTheUserMayNotWrite)
{
    TTempDir dir;
    const std::string bitmap = dir.Write("sub/~scxtmp.bmp", "content");
    std::string error;
    const std::string alias = MakeWallpaperAlias(bitmap, error);
    ASSERT_FALSE(alias.empty()) << error;
    EXPECT_EQ(ReadFile(alias), "content");
    EXPECT_EQ(fs::path(alias).filename(), "~scxtmp.1.bmp");

    fs::permissions(dir.Path(), fs::perms::all);
    fs::permissions(dir.Path() / "sub", fs::perms::owner_read | fs::perms::owner_exec |
                                            fs::perms::others_read | fs::perms::others_exec);
    EXPECT_TRUE(testing::AsUnprivilegedUser([&] {
        std::string why;
        return MakeWallpaperAlias(bitmap, why).empty() && !why.empty();
    }));
    EXPECT_EQ(Names(dir.Path() / "sub"),
              (std::vector<std::string>{"~scxtmp.1.bmp", "~scxtmp.bmp"}));
}

TEST(WallpaperAliases, TheNextRunKnowsWhatTheDesktopShowsAndLeavesNoAliasBehind)
{
    TTempDir dir;
    TRecordingDesktop desktop;
    const std::string state = dir / "state/wallpaper-aliases";
    const std::string bitmap = dir / "~scxtmp.bmp";
    // Each change from a program run of its own, as scenarix-tool does.
    for (const char* content : {"one", "two", "three", "four", "five"}) {
        dir.Write("~scxtmp.bmp", content);
        TWallpaperAliases run(state);
        ASSERT_TRUE(run.Show(bitmap, true, desktop.Apply()).Ok);
    }
    ASSERT_EQ(desktop.Names.size(), 5u);
    for (std::size_t i = 1; i < desktop.Names.size(); ++i)
        EXPECT_NE(desktop.Names[i], desktop.Names[i - 1]) << "change " << i;
    EXPECT_EQ(desktop.Contents, (std::vector<std::string>{"one", "two", "three", "four", "five"}));
    // Shown now: the alias of the fifth change; nothing older is left.
    EXPECT_EQ(Names(dir.Path()),
              (std::vector<std::string>{"state", "~scxtmp.1.bmp", "~scxtmp.bmp"}));
}

TEST(WallpaperAliases, AStateFileNeverMakesAnythingButAnAliasGo)
{
    TTempDir dir;
    TRecordingDesktop desktop;
    const std::string precious = dir.Write("precious.bmp", "keep");
    const std::string lookalike = dir.Write("~scxtmp.1.bmp.doc", "keep too");
    const std::string state =
        dir.Write("wallpaper-aliases", "S /nowhere\nA " + precious + "\nA " + lookalike +
                                           "\nA relative/~scxtmp.2.bmp\n");
    TWallpaperAliases run(state);
    ASSERT_TRUE(run.Show(dir.Write("p.bmp", "p"), true, desktop.Apply()).Ok);
    EXPECT_EQ(ReadFile(precious), "keep");
    EXPECT_EQ(ReadFile(lookalike), "keep too");

    EXPECT_TRUE(IsWallpaperAliasName("~scxtmp.12.bmp"));
    EXPECT_TRUE(IsWallpaperAliasName("~scxtmp.3"));
    for (const char* name : {"~scxtmp.bmp", "~scxtmp..bmp", "~scxtmp.x.bmp", "~scxtmp.1.b-p",
                             "~scxtmp.1.", "a~scxtmp.1.bmp", "~scxtmp.1.bmp.doc"})
        EXPECT_FALSE(IsWallpaperAliasName(name)) << name;
}

} // namespace
} // namespace scenaria
