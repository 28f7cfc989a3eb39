// The running copy reached without any notification area: on an X server of the test's own
// and a private session bus, a second start and scenarix-tool drive the real program.

#include "imaging/Canvas.h"
#include "imaging/PixelGraphic.h"

#include "BackgroundProgram.h"
#include "TempDir.h"
#include "platform/PlatformTestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <optional>
#include <thread>

namespace scenaria {
namespace {

using namespace std::chrono_literals;
using testing::TBackgroundProgram;
using testing::TChild;
using testing::TRunResult;

struct TRgb {
    int R, G, B;
    bool operator==(const TRgb&) const = default;
};

const char* const ConfigCaption = "Wallpaper Diduzavizo";
const char* const ExplorerCaption = "Orlamby Bitmap Explorer";

class RemoteControl : public testing::TIsolatedTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testing::RequireProgram("Xvfb", "xvfb"));
        ASSERT_TRUE(testing::RequireProgram("dbus-daemon", "dbus-daemon"));
        ASSERT_TRUE(testing::RequireProgram("xdotool", "xdotool"));
        server_ = std::make_unique<TChild>(std::vector<std::string>{"Xvfb", "-displayfd", "1",
                                                                    "-noreset", "-nolisten", "tcp",
                                                                    "-screen", "0", "800x600x24"});
        ASSERT_TRUE(server_->Started()) << server_->Error();
        const auto number = server_->ReadLine(20000);
        ASSERT_TRUE(number && !number->empty()) << "Xvfb did not start";
        env_.Set("DISPLAY", ":" + *number);
        x_ = XOpenDisplay((":" + *number).c_str());
        ASSERT_NE(x_, nullptr);

        bus_ = std::make_unique<TChild>(std::vector<std::string>{
            "dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"});
        ASSERT_TRUE(bus_->Started()) << bus_->Error();
        const auto address = bus_->ReadLine(20000);
        ASSERT_TRUE(address && !address->empty()) << "dbus-daemon printed no address";
        env_.Set("DBUS_SESSION_BUS_ADDRESS", *address);

        std::filesystem::copy_file(testing::BuiltProgram("scenarix"), dir_ / "scenarix");
        for (const auto& [name, rgb] :
             {std::pair{"red.bmp", TRgb{255, 0, 0}}, std::pair{"green.bmp", TRgb{0, 255, 0}},
              std::pair{"blue.bmp", TRgb{0, 0, 255}}}) {
            TPixelGraphic picture;
            picture.SetSize(16, 16, bc24Bit);
            picture.Canvas().FillRect({0, 0, 16, 16}, RGB(rgb.R, rgb.G, rgb.B));
            std::filesystem::create_directories(dir_.Path() / "pics");
            picture.SaveToFile(dir_ / ("pics/" + std::string(name)));
            colours_[dir_ / ("pics/" + std::string(name))] = rgb;
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
        env_.Set("XDG_RUNTIME_DIR", dir_ / "run");
    }

    void TearDown() override
    {
        program_.reset();
        if (x_)
            XCloseDisplay(x_);
        bus_.reset();
        server_.reset();
    }

    // Starts the first copy and waits until it answers on the bus.
    void StartProgram()
    {
        program_ =
            std::make_unique<TBackgroundProgram>(std::vector<std::string>{dir_ / "scenarix"},
                                                 std::vector<std::string>{"QT_QPA_PLATFORM=xcb"});
        for (int i = 0; i < 250; ++i) {
            if (Tool({"status"}).ExitCode == 0)
                return;
            std::this_thread::sleep_for(40ms);
        }
        FAIL() << "the running copy never answered on the session bus";
    }

    TRunResult Tool(const std::vector<std::string>& args) { return testing::RunTool(args); }

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

    // The root window's colour once it is `wanted` (waiting a while), or what it shows then.
    TRgb WaitForRoot(const TRgb& wanted)
    {
        for (int i = 0; i < 250 && !(RootPixel(100, 100) == wanted); ++i)
            std::this_thread::sleep_for(20ms);
        return RootPixel(100, 100);
    }

