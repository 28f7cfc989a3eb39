#include "platform/Trash.h"
#include "platform/LinuxPlatform.h"

#include "PlatformTestSupport.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <regex>
#include <sched.h>
#include <sys/mount.h>

namespace scenaria {
namespace {

using testing::AsUnprivilegedUser;
using testing::ReadFile;
using testing::TTempDir;
namespace fs = std::filesystem;

std::string Canonical(const fs::path& path)
{
    return fs::canonical(path).string();
}

std::string InfoValue(const std::string& info, const std::string& key)
{
    std::smatch match;
    const std::regex line("(^|\n)" + key + "=([^\n]*)");
    return std::regex_search(info, match, line) ? match[2].str() : std::string("<none>");
}

std::vector<std::string> Names(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class TrashTest : public testing::TIsolatedTest {
protected:
    fs::path Trash() const { return Home() / ".local/share/Trash"; }
};

TEST_F(TrashTest, MovesTheFileAndWritesAnEncodedInfoInLocalTime)
{
    // Far from UTC, so that a UTC time stamp could not pass for local time.
    env_.Set("TZ", "SCN-5:45");
    ::tzset();
    const std::string file = home_.Write("my pictures/\xC3\x89t\xC3\xA9 1.png", "picture");
    const std::string folder = Canonical(home_.Path() / "my pictures");

    const TTrashResult result = MoveToTrash(file);

    ASSERT_TRUE(result.Ok) << result.Error;
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(result.TrashedFile, (Trash() / "files" / "\xC3\x89t\xC3\xA9 1.png").string());
    EXPECT_EQ(ReadFile(result.TrashedFile), "picture");
    EXPECT_EQ(result.InfoFile, (Trash() / "info" / "\xC3\x89t\xC3\xA9 1.png.trashinfo").string());
    const std::string info = ReadFile(result.InfoFile);
    EXPECT_EQ(info.rfind("[Trash Info]\n", 0), 0u) << info;
    std::string encodedFolder;
    for (const char c : folder)
        encodedFolder += c == ' ' ? std::string("%20") : std::string(1, c);
    EXPECT_EQ(InfoValue(info, "Path"), encodedFolder + "/%C3%89t%C3%A9%201.png");

    const std::string date = InfoValue(info, "DeletionDate");
    ASSERT_TRUE(std::regex_match(date, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)"))) << date;
    std::tm written{};
    ASSERT_NE(::strptime(date.c_str(), "%Y-%m-%dT%H:%M:%S", &written), nullptr);
    written.tm_isdst = -1;
    EXPECT_LT(std::abs(std::difftime(std::time(nullptr), std::mktime(&written))), 120.0)
        << "DeletionDate " << date << " is not the local time";
}

TEST_F(TrashTest, FilesOfTheSameNameAreKeptApartWithTheirExtensions)
{
    const std::string first = home_.Write("one/a.png", "first");
    const std::string second = home_.Write("two/a.png", "second");
    const std::string third = home_.Write("three/a.png", "third");
    for (const auto& file : {first, second, third})
        ASSERT_TRUE(MoveToTrash(file).Ok) << file;

    EXPECT_EQ(Names(Trash() / "files"), (std::vector<std::string>{"a.2.png", "a.3.png", "a.png"}));
    EXPECT_EQ(ReadFile((Trash() / "files/a.png").string()), "first");
    EXPECT_EQ(ReadFile((Trash() / "files/a.2.png").string()), "second");
    EXPECT_EQ(ReadFile((Trash() / "files/a.3.png").string()), "third");
    EXPECT_NE(ReadFile((Trash() / "info/a.2.png.trashinfo").string()).find("/two/a.png"),
              std::string::npos);

    EXPECT_EQ(TrashCandidateName("archive.tar.gz", 2), "archive.tar.2.gz");
    EXPECT_EQ(TrashCandidateName(".hidden", 2), ".hidden.2");
    EXPECT_EQ(TrashCandidateName("plain", 3), "plain.3");
}

TEST_F(TrashTest, AFileLeftInTheTrashWithoutItsInfoIsNotOverwritten)
{
    home_.Write(".local/share/Trash/files/b.jpg", "orphan");
    const std::string file = home_.Write("pics/b.jpg", "new");
    const TTrashResult result = MoveToTrash(file);
    ASSERT_TRUE(result.Ok) << result.Error;
    EXPECT_EQ(result.TrashedFile, (Trash() / "files/b.2.jpg").string());
    EXPECT_EQ(ReadFile((Trash() / "files/b.jpg").string()), "orphan");
    EXPECT_EQ(Names(Trash() / "info"), (std::vector<std::string>{"b.2.jpg.trashinfo"}));
}

TEST_F(TrashTest, AMissingDataFolderIsCreatedAndTheCurrentFolderIsNeverUsed)
{
    TTempDir current;
    const fs::path previous = fs::current_path();
    fs::current_path(current.Path());
    const std::string dataHome = (home_.Path() / "not/yet/there").string();
    env_.Set("XDG_DATA_HOME", dataHome);
    const std::string file = home_.Write("x.bmp", "x");

    const TTrashResult result = MoveToTrash(file);

    fs::current_path(previous);
    ASSERT_TRUE(result.Ok) << result.Error;
    EXPECT_TRUE(fs::exists(dataHome + "/Trash/files/x.bmp"));
    EXPECT_TRUE(fs::exists(dataHome + "/Trash/info/x.bmp.trashinfo"));
    EXPECT_TRUE(Names(current.Path()).empty());

    // A relative XDG_DATA_HOME is no base folder at all: the default under HOME is used.
    env_.Set("XDG_DATA_HOME", "relative/data");
    fs::current_path(current.Path());
    const TTrashResult second = MoveToTrash(home_.Write("y.bmp", "y"));
    fs::current_path(previous);
    ASSERT_TRUE(second.Ok) << second.Error;
    EXPECT_TRUE(fs::exists(Trash() / "files/y.bmp"));
    EXPECT_TRUE(Names(current.Path()).empty());
}

TEST_F(TrashTest, AMissingFileGivesFalseAndChangesNothing)
{
    const TTrashResult result = MoveToTrash((home_.Path() / "gone.png").string());
    EXPECT_FALSE(result.Ok);
    EXPECT_FALSE(fs::exists(Trash()));
    EXPECT_FALSE(MoveToTrash("").Ok);
}

TEST_F(TrashTest, ThePlatformSaysWhyInOneLine)
{
    TLinuxPlatform platform("/usr/bin/scenarix");
    const std::string file = home_.Write("keep.png", "picture");
    EXPECT_TRUE(platform.DeleteToRecycleBin(file).Ok);
    EXPECT_FALSE(fs::exists(file));
    const TPlatformStatus missing =
        platform.DeleteToRecycleBin((home_.Path() / "gone\nnow.png").string());
    EXPECT_FALSE(missing.Ok);
    EXPECT_FALSE(missing.Error.empty());
    EXPECT_EQ(missing.Error.find('\n'), std::string::npos) << missing.Error;
}

TEST_F(TrashTest, ALinkIsTrashedItselfAndItsTargetStays)
{
    const std::string target = home_.Write("real.png", "real");
    const fs::path link = home_.Path() / "link.png";
    fs::create_symlink(target, link);
    const TTrashResult result = MoveToTrash(link.string());
    ASSERT_TRUE(result.Ok) << result.Error;
    EXPECT_TRUE(fs::is_symlink(result.TrashedFile));
    EXPECT_EQ(ReadFile(target), "real");
}

TEST_F(TrashTest, AFileInAReadOnlyFolderStaysAndNoInfoIsLeft)
{
    // Opened up so that an unprivileged user may reach the files and keep a trash here.
    fs::permissions(home_.Path(), fs::perms::all);
    const std::string file = home_.Write("locked/keep.png", "keep");
    fs::permissions(home_.Path() / "locked", fs::perms::owner_read | fs::perms::owner_exec |
                                                 fs::perms::group_read | fs::perms::group_exec |
                                                 fs::perms::others_read | fs::perms::others_exec);
    const std::string dataHome = (home_.Path() / "data").string();
    fs::create_directories(dataHome);
    fs::permissions(dataHome, fs::perms::all);
    const auto env = [&](const char* name) {
        return std::string(name) == "XDG_DATA_HOME" ? dataHome : std::string();
    };

    const bool refused = AsUnprivilegedUser([&] {
        const TTrashResult result = MoveToTrash(file, env);
        return !result.Ok && fs::exists(file) && Names(dataHome + "/Trash/info").empty();
    });

    EXPECT_TRUE(refused);
    EXPECT_EQ(ReadFile(file), "keep");
}

// The rest runs on a tmpfs of its own, mounted in a private mount namespace of a child process
// so that nothing outside sees it, even when the test dies.
class OtherFileSystemTest : public TrashTest {
protected:
    // Runs check(mountPoint, report) in a child with a fresh tmpfs at mountPoint; the report
    // says what went wrong.
    void OnTmpfs(const std::function<bool(const std::string&, std::string&)>& check)
    {
        fs::permissions(home_.Path(), fs::perms::all);
        const std::string mountPoint = (home_.Path() / "mnt").string();
        const std::string reportFile = (home_.Path() / "report.txt").string();
        fs::create_directories(mountPoint);
        const pid_t child = ::fork();
        if (child == 0) {
            if (::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "mode=0755") != 0)
                ::_exit(77);
            std::string report;
            const bool ok = check(mountPoint, report);
            std::ofstream(reportFile) << report;
            ::_exit(ok ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 77)
            GTEST_SKIP() << "this system lets the test mount no tmpfs (it needs root)";
        EXPECT_EQ(WEXITSTATUS(status), 0) << ReadFile(reportFile);
    }
};

TEST_F(OtherFileSystemTest, GoesToTheTopFolderTrashWithARelativePath)
{
    OnTmpfs([&](const std::string& top, std::string& report) {
        fs::create_directories(top + "/sub dir");
        std::ofstream(top + "/sub dir/p q.png") << "p";
        const TTrashResult result = MoveToTrash(top + "/sub dir/p q.png");
        const std::string uid = std::to_string(::getuid());
        const std::string trash = top + "/.Trash-" + uid;
        const std::string info = ReadFile(trash + "/info/p q.png.trashinfo");
        report = result.Error + "|" + result.TrashedFile + "|" + info;
        return result.Ok && result.TrashedFile == trash + "/files/p q.png" &&
               ReadFile(result.TrashedFile) == "p" && !fs::exists(top + "/sub dir/p q.png") &&
               InfoValue(info, "Path") == "sub%20dir/p%20q.png" && !fs::exists(Trash());
    });
}

TEST_F(OtherFileSystemTest, UsesASharedStickyTrashButNeverOneWithoutTheStickyBit)
{
    OnTmpfs([&](const std::string& top, std::string& report) {
        const std::string uid = std::to_string(::getuid());
        fs::create_directories(top + "/.Trash");
        ::chmod((top + "/.Trash").c_str(), 01777);
        std::ofstream(top + "/a.png") << "a";
        const TTrashResult shared = MoveToTrash(top + "/a.png");
        report = "sticky: " + shared.Error + "|" + shared.TrashedFile + "\n";
        const bool sharedOk =
            shared.Ok && shared.TrashedFile == top + "/.Trash/" + uid + "/files/a.png";

        ::chmod((top + "/.Trash").c_str(), 0777);
        std::ofstream(top + "/b.png") << "b";
        const TTrashResult own = MoveToTrash(top + "/b.png");
        report += "not sticky: " + own.Error + "|" + own.TrashedFile;
        return sharedOk && own.Ok && own.TrashedFile == top + "/.Trash-" + uid + "/files/b.png";
    });
}

TEST_F(OtherFileSystemTest, IsRefusedWhenNoTrashCanBeMadeThereAndTheFileStays)
{
    OnTmpfs([&](const std::string& top, std::string& report) {
        // The top folder belongs to root; the user owns only a folder inside.
        const std::string mine = top + "/mine";
        fs::create_directories(mine);
        std::ofstream(mine + "/keep.png") << "keep";
        if (::geteuid() == 0 && (::chown(mine.c_str(), 65534, 65534) != 0 ||
                                 ::chown((mine + "/keep.png").c_str(), 65534, 65534) != 0))
            return false;
        const bool refused = AsUnprivilegedUser([&] {
            const TTrashResult result = MoveToTrash(mine + "/keep.png");
            return !result.Ok && fs::exists(mine + "/keep.png");
        });
        report = "the file was trashed or lost: " + ReadFile(mine + "/keep.png");
        return refused && ReadFile(mine + "/keep.png") == "keep";
    });
}

} // namespace
} // namespace scenaria
