// KDE Plasma's scripting call, against a stand-in shell on a private session bus that the test
// starts itself.

#include "platform/Desktop.h"
#include "platform/LinuxPlatform.h"
#include "platform/Uri.h"

#include "PlatformTestSupport.h"
#include "RunProgram.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

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

    void StartShell(bool locked = false, const std::vector<std::string>& options = {})
    {
        std::vector<std::string> argv = {scenaria::testing::BuiltProgram("fake_plasmashell"), log_};
        if (locked)
            argv.push_back("--locked");
        argv.insert(argv.end(), options.begin(), options.end());
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

    // A shell that runs the scripts against its desktops: screen n has the n-th geometry
    // ("WxH+X+Y"), and each desktop is on the screen `desktops` names for it (-1: none).
    void StartScreens(const std::string& screens, const std::string& desktops = {})
    {
        ASSERT_TRUE(testing::RequireProgram("node", "nodejs"));
        state_ = (Home() / "desktops.state").string();
        StartShell(false, {"--screens", screens, "--desktops", desktops, "--state", state_});
    }

    // What each desktop shows, in the shell's order, as the shell keeps it.
    std::vector<std::string> Desktops() const
    {
        std::vector<std::string> lines;
        std::istringstream text(ReadFile(state_));
        std::string line;
        for (std::getline(text, line); std::getline(text, line);)
            lines.push_back(line);
        return lines;
    }

    static std::string Untouched(int screen)
    {
        return R"({"screen":)" + std::to_string(screen) +
               R"(,"plugin":"org.kde.color","config":{}})";
    }

    static std::string Showing(int screen, const std::string& file, int fillMode)
    {
        return R"({"screen":)" + std::to_string(screen) +
               R"(,"plugin":"org.kde.image","config":{"Wallpaper/org.kde.image/General":{"Image":")" +
               FileUri(file) + R"(","FillMode":)" + std::to_string(fillMode) + "}}}";
    }

    std::unique_ptr<TChild> bus_;
    std::unique_ptr<TChild> shell_;
    std::string log_;
    std::string state_;
};

TMonitorPicture Picture(int x, int y, int width, int height, const std::string& file)
{
    return {{"", x, y, width, height}, file};
}

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

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

// Plasma's screen order is not the monitors' order, and an activity has desktops of its own.
TEST_F(KdeTest, EachDesktopShowsTheMonitorOfItsScreensPlaceAndSize)
{
    StartScreens("1080x1920+1920+0,1920x1080+0+0", "0,1,-1,1");
    TLinuxPlatform platform("/usr/bin/scenarix");
    const std::string left = home_.Write("pics/left.bmp", "l");
    const std::string right = home_.Write("pics/right.bmp", "r");
    const auto status = platform.InstallMonitors(
        {Picture(0, 0, 1920, 1080, left), Picture(1920, 0, 1080, 1920, right)},
        home_.Write("pics/layout.bmp", "w"));
    EXPECT_TRUE(status.Ok) << status.Error;
    EXPECT_EQ(Desktops(), (std::vector<std::string>{Showing(0, right, 0), Showing(1, left, 0),
                                                    Untouched(-1), Showing(1, left, 0)}));
    const auto scripts = Scripts();
    ASSERT_EQ(scripts.size(), 1u);
    EXPECT_EQ(Count(scripts[0], FileUri(left)), 1u) << scripts[0];
    EXPECT_EQ(Count(scripts[0], FileUri(right)), 1u) << scripts[0];
    EXPECT_EQ(Count(scripts[0], "layout"), 0u) << scripts[0];
}

TEST_F(KdeTest, AScreenOfNoMonitorKeepsItsWallpaperAndNoneMatchingIsAnError)
{
    StartScreens("1920x1080+0+0,1280x1024+1920+0");
    TLinuxPlatform platform("/usr/bin/scenarix");
    const std::string old = home_.Write("pics/old.bmp", "o");
    ASSERT_TRUE(platform.InstallClassic(old, true).Ok);
    const std::vector<std::string> before = {Showing(0, old, 3), Showing(1, old, 3)};
    ASSERT_EQ(Desktops(), before);

    const std::string first = home_.Write("pics/first.bmp", "1");
    const auto matched = platform.InstallMonitors(
        {Picture(0, 0, 1920, 1080, first), Picture(1920, 0, 1920, 1080, home_.Write("pics/b.bmp"))},
        home_.Write("pics/layout.bmp"));
    EXPECT_TRUE(matched.Ok) << matched.Error;
    const std::vector<std::string> after = {Showing(0, first, 0), Showing(1, old, 3)};
    EXPECT_EQ(Desktops(), after);

    const auto none =
        platform.InstallMonitors({Picture(0, 0, 2560, 1440, home_.Write("pics/c.bmp")),
                                  Picture(2560, 0, 1920, 1080, home_.Write("pics/d.bmp"))},
                                 home_.Write("pics/layout2.bmp"));
    EXPECT_FALSE(none.Ok);
    EXPECT_NE(none.Error.find("no screen has the place and size of a monitor"), std::string::npos)
        << none.Error;
    EXPECT_EQ(Desktops(), after);
}

// Each name is shown by Apply and by the monitors' script alike, and reaches the shell as the
// same file, whatever the name holds.
TEST_F(KdeTest, AwkwardFileNamesReachTheShellIntact)
{
    StartScreens("800x600+0+0,800x600+800+0");
    const auto backend = CreateDesktopBackend(dkKde);
    const std::string plain = (Home() / "plain.bmp").string();
    const std::vector<std::pair<const char*, std::string>> rows = {
        {"double quote", "say \"hi\".bmp"},
        {"backslash", "back\\slash\\.bmp"},
        {"newline", "two\nlines.bmp"},
        {"tab, CR and DEL", "a\tb\rc\x7f.bmp"},
        {"string breaking out", "\"); throw 1; (\".bmp"},
        {"single quote", "it's.bmp"},
        {"non-ASCII", "\xc3\xa9t\xc3\xa9 \xe2\x82\xac.bmp"},
    };
    for (const auto& [what, name] : rows) {
        SCOPED_TRACE(what);
        const std::string file = (Home() / name).string();
        const auto applied = backend->Apply(file, wsStretch);
        ASSERT_TRUE(applied.Ok) << applied.Error;
        EXPECT_EQ(Desktops(), (std::vector<std::string>{Showing(0, file, 0), Showing(1, file, 0)}));

        const auto status = backend->ApplyMonitors(
            {Picture(0, 0, 800, 600, plain), Picture(800, 0, 800, 600, file)}, plain);
        ASSERT_TRUE(status.Ok) << status.Error;
        EXPECT_EQ(Desktops(),
                  (std::vector<std::string>{Showing(0, plain, 0), Showing(1, file, 0)}));
    }
}

TEST_F(KdeTest, OneMonitorIsShownTheLayoutAsApplyShowsIt)
{
    StartShell();
    const auto backend = CreateDesktopBackend(dkKde);
    const std::string layout = home_.Write("pics/layout.bmp", "w");
    const std::string own = home_.Write("pics/own.bmp", "o");
    ASSERT_TRUE(backend->ApplyMonitors({Picture(0, 0, 1920, 1080, own)}, layout).Ok);
    ASSERT_TRUE(backend->Apply(layout, wsTile).Ok);
    const auto scripts = Scripts();
    ASSERT_EQ(scripts.size(), 2u);
    EXPECT_EQ(scripts[0], scripts[1]);
}

} // namespace
} // namespace scenaria
