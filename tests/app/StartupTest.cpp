#include "BackgroundProgram.h"
#include "TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace scenaria {
namespace {

using namespace std::chrono_literals;
using testing::BuiltProgram;
using testing::TBackgroundProgram;
using testing::TTempDir;

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.Write("run/.keep");
        std::filesystem::permissions(dir / "run", std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
        Install("scenarix");
    }

    std::string Install(const std::string& name)
    {
        std::filesystem::copy_file(BuiltProgram("scenarix"), dir / name);
        return dir / name;
    }

    std::vector<std::string> Env() const
    {
        // A second start calls the first copy on the session bus: never on the user's bus.
        return {"QT_QPA_PLATFORM=offscreen",
                "XDG_RUNTIME_DIR=" + (dir / "run"),
                "HOME=" + (dir / "home"),
                "XDG_CONFIG_HOME=" + (dir / "config"),
                "XDG_CURRENT_DESKTOP=",
                "DESKTOP_SESSION=",
                "DISPLAY=",
                "WAYLAND_DISPLAY=",
                "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (dir / "no-bus")};
    }

    // True once some process holds the lock of that program name.
    bool LockHeld(const std::string& lockName) const
    {
        const int fd = ::open((dir / ("run/" + lockName)).c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        return held;
    }

    bool WaitForLock(const std::string& lockName) const
    {
        for (int i = 0; i < 500 && !LockHeld(lockName); ++i)
            std::this_thread::sleep_for(20ms);
        return LockHeld(lockName);
    }

    TTempDir dir;
};

TEST_F(Startup, SecondCopyEndsAtOnceWithoutReadingTheSettings)
{
    dir.Write("scenarix.INI", "[Diduzavizo]\nDirectory=" + (dir / "none") + "\n");
    TBackgroundProgram first({dir / "scenarix"}, Env());
    ASSERT_TRUE(WaitForLock("scenarix.lock")) << "the first copy never took its lock";

    // A second copy that opened its settings file would now block on the pipe for ever.
    std::filesystem::remove(dir / "scenarix.INI");
    ASSERT_EQ(::mkfifo((dir / "scenarix.INI").c_str(), 0600), 0);
    TBackgroundProgram second({dir / "scenarix"}, Env());
    EXPECT_EQ(second.WaitFor(10s), std::optional<int>(0));
    EXPECT_FALSE(first.WaitFor(0ms)) << "the first copy keeps running";
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "scenarix.INI"));
}

TEST_F(Startup, CopiesUnderOtherNamesBothRun)
{
    Install("scenarix-two");
    dir.Write("scenarix.INI", "[Diduzavizo]\nDirectory=" + (dir / "none") + "\n");
    dir.Write("scenarix-two.INI", "[Diduzavizo]\nDirectory=" + (dir / "none") + "\n");
    TBackgroundProgram first({dir / "scenarix"}, Env());
    TBackgroundProgram other({dir / "scenarix-two"}, Env());
    EXPECT_TRUE(WaitForLock("scenarix.lock"));
    EXPECT_TRUE(WaitForLock("scenarix-two.lock"));
    EXPECT_FALSE(first.WaitFor(300ms));
    EXPECT_FALSE(other.WaitFor(0ms));
}

TEST_F(Startup, ACrashedCopyLeavesNoStaleLock)
{
    dir.Write("scenarix.INI", "[Diduzavizo]\nDirectory=" + (dir / "none") + "\n");
    {
        TBackgroundProgram crashed({dir / "scenarix"}, Env());
        ASSERT_TRUE(WaitForLock("scenarix.lock"));
        crashed.Signal(SIGKILL);
        crashed.WaitFor(5s);
    }
    ASSERT_TRUE(std::filesystem::exists(dir / "run/scenarix.lock"));
    TBackgroundProgram next({dir / "scenarix"}, Env());
    EXPECT_TRUE(WaitForLock("scenarix.lock"));
    EXPECT_FALSE(next.WaitFor(300ms)) << "the next start runs";
}

TEST_F(Startup, RemovesInterruptedSettingsWritesAndNothingElse)
{
    dir.Write("scenarix.INI", "[Diduzavizo]\nDirectory=" + (dir / "none") + "\n");
    dir.Write("scenarix.INI.k3Jd9Q", "[Diduzavizo]\nDire");
    dir.Write("scenarix.INI.k3Jd9", "someone else's");
    dir.Write("scenarix.INI.bak", "someone else's");
    dir.Write("scenarix-two.INI.k3Jd9Q", "another program's");
    TBackgroundProgram program({dir / "scenarix"}, Env());
    ASSERT_TRUE(WaitForLock("scenarix.lock"));
    for (int i = 0; i < 250 && std::filesystem::exists(dir / "scenarix.INI.k3Jd9Q"); ++i)
        std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(std::filesystem::exists(dir / "scenarix.INI.k3Jd9Q"));
    EXPECT_TRUE(std::filesystem::exists(dir / "scenarix.INI.k3Jd9"));
    EXPECT_TRUE(std::filesystem::exists(dir / "scenarix.INI.bak"));
    EXPECT_TRUE(std::filesystem::exists(dir / "scenarix-two.INI.k3Jd9Q"));
    EXPECT_FALSE(program.WaitFor(0ms)) << "and the program runs";
}

TEST_F(Startup, ASecondCopyLeavesTheFirstCopysWritesAlone)
{
    dir.Write("scenarix.INI", "[Diduzavizo]\nDirectory=" + (dir / "none") + "\n");
    dir.Write("scenarix.INI.a0B1c2", "[Diduzavizo]\n");
    TBackgroundProgram first({dir / "scenarix"}, Env());
    ASSERT_TRUE(WaitForLock("scenarix.lock"));
    for (int i = 0; i < 250 && std::filesystem::exists(dir / "scenarix.INI.a0B1c2"); ++i)
        std::this_thread::sleep_for(20ms);
    ASSERT_FALSE(std::filesystem::exists(dir / "scenarix.INI.a0B1c2")) << "the first copy's own";
    // As if the first copy were writing its settings at this moment.
    dir.Write("scenarix.INI.w8Rt5Y", "[Diduzavizo]\n");
    TBackgroundProgram second({dir / "scenarix"}, Env());
    EXPECT_EQ(second.WaitFor(10s), std::optional<int>(0));
    EXPECT_TRUE(std::filesystem::exists(dir / "scenarix.INI.w8Rt5Y"));
}

TEST_F(Startup, StartsWithMissingFolderAndRunOnStartQuietly)
{
    const std::string settings = "[Diduzavizo]\nDirectory=" + (dir / "none") + "\nRunOnStart=1\n";
    dir.Write("scenarix.INI", settings);
    TBackgroundProgram program({dir / "scenarix", "/GIF", "extra"}, Env());
    ASSERT_TRUE(WaitForLock("scenarix.lock"));
    EXPECT_FALSE(program.WaitFor(500ms));
    program.Signal(SIGTERM);
    program.WaitFor(5s);
    EXPECT_EQ(testing::ReadFile(dir / "scenarix.INI"), settings) << "nothing was written";
}

} // namespace
} // namespace scenaria
