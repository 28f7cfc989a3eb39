#include "platform/FileSystem.h"

#include "TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace scenaria {
namespace {

using testing::ReadFile;
using testing::TTempDir;

std::map<std::string, TFolderEntryKind> Kinds(const TFolderListing& listing)
{
    std::map<std::string, TFolderEntryKind> kinds;
    for (const auto& entry : listing.Entries)
        kinds[entry.Name] = entry.Kind;
    return kinds;
}

std::vector<std::string> Names(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

unsigned ModeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Runs check() in a child process, for changes (limits, signals) the test runner must not keep.
bool InChild(const std::function<bool()>& check)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(check() ? 0 : 1);
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

TEST(ReadFolder, KindsAndNoDotEntries)
{
    TTempDir dir;
    dir.Write("pics/a.jpg");
    dir.Write("pics/.hidden.png");
    dir.Write("pics/sub/b.png");
    std::filesystem::create_directory(dir / "elsewhere");
    std::filesystem::create_directory_symlink(dir / "elsewhere", dir / "pics/to-folder");
    std::filesystem::create_symlink(dir / "pics/a.jpg", dir / "pics/to-file");
    std::filesystem::create_symlink(dir / "gone", dir / "pics/dangling");

    const auto listing = ReadFolder(dir / "pics");
    ASSERT_TRUE(listing);
    const std::map<std::string, TFolderEntryKind> expected{
        {".hidden.png", fekOther}, {"a.jpg", fekOther}, {"dangling", fekAsk},
        {"sub", fekFolder},        {"to-file", fekAsk}, {"to-folder", fekAsk}};
    EXPECT_EQ(Kinds(*listing), expected);
    EXPECT_EQ(listing->Entries.size(), expected.size()) << "each name once, no \".\" or \"..\"";

    // What the links' entries leave open, IsFolder answers by following them.
    EXPECT_TRUE(IsFolder(dir / "pics/to-folder"));
    EXPECT_FALSE(IsFolder(dir / "pics/to-file"));
    EXPECT_FALSE(IsFolder(dir / "pics/dangling"));
    EXPECT_TRUE(IsFolder(dir / "pics/sub"));
}

TEST(ReadFolder, TheSameFolderByAnyPathHasOneId)
{
    TTempDir dir;
    dir.Write("pics/sub/a.jpg");
    std::filesystem::create_directory_symlink(dir / "pics", dir / "pics/sub/loop");
    const auto direct = ReadFolder(dir / "pics");
    const auto throughLink = ReadFolder(dir / "pics/sub/loop");
    const auto sub = ReadFolder(dir / "pics/sub");
    ASSERT_TRUE(direct && throughLink && sub);
    EXPECT_EQ(direct->Id, throughLink->Id);
    EXPECT_NE(direct->Id, sub->Id);
}

TEST(ReadFolder, WhatCannotBeReadGivesNothing)
{
    TTempDir dir;
    const std::string file = dir.Write("a.jpg");
    EXPECT_FALSE(ReadFolder(dir / "missing"));
    EXPECT_FALSE(ReadFolder(file));
    EXPECT_FALSE(ReadFolder(""));
    std::filesystem::create_directory(dir / "empty");
    const auto empty = ReadFolder(dir / "empty");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->Entries.empty());

    EXPECT_TRUE(testing::AsUnprivilegedUser([] {
        TTempDir own;
        own.Write("closed/secret.jpg");
        std::filesystem::create_directory(own / "unenterable");
        ::chmod((own / "closed").c_str(), 0300);
        ::chmod((own / "unenterable").c_str(), 0600);
        return !ReadFolder(own / "closed") && IsSearchableFolder(own / "closed") &&
               IsFolder(own / "unenterable") && !IsSearchableFolder(own / "unenterable");
    })) << "an unreadable folder lists nothing; one that may not be entered is no search";
}

TEST(WriteFileAtomically, ReplacesKeepingTheModeAndLeavesNothingBeside)
{
    TTempDir dir;
    const std::string file = dir.Write("scenarix.INI", "old");
    ::chmod(file.c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomically(file, "new contents"));
    EXPECT_EQ(ReadFile(file), "new contents");
    EXPECT_EQ(ModeOf(file), 0640u);

    ::chmod(file.c_str(), 0600);
    ASSERT_TRUE(WriteFileAtomically(file, ""));
    EXPECT_EQ(ReadFile(file), "");
    EXPECT_EQ(ModeOf(file), 0600u);

    const std::string fresh = dir / "fresh.ini";
    ASSERT_TRUE(WriteFileAtomically(fresh, std::string("a\0b", 3)));
    EXPECT_EQ(ReadFile(fresh), std::string("a\0b", 3));
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"fresh.ini", "scenarix.INI"}));
}

