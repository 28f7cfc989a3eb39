// The resident program on a real (virtual) X display: trayer as the notification area, xdotool
// as the user's mouse and keyboard, the bare-X11 desktop backend painting the root window.

#include "imaging/Canvas.h"
#include "imaging/PixelGraphic.h"

#include "RunProgram.h"
#include "TempDir.h"
#include "platform/PlatformTestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gtest/gtest.h>

#include <optional>
#include <thread>

namespace scenaria {
namespace {

using namespace std::chrono_literals;
using testing::TBackgroundProgram;
using testing::TChild;
using testing::TTempDir;

struct TRgb {
    int R, G, B;
    bool operator==(const TRgb&) const = default;
};

class TrayEndToEnd : public testing::TIsolatedTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testing::RequireProgram("Xvfb", "xvfb"));
        ASSERT_TRUE(testing::RequireProgram("trayer", "trayer"));
        ASSERT_TRUE(testing::RequireProgram("xdotool", "xdotool"));
        server_ = std::make_unique<TChild>(std::vector<std::string>{"Xvfb", "-displayfd", "1",
                                                                    "-noreset", "-nolisten", "tcp",
                                                                    "-screen", "0", "800x600x24"});
        ASSERT_TRUE(server_->Started()) << server_->Error();
        const auto number = server_->ReadLine(20000);
        ASSERT_TRUE(number && !number->empty()) << "Xvfb did not start";
        display_ = ":" + *number;
        env_.Set("DISPLAY", display_);
        x_ = XOpenDisplay(display_.c_str());
        ASSERT_NE(x_, nullptr);
        // Windows come and go while the tree is walked (a menu closing, a dialog opening);
        // asking about one that has just gone is not a reason to end the test.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });

        // The program in a folder of its own, its settings file beside it with every key.
        std::filesystem::copy_file(testing::BuiltProgram("scenarix"), dir_ / "scenarix");
        for (const auto& [name, rgb] :
             {std::pair{"red.bmp", TRgb{255, 0, 0}}, std::pair{"blue.bmp", TRgb{0, 0, 255}}}) {
            TPixelGraphic picture;
            picture.SetSize(16, 16, bc24Bit);
            picture.Canvas().FillRect({0, 0, 16, 16}, RGB(rgb.R, rgb.G, rgb.B));
            std::filesystem::create_directories(dir_.Path() / "pics");
            picture.SaveToFile(dir_ / ("pics/" + std::string(name)));
        }
        settings_ = "[Diduzavizo]\nDirectory=" + (dir_ / "pics") +
                    "\nSubfolders=0\nMode=0\n"
                    "Delay=30\nLastIndex=-1\nRandom=0\nTile=0\nMinWidth=320\nMinHeight=240\n"
                    "RunOnStart=0\nStretch=0\nProportional=0\nActiveDesktop=0\nShowHints=1\n"
                    "Hint on Tray=0\nFilesType=0\nSave Folder=" +
                    (dir_ / "save") + "\n";
        dir_.Write("scenarix.INI", settings_);
        std::filesystem::create_directories(dir_.Path() / "run");
        std::filesystem::permissions(dir_.Path() / "run", std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
    }

    void StartTray()
    {
        tray_ = std::make_unique<TChild>(
            std::vector<std::string>{"trayer", "--edge", "top", "--align", "right", "--widthtype",
                                     "pixel", "--width", "100", "--height", "32"},
            false);
        ASSERT_TRUE(tray_->Started()) << tray_->Error();
        ASSERT_TRUE(WaitForNotificationArea()) << "trayer did not start";
    }

    void TearDown() override
    {
        program_.reset();
        tray_.reset();
        if (x_)
            XCloseDisplay(x_);
        server_.reset();
    }

    void StartProgram()
    {
        program_ = std::make_unique<TBackgroundProgram>(
            std::vector<std::string>{dir_ / "scenarix"},
            std::vector<std::string>{"QT_QPA_PLATFORM=xcb", "XDG_RUNTIME_DIR=" + (dir_ / "run")});
    }

    TRgb RootPixel(int x, int y)
    {
        XImage* image = XGetImage(x_, DefaultRootWindow(x_), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image)
            return {-1, -1, -1};
        const unsigned long value = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return {static_cast<int>(value >> 16 & 0xFF), static_cast<int>(value >> 8 & 0xFF),
                static_cast<int>(value & 0xFF)};
    }

