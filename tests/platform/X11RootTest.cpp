// Bare X11: the program paints the root window of the test desktop's Xvfb, which runs with
// -noreset so that it keeps the retained pixmap when the painting client leaves.

#include "platform/X11Root.h"
#include "platform/LinuxPlatform.h"

#include "DesktopSession.h"
#include "PlatformTestSupport.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <fstream>
#include <functional>

namespace scenaria {
namespace {

using testing::TRgb;
namespace fs = std::filesystem;

constexpr int ScreenWidth = 320, ScreenHeight = 240;

using TPixelRule = std::function<TRgb(int x, int y)>;

// A 24-bit BMP written by ImageMagick from a plain PPM.
std::string WriteBitmap(const testing::TTempDir& dir, const std::string& name, int width,
                        int height, const TPixelRule& rule)
{
    std::string ppm = "P3\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto rgb = rule(x, y);
            ppm += std::to_string(rgb.R) + " " + std::to_string(rgb.G) + " " +
                   std::to_string(rgb.B) + "\n";
        }
    const std::string source = dir.Write(name + ".ppm", ppm);
    const std::string target = dir / name;
    const std::string command =
        "convert-im6.q16 '" + source + "' -type TrueColor 'BMP3:" + target + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return target;
}

int trappedCode = 0;
int Trap(Display*, XErrorEvent* event)
{
    trappedCode = event->error_code;
    return 0;
}

class X11RootTest : public testing::TIsolatedTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testing::RequireProgram("convert-im6.q16", "imagemagick-6.q16"));
        testing::TDesktopOptions options;
        options.Width = ScreenWidth;
        options.Height = ScreenHeight;
        session_ = std::make_unique<testing::TDesktopSession>(env_, options);
        ASSERT_TRUE(session_->Ready()) << session_->Error();
        display_ = session_->DisplayName();
        connection_ = session_->X();
    }

    void TearDown() override { session_.reset(); }

    Window Root() const { return DefaultRootWindow(connection_); }

    // The root window's pixels as the server shows them; a screen's worth even when they could
    // not be read, so that the checks fail rather than read past the end.
    std::vector<TRgb> RootPixels()
    {
        std::vector<TRgb> pixels = session_->Pixels(0, 0, ScreenWidth, ScreenHeight);
        EXPECT_EQ(pixels.size(), std::size_t{ScreenWidth} * ScreenHeight)
            << "the root window could not be read";
        pixels.resize(std::size_t{ScreenWidth} * ScreenHeight, TRgb{-1, -1, -1});
        return pixels;
    }

    Pixmap PixmapProperty(const char* name)
    {
        const Atom atom = XInternAtom(connection_, name, True);
        if (atom == None)
            return None;
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        Pixmap pixmap = None;
        if (XGetWindowProperty(connection_, Root(), atom, 0, 1, False, XA_PIXMAP, &type, &format,
                               &count, &after, &data) == 0 &&
            type == XA_PIXMAP && count == 1)
            pixmap = *reinterpret_cast<unsigned long*>(data);
        if (data)
            XFree(data);
        return pixmap;
    }

    bool PixmapExists(Pixmap pixmap)
    {
        XSync(connection_, False);
        trappedCode = 0;
        const XErrorHandler previous = XSetErrorHandler(Trap);
        Window root;
        int x, y;
        unsigned width, height, border, depth;
        XGetGeometry(connection_, pixmap, &root, &x, &y, &width, &height, &border, &depth);
        XSync(connection_, False);
        XSetErrorHandler(previous);
        return trappedCode == 0;
    }

    // A window that says it draws the desktop for `program`, as pcmanfm --desktop and
    // pcmanfm-qt --desktop make it.
    Window MakeDesktopWindow(const char* program)
    {
        const Window window = XCreateSimpleWindow(connection_, Root(), 0, 0, 320, 240, 0, 0, 0);
        std::string name = program, className = program;
        className[0] = static_cast<char>(std::toupper(className[0]));
        XClassHint hint{name.data(), className.data()};
        XSetClassHint(connection_, window, &hint);
        const Atom type = XInternAtom(connection_, "_NET_WM_WINDOW_TYPE", False);
        const unsigned long desktop =
            XInternAtom(connection_, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
        XChangeProperty(connection_, window, type, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&desktop), 1);
        XSync(connection_, False);
        return window;
    }

    // A stand-in for a desktop program's tool that is called but never returns, as pcmanfm
    // --set-wallpaper does when it becomes the desktop's first instance itself.
    std::string AddHangingTool(const testing::TFakeTools& tools, const std::string& name)
    {
        const std::string path = tools.Bin() + "/" + name;
        std::ofstream(path) << "#!/bin/sh\necho \"$0\" >> '" << tools.Log() << "'\nexec sleep 60\n";
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }

    std::unique_ptr<testing::TDesktopSession> session_;
    // The session's, for short.
    std::string display_;
    Display* connection_ = nullptr;
};

