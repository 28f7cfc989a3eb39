#include "platform/Process.h"

#include "PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

namespace scenaria {
namespace {

using Clock = std::chrono::steady_clock;

class ProcessTest : public testing::TIsolatedTest {
protected:
    // A shell script on PATH under the given name.
    void Tool(const std::string& name, const std::string& body)
    {
        const std::string path = bin_.Write(name, "#!/bin/sh\n" + body + "\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }
    void SetUp() override { env_.Set("PATH", bin_.Path().string() + ":/usr/bin:/bin"); }

    testing::TTempDir bin_;
};

TEST_F(ProcessTest, OutputExitStatusAndTheFirstLineOfAFailure)
{
    Tool("talker", "echo \"out $1\"; echo 'bad thing' >&2; echo 'second line' >&2; exit 3");
    const auto result = RunProcess({"talker", "a b"}, 10000);
    EXPECT_TRUE(result.Started);
    EXPECT_FALSE(result.Succeeded());
    EXPECT_EQ(result.ExitCode, 3);
    EXPECT_EQ(result.Out, "out a b\n");
    EXPECT_EQ(result.Failure("talking"), "talking: exit status 3: bad thing");
}

TEST_F(ProcessTest, AMissingToolIsNamed)
{
    const auto result = RunProcess({"no-such-tool-here"}, 10000);
    EXPECT_FALSE(result.Started);
    EXPECT_NE(result.Failure("x").find("no-such-tool-here is not installed"), std::string::npos)
        << result.Failure("x");
    std::string error;
    EXPECT_FALSE(StartDetached({"no-such-tool-here"}, error));
    EXPECT_NE(error.find("no-such-tool-here"), std::string::npos);
    EXPECT_EQ(FindProgram("no-such-tool-here"), "");
}

TEST_F(ProcessTest, AHangingToolIsKilledAtTheLimit)
{
    const std::string pidFile = (Home() / "pid").string();
    Tool("hang", "echo $$ > '" + pidFile + "'; exec sleep 60");
    const auto start = Clock::now();
    const auto result = RunProcess({"hang"}, 300);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(20)) << "waited for the tool";
    EXPECT_TRUE(result.TimedOut);
    EXPECT_FALSE(result.Succeeded());
    EXPECT_EQ(result.Failure("hanging"), "hanging: did not finish in time");
    const pid_t pid = std::stoi(testing::ReadFile(pidFile));
    EXPECT_NE(::kill(pid, 0), 0) << "the tool still runs";
}

TEST_F(ProcessTest, ADaemonLeftHoldingTheOutputDoesNotKeepTheCallerWaiting)
{
    // Like a file manager that starts its desktop instance and returns.
    const std::string pidFile = (Home() / "daemon").string();
    Tool("starter", "sleep 60 & echo $! > '" + pidFile + "'; echo started; exit 0");
    const auto start = Clock::now();
    const auto result = RunProcess({"starter"}, 30000);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(20)) << "waited for the daemon";
    EXPECT_TRUE(result.Succeeded()) << result.Failure("starter");
    EXPECT_EQ(result.Out, "started\n");
    ::kill(std::stoi(testing::ReadFile(pidFile)), SIGKILL);
}

} // namespace
} // namespace scenaria