    // Mapped top-level windows with that caption, bottom to top.
    std::vector<Window> WindowsNamed(const std::string& caption)
    {
        std::vector<Window> found;
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(x_, DefaultRootWindow(x_), &root, &parent, &children, &count))
            return found;
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes attributes;
            char* name = nullptr;
            if (XGetWindowAttributes(x_, children[i], &attributes) &&
                attributes.map_state == IsViewable && XFetchName(x_, children[i], &name) && name) {
                if (caption == name)
                    found.push_back(children[i]);
                XFree(name);
            }
        }
        if (children)
            XFree(children);
        return found;
    }

    std::optional<Window> WaitForWindow(const std::string& caption)
    {
        for (int i = 0; i < 500; ++i) {
            if (const auto found = WindowsNamed(caption); !found.empty())
                return found.front();
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }

    bool WaitForNoWindow(const std::string& caption)
    {
        for (int i = 0; i < 500; ++i) {
            if (WindowsNamed(caption).empty())
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    // True when `upper` lies above `lower` in the root window's stacking order.
    bool IsAbove(Window upper, Window lower)
    {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        XQueryTree(x_, DefaultRootWindow(x_), &root, &parent, &children, &count);
        int upperAt = -1, lowerAt = -1;
        for (unsigned i = 0; i < count; ++i) {
            if (children[i] == upper)
                upperAt = static_cast<int>(i);
            if (children[i] == lower)
                lowerAt = static_cast<int>(i);
        }
        if (children)
            XFree(children);
        return upperAt >= 0 && lowerAt >= 0 && upperAt > lowerAt;
    }

    // Starts the program a second time; its exit code once it ended (nothing if it hangs).
    std::optional<int> SecondStart()
    {
        TBackgroundProgram second({dir_ / "scenarix"}, {"QT_QPA_PLATFORM=xcb"});
        return second.WaitFor(10s);
    }

    std::string LastIndexLine() const
    {
        const std::string text = testing::ReadFile(dir_ / "scenarix.INI");
        const auto at = text.find("LastIndex=");
        return at == std::string::npos ? std::string() : text.substr(at, text.find('\n', at) - at);
    }

    // The picture named by a "Picture: <path>" line of the answer.
    std::string PictureIn(const std::string& out)
    {
        const auto at = out.find("Picture: ");
        return at == std::string::npos ? std::string()
                                       : out.substr(at + 9, out.find('\n', at) - at - 9);
    }

    testing::TTempDir dir_;
    std::string settings_;
    std::map<std::string, TRgb> colours_;
    Display* x_ = nullptr;
    std::unique_ptr<TChild> server_;
    std::unique_ptr<TChild> bus_;
    std::unique_ptr<TBackgroundProgram> program_;
};

TEST_F(RemoteControl, SecondStartOpensTheConfigurationAndLaterBringsItForward)
{
    StartProgram();
    ASSERT_TRUE(WindowsNamed(ConfigCaption).empty());

    // A second copy that opened the settings file would block on the pipe for ever.
    std::filesystem::remove(dir_ / "scenarix.INI");
    ASSERT_EQ(::mkfifo((dir_ / "scenarix.INI").c_str(), 0600), 0);
    EXPECT_EQ(SecondStart(), std::optional<int>(0));
    const auto dialog = WaitForWindow(ConfigCaption);
    ASSERT_TRUE(dialog) << "the second start did not open the configuration dialog";
    EXPECT_TRUE(std::filesystem::is_fifo(dir_ / "scenarix.INI"));
    std::filesystem::remove(dir_ / "scenarix.INI");
    dir_.Write("scenarix.INI", settings_);

    // Another window covers the dialog; the next start brings the same dialog to the front
    // and opens nothing new.
    const Window cover = XCreateSimpleWindow(x_, DefaultRootWindow(x_), 0, 0, 800, 600, 0, 0, 0);
    XMapRaised(x_, cover);
    XSync(x_, False);
    ASSERT_TRUE(IsAbove(cover, *dialog));
    EXPECT_EQ(SecondStart(), std::optional<int>(0));
    bool raised = false;
    for (int i = 0; i < 250 && !raised; ++i) {
        raised = IsAbove(*dialog, cover);
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(raised) << "the open dialog was not brought forward";
    EXPECT_EQ(WindowsNamed(ConfigCaption), std::vector<Window>{*dialog});
    XDestroyWindow(x_, cover);
    XSync(x_, False);

    // While the dialog is open every command is refused, says so, and changes nothing.
    const TRgb before = RootPixel(100, 100);
    for (const char* command : {"next", "delete", "explore", "quit"}) {
        const TRunResult r = Tool({command});
        EXPECT_EQ(r.ExitCode, 2) << command;
        EXPECT_NE(r.Err.find("busy"), std::string::npos) << command << ": " << r.Err;
        EXPECT_NE(r.Err.find(ConfigCaption), std::string::npos) << command << ": " << r.Err;
        EXPECT_TRUE(r.Out.empty()) << command;
    }
    const TRunResult configure = Tool({"configure"});
    EXPECT_EQ(configure.ExitCode, 0) << configure.Err;
    EXPECT_NE(configure.Out.find("to the front"), std::string::npos) << configure.Out;
    const TRunResult status = Tool({"status"});
    EXPECT_EQ(status.ExitCode, 0);
    EXPECT_NE(status.Out.find(std::string("Dialog open: ") + ConfigCaption), std::string::npos)
        << status.Out;
    EXPECT_EQ(WindowsNamed(ConfigCaption).size(), 1u);
    EXPECT_TRUE(RootPixel(100, 100) == before);
    EXPECT_EQ(testing::ReadFile(dir_ / "scenarix.INI"), settings_);
    EXPECT_FALSE(program_->WaitFor(0ms)) << "quit was refused, the copy keeps running";
    for (const auto& [path, rgb] : colours_)
        EXPECT_TRUE(std::filesystem::exists(path)) << path;

    // Once the dialog is closed the commands work again.
    const TRunResult escape = testing::RunProgram(
        {"xdotool", "windowfocus", "--sync", std::to_string(*dialog), "key", "Escape"});
    ASSERT_EQ(escape.ExitCode, 0) << escape.Err;
    ASSERT_TRUE(WaitForNoWindow(ConfigCaption));
    const TRunResult next = Tool({"next"});
    EXPECT_EQ(next.ExitCode, 0) << next.Err;
    EXPECT_EQ(LastIndexLine(), "LastIndex=0");
}

TEST_F(RemoteControl, SecondStartWhileTheExplorerIsOpenBringsItForwardAndOpensNothing)
{
    StartProgram();
    const TRunResult explore = Tool({"explore"});
    ASSERT_EQ(explore.ExitCode, 0) << explore.Err;
    const auto explorer = WaitForWindow(ExplorerCaption);
    ASSERT_TRUE(explorer) << "scenarix-tool explore did not open the Explorer";

    const Window cover = XCreateSimpleWindow(x_, DefaultRootWindow(x_), 0, 0, 800, 600, 0, 0, 0);
    XMapRaised(x_, cover);
    XSync(x_, False);
    ASSERT_TRUE(IsAbove(cover, *explorer));
    EXPECT_EQ(SecondStart(), std::optional<int>(0));
    bool raised = false;
    for (int i = 0; i < 250 && !raised; ++i) {
        raised = IsAbove(*explorer, cover);
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(raised) << "the open Explorer was not brought forward";
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(WindowsNamed(ExplorerCaption), std::vector<Window>{*explorer});
    EXPECT_TRUE(WindowsNamed(ConfigCaption).empty()) << "a configuration dialog opened as well";
    XDestroyWindow(x_, cover);
    XSync(x_, False);
    EXPECT_EQ(testing::ReadFile(dir_ / "scenarix.INI"), settings_);
}

TEST_F(RemoteControl, ToolChangesReportsDeletesAndEndsTheRunningCopy)
{
    StartProgram();
    const TRgb start = RootPixel(100, 100);

    const TRunResult first = Tool({"next"});
    ASSERT_EQ(first.ExitCode, 0) << first.Err;
    const std::string firstPicture = PictureIn(first.Out);
    ASSERT_TRUE(colours_.count(firstPicture)) << first.Out;
    EXPECT_TRUE(WaitForRoot(colours_[firstPicture]) == colours_[firstPicture]);
    EXPECT_FALSE(RootPixel(100, 100) == start);
    EXPECT_EQ(LastIndexLine(), "LastIndex=0");

    const TRunResult second = Tool({"next"});
    ASSERT_EQ(second.ExitCode, 0) << second.Err;
    const std::string shown = PictureIn(second.Out);
    ASSERT_TRUE(colours_.count(shown)) << second.Out;
    EXPECT_NE(shown, firstPicture);
    EXPECT_TRUE(WaitForRoot(colours_[shown]) == colours_[shown]);
    EXPECT_EQ(LastIndexLine(), "LastIndex=1");

    // One fact a line.
    const TRunResult status = Tool({"status"});
    ASSERT_EQ(status.ExitCode, 0) << status.Err;
    EXPECT_EQ(status.Out, "Picture: " + shown + "\nMinutes left: 30\nSettings file: " +
                              (dir_ / "scenarix.INI") + "\n");

    // delete: the shown picture goes to the trash, the one after it comes up.
    const TRunResult deleted = Tool({"delete"});
    ASSERT_EQ(deleted.ExitCode, 0) << deleted.Err;
    EXPECT_NE(deleted.Out.find("Deleted: " + shown), std::string::npos) << deleted.Out;
    EXPECT_FALSE(std::filesystem::exists(shown));
    const std::string name = shown.substr(shown.rfind('/') + 1);
    EXPECT_TRUE(std::filesystem::exists(Home() / ".local/share/Trash/files" / name));
    const std::string after = PictureIn(deleted.Out);
    ASSERT_TRUE(colours_.count(after)) << deleted.Out;
    EXPECT_NE(after, shown);
    EXPECT_TRUE(WaitForRoot(colours_[after]) == colours_[after]);
    EXPECT_EQ(PictureIn(Tool({"status"}).Out), after);

    const TRunResult quit = Tool({"quit"});
    EXPECT_EQ(quit.ExitCode, 0) << quit.Err;
    EXPECT_EQ(program_->WaitFor(10s), std::optional<int>(0));

    // Nobody answers now: each command says so and fails.
    for (const char* command : {"next", "delete", "configure", "explore", "status", "quit"}) {
        const TRunResult r = Tool({command});
        EXPECT_EQ(r.ExitCode, 1) << command;
        EXPECT_NE(r.Err.find("Scenaria is not running"), std::string::npos)
            << command << ": " << r.Err;
        EXPECT_TRUE(r.Out.empty()) << command;
    }
}

TEST_F(RemoteControl, SecondStartWithNobodyToAnswerEndsQuietly)
{
    // The first copy holds the lock but listens on another bus than the second start asks.
    StartProgram();
    env_.Set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (Home() / "no-bus").string());
    EXPECT_EQ(SecondStart(), std::optional<int>(0));
    EXPECT_TRUE(WindowsNamed(ConfigCaption).empty());
}

} // namespace
} // namespace scenaria
