// The guard against a second copy, with real processes: the mutex is seen across them, a second
// copy ends with 0 at once after asking the running copy to show itself, and a copy under
// another file name runs on.

#include "WinTestSupport.h"

#include "platform/RemoteControl.h"
#include "platform/SingleInstance.h"

namespace scenaria::testing {
namespace {

// A name of this test run's own, so that nothing else running under wine meets it.
std::string GuardName(const char* tag)
{
    return std::string("scx-guard-") + tag + "-" + std::to_string(GetCurrentProcessId()) + ".exe";
}

TEST(WinSingleInstance, SecondCopyEndsAtOnceWithZeroAndAsksTheRunningOne)
{
    const std::string name = GuardName("second");
    const TSingleInstance first(name);
    ASSERT_FALSE(first.Previous());
    std::vector<std::string> commands;
    const TRemoteServer remote(name, [&commands](const std::string& command) {
        commands.push_back(command);
        return TRemoteAnswer{roDone, {"shown"}};
    });
    ASSERT_TRUE(remote.Listening()) << remote.Error();

    const TChildRun second = RunChild({ChildSecondCopy, name});
    ASSERT_TRUE(second.Started) << "CreateProcessW failed (error " << GetLastError() << ")";
    ASSERT_TRUE(second.Ended) << "the second copy still ran after " << second.Took.count() << " ms";
    EXPECT_EQ(second.ExitCode, 0u) << "a second copy ends with 0";
    // Wine starts a process in about a second; "at once" means nothing waited on the first copy.
    EXPECT_LT(second.Took, std::chrono::seconds(20));
    EXPECT_EQ(commands, std::vector<std::string>{"Configure"});
}

TEST(WinSingleInstance, OnlyTheSameFileNameIsAnotherCopy)
{
    const std::string name = GuardName("same");
    {
        const TSingleInstance first(name);
        ASSERT_FALSE(first.Previous());
        // Within one process the name is taken just the same.
        const TSingleInstance again(name);
        EXPECT_TRUE(again.Previous());

        // The mutex is named with the file name: a copy stored under another name runs on.
        const TChildRun other = RunChild({ChildSecondCopy, GuardName("other")});
        ASSERT_TRUE(other.Ended);
        EXPECT_EQ(other.ExitCode, FirstCopyExit);
    }
    // Once the running copy has gone, the next start is the first copy again.
    const TChildRun next = RunChild({ChildSecondCopy, name});
    ASSERT_TRUE(next.Ended);
    EXPECT_EQ(next.ExitCode, FirstCopyExit);
}

TEST(WinSingleInstance, SecondCopyEndsWithZeroAlsoWhenTheRunningOneDoesNotAnswer)
{
    // A running copy still starting has no window that answers yet; the second copy must not
    // wait for it beyond its own limit, nor end otherwise than quietly.
    const std::string name = GuardName("mute");
    const TSingleInstance first(name);
    ASSERT_FALSE(first.Previous());
    const TChildRun second = RunChild({ChildSecondCopy, name});
    ASSERT_TRUE(second.Ended);
    EXPECT_EQ(second.ExitCode, 0u);
}

TEST(WinRemoteControl, AnswersWithinOneProcess)
{
    const std::string name = GuardName("remote");
    EXPECT_EQ(CallRunningCopy(name, "Status", 1000).Outcome, roUnreachable);
    const TRemoteServer remote(name, [](const std::string& command) {
        return TRemoteAnswer{roDone, {"did " + command, "second line"}};
    });
    ASSERT_TRUE(remote.Listening()) << remote.Error();
    const TRemoteAnswer answer = CallRunningCopy(name, "Status", 5000);
    EXPECT_EQ(answer.Outcome, roDone);
    EXPECT_EQ(answer.Lines, (std::vector<std::string>{"did Status", "second line"}));
    const TRemoteAnswer unknown = CallRunningCopy(name, "Format C:", 5000);
    EXPECT_EQ(unknown.Outcome, roFailed);
    EXPECT_EQ(unknown.Lines, std::vector<std::string>{"unknown command \"Format C:\""});
}

TEST(WinRemoteControl, TheProgramIsFoundWithOrWithoutItsExtension)
{
    // scenarix.exe answers as "scenarix", the name scenarix-tool asks for by default.
    const std::string exe = GuardName("named");
    const std::string name = exe.substr(0, exe.size() - 4);
    const TRemoteServer remote(exe, [](const std::string& command) {
        return TRemoteAnswer{roDone, {command}};
    });
    ASSERT_TRUE(remote.Listening()) << remote.Error();
    EXPECT_EQ(CallRunningCopy(name, "Status", 5000).Outcome, roDone);
    EXPECT_EQ(CallRunningCopy(name + ".EXE", "Status", 5000).Outcome, roDone);
    EXPECT_EQ(CallRunningCopy(name + ".ex", "Status", 1000).Outcome, roUnreachable);
}

} // namespace
} // namespace scenaria::testing
