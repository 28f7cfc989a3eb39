// sway on several outputs: a headless sway of the test's own (no GPU, no input devices), its
// outputs listed by the platform and each shown its own bitmap, read back with grim.

#include "imaging/Canvas.h"
#include "imaging/PixelGraphic.h"
#include "platform/Desktop.h"
#include "platform/LinuxPlatform.h"
#include "platform/Process.h"

#include "DesktopSession.h"
#include "PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

namespace scenaria {
namespace {

using testing::TRgb;
namespace fs = std::filesystem;

// A headless sway with outputs of the sizes asked for, side by side from the left with their
// tops aligned. Run as root, the test starts it as "nobody", as a desktop user would run it,
// in a runtime folder of its own; the test's own swaymsg and grim reach it all the same. SWAYSOCK
// and WAYLAND_DISPLAY of this process point at it for as long as it runs.
//
// sway starts swaybg detached, so swaybg would outlive the test as an orphan of init: this
// process takes such orphans in (a child subreaper) while the session lasts, and ends and reaps
// every swaybg that came to it.
class TSwaySession {
public:
    TSwaySession(testing::TScopedEnv& env, const std::vector<std::pair<int, int>>& sizes)
    {
        wasSubreaper_ = ::prctl(PR_GET_CHILD_SUBREAPER, &subreaperBefore_) == 0;
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
        if (!Start() || !Arrange(sizes))
            return;
        env.Set("SWAYSOCK", Socket());
        env.Set("WAYLAND_DISPLAY", wayland_);
    }
    ~TSwaySession()
    {
        Stop();
        if (wasSubreaper_)
            ::prctl(PR_SET_CHILD_SUBREAPER, subreaperBefore_);
    }
    TSwaySession(const TSwaySession&) = delete;
    TSwaySession& operator=(const TSwaySession&) = delete;

    bool Ready() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    std::string Socket() const { return runtime_ / "sway-ipc.sock"; }
    // The outputs' names in sway's order, each of the size asked for at that place.
    const std::vector<std::string>& Outputs() const { return outputs_; }

    // One message to sway: the words of swaymsg's command line (commands split by ";").
    TProcessResult Message(const std::vector<std::string>& words) const
    {
        std::vector<std::string> argv{"swaymsg", "-p", "-s", Socket()};
        argv.insert(argv.end(), words.begin(), words.end());
        return RunProcess(argv, 3000);
    }

    // What the output shows now; "" when it could be read, else why not.
    std::string Grab(const std::string& output, TPixelGraphic& into) const
    {
        const std::string file = shots_ / ("shot-" + output + ".png");
        const auto result =
            RunProcess({"env", "WAYLAND_DISPLAY=" + wayland_, "grim", "-o", output, file}, 3000);
        if (!result.Succeeded())
            return result.Failure("grim -o " + output);
        try {
            into.LoadFromFile(file);
        } catch (const std::exception& e) {
            return "grim's " + file + ": " + e.what();
        }
        return {};
    }

private:
    bool Start()
    {
        bool installed = true;
        for (const char* program : {"sway", "swaybg", "grim"})
            installed = testing::RequireProgram(program, program) && installed;
        if (!installed)
            return Fail("sway, swaybg and grim are needed");
        const bool root = ::geteuid() == 0;
        if (root && (::chown(runtime_.Folder().c_str(), 65534, 65534) != 0 ||
                     ::chmod(runtime_.Folder().c_str(), 0700) != 0))
            return Fail("cannot hand " + runtime_.Folder() + " to nobody");
        // No wallpaper of sway's own, and no Xwayland (which the test has no use for).
        const std::string config = configDir_.Write("config", "xwayland disable\n");
        fs::permissions(configDir_.Path(), fs::perms(0755));
        fs::permissions(config, fs::perms(0644));
        return Spawn(Command(config, root)) && WaitUntilAnswering();
    }

