#include "platform/Autostart.h"
#include "platform/LinuxPlatform.h"

#include "PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace scenaria {
namespace {

using testing::ReadFile;
namespace fs = std::filesystem;

class AutostartTest : public testing::TIsolatedTest {};

TEST_F(AutostartTest, WrittenTwiceLeavesOneEntryWhoseExecRunsTheProgram)
{
    // A folder name that needs every kind of quoting the Exec key has.
    const fs::path folder = Home() / "my \"odd\" $HOME `x` \xC3\xA9";
    fs::create_directories(folder);
    const std::string program = (folder / "scenarix").string();
    const std::string marker = (Home() / "ran.txt").string();
    {
        std::ofstream script(program);
        // Renamed into place, so that the test never reads a half-written marker.
        script << "#!/bin/sh\nprintf '%s|%s' \"$0\" \"$#\" > '" << marker << ".part' && mv '"
               << marker << ".part' '" << marker << "'\n";
    }
    fs::permissions(program, fs::perms::owner_all);

    TLinuxPlatform platform(program);
    EXPECT_TRUE(platform.CreateStartupShortcut().Ok);
    EXPECT_TRUE(platform.CreateStartupShortcut().Ok);

    const fs::path autostart = Home() / ".config/autostart";
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(autostart))
        names.push_back(entry.path().filename().string());
    ASSERT_EQ(names, std::vector<std::string>{"Scenarix.desktop"});
    const std::string text = ReadFile((autostart / "Scenarix.desktop").string());
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    for (const char* line : {"\nType=Application\n", "\nName=Scenaria\n",
                             "\nComment=Shortcut to Scenaria\n", "\nExec=\""})
        EXPECT_NE(text.find(line), std::string::npos) << line << " missing in\n" << text;

    // GLib's launcher reads the entry as any desktop would.
    if (!testing::RequireProgram("gio", "libglib2.0-bin"))
        return;
    const std::string launch = "gio launch '" + (autostart / "Scenarix.desktop").string() + "'";
    ASSERT_EQ(std::system(launch.c_str()), 0) << text;
    for (int i = 0; i < 200 && !fs::exists(marker); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    EXPECT_EQ(ReadFile(marker), program + "|0");
}

TEST_F(AutostartTest, ExecQuotingFollowsTheDesktopEntryRules)
{
    // Inside the quotes ", `, $ and \ take a backslash, % is doubled, and then every backslash
    // is escaped once more as in any string value.
    EXPECT_EQ(DesktopEntryExec("/usr/bin/scenarix"), "\"/usr/bin/scenarix\"");
    EXPECT_EQ(DesktopEntryExec("/a b/100%/x"), "\"/a b/100%%/x\"");
    EXPECT_EQ(DesktopEntryExec("/a\\b/$c"), "\"/a\\\\\\\\b/\\\\$c\"");
}

TEST_F(AutostartTest, AnEntryThatCannotBeWrittenIsReportedAndHarmless)
{
    // XDG_CONFIG_HOME is a file: no autostart folder can be made in it.
    const std::string blocker = home_.Write("blocker", "not a folder");
    env_.Set("XDG_CONFIG_HOME", blocker);
    TLinuxPlatform platform("/usr/bin/scenarix");
    const TPlatformStatus status = platform.CreateStartupShortcut();
    EXPECT_FALSE(status.Ok);
    EXPECT_NE(status.Error.find("autostart"), std::string::npos) << status.Error;
    EXPECT_EQ(ReadFile(blocker), "not a folder");
}

} // namespace
} // namespace scenaria
