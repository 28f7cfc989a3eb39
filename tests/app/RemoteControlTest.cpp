// The running copy reached without any notification area: on an X server of the test's own
// and a private session bus, a second start and scenarix-tool drive the real program.

#include "imaging/Canvas.h"
#include "imaging/PixelGraphic.h"

#include "DesktopSession.h"

#include <X11/Xlib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <optional>
#include <thread>

namespace scenaria {
namespace {

using namespace std::chrono_literals;
using testing::TRgb;
using testing::TRunResult;

const char* const ConfigCaption = "Wallpaper Diduzavizo";
const char* const ExplorerCaption = "Orlamby Bitmap Explorer";

class RemoteControl : public testing::TIsolatedTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testing::RequireProgram("xdotool", "xdotool"));
        testing::TDesktopOptions options;
        options.Bus = true;
        session_ = std::make_unique<testing::TDesktopSession>(env_, options);
        ASSERT_TRUE(session_->Ready()) << session_->Error();

        for (const auto& [name, rgb] :
             {std::pair{"red.bmp", TRgb{255, 0, 0}}, std::pair{"green.bmp", TRgb{0, 255, 0}},
              std::pair{"blue.bmp", TRgb{0, 0, 255}}}) {
            TPixelGraphic picture;
            picture.SetSize(16, 16, bc24Bit);
            picture.Canvas().FillRect({0, 0, 16, 16}, RGB(rgb.R, rgb.G, rgb.B));
            std::filesystem::create_directories(InFolder("pics"));
            picture.SaveToFile(InFolder("pics/" + std::string(name)));
            colours_[InFolder("pics/" + std::string(name))] = rgb;
        }
        settings_ = "[Diduzavizo]\nDirectory=" + InFolder("pics") +
                    "\nSubfolders=0\nMode=0\n"
                    "Delay=30\nLastIndex=-1\nRandom=0\nTile=0\nMinWidth=320\nMinHeight=240\n"
                    "RunOnStart=0\nStretch=0\nProportional=0\nActiveDesktop=0\nShowHints=1\n"
                    "Hint on Tray=0\nFilesType=0\nSave Folder=" +
                    InFolder("save") + "\n";
        program_.WriteSettings(settings_);
    }

    void TearDown() override
    {
        running_.reset();
        session_.reset();
    }

    // A path in the program's folder.
    std::string InFolder(const std::string& name) const { return (program_.Dir() / name).string(); }

    // Starts the first copy and waits until it answers on the bus.
    void StartProgram()
    {
        running_ = program_.Start();
        for (int i = 0; i < 250; ++i) {
            if (Tool({"status"}).ExitCode == 0)
                return;
            std::this_thread::sleep_for(40ms);
        }
        FAIL() << "the running copy never answered on the session bus";
    }

    TRunResult Tool(const std::vector<std::string>& args) { return testing::RunTool(args); }

    // The root window's colour once it is `wanted` (waiting a while), or what it shows then.
    TRgb WaitForRoot(const TRgb& wanted)
    {
        session_->WaitForPixel(100, 100, wanted, 5000);
        return session_->Pixel(100, 100);
    }

    // Mapped top-level windows with that caption, bottom to top.
    std::vector<Window> WindowsNamed(const std::string& caption) const
    {
        std::vector<Window> found;
        for (const auto& w : session_->Windows("scenarix", caption))
            found.push_back(w.Id);
        return found;
    }

    std::optional<Window> WaitForWindow(const std::string& caption)
    {
        if (const auto seen = session_->WaitForWindow("scenarix", caption))
            return seen->Id;
        return std::nullopt;
    }

    bool WaitForNoWindow(const std::string& caption)
    {
        return session_->WaitForWindowGone("scenarix", caption);
    }

    // True when `upper` lies above `lower` in the root window's stacking order.
    bool IsAbove(Window upper, Window lower)
    {
        Display* x = session_->X();
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count);
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

    // A window of the test's own over the whole screen.
    Window Cover()
    {
        Display* x = session_->X();
        const Window cover = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 800, 600, 0, 0, 0);
        XMapRaised(x, cover);
        XSync(x, False);
        return cover;
    }

    void Uncover(Window cover)
    {
        XDestroyWindow(session_->X(), cover);
        XSync(session_->X(), False);
    }

    // Starts the program a second time; its exit code once it ended (nothing if it hangs).
    std::optional<int> SecondStart() { return program_.Start()->WaitFor(10s); }

    std::string LastIndexLine() const
    {
        const std::string text = program_.ReadSettings();
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

    std::unique_ptr<testing::TDesktopSession> session_;
    testing::TProgramCopy program_;
    std::string settings_;
    std::map<std::string, TRgb> colours_;
    std::unique_ptr<testing::TBackgroundProgram> running_;
};