    // sway in an environment of its own: nothing of the test's session, nor its home, leaks in.
    std::vector<std::string> Command(const std::string& config, bool root) const
    {
        std::vector<std::string> argv{"env",
                                      "-i",
                                      "PATH=" + ProcessPath(),
                                      "HOME=" + runtime_.Folder(),
                                      "XDG_RUNTIME_DIR=" + runtime_.Folder(),
                                      "SWAYSOCK=" + Socket(),
                                      "WLR_BACKENDS=headless",
                                      "WLR_RENDERER=pixman",
                                      "WLR_LIBINPUT_NO_DEVICES=1"};
        if (root)
            argv.insert(argv.end(),
                        {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
        argv.insert(argv.end(), {"sway", "-c", config});
        return argv;
    }

    static std::string ProcessPath()
    {
        const char* path = std::getenv("PATH");
        return path ? path : "/usr/local/bin:/usr/bin:/bin";
    }

    // env and setpriv replace themselves with sway, so the child's id is sway's.
    bool Spawn(const std::vector<std::string>& argv)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, Log().c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::vector<char*> args;
        for (const auto& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        const int rc = ::posix_spawnp(&sway_, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc == 0)
            return true;
        sway_ = -1;
        return Fail(std::string("cannot start sway: ") + std::strerror(rc));
    }

    bool WaitUntilAnswering()
    {
        const bool answering = testing::PollUntil(8000, [this] {
            if (::waitpid(sway_, nullptr, WNOHANG) == sway_) {
                sway_ = -1;
                return true;
            }
            wayland_ = WaylandSocket();
            return !wayland_.empty() && Message({"-t", "get_version"}).Succeeded();
        });
        if (answering && sway_ > 0)
            return true;
        return Fail(std::string(sway_ > 0 ? "sway did not answer" : "sway ended") +
                    "; its log: " + testing::ReadFile(Log()));
    }

    // sway takes the first free "wayland-<n>" of its runtime folder.
    std::string WaylandSocket() const
    {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(runtime_.Path(), ec)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("wayland-", 0) == 0 && entry.is_socket())
                return entry.path().string();
        }
        return {};
    }

    // Adds outputs until there are as many as sizes, then gives each its size and place.
    bool Arrange(const std::vector<std::pair<int, int>>& sizes)
    {
        for (std::size_t i = 1; i < sizes.size(); ++i)
            if (const auto made = Message({"create_output"}); !made.Succeeded())
                return Fail(made.Failure("swaymsg create_output"));
        outputs_ = ListOutputs();
        if (outputs_.size() != sizes.size())
            return Fail("sway has " + std::to_string(outputs_.size()) + " outputs, not " +
                        std::to_string(sizes.size()));
        std::vector<std::string> words;
        int x = 0;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            const auto [width, height] = sizes[i];
            if (i > 0)
                words.push_back(";");
            words.insert(words.end(), {"output", outputs_[i], "resolution",
                                       std::to_string(width) + "x" + std::to_string(height),
                                       "position", std::to_string(x), "0"});
            x += width;
        }
        const auto arranged = Message(words);
        return arranged.Succeeded() || Fail(arranged.Failure("swaymsg output resolution"));
    }

    // The names of "Output HEADLESS-1 '...'" lines, as swaymsg writes the list for people.
    std::vector<std::string> ListOutputs() const
    {
        std::vector<std::string> names;
        std::istringstream lines(Message({"-t", "get_outputs"}).Out);
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream words(line);
            std::string first, name;
            if (words >> first >> name && first == "Output")
                names.push_back(name);
        }
        return names;
    }

    void Stop()
    {
        if (sway_ > 0) {
            ::kill(sway_, SIGTERM);
            EndChild(sway_, 2000);
            sway_ = -1;
        }
        // Without its compositor swaybg ends by itself; those that sway replaced have already.
        for (const pid_t pid : SwaybgChildren())
            EndChild(pid, 1000);
    }

    // Waits for the child to end, killing it after timeoutMs.
    static void EndChild(pid_t pid, int timeoutMs)
    {
        if (testing::PollUntil(timeoutMs, [pid] { return ::waitpid(pid, nullptr, WNOHANG) != 0; }))
            return;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }

    // The swaybg processes (running or ended) whose parent is now this process.
    static std::vector<pid_t> SwaybgChildren()
    {
        std::vector<pid_t> found;
        for (const auto& entry : fs::directory_iterator("/proc")) {
            const std::string name = entry.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos)
                continue;
            // "<pid> (<comm>) <state> <ppid> ..."
            std::string stat = testing::ReadFile(entry.path() / "stat");
            const auto close = stat.rfind(')');
            if (close == std::string::npos || stat.find("(swaybg)") == std::string::npos)
                continue;
            std::istringstream rest(stat.substr(close + 1));
            std::string state;
            pid_t parent = 0;
            if (rest >> state >> parent && parent == ::getpid())
                found.push_back(static_cast<pid_t>(std::stoi(name)));
        }
        return found;
    }

    std::string Log() const { return shots_ / "sway.log"; }

    bool Fail(const std::string& error)
    {
        if (error_.empty())
            error_ = error;
        return false;
    }

    testing::TTempDir runtime_, configDir_, shots_;
    pid_t sway_ = -1;
    std::string wayland_;
    std::vector<std::string> outputs_;
    std::string error_;
    bool wasSubreaper_ = false;
    int subreaperBefore_ = 0;
};