TRgbPicture Picture(int width, int height, const TPixelRule& rule)
{
    TRgbPicture picture{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto rgb = rule(x, y);
            picture.Pixels.insert(picture.Pixels.end(), {static_cast<std::uint8_t>(rgb.R),
                                                         static_cast<std::uint8_t>(rgb.G),
                                                         static_cast<std::uint8_t>(rgb.B)});
        }
    return picture;
}

TEST_F(X11RootTest, TiledThenCentredPicturesPaintTheRootAndFreeThePreviousPixmap)
{
    const TPixelRule tileRule = [](int x, int y) { return TRgb{x * 16, y * 16, 77}; };
    const TPixelRule centreRule = [](int x, int y) { return TRgb{x * 2 + 1, y * 5, 150}; };

    const auto tiled = SetRootPicture(display_, Picture(16, 16, tileRule), true);
    ASSERT_TRUE(tiled.Ok) << tiled.Error;
    auto pixels = RootPixels();
    ASSERT_EQ(pixels.size(), 320u * 240);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(pixels[y * 320 + x], tileRule(x % 16, y % 16)) << x << "," << y;
    const Pixmap first = PixmapProperty("_XROOTPMAP_ID");
    ASSERT_NE(first, None);
    EXPECT_EQ(PixmapProperty("ESETROOT_PMAP_ID"), first);
    EXPECT_TRUE(PixmapExists(first)) << "the pixmap must outlive the connection that made it";

    const auto centred = SetRootPicture(display_, Picture(100, 50, centreRule), false);
    ASSERT_TRUE(centred.Ok) << centred.Error;
    pixels = RootPixels();
    // (320 - 100) / 2 = 110 from the left, (240 - 50) / 2 = 95 from the top, black around.
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const bool inside = x >= 110 && x < 210 && y >= 95 && y < 145;
            ASSERT_EQ(pixels[y * 320 + x], inside ? centreRule(x - 110, y - 95) : (TRgb{0, 0, 0}))
                << x << "," << y;
        }
    const Pixmap second = PixmapProperty("_XROOTPMAP_ID");
    EXPECT_NE(second, None);
    EXPECT_NE(second, first);
    EXPECT_EQ(PixmapProperty("ESETROOT_PMAP_ID"), second);
    EXPECT_TRUE(PixmapExists(second));
    EXPECT_FALSE(PixmapExists(first)) << "the previous pixmap was not freed";
}

TEST_F(X11RootTest, AGoneDisplayIsAnErrorStatus)
{
    const auto gone = SetRootPicture(":65000",
                                     Picture(2, 2,
                                             [](int, int) {
                                                 return TRgb{1, 2, 3};
                                             }),
                                     true);
    EXPECT_FALSE(gone.Ok);
    EXPECT_NE(gone.Error.find(":65000"), std::string::npos) << gone.Error;
}

