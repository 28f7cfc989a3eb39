// The resident program on a real (virtual) X display: trayer as the notification area, xdotool
// as the user's mouse and keyboard, the bare-X11 desktop backend painting the root window.

#include "imaging/Canvas.h"
#include "imaging/PixelGraphic.h"

#include "DesktopSession.h"
#include "IconColours.h"

#include <X11/Xlib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <set>
#include <thread>

namespace scenaria {
namespace {

using namespace std::chrono_literals;
using testing::TIconColours;
using testing::TRgb;
using testing::TWindowSeen;

class TrayEndToEnd : public testing::TIsolatedTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testing::RequireProgram("xdotool", "xdotool"));
        // A private bus for the StatusNotifierItem cases, and for every other case one that
        // holds no watcher, so that the icon goes to the XEmbed notification area.
        testing::TDesktopOptions options;
        options.Bus = true;
        session_ = std::make_unique<testing::TDesktopSession>(env_, options);
        ASSERT_TRUE(session_->Ready()) << session_->Error();

        // The program in a folder of its own, its settings file beside it with every key.
        for (const auto& [name, rgb] :
             {std::pair{"red.bmp", TRgb{255, 0, 0}}, std::pair{"blue.bmp", TRgb{0, 0, 255}}}) {
            TPixelGraphic picture;
            picture.SetSize(16, 16, bc24Bit);
            picture.Canvas().FillRect({0, 0, 16, 16}, RGB(rgb.R, rgb.G, rgb.B));
            std::filesystem::create_directories(InFolder("pics"));
            picture.SaveToFile(InFolder("pics/" + std::string(name)));
        }
        settings_ = "[Diduzavizo]\nDirectory=" + InFolder("pics") +
                    "\nSubfolders=0\nMode=0\n"
                    "Delay=30\nLastIndex=-1\nRandom=0\nTile=0\nMinWidth=320\nMinHeight=240\n"
                    "RunOnStart=0\nStretch=0\nProportional=0\nActiveDesktop=0\nShowHints=1\n"
                    "Hint on Tray=0\nFilesType=0\nSave Folder=" +
                    InFolder("save") + "\n";
        program_.WriteSettings(settings_);
    }

    void StartTray() { ASSERT_TRUE(session_->StartTray()) << session_->Error(); }

    void TearDown() override
    {
        running_.reset();
        watcher_.reset();
        session_.reset();
    }

    // A path in the program's folder.
    std::string InFolder(const std::string& name) const { return (program_.Dir() / name).string(); }

    void StartProgram()
    {
        // No icon theme but the test's own: the system's could hold anything.
        running_ = program_.Start({}, {"XDG_DATA_DIRS=" + InFolder("share")});
    }

    // Our own StatusNotifierWatcher on the session's bus; false when it did not start.
    bool StartStatusNotifierHost()
    {
        watcher_ = std::make_unique<testing::TChild>(
            std::vector<std::string>{testing::BuiltProgram("sni_watcher"), pixmapFile_});
        const auto ready = watcher_->ReadLine();
        if (ready != std::optional<std::string>("ready")) {
            ADD_FAILURE() << "the StatusNotifierWatcher did not start";
            return false;
        }
        return true;
    }

    // Waits until the root window shows a colour other than `other` (at a spot away from the
    // tray) and returns it.
    std::optional<TRgb> WaitForRootChange(const TRgb& other)
    {
        for (int i = 0; i < 250; ++i) {
            const TRgb now = session_->Pixel(200, 300);
            if (!(now == other))
                return now;
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }

    // The program's windows that stand by themselves (its menu, its dialogs).
    std::vector<TWindowSeen> TopLevelWindows() const
    {
        std::vector<TWindowSeen> found;
        for (const TWindowSeen& w : session_->Windows("scenarix"))
            if (w.TopLevel)
                found.push_back(w);
        return found;
    }

    std::optional<TWindowSeen> WaitForMenu()
    {
        for (int i = 0; i < 250; ++i) {
            for (const auto& w : TopLevelWindows())
                if (w.Height > 100)
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
            for (const auto& w : TopLevelWindows())
                open = open || w.Height > 100;
            if (!open) {
                std::this_thread::sleep_for(300ms);
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    std::optional<TWindowSeen> WaitForWindow(const std::string& title)
    {
        return session_->WaitForWindow("scenarix", title);
    }

    bool WaitForWindowGone(const std::string& title)
    {
        return session_->WaitForWindowGone("scenarix", title);
    }

    // The program's window of exactly this size, once it is on the screen.
    std::optional<TWindowSeen> WaitForWindow(int width, int height)
    {
        for (int i = 0; i < 250; ++i) {
            for (const auto& w : TopLevelWindows())
                if (w.Width == width && w.Height == height)
                    return w;
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }

    bool WaitForWindowNow(int width, int height)
    {
        for (const auto& w : TopLevelWindows())
            if (w.Width == width && w.Height == height)
                return true;
        return false;
    }

    // What the screen shows in a rectangle, as a true-colour picture.
    void Screenshot(TPixelGraphic& shot, int x, int y, int width, int height)
    {
        shot.SetSize(width, height, bc24Bit);
        const std::vector<TRgb> pixels = session_->Pixels(x, y, width, height);
        if (pixels.size() != static_cast<std::size_t>(width) * height)
            return;
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i) {
                const TRgb& c = pixels[static_cast<std::size_t>(j) * width + i];
                shot.SetPixelColor(i, j, RGB(c.R, c.G, c.B));
            }
    }

    // Threads of the program that carry its own name: the main thread and plain worker
    // threads such as the banner's painter (the toolkit names its threads after their work).
    int ProgramThreads()
    {
        int count = 0;
        const std::string tasks = "/proc/" + std::to_string(running_->Pid()) + "/task";
        std::error_code error;
        for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
            std::ifstream comm(task.path() / "comm");
            std::string name;
            std::getline(comm, name);
            count += name == "scenarix";
        }
        return count;
    }

    template <class TDone> bool WaitUntil(TDone done)
    {
        for (int i = 0; i < 250 && !done(); ++i)
            std::this_thread::sleep_for(20ms);
        return done();
    }

    void Xdotool(const std::vector<std::string>& args)
    {
        std::string error;
        ASSERT_TRUE(session_->Xdotool(args, &error)) << error;
    }

    std::unique_ptr<testing::TDesktopSession> session_;
    testing::TProgramCopy program_;
    std::string settings_;
    std::unique_ptr<testing::TBackgroundProgram> running_;
    std::unique_ptr<testing::TChild> watcher_;
    std::string pixmapFile_ = InFolder("pixmap.pam");
};

// Reads a PAM file of RGB_ALPHA pixels; the pixels that are not fully transparent count.
std::optional<TIconColours> ReadPamColours(const std::string& path, int& width, int& height)
{
    const std::string text = testing::ReadFile(path);
    const auto end = text.find("ENDHDR\n");
    if (text.rfind("P7\n", 0) != 0 || end == std::string::npos)
        return std::nullopt;
    const auto number = [&](const char* key) {
        const auto at = text.find(key);
        return at == std::string::npos || at > end ? 0 : std::atoi(text.c_str() + at + strlen(key));
    };
    width = number("WIDTH ");
    height = number("HEIGHT ");
    const std::size_t start = end + 7;
    if (width <= 0 || height <= 0 ||
        text.size() - start != static_cast<std::size_t>(width) * height * 4)
        return std::nullopt;
    TIconColours colours;
    for (std::size_t i = start; i + 3 < text.size(); i += 4) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
        if (byte(i + 3) != 0)
            colours.Add({byte(i), byte(i + 1), byte(i + 2)});
    }
    return colours;
}

TEST_F(TrayEndToEnd, ClickChangesMenuCommandsAndExit)
{
    StartTray();
    StartProgram();
    const auto icon = session_->WaitForTrayIcon("scenarix");
    ASSERT_TRUE(icon) << "the icon never appeared in the notification area";
    const std::string iconX = std::to_string(icon->X + icon->Width / 2);
    const std::string iconY = std::to_string(icon->Y + icon->Height / 2);
    const TRgb red{255, 0, 0}, blue{0, 0, 255};

    // A left click shows the first picture, tiled over the whole root window.
    const TRgb before = session_->Pixel(200, 300);
    Xdotool({"mousemove", iconX, iconY, "click", "1"});
    const auto first = WaitForRootChange(before);
    ASSERT_TRUE(first) << "a left click did not change the wallpaper";
    ASSERT_TRUE(*first == red || *first == blue);
    EXPECT_TRUE(session_->Pixel(0, 0) == *first && session_->Pixel(799, 599) == *first);
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
    EXPECT_EQ(running_->WaitFor(10s), std::optional<int>(0));

    // Two changes from -1: position 1 is stored, and nothing else in the file changed.
    std::string expected = settings_;
    expected.replace(expected.find("LastIndex=-1"), 12, "LastIndex=1");
    EXPECT_EQ(program_.ReadSettings(), expected);
}

TEST_F(TrayEndToEnd, ConfigureFromTheMenu)
{
    StartTray();
    StartProgram();
    const auto icon = session_->WaitForTrayIcon("scenarix");
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
    const TRgb before = session_->Pixel(200, 300);
    Xdotool({"mousemove", iconX, iconY, "click", "1"});
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(session_->Pixel(200, 300) == before) << "the wallpaper changed under the dialog";
    EXPECT_EQ(program_.ReadSettings(), settings_);

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
    EXPECT_EQ(program_.ReadSettings(), expected);

    // The menu is back: Exit ends the program.
    std::this_thread::sleep_for(300ms);
    Xdotool({"mousemove", iconX, iconY, "click", "3"});
    ASSERT_TRUE(WaitForMenu());
    Xdotool({"key", "e"});
    EXPECT_EQ(running_->WaitFor(10s), std::optional<int>(0));
}

TEST_F(TrayEndToEnd, TheIconShowsItsPictureInAnXEmbedNotificationArea)
{
    StartTray();
    StartProgram();
    const auto icon = session_->WaitForTrayIcon("scenarix");
    ASSERT_TRUE(icon) << "the icon never appeared in the notification area";
    ASSERT_GT(icon->Width, 8);
    ASSERT_GT(icon->Height, 8);
    // The screen as a person sees it, over the icon's place; it may take a moment to be drawn.
    TIconColours colours;
    for (int attempt = 0; attempt < 100 && !colours.LooksLikeTheIcon(); ++attempt) {
        std::this_thread::sleep_for(50ms);
        colours = {};
        const std::vector<TRgb> pixels =
            session_->Pixels(icon->X, icon->Y, icon->Width, icon->Height);
        ASSERT_EQ(pixels.size(), static_cast<std::size_t>(icon->Width) * icon->Height);
        for (const TRgb& c : pixels)
            colours.Add(c);
    }
    EXPECT_TRUE(colours.LooksLikeTheIcon())
        << icon->Width << "x" << icon->Height << " icon: " << colours.Describe();
}

TEST_F(TrayEndToEnd, AStatusNotifierHostIsHandedThePicture)
{
    ASSERT_TRUE(StartStatusNotifierHost());
    StartProgram();
    const auto line = watcher_->ReadLine(20000);
    ASSERT_TRUE(line) << "the program never registered an item with the watcher";
    // Without the icon theme's entry there is no name to give, so the pixels must come along.
    EXPECT_EQ(line->substr(0, 7), "item - ") << *line;
    int width = 0, height = 0;
    const auto colours = ReadPamColours(pixmapFile_, width, height);
    ASSERT_TRUE(colours) << "no IconPixmap: " << *line;
    EXPECT_GE(width, 16);
    EXPECT_TRUE(colours->LooksLikeTheIcon())
        << width << "x" << height << " pixmap: " << colours->Describe();
}

TEST_F(TrayEndToEnd, TheIconThemesEntryIsUsedByName)
{
    // The icon installed as `cmake --install` puts it, in a hicolor theme of the test's own.
    const std::filesystem::path theme = InFolder("share/icons/hicolor");
    std::filesystem::create_directories(theme / "64x64/apps");
    std::ofstream(theme / "index.theme")
        << "[Icon Theme]\nName=Hicolor\nHidden=true\nDirectories=64x64/apps\n\n"
           "[64x64/apps]\nSize=64\nContext=Applications\nType=Threshold\n";
    std::filesystem::copy_file(scenaria::testing::SourceFolder() + "/app/resources/scenaria-64.png",
                               theme / "64x64/apps/scenaria.png");
    ASSERT_TRUE(StartStatusNotifierHost());
    StartProgram();
    const auto line = watcher_->ReadLine(20000);
    ASSERT_TRUE(line) << "the program never registered an item with the watcher";
    EXPECT_EQ(line->substr(0, 14), "item scenaria ") << *line;
    int width = 0, height = 0;
    const auto colours = ReadPamColours(pixmapFile_, width, height);
    ASSERT_TRUE(colours) << "no IconPixmap beside the name: " << *line;
    EXPECT_TRUE(colours->LooksLikeTheIcon()) << colours->Describe();
}

TEST_F(TrayEndToEnd, IconAppearsWhenTheNotificationAreaStartsLater)
{
    StartProgram();
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(running_->WaitFor(0ms)) << "the program waits without a notification area";
    StartTray();
    EXPECT_TRUE(session_->WaitForTrayIcon("scenarix"))
        << "the icon never came once the notification area started";
}

int Colors(const TPixelGraphic& shot, const TRect& area)
{
    std::set<TColor> colors;
    for (int y = area.Top; y < area.Bottom; ++y)
        for (int x = area.Left; x < area.Right; ++x)
            colors.insert(shot.GetPixelColor(x, y));
    return int(colors.size());
}

bool SameArea(const TPixelGraphic& a, const TPixelGraphic& b, const TRect& area)
{
    for (int y = area.Top; y < area.Bottom; ++y)
        for (int x = area.Left; x < area.Right; ++x)
            if (a.GetPixelColor(x, y) != b.GetPixelColor(x, y))
                return false;
    return true;
}

TEST_F(TrayEndToEnd, AboutBoxAnimatesItsBannerAndLeavesNoPainterBehind)
{
    StartTray();
    StartProgram();
    const auto icon = session_->WaitForTrayIcon("scenarix");
    ASSERT_TRUE(icon) << "the icon never appeared in the notification area";
    const int before = ProgramThreads();

    // "About..." (accelerator a) from the tray menu.
    Xdotool({"mousemove", std::to_string(icon->X + icon->Width / 2),
             std::to_string(icon->Y + icon->Height / 2), "click", "3"});
    ASSERT_TRUE(WaitForMenu()) << "no menu after a right click";
    Xdotool({"key", "a"});
    const auto about = WaitForWindow(349, 294);
    ASSERT_TRUE(about) << "the About box did not open";
    char* title = nullptr;
    ASSERT_TRUE(XFetchName(session_->X(), about->Id, &title) && title);
    EXPECT_STREQ(title, "About Scenaria");
    XFree(title);

    // The banner lies in the panel at 8,76, inside its 2 + 2 + 2 pixel border; a later
    // screenshot shows another of its frames.
    const TRect banner{14, 82, 14 + 320, 82 + 80};
    TPixelGraphic first;
    ASSERT_TRUE(WaitUntil([&] {
        Screenshot(first, about->X, about->Y, 349, 294);
        return Colors(first, banner) > 20;
    })) << "no banner in the box";
    TPixelGraphic second;
    ASSERT_TRUE(WaitUntil([&] {
        Screenshot(second, about->X, about->Y, 349, 294);
        return !SameArea(first, second, banner);
    })) << "the banner did not change";
    EXPECT_GT(Colors(second, banner), 20);
    // The version label (32,44, 285 x 33) has its text drawn in it, not only its background.
    EXPECT_GE(Colors(second, TRect{32, 44, 32 + 285, 44 + 33}), 3);
    EXPECT_GT(ProgramThreads(), before) << "the banner's painter runs while the box is open";

    // A click on OK (127,260, 73 x 28) closes it, and the painter's thread ends with it.
    Xdotool({"mousemove", std::to_string(about->X + 127 + 36), std::to_string(about->Y + 260 + 14),
             "click", "1"});
    EXPECT_TRUE(WaitUntil([&] { return !WaitForWindowNow(349, 294); })) << "still open";
    EXPECT_TRUE(WaitUntil([&] { return ProgramThreads() == before; }))
        << ProgramThreads() << " threads instead of " << before;
    EXPECT_FALSE(running_->WaitFor(0ms)) << "the program goes on after the About box";
}

TEST_F(TrayEndToEnd, ExploreFromTheMenuSetsAWallpaperAndHandsOverToConfig)
{
    StartTray();
    StartProgram();
    const auto icon = session_->WaitForTrayIcon("scenarix");
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
    const TRgb before = session_->Pixel(200, 300);
    Xdotool({"mousemove", iconX, iconY, "click", "1"});
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(session_->Pixel(200, 300) == before) << "the wallpaper changed under the Explorer";

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
    EXPECT_EQ(running_->WaitFor(10s), std::optional<int>(0));
}

} // namespace
} // namespace scenaria