// Two outputs: a wide one, and a tall one to its right.
constexpr int WideWidth = 640, WideHeight = 360, TallWidth = 360, TallHeight = 640;

class SwayMonitorsTest : public testing::TIsolatedTest {
protected:
    void SetUp() override
    {
        sway_ = std::make_unique<TSwaySession>(
            env_,
            std::vector<std::pair<int, int>>{{WideWidth, WideHeight}, {TallWidth, TallHeight}});
        ASSERT_TRUE(sway_->Ready()) << sway_->Error();
        ASSERT_EQ(sway_->Outputs().size(), 2u);
        // swaybg runs as sway's user, which must be able to read the bitmaps.
        fs::permissions(pictures_.Path(), fs::perms(0755));
    }
    void TearDown() override { sway_.reset(); }

    std::unique_ptr<TSwaySession> sway_;
    testing::TTempDir pictures_;
};

TEST_F(SwayMonitorsTest, ListsEachOutputWithItsNamePlaceAndSize)
{
    const TLinuxPlatform platform("/usr/bin/scenarix");
    const auto& names = sway_->Outputs();
    const std::vector<TMonitor> expected{
        {names[0], 0, 0, WideWidth, WideHeight, true, 0},
        {names[1], WideWidth, 0, TallWidth, TallHeight, false, 0},
    };
    EXPECT_EQ(platform.Monitors(), expected);

    // Turned a quarter, the tall output shows its mode on its side.
    ASSERT_TRUE(sway_->Message({"output", names[1], "resolution", "640x360", "transform", "90"})
                    .Succeeded());
    const auto turned = platform.Monitors();
    ASSERT_EQ(turned.size(), 2u);
    EXPECT_EQ(turned[1], (TMonitor{names[1], WideWidth, 0, 360, 640, false, 90}));
}

// A bitmap of two colours split in the middle: left and right, or top and bottom.
struct THalves {
    TRgb First, Second;
    bool SideBySide = true;

    TRgb At(int x, int y, int width, int height) const
    {
        return (SideBySide ? x < width / 2 : y < height / 2) ? First : Second;
    }
};

void WriteHalves(const std::string& path, int width, int height, const THalves& halves)
{
    TPixelGraphic picture;
    picture.SetSize(width, height, bc24Bit);
    const auto colour = [](const TRgb& c) { return RGB(c.R, c.G, c.B); };
    const TRect second = halves.SideBySide ? TRect{width / 2, 0, width, height}
                                           : TRect{0, height / 2, width, height};
    picture.Canvas().FillRect({0, 0, width, height}, colour(halves.First));
    picture.Canvas().FillRect(second, colour(halves.Second));
    picture.SaveToFile(path);
    fs::permissions(path, fs::perms(0644));
}

// Places well inside each half (and off the split), as fractions of the output's size.
constexpr std::pair<double, double> Samples[] = {
    {0.02, 0.02}, {0.25, 0.65}, {0.1, 0.95}, {0.45, 0.3}, {0.55, 0.7},
    {0.75, 0.1},  {0.98, 0.98}, {0.6, 0.4},  {0.3, 0.2},  {0.9, 0.55},
};

// Empty when the output shows the halves at every sample place, else what it shows instead.
std::string Mismatch(const TSwaySession& sway, const std::string& output, int width, int height,
                     const THalves& halves)
{
    TPixelGraphic shot;
    if (std::string error = sway.Grab(output, shot); !error.empty())
        return error;
    if (shot.Width() != width || shot.Height() != height)
        return output + " is " + std::to_string(shot.Width()) + "x" + std::to_string(shot.Height());
    for (const auto& [fx, fy] : Samples) {
        const int x = static_cast<int>(fx * (width - 1)), y = static_cast<int>(fy * (height - 1));
        const TColor c = shot.GetPixelColor(x, y);
        const TRgb seen{GetRValue(c), GetGValue(c), GetBValue(c)};
        if (!seen.Near(halves.At(x, y, width, height))) {
            std::ostringstream text;
            text << output << " shows " << seen << " at " << x << "," << y << ", not "
                 << halves.At(x, y, width, height);
            return text.str();
        }
    }
    return {};
}

