#include "RunProgram.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace scenaria {
namespace {

using testing::RunTool;
using testing::TTempDir;

// The commands that steer the running copy, with no copy (and no bus) to answer: the copy
// that does answer is driven in the desktop tests.
TEST(RunningCopyCommands, WithoutARunningCopyEachFailsSayingSo)
{
    const TTempDir dir;
    const std::vector<std::string> env{"DBUS_SESSION_BUS_ADDRESS=unix:path=" + (dir / "no-bus"),
                                       "DISPLAY=", "HOME=" + (dir / "home")};
    for (const char* command : {"next", "delete", "configure", "explore", "status", "quit"}) {
        const auto r = RunTool({command}, env);
        EXPECT_EQ(r.ExitCode, 1) << command;
        EXPECT_TRUE(r.Out.empty()) << command;
        EXPECT_NE(r.Err.find("scenarix-tool " + std::string(command) +
                             ": Scenaria is not running: no copy of \"scenarix\""),
                  std::string::npos)
            << r.Err;
    }
    const auto other = RunTool({"status", "--program", "scenarix-two"}, env);
    EXPECT_EQ(other.ExitCode, 1);
    EXPECT_NE(other.Err.find("no copy of \"scenarix-two\""), std::string::npos) << other.Err;
}

TEST(RunningCopyCommands, UsageMistakesAreReportedBeforeAnyCall)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"next", "extra"},
                                                 {"status", "--program", "/usr/bin/scenarix"},
                                                 {"quit", "--program"},
                                                 {"delete", "--force"}}) {
        const auto r = RunTool(args);
        EXPECT_EQ(r.ExitCode, 1) << args[0];
        EXPECT_NE(r.Err.find("scenarix-tool " + args[0] + ":"), std::string::npos) << r.Err;
        EXPECT_EQ(r.Err.find("not running"), std::string::npos) << r.Err;
    }
}

} // namespace
} // namespace scenaria