TEST_F(X11RootTest, ScreenFactsAreTheRootWindowsUnlessOverridden)
{
    TLinuxPlatform platform("/usr/bin/scenarix");
    const TScreenFacts facts = platform.ScreenFacts();
    EXPECT_EQ(facts.Width, 320);
    EXPECT_EQ(facts.Height, 240);
    EXPECT_EQ(facts.BitsPerPixel, 24);

    env_.Set("SCENARIA_SCREEN", "1024x768x8");
    const TScreenFacts overridden = platform.ScreenFacts();
    EXPECT_EQ(overridden.Width, 1024);
    EXPECT_EQ(overridden.Height, 768);
    EXPECT_EQ(overridden.BitsPerPixel, 8);

    env_.Unset("SCENARIA_SCREEN");
    env_.Set("DISPLAY", ":" + std::to_string(65000));
    EXPECT_EQ(platform.ScreenFacts().BitsPerPixel, 0) << "no display, no facts";
}

TEST_F(X11RootTest, ClassicInstallsOfBitmapFilesTileAndCentreOnTheRoot)
{
    const TPixelRule tileRule = [](int x, int y) { return TRgb{255 - x * 16, y * 16, 40}; };
    const TPixelRule centreRule = [](int x, int y) { return TRgb{x * 2 + 3, 200 - y * 4, 90}; };
    const std::string tile = WriteBitmap(home_, "tile.bmp", 16, 16, tileRule);
    const std::string centre = WriteBitmap(home_, "centre.bmp", 100, 50, centreRule);

    TLinuxPlatform platform("/usr/bin/scenarix");
    EXPECT_FALSE(platform.InitializeDesktop()) << "bare X11 is no desktop that takes a file";
    EXPECT_EQ(platform.Desktop(), dkX11);

    const auto tiled = platform.InstallClassic(tile, true);
    ASSERT_TRUE(tiled.Ok) << tiled.Error;
    auto pixels = RootPixels();
    ASSERT_EQ(pixels.size(), 320u * 240);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(pixels[y * 320 + x], tileRule(x % 16, y % 16)) << x << "," << y;
    const Pixmap first = PixmapProperty("_XROOTPMAP_ID");
    ASSERT_NE(first, None);

    const auto centred = platform.InstallClassic(centre, false);
    ASSERT_TRUE(centred.Ok) << centred.Error;
    pixels = RootPixels();
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const bool inside = x >= 110 && x < 210 && y >= 95 && y < 145;
            ASSERT_EQ(pixels[y * 320 + x], inside ? centreRule(x - 110, y - 95) : (TRgb{0, 0, 0}))
                << x << "," << y;
        }
    const Pixmap second = PixmapProperty("_XROOTPMAP_ID");
    EXPECT_NE(second, first);
    EXPECT_EQ(PixmapProperty("ESETROOT_PMAP_ID"), second);
    EXPECT_FALSE(PixmapExists(first)) << "the previous pixmap was not freed";

    // The same name with new content is painted anew: the root is built from the pixels.
    const TPixelRule newRule = [](int x, int y) { return TRgb{x, y, 250}; };
    WriteBitmap(home_, "centre.bmp", 100, 50, newRule);
    ASSERT_TRUE(platform.InstallClassic(centre, true).Ok);
    EXPECT_EQ(RootPixels()[67 * 320 + 133], newRule(33, 17));
}

TEST_F(X11RootTest, AnUnreadableBitmapIsAnErrorStatusAndPaintsNothing)
{
    TLinuxPlatform platform("/usr/bin/scenarix");
    const auto garbage = platform.InstallClassic(home_.Write("junk.bmp", "BM not a bitmap"), true);
    EXPECT_FALSE(garbage.Ok);
    EXPECT_NE(garbage.Error.find("junk.bmp"), std::string::npos) << garbage.Error;
    EXPECT_EQ(PixmapProperty("_XROOTPMAP_ID"), None);
}

