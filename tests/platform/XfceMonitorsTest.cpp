// XFCE on several monitors: which backdrop of xfdesktop's settings each monitor's bitmap goes
// to, against a recording xfconf-query; then the real xfdesktop on a nested X server of two
// heads, read back head by head.

#include "imaging/Canvas.h"
#include "imaging/PixelGraphic.h"
#include "platform/Desktop.h"
#include "platform/LinuxPlatform.h"
#include "platform/Process.h"
#include "platform/X11Root.h"

#include "DesktopSession.h"
#include "PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace scenaria {
namespace {

using testing::TInvocation;
using testing::TRgb;
namespace fs = std::filesystem;

TMonitorPicture Picture(const std::string& name, const std::string& file)
{
    return {TMonitor{name, 0, 0, 10, 10, false, 0}, file};
}

// The two calls that show a file on the backdrop of a monitor and workspace.
std::vector<TInvocation> Shows(const std::string& backdrop, const std::string& file,
                               const char* style)
{
    const std::string path = "/backdrop/screen0/monitor" + backdrop;
    return {{"xfconf-query", "-c", "xfce4-desktop", "-p", path + "/image-style", "-n", "-t", "int",
             "-s", style},
            {"xfconf-query", "-c", "xfce4-desktop", "-p", path + "/last-image", "-s", file}};
}

std::string Listing(const std::vector<std::string>& backdrops)
{
    std::string text = "/desktop-icons/style\n";
    for (const std::string& backdrop : backdrops)
        text += "/backdrop/" + backdrop + "/image-style\n/backdrop/" + backdrop + "/last-image\n";
    return text;
}

TEST(XfceMonitorBackdropsTest, EachMonitorsBitmapGoesToTheBackdropsOfItsMonitor)
{
    testing::TScopedEnv env;
    env.Unset("DISPLAY");
    testing::TFakeTools tools(env);
    const auto backend = CreateDesktopBackend(dkXfce);
    const std::string layout = "/p/layout.bmp";

    struct TRow {
        const char* Case;
        std::vector<std::string> Backdrops; // as listed, under /backdrop/
        std::vector<TMonitorPicture> Pictures;
        std::vector<std::vector<TInvocation>> Sent; // after the listing
    };
    const TRow rows[] = {
        {"two monitors by name",
         {"screen0/monitorHDMI-1/workspace0", "screen0/monitoreDP-1/workspace0"},
         {Picture("eDP-1", "/p/a.bmp"), Picture("HDMI-1", "/p/b.bmp")},
         {Shows("HDMI-1/workspace0", "/p/b.bmp", "3"), Shows("eDP-1/workspace0", "/p/a.bmp", "3")}},
        {"two monitors by index",
         {"screen0/monitor1/workspace0", "screen0/monitor0/workspace0"},
         {Picture("", "/p/a.bmp"), Picture("", "/p/b.bmp")},
         {Shows("1/workspace0", "/p/b.bmp", "3"), Shows("0/workspace0", "/p/a.bmp", "3")}},
        {"backdrops of no monitor of ours keep their pictures",
         {"screen0/monitorDP-9/workspace0", "screen0/monitorHDMI-1/workspace0",
          "screen1/monitorHDMI-1/workspace0", "screen0/monitor0/workspace0",
          "screen0/monitorHDMI-1/workspace0/extra", "screen0/monitor/workspace0"},
         {Picture("HDMI-1", "/p/a.bmp"), Picture("DP-1", "/p/b.bmp")},
         {Shows("HDMI-1/workspace0", "/p/a.bmp", "3")}},
        {"an index past our monitors",
         {"screen0/monitor0/workspace0", "screen0/monitor1/workspace0",
          "screen0/monitor2/workspace0", "screen0/monitor01/workspace0"},
         {Picture("", "/p/a.bmp"), Picture("", "/p/b.bmp")},
         {Shows("0/workspace0", "/p/a.bmp", "3"), Shows("1/workspace0", "/p/b.bmp", "3")}},
        {"several workspaces",
         {"screen0/monitorHDMI-1/workspace0", "screen0/monitorDP-1/workspace0",
          "screen0/monitorHDMI-1/workspace1", "screen0/monitorHDMI-1/workspace3"},
         {Picture("HDMI-1", "/p/a.bmp"), Picture("DP-1", "/p/b.bmp")},
         {Shows("HDMI-1/workspace0", "/p/a.bmp", "3"), Shows("DP-1/workspace0", "/p/b.bmp", "3"),
          Shows("HDMI-1/workspace1", "/p/a.bmp", "3"),
          Shows("HDMI-1/workspace3", "/p/a.bmp", "3")}},
        {"xfdesktop's one monitor over heads it does not see takes the layout",
         {"screen0/monitor0/workspace0", "screen0/monitor0/workspace1",
          "screen0/monitorscreen/workspace0"},
         {Picture("", "/p/a.bmp"), Picture("", "/p/b.bmp")},
         {Shows("0/workspace0", layout, "2"), Shows("0/workspace1", layout, "2")}},
        {"one unnamed monitor is its monitor0",
         {"screen0/monitor0/workspace0"},
         {Picture("", "/p/a.bmp")},
         {Shows("0/workspace0", "/p/a.bmp", "3")}},
        {"named monitors are not matched by index",
         {"screen0/monitor0/workspace0", "screen0/monitorDP-1/workspace0"},
         {Picture("HDMI-1", "/p/a.bmp"), Picture("DP-1", "/p/b.bmp")},
         {Shows("DP-1/workspace0", "/p/b.bmp", "3")}},
        {"no backdrop of any monitor of ours: the layout on all of them",
         {"screen0/monitor0/workspace0", "screen1/monitorX/workspace0"},
         {Picture("SCREEN-1", "/p/a.bmp"), Picture("SCREEN-2", "/p/b.bmp")},
         {Shows("0/workspace0", layout, "2"),
          {{"xfconf-query", "-c", "xfce4-desktop", "-p",
            "/backdrop/screen1/monitorX/workspace0/image-style", "-n", "-t", "int", "-s", "2"},
           {"xfconf-query", "-c", "xfce4-desktop", "-p",
            "/backdrop/screen1/monitorX/workspace0/last-image", "-s", layout}}}},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Case);
        tools.Add("xfconf-query", Listing(row.Backdrops), 0, {}, "-l");
        tools.ClearCalls();
        const auto status = backend->ApplyMonitors(row.Pictures, layout);
        EXPECT_TRUE(status.Ok) << status.Error;
        std::vector<TInvocation> expected{{"xfconf-query", "-c", "xfce4-desktop", "-l"}};
        for (const auto& calls : row.Sent)
            expected.insert(expected.end(), calls.begin(), calls.end());
        EXPECT_EQ(tools.Calls(), expected);
    }
}