TEST(WriteFileAtomically, ANewFileGetsTheUmasksModeAndAReplacedOneKeepsItsOwn)
{
    TTempDir dir;
    const std::string kept = dir.Write("kept.ini", "old");
    ::chmod(kept.c_str(), 0604);
    for (const auto& [mask, mode] : std::vector<std::pair<mode_t, unsigned>>{
             {022, 0644}, {027, 0640}, {002, 0664}, {077, 0600}}) {
        const mode_t before = ::umask(mask);
        const std::string fresh = dir / ("fresh-" + std::to_string(mask) + ".ini");
        const bool written = WriteFileAtomically(fresh, "new") && WriteFileAtomically(kept, "x");
        ::umask(before);
        ASSERT_TRUE(written);
        EXPECT_EQ(ModeOf(fresh), mode) << "umask " << mask;
        EXPECT_EQ(ModeOf(kept), 0604u) << "umask " << mask;
    }
    EXPECT_EQ(Names(dir.Path()).size(), 5u) << "nothing left beside them";
}

TEST(WriteFileAtomically, AFailedWriteLeavesTheOldFileAndRemovesTheNewOne)
{
    TTempDir dir;
    const std::string file = dir.Write("scenarix.INI", "[Diduzavizo]\nDelay=5\n");
    // The new file is made, but the disk (here a file size limit) takes only part of it.
    EXPECT_TRUE(InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8, 8};
        return ::setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
               !WriteFileAtomically(file, std::string(4096, 'x'));
    }));
    EXPECT_EQ(ReadFile(file), "[Diduzavizo]\nDelay=5\n");
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"scenarix.INI"});
}

TEST(WriteFileAtomically, RefusesWhatIsNoWritableFile)
{
    TTempDir dir;
    std::filesystem::create_directory(dir / "folder.ini");
    EXPECT_FALSE(WriteFileAtomically(dir / "folder.ini", "x"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.ini"));
    EXPECT_FALSE(WriteFileAtomically(dir / "missing/a.ini", "x"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));

    EXPECT_TRUE(testing::AsUnprivilegedUser([] {
        TTempDir own;
        const std::string readOnly = own.Write("read-only.ini", "kept");
        ::chmod(readOnly.c_str(), 0444);
        return !WriteFileAtomically(readOnly, "x") && ReadFile(readOnly) == "kept" &&
               Names(own.Path()) == std::vector<std::string>{"read-only.ini"};
    })) << "a read-only file stays although its folder would allow the rename";
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"folder.ini"});
}

TEST(RemoveRegularFile, OnlyRegularFilesGo)
{
    TTempDir dir;
    const std::string file = dir.Write("a.ini.Zz9Yy8", "half");
    const std::string target = dir.Write("target", "mine");
    std::filesystem::create_symlink(target, dir / "link");
    std::filesystem::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);

    EXPECT_TRUE(RemoveRegularFile(file));
    EXPECT_FALSE(RemoveRegularFile(file)) << "already gone";
    EXPECT_FALSE(RemoveRegularFile(dir / "link"));
    EXPECT_FALSE(RemoveRegularFile(dir / "folder"));
    EXPECT_FALSE(RemoveRegularFile(dir / "fifo"));
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"fifo", "folder", "link", "target"}));
    EXPECT_EQ(ReadFile(target), "mine");
}

TEST(ResolvedPath, FollowsLinksToTheRealFile)
{
    TTempDir dir;
    const std::string real = dir.Write("real/settings.ini");
    std::filesystem::create_symlink(dir / "real", dir / "via");
    std::filesystem::create_symlink(dir / "via/settings.ini", dir / "scenarix.INI");
    const std::string canonical = std::filesystem::canonical(real).string();
    EXPECT_EQ(ResolvedPath(dir / "scenarix.INI"), canonical);
    EXPECT_EQ(ResolvedPath(dir / "via/../via/settings.ini"), canonical);
    EXPECT_EQ(ResolvedPath(dir / "missing"), "");
}

} // namespace
} // namespace scenaria