TEST_F(X11RootTest, APalettedBitmapShowsItsPaletteColours)
{
    const TPixelRule rule = [](int x, int y) {
        return (x + y) % 3 == 0   ? TRgb{200, 10, 10}
               : (x + y) % 3 == 1 ? TRgb{10, 200, 10}
                                  : TRgb{10, 10, 200};
    };
    const std::string source = WriteBitmap(home_, "rgb.bmp", 6, 5, rule);
    const std::string paletted = home_ / "paletted.bmp";
    const std::string command =
        "convert-im6.q16 '" + source + "' -type Palette 'BMP3:" + paletted + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const int bits = testing::ReadFile(paletted)[28];
    ASSERT_TRUE(bits == 1 || bits == 4 || bits == 8) << "ImageMagick wrote " << bits << " bits";

    TLinuxPlatform platform("/usr/bin/scenarix");
    const auto status = platform.InstallClassic(paletted, true);
    ASSERT_TRUE(status.Ok) << status.Error;
    const auto pixels = RootPixels();
    for (int y = 0; y < 240; y += 7)
        for (int x = 0; x < 320; x += 3)
            ASSERT_EQ(pixels[y * 320 + x], rule(x % 6, y % 5)) << x << "," << y;
}

TEST_F(X11RootTest, CompositingIsSeenByTheOwnerOfTheCompositorSelection)
{
    TLinuxPlatform platform;
    EXPECT_FALSE(X11CompositingActive(display_));
    EXPECT_FALSE(platform.CompositingActive());

    // What a compositing manager does when it starts: own _NET_WM_CM_S0.
    const Window owner = XCreateSimpleWindow(connection_, Root(), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(connection_, XInternAtom(connection_, "_NET_WM_CM_S0", False), owner,
                       CurrentTime);
    XSync(connection_, False);
    EXPECT_TRUE(X11CompositingActive(display_));
    EXPECT_TRUE(platform.CompositingActive());
    XDestroyWindow(connection_, owner);
    XSync(connection_, False);
    EXPECT_FALSE(X11CompositingActive(display_)) << "the selection goes with its window";

    EXPECT_FALSE(X11CompositingActive(":4242"));
    env_.Unset("DISPLAY");
    EXPECT_FALSE(platform.CompositingActive());
    env_.Set("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_TRUE(platform.CompositingActive());
}

TEST_F(X11RootTest, LxdeWithoutItsDesktopProgramIsPaintedOnTheRootAtOnce)
{
    using namespace std::chrono_literals;
    env_.Set("XDG_CURRENT_DESKTOP", "LXDE");
    testing::TFakeTools tools(env_);
    AddHangingTool(tools, "pcmanfm");
    const TPixelRule rule = [](int x, int y) { return TRgb{x * 16, 90, y * 16}; };
    const std::string tile = WriteBitmap(home_, "tile.bmp", 16, 16, rule);
    TLinuxPlatform platform("/usr/bin/scenarix");
    EXPECT_EQ(platform.Desktop(), dkLxde);

    ::testing::internal::CaptureStderr();
    auto start = std::chrono::steady_clock::now();
    const auto first = platform.InstallClassic(tile, true);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "the tray program was kept waiting";
    const auto second = platform.InstallClassic(tile, true);
    const std::string said = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(first.Ok) << first.Error;
    ASSERT_TRUE(second.Ok) << second.Error;
    auto pixels = RootPixels();
    for (int y = 0; y < 240; y += 5)
        for (int x = 0; x < 320; x += 3)
            ASSERT_EQ(pixels[y * 320 + x], rule(x % 16, y % 16)) << x << "," << y;
    EXPECT_TRUE(tools.Calls().empty()) << "pcmanfm was started without its desktop";
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("pcmanfm"), std::string::npos) << said;

    // pcmanfm draws the desktop but does not answer: the call is bounded all the same.
    MakeDesktopWindow("pcmanfm");
    start = std::chrono::steady_clock::now();
    const auto hung = platform.InstallClassic(tile, false);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "the tray program was kept waiting";
    EXPECT_FALSE(hung.Ok);
    EXPECT_NE(hung.Error.find("did not finish in time"), std::string::npos) << hung.Error;
    EXPECT_FALSE(tools.Calls().empty()) << "pcmanfm draws the desktop and must be asked";
}

TEST_F(X11RootTest, LxqtWithoutItsDesktopProgramIsPaintedOnTheRootAndWithItIsAsked)
{
    env_.Set("XDG_CURRENT_DESKTOP", "LXQt");
    testing::TFakeTools tools(env_);
    // pcmanfm-qt without its desktop instance: exits 0 and shows nothing.
    tools.Add("pcmanfm-qt");
    const TPixelRule rule = [](int x, int y) { return TRgb{x * 2, 250 - y * 4, 30}; };
    const std::string picture = WriteBitmap(home_, "wide.bmp", 100, 50, rule);
    TLinuxPlatform platform("/usr/bin/scenarix");
    EXPECT_TRUE(platform.InitializeDesktop());

    ::testing::internal::CaptureStderr();
    const auto centred = platform.InstallClassic(picture, false);
    const auto stretched = platform.InstallActiveDesktop(picture, wsStretch);
    const std::string said = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(centred.Ok) << centred.Error;
    ASSERT_TRUE(stretched.Ok) << stretched.Error;
    EXPECT_TRUE(tools.Calls().empty());
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("pcmanfm-qt"), std::string::npos) << said;
    // Stretched over the whole screen, nearest pixel.
    auto pixels = RootPixels();
    for (int y = 0; y < 240; y += 3)
        for (int x = 0; x < 320; x += 3)
            ASSERT_EQ(pixels[y * 320 + x], rule(x * 100 / 320, y * 50 / 240)) << x << "," << y;

    // With pcmanfm-qt drawing the desktop, it is told, and the root window is left alone.
    MakeDesktopWindow("pcmanfm-qt");
    const auto told = platform.InstallClassic(picture, true);
    ASSERT_TRUE(told.Ok) << told.Error;
    const std::vector<testing::TInvocation> expected = {
        {"pcmanfm-qt", "--set-wallpaper", picture, "--wallpaper-mode", "tile"}};
    EXPECT_EQ(tools.Calls(), expected);
    EXPECT_EQ(RootPixels(), pixels);
}

