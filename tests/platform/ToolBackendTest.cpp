// Every desktop that is driven by a command-line tool, against a recording stand-in of that
// tool placed first on PATH.

#include "platform/LinuxPlatform.h"
#include "platform/Uri.h"

#include "PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace scenaria {
namespace {

using testing::TFakeTools;
using testing::TInvocation;
namespace fs = std::filesystem;

class ToolBackendTest : public testing::TIsolatedTest {
protected:
    // Three pictures, one per style, so that no name repeats.
    void InstallAllStyles(TLinuxPlatform& platform)
    {
        tile_ = home_.Write("pics/tile.bmp", "t");
        centre_ = home_.Write("pics/centre.bmp", "c");
        stretch_ = home_.Write("pics/stretch.jpg", "s");
        const auto tiled = platform.InstallClassic(tile_, true);
        EXPECT_TRUE(tiled.Ok) << tiled.Error;
        const auto centred = platform.InstallClassic(centre_, false);
        EXPECT_TRUE(centred.Ok) << centred.Error;
        const auto stretched = platform.InstallActiveDesktop(stretch_, wsStretch);
        EXPECT_TRUE(stretched.Ok) << stretched.Error;
    }

    std::string tile_, centre_, stretch_;
};

TEST_F(ToolBackendTest, CinnamonSetsItsOwnSchemaWithFileUris)
{
    env_.Set("XDG_CURRENT_DESKTOP", "X-Cinnamon");
    TFakeTools tools(env_);
    tools.Add("gsettings");
    TLinuxPlatform platform("/usr/bin/scenarix");
    EXPECT_TRUE(platform.InitializeDesktop());
    InstallAllStyles(platform);

    const std::string schema = "org.cinnamon.desktop.background";
    const std::vector<TInvocation> expected = {
        {"gsettings", "set", schema, "picture-options", "'wallpaper'"},
        {"gsettings", "set", schema, "picture-uri", "'" + FileUri(tile_) + "'"},
        {"gsettings", "set", schema, "picture-options", "'centered'"},
        {"gsettings", "set", schema, "picture-uri", "'" + FileUri(centre_) + "'"},
        {"gsettings", "set", schema, "picture-options", "'stretched'"},
        {"gsettings", "set", schema, "picture-uri", "'" + FileUri(stretch_) + "'"},
    };
    EXPECT_EQ(tools.Calls(), expected);
}

TEST_F(ToolBackendTest, MateTakesAPlainPathQuotedForGVariant)
{
    env_.Set("XDG_CURRENT_DESKTOP", "MATE");
    TFakeTools tools(env_);
    tools.Add("gsettings");
    TLinuxPlatform platform("/usr/bin/scenarix");
    InstallAllStyles(platform);
    const std::string quoted = home_.Write("it's \\ here.bmp", "q");
    ASSERT_TRUE(platform.InstallClassic(quoted, true).Ok);

    const std::string schema = "org.mate.background";
    std::string escaped = quoted;
    escaped.replace(escaped.find("it's \\"), 6, "it\\'s \\\\");
    const std::vector<TInvocation> expected = {
        {"gsettings", "set", schema, "picture-options", "'wallpaper'"},
        {"gsettings", "set", schema, "picture-filename", "'" + tile_ + "'"},
        {"gsettings", "set", schema, "picture-options", "'centered'"},
        {"gsettings", "set", schema, "picture-filename", "'" + centre_ + "'"},
        {"gsettings", "set", schema, "picture-options", "'stretched'"},
        {"gsettings", "set", schema, "picture-filename", "'" + stretch_ + "'"},
        {"gsettings", "set", schema, "picture-options", "'wallpaper'"},
        {"gsettings", "set", schema, "picture-filename", "'" + escaped + "'"},
    };
    EXPECT_EQ(tools.Calls(), expected);
}

TEST_F(ToolBackendTest, GnomeBeforeVersion42HasNoDarkKeyToSet)
{
    env_.Set("XDG_CURRENT_DESKTOP", "Budgie:GNOME");
    TFakeTools tools(env_);
    tools.Add("gsettings", "picture-options\npicture-uri\nprimary-color\n", 0, {}, "list-keys");
    TLinuxPlatform platform("/usr/bin/scenarix");
    const std::string file = home_.Write("a.png", "a");
    ASSERT_TRUE(platform.InstallClassic(file, false).Ok);
    const std::string schema = "org.gnome.desktop.background";
    const std::vector<TInvocation> expected = {
        {"gsettings", "set", schema, "picture-options", "'centered'"},
        {"gsettings", "set", schema, "picture-uri", "'" + FileUri(file) + "'"},
        {"gsettings", "list-keys", schema},
    };
    EXPECT_EQ(tools.Calls(), expected);
}

TEST_F(ToolBackendTest, XfceSetsEveryListedBackdropAndNoOther)
{
    env_.Set("XDG_CURRENT_DESKTOP", "XFCE");
    TFakeTools tools(env_);
    tools.Add("xfconf-query",
              "/backdrop/screen0/monitorHDMI-1/workspace0/image-style\n"
              "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n"
              "/backdrop/screen0/monitor0/image-path\n"
              "/backdrop/screen0/monitoreDP-1/workspace0/last-image\n"
              "/backdrop/screen0/monitoreDP-1/workspace1/last-image\n"
              "/desktop-icons/style\n",
              0, {}, "-l");
    TLinuxPlatform platform("/usr/bin/scenarix");
    EXPECT_TRUE(platform.InitializeDesktop());
    InstallAllStyles(platform);

    const std::vector<std::string> monitors = {"/backdrop/screen0/monitorHDMI-1/workspace0",
                                               "/backdrop/screen0/monitoreDP-1/workspace0",
                                               "/backdrop/screen0/monitoreDP-1/workspace1"};
    std::vector<TInvocation> expected;
    for (const auto& [file, style] :
         {std::pair{tile_, "2"}, std::pair{centre_, "1"}, std::pair{stretch_, "3"}}) {
        expected.push_back({"xfconf-query", "-c", "xfce4-desktop", "-l"});
        for (const auto& monitor : monitors) {
            expected.push_back({"xfconf-query", "-c", "xfce4-desktop", "-p",
                                monitor + "/image-style", "-n", "-t", "int", "-s", style});
            expected.push_back(
                {"xfconf-query", "-c", "xfce4-desktop", "-p", monitor + "/last-image", "-s", file});
        }
    }
    EXPECT_EQ(tools.Calls(), expected);
}

TEST_F(ToolBackendTest, XfceWithoutAnyBackdropIsAnErrorNotAGuessedMonitorName)
{
    env_.Set("XDG_CURRENT_DESKTOP", "XFCE");
    TFakeTools tools(env_);
    tools.Add("xfconf-query", "/desktop-icons/style\n", 0, {}, "-l");
    TLinuxPlatform platform("/usr/bin/scenarix");
    const auto status = platform.InstallClassic(home_.Write("a.bmp", "a"), true);
    EXPECT_FALSE(status.Ok);
    EXPECT_NE(status.Error.find("XFCE"), std::string::npos) << status.Error;
    EXPECT_EQ(tools.Calls().size(), 1u);
}

TEST_F(ToolBackendTest, LxqtAndLxdeHandTheFileToTheirFileManagers)
{
    for (const auto& [desktop, tool] :
         {std::pair{"LXQt", "pcmanfm-qt"}, std::pair{"LXDE", "pcmanfm"}}) {
        SCOPED_TRACE(desktop);
        env_.Set("XDG_CURRENT_DESKTOP", desktop);
        TFakeTools tools(env_);
        tools.Add(tool);
        TLinuxPlatform platform("/usr/bin/scenarix");
        InstallAllStyles(platform);
        const std::vector<TInvocation> expected = {
            {tool, "--set-wallpaper", tile_, "--wallpaper-mode", "tile"},
            {tool, "--set-wallpaper", centre_, "--wallpaper-mode", "center"},
            {tool, "--set-wallpaper", stretch_, "--wallpaper-mode", "stretch"},
        };
        EXPECT_EQ(tools.Calls(), expected);
    }
}

// Several monitors on a desktop that draws one picture over all of them: the layout bitmap,
// laid over the whole screen; the next single picture has its own style again.
TEST_F(ToolBackendTest, OnePictureDesktopsSpanTheLayoutBitmapOverSeveralMonitors)
{
    const std::string layout = home_.Write("pics/layout.bmp", "l");
    const std::string single = home_.Write("pics/single.bmp", "s");
    const std::vector<TMonitorPicture> pictures = {
        {TMonitor{"", 0, 0, 320, 180, true, 0}, home_.Write("pics/left.bmp", "a")},
        {TMonitor{"", 320, 0, 180, 320, false, 0}, home_.Write("pics/right.bmp", "b")}};
    const std::string gnome = "org.gnome.desktop.background";
    const std::string cinnamon = "org.cinnamon.desktop.background";
    const std::string mate = "org.mate.background";
    const auto set = [](const std::string& schema, const char* key, const std::string& value) {
        return TInvocation{"gsettings", "set", schema, key, "'" + value + "'"};
    };
    const auto gnomeCalls = [&](const char* option, const std::string& file, bool listKeys,
                                bool dark) {
        std::vector<TInvocation> calls = {set(gnome, "picture-options", option),
                                          set(gnome, "picture-uri", FileUri(file))};
        if (listKeys)
            calls.push_back({"gsettings", "list-keys", gnome});
        if (dark)
            calls.push_back(set(gnome, "picture-uri-dark", FileUri(file)));
        return calls;
    };
    const auto told = [](const char* tool, const std::string& file, const char* mode) {
        return std::vector<TInvocation>{{tool, "--set-wallpaper", file, "--wallpaper-mode", mode}};
    };
    const std::string withDark = "picture-options\npicture-uri\npicture-uri-dark\n";
    const std::string withoutDark = "picture-options\npicture-uri\n";

    struct TRow {
        const char* Desktop; // XDG_CURRENT_DESKTOP
        const char* Tool;
        std::string Keys; // what gsettings list-keys answers
        std::vector<TInvocation> Spanned;
        std::vector<TInvocation> Tiled; // the single picture afterwards
        std::string Refused;            // the error when the tool fails
    };
    const TRow rows[] = {
        {"GNOME", "gsettings", withDark, gnomeCalls("spanned", layout, true, true),
         gnomeCalls("wallpaper", single, false, true),
         "GNOME: gsettings set picture-options: exit status 1: Permission denied"},
        {"Budgie:GNOME", "gsettings", withoutDark, gnomeCalls("spanned", layout, true, false),
         gnomeCalls("wallpaper", single, false, false),
         "Budgie: gsettings set picture-options: exit status 1: Permission denied"},
        {"Unity", "gsettings", withDark, gnomeCalls("spanned", layout, true, true),
         gnomeCalls("wallpaper", single, false, true),
         "Unity: gsettings set picture-options: exit status 1: Permission denied"},
        {"X-Cinnamon",
         "gsettings",
         {},
         {set(cinnamon, "picture-options", "spanned"),
          set(cinnamon, "picture-uri", FileUri(layout))},
         {set(cinnamon, "picture-options", "wallpaper"),
          set(cinnamon, "picture-uri", FileUri(single))},
         "Cinnamon: gsettings set picture-options: exit status 1: Permission denied"},
        {"MATE",
         "gsettings",
         {},
         {set(mate, "picture-options", "spanned"), set(mate, "picture-filename", layout)},
         {set(mate, "picture-options", "wallpaper"), set(mate, "picture-filename", single)},
         "MATE: gsettings set picture-options: exit status 1: Permission denied"},
        {"LXQt",
         "pcmanfm-qt",
         {},
         told("pcmanfm-qt", layout, "stretch"),
         told("pcmanfm-qt", single, "tile"),
         "LXQt: pcmanfm-qt --set-wallpaper: exit status 1: Permission denied"},
        {"LXDE",
         "pcmanfm",
         {},
         told("pcmanfm", layout, "screen"),
         told("pcmanfm", single, "tile"),
         "LXDE: pcmanfm --set-wallpaper: exit status 1: Permission denied"},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Desktop);
        env_.Set("XDG_CURRENT_DESKTOP", row.Desktop);
        {
            TFakeTools tools(env_);
            tools.Add(row.Tool, row.Keys, 0, {}, "list-keys");
            TLinuxPlatform platform("/usr/bin/scenarix");
            const auto spanned = platform.InstallMonitors(pictures, layout);
            EXPECT_TRUE(spanned.Ok) << spanned.Error;
            EXPECT_EQ(tools.Calls(), row.Spanned);
            tools.ClearCalls();
            const auto tiled = platform.InstallClassic(single, true);
            EXPECT_TRUE(tiled.Ok) << tiled.Error;
            EXPECT_EQ(tools.Calls(), row.Tiled);
        }
        TFakeTools failing(env_);
        failing.Add(row.Tool, "", 1, "Permission denied\nmore detail\n");
        TLinuxPlatform platform("/usr/bin/scenarix");
        const auto refused = platform.InstallMonitors(pictures, layout);
        EXPECT_FALSE(refused.Ok);
        EXPECT_EQ(refused.Error, row.Refused);
        EXPECT_EQ(failing.Calls().size(), 1u) << "nothing more is tried after a refusal";
    }
}