TEST(XfceMonitorBackdropsTest, AFailedCallStopsWithItsReason)
{
    testing::TScopedEnv env;
    env.Unset("DISPLAY");
    testing::TFakeTools tools(env);
    const auto backend = CreateDesktopBackend(dkXfce);
    const std::vector<TMonitorPicture> pictures{Picture("HDMI-1", "/p/a.bmp"),
                                                Picture("DP-1", "/p/b.bmp")};

    tools.Add("xfconf-query", "/desktop-icons/style\n", 0, {}, "-l");
    auto status = backend->ApplyMonitors(pictures, "/p/layout.bmp");
    EXPECT_FALSE(status.Ok);
    EXPECT_NE(status.Error.find("lists no backdrop"), std::string::npos) << status.Error;

    tools.Add("xfconf-query", "", 1, "Could not connect to xfconfd\n");
    tools.ClearCalls();
    status = backend->ApplyMonitors(pictures, "/p/layout.bmp");
    EXPECT_FALSE(status.Ok);
    EXPECT_NE(status.Error.find("Could not connect"), std::string::npos) << status.Error;
    EXPECT_EQ(tools.Calls().size(), 1u) << "nothing set after a failed listing";
}

// Two heads side by side: a wide one, and a tall one to its right; below the wide one the
// screen belongs to no monitor.
constexpr int WideWidth = 480, WideHeight = 270, TallWidth = 270, TallHeight = 480;
constexpr int LayoutWidth = WideWidth + TallWidth, LayoutHeight = TallHeight;