// Several monitors on LXDE and LXQt: without the file manager's desktop the layout bitmap is
// tiled on the root from its corner; with it, the file manager is told to lay the layout over
// the whole screen and the root is left alone.
TEST_F(X11RootTest, PcmanfmDesktopsShowTheLayoutBitmapOverSeveralMonitors)
{
    for (const auto& [desktop, tool, mode, blue] :
         {std::tuple{"LXDE", "pcmanfm", "screen", 90},
          std::tuple{"LXQt", "pcmanfm-qt", "stretch", 160}}) {
        SCOPED_TRACE(desktop);
        // Each desktop's pixels of its own, so that one cannot pass on what the other painted.
        const TPixelRule rule = [blue = blue](int x, int y) {
            return TRgb{x * 2, 200 - y * 3, blue};
        };
        const std::string prefix = std::string(desktop) + "-";
        const std::string layout = WriteBitmap(home_, prefix + "layout.bmp", 120, 60, rule);
        const std::vector<TMonitorPicture> pictures = {
            {TMonitor{"", 0, 0, 60, 60, true, 0},
             WriteBitmap(home_, prefix + "a.bmp", 60, 60, rule)},
            {TMonitor{"", 60, 0, 60, 60, false, 0},
             WriteBitmap(home_, prefix + "b.bmp", 60, 60, rule)}};
        env_.Set("XDG_CURRENT_DESKTOP", desktop);
        testing::TFakeTools tools(env_);
        tools.Add(tool);
        TLinuxPlatform platform("/usr/bin/scenarix");
        ::testing::internal::CaptureStderr();
        const auto painted = platform.InstallMonitors(pictures, layout);
        ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(painted.Ok) << painted.Error;
        EXPECT_TRUE(tools.Calls().empty());
        const auto pixels = RootPixels();
        std::string mismatch;
        for (int y = 0; y < ScreenHeight && mismatch.empty(); y += 7)
            for (int x = 0; x < ScreenWidth && mismatch.empty(); x += 5)
                if (pixels[y * ScreenWidth + x] != rule(x % 120, y % 60))
                    mismatch = std::to_string(x) + "," + std::to_string(y);
        EXPECT_EQ(mismatch, "") << "the root is not the layout tiled";

        const Window window = MakeDesktopWindow(tool);
        // A new name: the desktop is never told the name it shows already.
        const std::string next = WriteBitmap(home_, prefix + "next.bmp", 120, 60, rule);
        const auto told = platform.InstallMonitors(pictures, next);
        EXPECT_TRUE(told.Ok) << told.Error;
        const std::vector<testing::TInvocation> expected = {
            {tool, "--set-wallpaper", next, "--wallpaper-mode", mode}};
        EXPECT_EQ(tools.Calls(), expected);
        EXPECT_EQ(RootPixels(), pixels);
        XDestroyWindow(connection_, window);
        XSync(connection_, False);
    }
}