TEST_F(ToolBackendTest, SwayGetsTheFileQuotedForItsParserAndAliasesForUnsafeNames)
{
    env_.Set("XDG_CURRENT_DESKTOP", "sway");
    TFakeTools tools(env_);
    tools.Add("swaymsg");
    TLinuxPlatform platform("/usr/bin/scenarix");
    InstallAllStyles(platform);
    std::vector<TInvocation> expected = {
        {"swaymsg", "-p", "output", "*", "bg", "\"'" + tile_ + "'\"", "tile"},
        {"swaymsg", "-p", "output", "*", "bg", "\"'" + centre_ + "'\"", "center"},
        {"swaymsg", "-p", "output", "*", "bg", "\"'" + stretch_ + "'\"", "stretch"},
    };
    EXPECT_EQ(tools.Calls(), expected);

    // sway would expand $(...) in a name; it gets a plain alias instead.
    tools.ClearCalls();
    const std::string risky = home_.Write("pics/$(touch x).png", "r");
    ASSERT_TRUE(platform.InstallActiveDesktop(risky, wsCentre).Ok);
    const auto calls = tools.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0][5], "\"'" + (Home() / "pics/~scxtmp.1.png").string() + "'\"");
    EXPECT_TRUE(fs::exists(risky));
}

TEST_F(ToolBackendTest, AMissingOrFailingToolIsAnErrorStatus)
{
    const std::string file = home_.Write("a.bmp", "a");
    for (const auto& [desktop, tool] :
         {std::pair{"GNOME", "gsettings"}, std::pair{"MATE", "gsettings"},
          std::pair{"XFCE", "xfconf-query"}, std::pair{"LXQt", "pcmanfm-qt"},
          std::pair{"LXDE", "pcmanfm"}, std::pair{"sway", "swaymsg"}}) {
        SCOPED_TRACE(desktop);
        env_.Set("XDG_CURRENT_DESKTOP", desktop);
        {
            TFakeTools nothing(env_, false);
            TLinuxPlatform platform("/usr/bin/scenarix");
            const auto status = platform.InstallClassic(file, true);
            EXPECT_FALSE(status.Ok);
            EXPECT_NE(status.Error.find(tool), std::string::npos) << status.Error;
            EXPECT_NE(status.Error.find("not installed"), std::string::npos) << status.Error;
            EXPECT_EQ(status.Error.find('\n'), std::string::npos) << "one line";
        }
        TFakeTools failing(env_);
        failing.Add(tool, "", 1, "Permission denied\nmore detail\n");
        TLinuxPlatform platform("/usr/bin/scenarix");
        const auto status = platform.InstallClassic(file, false);
        EXPECT_FALSE(status.Ok);
        EXPECT_NE(status.Error.find("Permission denied"), std::string::npos) << status.Error;
        EXPECT_EQ(status.Error.find('\n'), std::string::npos) << "one line";
    }
}