    // Waits until the root window shows a colour other than `other` (at a spot away from the
    // tray) and returns it.
    std::optional<TRgb> WaitForRootChange(const TRgb& other)
    {
        for (int i = 0; i < 250; ++i) {
            const TRgb now = RootPixel(200, 300);
            if (!(now == other))
                return now;
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }

    // Mapped windows of the program (class "scenarix") anywhere in the tree, with their place
    // on the screen.
    struct TFound {
        Window Id;
        int X, Y, Width, Height;
        bool TopLevel;
    };
    std::vector<TFound> ProgramWindows()
    {
        std::vector<TFound> found;
        Collect(DefaultRootWindow(x_), true, found);
        return found;
    }
    void Collect(Window window, bool isRoot, std::vector<TFound>& found)
    {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(x_, window, &root, &parent, &children, &count))
            return;
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes attributes;
            XClassHint hint{};
            if (XGetWindowAttributes(x_, children[i], &attributes) &&
                attributes.map_state == IsViewable && XGetClassHint(x_, children[i], &hint)) {
                if (hint.res_name && std::string(hint.res_name) == "scenarix") {
                    int x = 0, y = 0;
                    Window child = 0;
                    XTranslateCoordinates(x_, children[i], DefaultRootWindow(x_), 0, 0, &x, &y,
                                          &child);
                    found.push_back(
                        {children[i], x, y, attributes.width, attributes.height, isRoot});
                }
                XFree(hint.res_name);
                XFree(hint.res_class);
            }
            Collect(children[i], false, found);
        }
        if (children)
            XFree(children);
    }

    std::optional<TFound> WaitForTrayIcon()
    {
        for (int i = 0; i < 750; ++i) {
            for (const auto& w : ProgramWindows())
                if (!w.TopLevel)
                    return w; // embedded in trayer's panel
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }

    std::optional<TFound> WaitForMenu()
    {
        for (int i = 0; i < 250; ++i) {
            for (const auto& w : ProgramWindows())
                if (w.TopLevel && w.Height > 100)
                    return w;
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }

    // The menu closed, and its pointer grab with it: a click that comes sooner only closes it.
    bool WaitForMenuGone()
    {
        for (int i = 0; i < 250; ++i) {
            bool open = false;
            for (const auto& w : ProgramWindows())
                open = open || (w.TopLevel && w.Height > 100);
            if (!open) {
                std::this_thread::sleep_for(300ms);
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    // The title of a window as the program set it (UTF-8).
    std::string WindowTitle(Window window)
    {
        const Atom name = XInternAtom(x_, "_NET_WM_NAME", False);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::string title;
        if (XGetWindowProperty(x_, window, name, 0, 256, False, AnyPropertyType, &type, &format,
                               &count, &after, &data) == Success &&
            data) {
            title.assign(reinterpret_cast<const char*>(data), count);
            XFree(data);
        }
        return title;
    }

    std::optional<TFound> WaitForWindow(const std::string& title)
    {
        for (int i = 0; i < 500; ++i) {
            for (const auto& w : ProgramWindows())
                if (w.TopLevel && WindowTitle(w.Id) == title)
                    return w;
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }

    bool WaitForWindowGone(const std::string& title)
    {
        for (int i = 0; i < 500; ++i) {
            bool open = false;
            for (const auto& w : ProgramWindows())
                open = open || (w.TopLevel && WindowTitle(w.Id) == title);
            if (!open)
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    // Waits until the notification area has taken its place on the screen (owns the
    // system-tray selection).
    bool WaitForNotificationArea()
    {
        const Atom selection = XInternAtom(x_, "_NET_SYSTEM_TRAY_S0", False);
        for (int i = 0; i < 500; ++i) {
            if (XGetSelectionOwner(x_, selection) != None)
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    void Xdotool(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{"xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto r = testing::RunProgram(argv);
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
    }

    TTempDir dir_;
    std::string settings_;
    std::string display_;
    Display* x_ = nullptr;
    std::unique_ptr<TChild> server_;
    std::unique_ptr<TChild> tray_;
    std::unique_ptr<TBackgroundProgram> program_;
};

TEST_F(TrayEndToEnd, ClickChangesMenuCommandsAndExit)
{
    StartTray();
    StartProgram();
    const auto icon = WaitForTrayIcon();
    ASSERT_TRUE(icon) << "the icon never appeared in the notification area";
    const std::string iconX = std::to_string(icon->X + icon->Width / 2);
    const std::string iconY = std::to_string(icon->Y + icon->Height / 2);
    const TRgb red{255, 0, 0}, blue{0, 0, 255};

    // A left click shows the first picture, tiled over the whole root window.
    const TRgb before = RootPixel(200, 300);
    Xdotool({"mousemove", iconX, iconY, "click", "1"});
    const auto first = WaitForRootChange(before);
    ASSERT_TRUE(first) << "a left click did not change the wallpaper";
    ASSERT_TRUE(*first == red || *first == blue);
    EXPECT_TRUE(RootPixel(0, 0) == *first && RootPixel(799, 599) == *first);
    const TRgb second = *first == red ? blue : red;

    // The right click opens the menu; its "Change Wallpaper now" (accelerator n) shows the next
    // picture.
    Xdotool({"mousemove", iconX, iconY, "click", "3"});
    const auto menu = WaitForMenu();
    ASSERT_TRUE(menu) << "no menu after a right click";
    EXPECT_GE(menu->Height, 8 * 15) << "the menu has eight items and two separators";
    Xdotool({"key", "n"});
    const auto next = WaitForRootChange(*first);
    ASSERT_TRUE(next);
    EXPECT_TRUE(*next == second);

    // "Exit Scenaria" (accelerator e) ends the program with code 0.
    ASSERT_TRUE(WaitForMenuGone());
    Xdotool({"mousemove", iconX, iconY, "click", "3"});
    ASSERT_TRUE(WaitForMenu());
    Xdotool({"key", "e"});
    EXPECT_EQ(program_->WaitFor(10s), std::optional<int>(0));

    // Two changes from -1: position 1 is stored, and nothing else in the file changed.
    std::string expected = settings_;
    expected.replace(expected.find("LastIndex=-1"), 12, "LastIndex=1");
    EXPECT_EQ(testing::ReadFile(dir_ / "scenarix.INI"), expected);
}

TEST_F(TrayEndToEnd, ConfigureFromTheMenu)
{
    StartTray();
    StartProgram();
    const auto icon = WaitForTrayIcon();
    ASSERT_TRUE(icon) << "the icon never appeared in the notification area";
    const std::string iconX = std::to_string(icon->X + icon->Width / 2);
    const std::string iconY = std::to_string(icon->Y + icon->Height / 2);

    // "Configure Scenaria" (accelerator c) opens the dialog, centred on the screen.
    Xdotool({"mousemove", iconX, iconY, "click", "3"});
    ASSERT_TRUE(WaitForMenu()) << "no menu after a right click";
    Xdotool({"key", "c"});
    const auto dialog = WaitForWindow("Wallpaper Diduzavizo");
    ASSERT_TRUE(dialog) << "the configuration dialog did not open";
    EXPECT_EQ(dialog->Width, 592);
    EXPECT_EQ(dialog->Height, 373);
    EXPECT_NEAR(dialog->X + dialog->Width / 2, 400, 2);
    EXPECT_NEAR(dialog->Y + dialog->Height / 2, 300, 2);
    std::this_thread::sleep_for(500ms);
    const auto at = [&dialog](int x, int y) {
        return std::vector<std::string>{std::to_string(dialog->X + x),
                                        std::to_string(dialog->Y + y)};
    };
    const auto move = [&](int x, int y) {
        auto args = at(x, y);
        args.insert(args.begin(), "mousemove");
        return args;
    };

    // While it is open a click on the icon changes nothing.
    const TRgb before = RootPixel(200, 300);
    Xdotool({"mousemove", iconX, iconY, "click", "1"});
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(RootPixel(200, 300) == before) << "the wallpaper changed under the dialog";
    EXPECT_EQ(testing::ReadFile(dir_ / "scenarix.INI"), settings_);

    // "Use subfolders", then the minutes knob: pressed straight above its centre (29) and
    // dragged far to the right, out of the knob and the window (47).
    auto click = move(5 + 10 + 40, 43 + 262 + 10);
    click.insert(click.end(), {"click", "1"});
    Xdotool(click);
    auto drag = move(187 + 92 + 17, 163 + 20 + 17 - 13);
    drag.insert(drag.end(), {"mousedown", "1"});
    Xdotool(drag);
    std::this_thread::sleep_for(200ms);
    Xdotool({"mousemove", std::to_string(dialog->X + 187 + 92 + 17 + 150),
             std::to_string(dialog->Y + 163 + 20 + 17)});
    std::this_thread::sleep_for(200ms);
    Xdotool(move(700, 163 + 20 + 17));
    std::this_thread::sleep_for(200ms);
    Xdotool({"mouseup", "1"});

    // "Press OK" writes the settings and closes the dialog.
    auto ok = move(5 + 72, 337 + 16);
    ok.insert(ok.end(), {"click", "1"});
    Xdotool(ok);
    ASSERT_TRUE(WaitForWindowGone("Wallpaper Diduzavizo")) << "OK did not close the dialog";
    std::string expected = settings_;
    expected.replace(expected.find("Subfolders=0"), 12, "Subfolders=1");
    expected.replace(expected.find("Delay=30"), 8, "Delay=47");
    EXPECT_EQ(testing::ReadFile(dir_ / "scenarix.INI"), expected);

    // The menu is back: Exit ends the program.
    std::this_thread::sleep_for(300ms);
    Xdotool({"mousemove", iconX, iconY, "click", "3"});
    ASSERT_TRUE(WaitForMenu());
    Xdotool({"key", "e"});
    EXPECT_EQ(program_->WaitFor(10s), std::optional<int>(0));
}

TEST_F(TrayEndToEnd, IconAppearsWhenTheNotificationAreaStartsLater)
{
    StartProgram();
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(program_->WaitFor(0ms)) << "the program waits without a notification area";
    StartTray();
    EXPECT_TRUE(WaitForTrayIcon()) << "the icon never came once the notification area started";
}

TEST_F(TrayEndToEnd, ExploreFromTheMenuSetsAWallpaperAndHandsOverToConfig)
{
    StartTray();
    StartProgram();
    const auto icon = WaitForTrayIcon();
    ASSERT_TRUE(icon) << "the icon never appeared in the notification area";
    const std::string iconX = std::to_string(icon->X + icon->Width / 2);
    const std::string iconY = std::to_string(icon->Y + icon->Height / 2);

    // "Explore Bitmaps..." (accelerator x) opens the Explorer at the picture folder.
    Xdotool({"mousemove", iconX, iconY, "click", "3"});
    ASSERT_TRUE(WaitForMenu()) << "no menu after a right click";
    Xdotool({"key", "x"});
    const auto explorer = WaitForWindow("Orlamby Bitmap Explorer");
    ASSERT_TRUE(explorer) << "the Explorer did not open";
    EXPECT_GE(explorer->Width, 585);
    EXPECT_GE(explorer->Height, 370);
    std::this_thread::sleep_for(500ms);

    // While it is open a click on the icon changes nothing.
    const TRgb before = RootPixel(200, 300);
    Xdotool({"mousemove", iconX, iconY, "click", "1"});
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(RootPixel(200, 300) == before) << "the wallpaper changed under the Explorer";

    // A click on the first file (the file list lies below the folder list, left), then on
    // Wallpaper (the fourth button).
    const auto clickAt = [&](int x, int y) {
        Xdotool({"mousemove", std::to_string(explorer->X + x), std::to_string(explorer->Y + y),
                 "click", "1"});
    };
    clickAt(30, 57 + 110 + 10);
    std::this_thread::sleep_for(500ms);
    clickAt(2 + 3 * 46 + 27, 28);
    const auto shown = WaitForRootChange(before);
    ASSERT_TRUE(shown) << "Wallpaper did not change the desktop";
    EXPECT_TRUE(*shown == (TRgb{255, 0, 0}) || *shown == (TRgb{0, 0, 255}));

    // Config (Alt+O) closes the Explorer, then the configuration dialog comes up.
    Xdotool({"key", "alt+o"});
    ASSERT_TRUE(WaitForWindowGone("Orlamby Bitmap Explorer")) << "Config did not close it";
    const auto dialog = WaitForWindow("Wallpaper Diduzavizo");
    ASSERT_TRUE(dialog) << "the configuration dialog did not follow the Explorer";
    std::this_thread::sleep_for(300ms);
    Xdotool({"key", "Escape"});
    ASSERT_TRUE(WaitForWindowGone("Wallpaper Diduzavizo"));

    std::this_thread::sleep_for(300ms);
    Xdotool({"mousemove", iconX, iconY, "click", "3"});
    ASSERT_TRUE(WaitForMenu());
    Xdotool({"key", "e"});
    EXPECT_EQ(program_->WaitFor(10s), std::optional<int>(0));
}

} // namespace
} // namespace scenaria