TEST_F(RemoteControl, SecondStartOpensTheConfigurationAndLaterBringsItForward)
{
    StartProgram();
    ASSERT_TRUE(WindowsNamed(ConfigCaption).empty());

    // A second copy that opened the settings file would block on the pipe for ever.
    std::filesystem::remove(program_.SettingsFile());
    ASSERT_EQ(::mkfifo(program_.SettingsFile().c_str(), 0600), 0);
    EXPECT_EQ(SecondStart(), std::optional<int>(0));
    const auto dialog = WaitForWindow(ConfigCaption);
    ASSERT_TRUE(dialog) << "the second start did not open the configuration dialog";
    EXPECT_TRUE(std::filesystem::is_fifo(program_.SettingsFile()));
    std::filesystem::remove(program_.SettingsFile());
    program_.WriteSettings(settings_);

    // Another window covers the dialog; the next start brings the same dialog to the front
    // and opens nothing new.
    const Window cover = Cover();
    ASSERT_TRUE(IsAbove(cover, *dialog));
    EXPECT_EQ(SecondStart(), std::optional<int>(0));
    bool raised = false;
    for (int i = 0; i < 250 && !raised; ++i) {
        raised = IsAbove(*dialog, cover);
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(raised) << "the open dialog was not brought forward";
    EXPECT_EQ(WindowsNamed(ConfigCaption), std::vector<Window>{*dialog});
    Uncover(cover);

    // While the dialog is open every command is refused, says so, and changes nothing.
    const TRgb before = session_->Pixel(100, 100);
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
    EXPECT_TRUE(session_->Pixel(100, 100) == before);
    EXPECT_EQ(program_.ReadSettings(), settings_);
    EXPECT_FALSE(running_->WaitFor(0ms)) << "quit was refused, the copy keeps running";
    for (const auto& [path, rgb] : colours_)
        EXPECT_TRUE(std::filesystem::exists(path)) << path;

    // Once the dialog is closed the commands work again.
    std::string escapeError;
    ASSERT_TRUE(session_->Xdotool(
        {"windowfocus", "--sync", std::to_string(*dialog), "key", "Escape"}, &escapeError))
        << escapeError;
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

    const Window cover = Cover();
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
    Uncover(cover);
    EXPECT_EQ(program_.ReadSettings(), settings_);
}

TEST_F(RemoteControl, ToolChangesReportsDeletesAndEndsTheRunningCopy)
{
    StartProgram();
    const TRgb start = session_->Pixel(100, 100);

    const TRunResult first = Tool({"next"});
    ASSERT_EQ(first.ExitCode, 0) << first.Err;
    const std::string firstPicture = PictureIn(first.Out);
    ASSERT_TRUE(colours_.count(firstPicture)) << first.Out;
    EXPECT_TRUE(WaitForRoot(colours_[firstPicture]) == colours_[firstPicture]);
    EXPECT_FALSE(session_->Pixel(100, 100) == start);
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
                              program_.SettingsFile() + "\n");

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
    EXPECT_EQ(running_->WaitFor(10s), std::optional<int>(0));

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