TEST_F(ToolBackendTest, NothingReachesTheDesktopForAMissingFileOrWithoutADesktopBackend)
{
    env_.Set("XDG_CURRENT_DESKTOP", "GNOME");
    TFakeTools tools(env_);
    tools.Add("gsettings");
    {
        TLinuxPlatform platform("/usr/bin/scenarix");
        const auto status = platform.InstallClassic((Home() / "gone\nfile.bmp").string(), true);
        EXPECT_FALSE(status.Ok);
        EXPECT_EQ(status.Error.find('\n'), std::string::npos) << "written as one line";
        EXPECT_TRUE(tools.Calls().empty());
    }
    // Bare X11 has no desktop that takes a file: the file-and-style installer does nothing.
    env_.Unset("XDG_CURRENT_DESKTOP");
    env_.Set("DISPLAY", ":9999");
    TLinuxPlatform platform("/usr/bin/scenarix");
    EXPECT_FALSE(platform.InitializeDesktop());
    EXPECT_EQ(platform.Desktop(), dkX11);
    EXPECT_FALSE(platform.InstallActiveDesktop(home_.Write("a.bmp", "a"), wsTile).Ok);
    env_.Unset("DISPLAY");
    TLinuxPlatform none("/usr/bin/scenarix");
    EXPECT_FALSE(none.InitializeDesktop());
    const auto status = none.InstallClassic(home_.Write("b.bmp", "b"), true);
    EXPECT_FALSE(status.Ok);
    EXPECT_FALSE(status.Error.empty());
    EXPECT_TRUE(tools.Calls().empty());
}