TEST_F(SwayMonitorsTest, ShowsEachOutputItsOwnBitmap)
{
    TLinuxPlatform platform("/usr/bin/scenarix");
    const auto monitors = platform.Monitors();
    ASSERT_EQ(monitors.size(), 2u);
    const TRgb red{255, 0, 0}, blue{0, 0, 255}, green{0, 255, 0}, yellow{255, 255, 0};
    const std::string wideFile = pictures_ / "wide.bmp", tallFile = pictures_ / "tall.bmp";
    const std::string layoutFile = pictures_ / "layout.bmp";

    // The second change writes new pixels under the same names, as every change of the
    // program does.
    const std::pair<THalves, THalves> changes[] = {
        {{red, blue, true}, {green, yellow, false}},
        {{yellow, green, false}, {blue, red, true}},
    };
    for (const auto& [wide, tall] : changes) {
        WriteHalves(wideFile, WideWidth, WideHeight, wide);
        WriteHalves(tallFile, TallWidth, TallHeight, tall);
        // Shown anywhere, the layout bitmap would paint its output red all over.
        WriteHalves(layoutFile, WideWidth + TallWidth, TallHeight, {red, red, true});
        const auto status = platform.InstallMonitors(
            {{monitors[0], wideFile}, {monitors[1], tallFile}}, layoutFile);
        ASSERT_TRUE(status.Ok) << status.Error;
        // swaybg draws a moment after sway has answered.
        std::string wideSeen, tallSeen;
        testing::PollUntil(5000, [&] {
            wideSeen = Mismatch(*sway_, monitors[0].Name, WideWidth, WideHeight, wide);
            tallSeen = Mismatch(*sway_, monitors[1].Name, TallWidth, TallHeight, tall);
            return wideSeen.empty() && tallSeen.empty();
        });
        EXPECT_EQ(wideSeen, "");
        EXPECT_EQ(tallSeen, "");
    }
}

// What reaches swaymsg, before any sway: the output names go into its command unquoted.
TEST(SwayOutputNamesTest, SendsPlainNamesInOneMessageAndRefusesTheRest)
{
    testing::TScopedEnv env;
    testing::TFakeTools tools(env);
    tools.Add("swaymsg");
    const auto backend = CreateDesktopBackend(dkSway);
    const auto picture = [](const std::string& name, const std::string& file) {
        return TMonitorPicture{TMonitor{name, 0, 0, 10, 10, false, 0}, file};
    };

    struct TRow {
        const char* Case;
        std::vector<TMonitorPicture> Pictures;
        testing::TInvocation Sent; // empty: nothing may be sent
        std::string Error;
    };
    const TRow rows[] = {
        {"two outputs",
         {picture("DP-1", "/p/a b.bmp"), picture("HDMI_A.2", "/p/b.bmp")},
         {"swaymsg", "-p", "output", "DP-1", "bg", "\"'/p/a b.bmp'\"", "stretch", ";", "output",
          "HDMI_A.2", "bg", "\"'/p/b.bmp'\"", "stretch"},
         ""},
        {"an unnamed monitor is left out",
         {picture("", "/p/a.bmp"), picture("DP-1", "/p/b.bmp")},
         {"swaymsg", "-p", "output", "DP-1", "bg", "\"'/p/b.bmp'\"", "stretch"},
         ""},
        {"no names", {picture("", "/p/a.bmp")}, {}, "sway: outputs without names"},
        {"a command after the name",
         {picture("DP-1", "/p/a.bmp"), picture("DP-2;exec rm -rf ~", "/p/b.bmp")},
         {},
         "sway: cannot pass this output name safely: DP-2;exec rm -rf ~"},
        {"a blank",
         {picture("DP 1", "/p/a.bmp")},
         {},
         "sway: cannot pass this output name safely: DP 1"},
        {"a quote",
         {picture("DP-1\"", "/p/a.bmp")},
         {},
         "sway: cannot pass this output name safely: DP-1\""},
        {"a file name sway would expand",
         {picture("DP-1", "/p/$(id).bmp")},
         {},
         "sway: cannot pass this file name safely: /p/$(id).bmp"},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Case);
        tools.ClearCalls();
        const auto status = backend->ApplyMonitors(row.Pictures, "/p/layout.bmp");
        EXPECT_EQ(status.Ok, row.Error.empty());
        EXPECT_EQ(status.Error, row.Error);
        const auto calls = tools.Calls();
        if (row.Sent.empty())
            EXPECT_TRUE(calls.empty());
        else
            EXPECT_EQ(calls, std::vector<testing::TInvocation>{row.Sent});
    }
}

} // namespace
} // namespace scenaria