TEST_F(X11RootTest, XfceWithoutXfdesktopIsPaintedOnTheRootAndWithItIsAsked)
{
    env_.Set("XDG_CURRENT_DESKTOP", "XFCE");
    testing::TFakeTools tools(env_);
    // xfconfd keeps the settings whether or not xfdesktop is there to draw them.
    tools.Add("xfconf-query", "/backdrop/screen0/monitor0/workspace0/last-image\n", 0, {}, "-l");
    const TPixelRule rule = [](int x, int y) { return TRgb{40, x * 5, y * 5}; };
    const std::string picture = WriteBitmap(home_, "small.bmp", 40, 30, rule);
    TLinuxPlatform platform("/usr/bin/scenarix");

    ::testing::internal::CaptureStderr();
    const auto centred = platform.InstallClassic(picture, false);
    const std::string said = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(centred.Ok) << centred.Error;
    EXPECT_TRUE(tools.Calls().empty());
    EXPECT_NE(said.find("xfdesktop"), std::string::npos) << said;
    const auto pixels = RootPixels();
    EXPECT_EQ(pixels[120 * 320 + 160], rule(20, 15));
    EXPECT_EQ(pixels[0], (TRgb{0, 0, 0}));

    MakeDesktopWindow("xfdesktop");
    ASSERT_TRUE(platform.InstallClassic(picture, true).Ok);
    EXPECT_EQ(tools.Calls().size(), 3u) << "the listing, the style and the image";
    EXPECT_EQ(RootPixels(), pixels);
}

// The monitors as the system tells them: a nested server's Xinerama heads, whose RandR knows
// one monitor only, and a plain screen as the one monitor it is.
class X11MonitorsTest : public testing::TIsolatedTest {};

TEST_F(X11MonitorsTest, HeadsOfANestedServerAreTheMonitorsAndAPlainScreenIsOne)
{
    {
        testing::TDesktopOptions options;
        options.Heads = {{320, 180}, {180, 320}};
        testing::TDesktopSession session(env_, options);
        ASSERT_TRUE(session.Ready()) << session.Error();
        const std::vector<TMonitor> expected = {{"", 0, 0, 320, 180, true, 0},
                                                {"", 320, 0, 180, 320, false, 0}};
        EXPECT_EQ(X11Monitors(session.DisplayName()), expected);
        const TLinuxPlatform platform;
        EXPECT_EQ(platform.Monitors(), expected);
        const TScreenFacts screen = platform.ScreenFacts();
        EXPECT_EQ(screen.Width, 500);
        EXPECT_EQ(screen.Height, 320);
    }
    testing::TDesktopOptions options;
    options.Width = 320;
    options.Height = 240;
    testing::TDesktopSession session(env_, options);
    ASSERT_TRUE(session.Ready()) << session.Error();
    const std::vector<TMonitor> monitors = X11Monitors(session.DisplayName());
    ASSERT_EQ(monitors.size(), 1u);
    EXPECT_EQ(monitors[0].X, 0);
    EXPECT_EQ(monitors[0].Y, 0);
    EXPECT_EQ(monitors[0].Width, 320);
    EXPECT_EQ(monitors[0].Height, 240);
    EXPECT_TRUE(monitors[0].Primary);
    EXPECT_TRUE(X11Monitors(":4242").empty());
}

} // namespace
} // namespace scenaria