// A bitmap of two colours split in the middle: left and right, or top and bottom.
struct THalves {
    TRgb First, Second;
    bool SideBySide = true;

    TRgb At(int x, int y, int width, int height) const
    {
        return (SideBySide ? x < width / 2 : y < height / 2) ? First : Second;
    }
};

void PaintHalves(TPGCanvas& canvas, const TRect& area, const THalves& halves)
{
    const auto colour = [](const TRgb& c) { return RGB(c.R, c.G, c.B); };
    const int width = area.Right - area.Left, height = area.Bottom - area.Top;
    const TRect second = halves.SideBySide
                             ? TRect{area.Left + width / 2, area.Top, area.Right, area.Bottom}
                             : TRect{area.Left, area.Top + height / 2, area.Right, area.Bottom};
    canvas.FillRect(area, colour(halves.First));
    canvas.FillRect(second, colour(halves.Second));
}

void WriteBitmap(const std::string& path, int width, int height,
                 const std::vector<std::pair<TRect, THalves>>& parts)
{
    TPixelGraphic picture;
    picture.SetSize(width, height, bc24Bit);
    picture.Canvas().FillRect({0, 0, width, height}, RGB(0, 0, 0));
    for (const auto& [area, halves] : parts)
        PaintHalves(picture.Canvas(), area, halves);
    picture.SaveToFile(path);
}

// Places well inside each half (and off the split), as fractions of the head's size; the
// desktop's icons are switched off, so nothing else is drawn there.
constexpr std::pair<double, double> Samples[] = {
    {0.02, 0.02}, {0.25, 0.65}, {0.1, 0.95}, {0.45, 0.3}, {0.55, 0.7},
    {0.75, 0.1},  {0.98, 0.98}, {0.6, 0.4},  {0.3, 0.2},  {0.9, 0.55},
};

// Empty when the head shows the halves at every sample place, else what it shows instead.
std::string Mismatch(const testing::TDesktopSession& session, const TMonitor& head,
                     const THalves& halves)
{
    const auto pixels = session.Pixels(head.X, head.Y, head.Width, head.Height);
    if (pixels.size() != static_cast<std::size_t>(head.Width) * head.Height)
        return "the screen could not be read";
    for (const auto& [fx, fy] : Samples) {
        const int x = static_cast<int>(fx * (head.Width - 1));
        const int y = static_cast<int>(fy * (head.Height - 1));
        const TRgb seen = pixels[static_cast<std::size_t>(y) * head.Width + x];
        const TRgb wanted = halves.At(x, y, head.Width, head.Height);
        if (!seen.Near(wanted)) {
            std::ostringstream text;
            text << "the head at " << head.X << "," << head.Y << " shows " << seen << " at " << x
                 << "," << y << ", not " << wanted;
            return text.str();
        }
    }
    return {};
}