TEST_F(ToolBackendTest, HelpOpensTheContentsPageAtTheContextsAnchor)
{
    const fs::path prefix = Home() / "opt/scenaria";
    const std::string program = (prefix / "bin/scenarix").string();
    const std::string page =
        home_.Write("opt/scenaria/share/scenaria/help/scenarix.html", "<html>");
    TLinuxPlatform platform(program);
    EXPECT_EQ(platform.HelpFile(), page);

    {
        TFakeTools none(env_, false);
        const auto status = platform.ShowHelp(0);
        EXPECT_FALSE(status.Ok);
        EXPECT_NE(status.Error.find("xdg-open"), std::string::npos) << status.Error;
    }
    TFakeTools tools(env_);
    tools.Add("xdg-open");
    ASSERT_TRUE(platform.ShowHelp(0).Ok);
    ASSERT_TRUE(platform.ShowHelp(120).Ok);
    // xdg-open runs detached; give it a moment to write its log.
    for (int i = 0; i < 200 && tools.Calls().size() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    auto calls = tools.Calls();
    std::sort(calls.begin(), calls.end());
    const std::vector<TInvocation> expected = {{"xdg-open", FileUri(page)},
                                               {"xdg-open", FileUri(page) + "#context-120"}};
    EXPECT_EQ(calls, expected);

    fs::remove(page);
    const auto missing = platform.ShowHelp(0);
    EXPECT_FALSE(missing.Ok);
    EXPECT_NE(missing.Error.find("scenarix.html"), std::string::npos) << missing.Error;
}

TEST(ScreenFactsOverride, IsReadAsWidthHeightAndBits)
{
    TScreenFacts facts;
    ASSERT_TRUE(ParseScreenFacts("1024x768x8", facts));
    EXPECT_EQ(facts.Width, 1024);
    EXPECT_EQ(facts.Height, 768);
    EXPECT_EQ(facts.BitsPerPixel, 8);
    for (const char* bad : {"", "1024x768", "1024x768x", "0x768x24", "1024x768x24x", "axbxc"})
        EXPECT_FALSE(ParseScreenFacts(bad, facts)) << bad;
}

TEST(ScreenFactsOverride, SeveralMonitorsAreSizesAndPlacesJoinedByCommas)
{
    std::vector<TMonitor> monitors;
    ASSERT_TRUE(ParseMonitors("1920x1080+0+0,1080x1920+1920+-200", monitors));
    const std::vector<TMonitor> expected = {{"SCREEN-1", 0, 0, 1920, 1080, true, 0},
                                            {"SCREEN-2", 1920, -200, 1080, 1920, false, 0}};
    EXPECT_EQ(monitors, expected);
    ASSERT_TRUE(ParseMonitors("1024x768x8", monitors));
    EXPECT_EQ(monitors, (std::vector<TMonitor>{{"", 0, 0, 1024, 768, true, 0}}));
    for (const char* bad :
         {"", ",", "1920x1080+0+0,", "1920x1080+0", "1920x1080+0+0x", "0x1080+0+0",
          "1920x1080+0+0;800x600+0+0", "99999999x1+0+0", "10x10+2000000+0"})
        EXPECT_FALSE(ParseMonitors(bad, monitors)) << bad;

    testing::TScopedEnv env;
    env.Set("SCENARIA_SCREEN", "1280x720+0+0,720x1280+1280+0");
    const TLinuxPlatform platform;
    EXPECT_EQ(platform.Monitors().size(), 2u);
    const TScreenFacts screen = platform.ScreenFacts();
    EXPECT_EQ(screen.Width, 2000);
    EXPECT_EQ(screen.Height, 1280);
    EXPECT_EQ(screen.BitsPerPixel, 24);
}

} // namespace
} // namespace scenaria
