// KDE Plasma's scripting call, against a stand-in shell on a private session bus that the test
// starts itself.

#include "platform/LinuxPlatform.h"
#include "platform/Uri.h"

#include "PlatformTestSupport.h"
#include "RunProgram.h"

#include <gtest/gtest.h>

#include <regex>

namespace scenaria {
namespace {

using testing::ReadFile;
using testing::TChild;

class KdeTest : public testing::TIsolatedTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testing::RequireProgram("dbus-daemon", "dbus-daemon"));
        bus_ = std::make_unique<TChild>(std::vector<std::string>{
            "dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"});
        ASSERT_TRUE(bus_->Started()) << bus_->Error();
        const auto address = bus_->ReadLine();
        ASSERT_TRUE(address && !address->empty()) << "dbus-daemon printed no address";
        env_.Set("DBUS_SESSION_BUS_ADDRESS", *address);
        env_.Set("XDG_CURRENT_DESKTOP", "KDE");
        log_ = (Home() / "scripts.log").string();
    }

    void StartShell(bool locked = false)
    {
        std::vector<std::string> argv = {scenaria::testing::BuiltProgram("fake_plasmashell"), log_};
        if (locked)
            argv.push_back("--locked");
        shell_ = std::make_unique<TChild>(argv);
        ASSERT_TRUE(shell_->Started()) << shell_->Error();
        ASSERT_EQ(shell_->ReadLine(), std::optional<std::string>("ready"));
    }

    std::vector<std::string> Scripts() const
    {
        std::vector<std::string> scripts;
        const std::string text = ReadFile(log_);
        std::size_t start = 0, end;
        while ((end = text.find("\n----\n", start)) != std::string::npos) {
            scripts.push_back(text.substr(start, end - start));
            start = end + 6;
        }
        return scripts;
    }

    std::unique_ptr<TChild> bus_;
    std::unique_ptr<TChild> shell_;
    std::string log_;
};

TEST_F(KdeTest, EveryDesktopGetsTheImagePluginTheFileUriAndTheFillMode)
{
    StartShell();
    TLinuxPlatform platform("/usr/bin/scenarix");
    EXPECT_TRUE(platform.InitializeDesktop());
    const std::string tile = home_.Write("pics/tile \"one\".bmp", "t");
    const std::string centre = home_.Write("pics/centre.bmp", "c");
    const std::string stretch = home_.Write("pics/stretch.jpg", "s");
    for (const auto& status :
         {platform.InstallClassic(tile, true), platform.InstallClassic(centre, false),
          platform.InstallActiveDesktop(stretch, wsStretch)})
        EXPECT_TRUE(status.Ok) << status.Error;

    const auto scripts = Scripts();
    ASSERT_EQ(scripts.size(), 3u);
    const std::vector<std::pair<std::string, int>> expected = {
        {tile, 3}, {centre, 6}, {stretch, 0}};
    for (std::size_t i = 0; i < scripts.size(); ++i) {
        const std::string& script = scripts[i];
        SCOPED_TRACE(script);
        // One loop over desktops(), and everything set on each of them inside it.
        const std::regex loop(
            R"(var all = desktops\(\);\s*for \(var i = 0; i < all\.length; i\+\+\) \{\s*var d = all\[i\];([\s\S]*)\})");
        std::smatch body;
        ASSERT_TRUE(std::regex_search(script, body, loop));
        const std::string each = body[1].str();
        EXPECT_NE(each.find("d.wallpaperPlugin = \"org.kde.image\";"), std::string::npos);
        EXPECT_NE(each.find("d.currentConfigGroup = Array(\"Wallpaper\", \"org.kde.image\", "
                            "\"General\");"),
                  std::string::npos);
        EXPECT_NE(each.find("d.writeConfig(\"Image\", \"" + FileUri(expected[i].first) + "\");"),
                  std::string::npos);
        EXPECT_NE(
            each.find("d.writeConfig(\"FillMode\", " + std::to_string(expected[i].second) + ");"),
            std::string::npos);
    }
    EXPECT_NE(scripts[0].find("tile%20%22one%22.bmp"), std::string::npos)
        << "quotes in the name stay inside the URI";
}

TEST_F(KdeTest, LockedWidgetsAreAnErrorStatus)
{
    StartShell(true);
    TLinuxPlatform platform("/usr/bin/scenarix");
    const auto status = platform.InstallClassic(home_.Write("a.bmp", "a"), true);
    EXPECT_FALSE(status.Ok);
    EXPECT_NE(status.Error.find("Widgets are locked"), std::string::npos) << status.Error;
    EXPECT_EQ(Scripts().size(), 1u);
}

TEST_F(KdeTest, NoShellOrNoBusIsAnErrorStatusWithoutWaiting)
{
    TLinuxPlatform platform("/usr/bin/scenarix");
    const std::string file = home_.Write("a.bmp", "a");
    const auto noShell = platform.InstallClassic(file, true);
    EXPECT_FALSE(noShell.Ok);
    EXPECT_NE(noShell.Error.find("KDE"), std::string::npos) << noShell.Error;

    env_.Set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (Home() / "no-bus").string());
    const auto noBus = platform.InstallClassic(file, false);
    EXPECT_FALSE(noBus.Ok);
    EXPECT_NE(noBus.Error.find("KDE"), std::string::npos) << noBus.Error;
}

} // namespace
} // namespace scenaria