class XfceMonitorsTest : public testing::TIsolatedTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testing::RequireProgram("xfdesktop", "xfdesktop4"));
        ASSERT_TRUE(testing::RequireProgram("xfconf-query", "xfconf"));
        ASSERT_TRUE(testing::RequireProgram("dbus-update-activation-environment", "dbus-bin"));
        testing::TDesktopOptions options;
        options.Heads = {{WideWidth, WideHeight}, {TallWidth, TallHeight}};
        options.Bus = true;
        session_ = std::make_unique<testing::TDesktopSession>(env_, options);
        ASSERT_TRUE(session_->Ready()) << session_->Error();
        // xfconfd, started by the bus, must keep its settings in this test's folders.
        const auto update =
            RunProcess({"dbus-update-activation-environment", "DISPLAY", "HOME", "XDG_CONFIG_HOME",
                        "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"},
                       10000);
        ASSERT_TRUE(update.Succeeded()) << update.Failure("dbus-update-activation-environment");
        env_.Set("XDG_CURRENT_DESKTOP", "XFCE");
    }

    void TearDown() override
    {
        xfdesktop_.reset();
        session_.reset();
    }

    // Starts xfdesktop without its icons; true once it keeps its backdrops in xfconf, which
    // it then lists.
    bool StartXfdesktop(std::string& listing)
    {
        const auto icons = RunProcess({"xfconf-query", "-c", "xfce4-desktop", "-p",
                                       "/desktop-icons/style", "-n", "-t", "int", "-s", "0"},
                                      10000);
        EXPECT_TRUE(icons.Succeeded()) << icons.Failure("xfconf-query /desktop-icons/style");
        xfdesktop_ = std::make_unique<testing::TChild>(
            std::vector<std::string>{"xfdesktop", "--disable-wm-check"}, false);
        if (!xfdesktop_->Started()) {
            ADD_FAILURE() << xfdesktop_->Error();
            return false;
        }
        const bool ready = testing::PollUntil(20000, [&] {
            if (HasDesktopWindowOf(session_->DisplayName(), "xfdesktop") != true)
                return false;
            listing = RunProcess({"xfconf-query", "-c", "xfce4-desktop", "-l"}, 2000).Out;
            return listing.find("/last-image") != std::string::npos;
        });
        EXPECT_TRUE(ready) << "xfdesktop made no desktop window or keeps no backdrop";
        return ready;
    }

    // Shows the halves on the heads through the platform and waits until both show them.
    void ShowsEachHeadItsHalves(TLinuxPlatform& platform, const std::vector<TMonitor>& heads,
                                const THalves& wide, const THalves& tall)
    {
        const std::string wideFile = pictures_ / "wide.bmp", tallFile = pictures_ / "tall.bmp";
        const std::string layoutFile = pictures_ / "layout.bmp";
        WriteBitmap(wideFile, WideWidth, WideHeight, {{{0, 0, WideWidth, WideHeight}, wide}});
        WriteBitmap(tallFile, TallWidth, TallHeight, {{{0, 0, TallWidth, TallHeight}, tall}});
        WriteBitmap(layoutFile, LayoutWidth, LayoutHeight,
                    {{{0, 0, WideWidth, WideHeight}, wide},
                     {{WideWidth, 0, LayoutWidth, TallHeight}, tall}});
        const auto status =
            platform.InstallMonitors({{heads[0], wideFile}, {heads[1], tallFile}}, layoutFile);
        ASSERT_TRUE(status.Ok) << status.Error;
        std::string wideSeen, tallSeen;
        testing::PollUntil(10000, [&] {
            wideSeen = Mismatch(*session_, heads[0], wide);
            tallSeen = Mismatch(*session_, heads[1], tall);
            return wideSeen.empty() && tallSeen.empty();
        });
        EXPECT_EQ(wideSeen, "");
        EXPECT_EQ(tallSeen, "");
    }

    std::unique_ptr<testing::TDesktopSession> session_;
    std::unique_ptr<testing::TChild> xfdesktop_;
    testing::TTempDir pictures_;
};

TEST_F(XfceMonitorsTest, EachHeadShowsItsOwnBitmapWithAndWithoutXfdesktop)
{
    TLinuxPlatform platform("/usr/bin/scenarix");
    const auto heads = platform.Monitors();
    ASSERT_EQ(heads.size(), 2u);
    ASSERT_EQ(heads[1], (TMonitor{"", WideWidth, 0, TallWidth, TallHeight, false, 0}));
    const TRgb red{230, 20, 30}, blue{20, 40, 220}, green{30, 200, 60}, yellow{240, 220, 20};

    {
        SCOPED_TRACE("no xfdesktop: the root window");
        ::testing::internal::CaptureStderr();
        ShowsEachHeadItsHalves(platform, heads, {red, blue, true}, {green, yellow, false});
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("xfdesktop is not drawing"), std::string::npos) << said;
    }

    std::string listing;
    ASSERT_TRUE(StartXfdesktop(listing));
    RecordProperty("xfdesktop_backdrops", listing);
    SCOPED_TRACE("xfdesktop lists:\n" + listing);
    // The second change writes new pixels under the same names, as every change does.
    ShowsEachHeadItsHalves(platform, heads, {yellow, green, false}, {blue, red, true});
    ShowsEachHeadItsHalves(platform, heads, {blue, yellow, true}, {red, green, false});
}

} // namespace
} // namespace scenaria
