// The desktops' own programs, not stand-ins: each case starts an X server (Xvfb), a session bus
// of its own and the program that draws that desktop, all with private XDG folders, hands the
// platform a picture and reads the screen back.

#include "imaging/Canvas.h"
#include "imaging/PixelGraphic.h"
#include "platform/Folders.h"
#include "platform/LinuxPlatform.h"
#include "platform/Process.h"
#include "platform/X11Root.h"

#include "DesktopSession.h"
#include "PlatformTestSupport.h"
#include "RunProgram.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

namespace scenaria {
namespace {

using namespace std::chrono_literals;
using testing::TChild;
using testing::TRgb;
namespace fs = std::filesystem;

constexpr int ScreenWidth = 640;
constexpr int ScreenHeight = 480;

class RealDesktop : public testing::TIsolatedTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testing::RequireProgram("dbus-update-activation-environment", "dbus-bin"));
        testing::TDesktopOptions options;
        options.Width = ScreenWidth;
        options.Height = ScreenHeight;
        options.Bus = true;
        session_ = std::make_unique<testing::TDesktopSession>(env_, options);
        ASSERT_TRUE(session_->Ready()) << session_->Error();
        // Settings daemons started by the bus (xfconfd, dconf-service) must write into this
        // test's folders, not the user's.
        const auto update = testing::RunProgram({"dbus-update-activation-environment", "DISPLAY",
                                                 "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                                 "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"});
        ASSERT_EQ(update.ExitCode, 0) << update.Err;
    }

    void TearDown() override
    {
        program_.reset();
        session_.reset();
    }

    // Starts the desktop's program and waits for its desktop window.
    void StartDesktop(const std::vector<std::string>& argv, const std::string& windowClass,
                      int waitSeconds = 15)
    {
        const int cx = ScreenWidth / 2, cy = ScreenHeight / 2;
        const TRgb bare = session_->Pixel(cx, cy);
        program_ = std::make_unique<TChild>(argv, false);
        ASSERT_TRUE(program_->Started()) << program_->Error();
        int i = 0;
        for (; i < waitSeconds * 20 &&
               HasDesktopWindowOf(session_->DisplayName(), windowClass) != true;
             ++i)
            std::this_thread::sleep_for(50ms);
        ASSERT_LT(i, waitSeconds * 20) << argv[0] << " made no desktop window";
        // The window is mapped before the program has read its settings and begun to follow
        // them (caja on a loaded machine missed the first change that way); once it has drawn
        // its own background it does. A program whose background is the bare root's colour
        // just costs the wait.
        for (; i < waitSeconds * 20 && session_->Pixel(cx, cy).Near(bare); ++i)
            std::this_thread::sleep_for(50ms);
    }

    // Waits until the screen shows the colour at the point; the desktop programs draw when
    // they get round to it.
    ::testing::AssertionResult Shows(int x, int y, const TRgb& colour)
    {
        TRgb seen{};
        for (int i = 0; i < 200; ++i) {
            seen = session_->Pixel(x, y);
            if (seen.Near(colour))
                return ::testing::AssertionSuccess();
            std::this_thread::sleep_for(50ms);
        }
        return ::testing::AssertionFailure()
               << "(" << x << "," << y << ") shows " << seen << ", not " << colour;
    }

    static std::string WritePicture(const std::string& path, const TRgb& colour)
    {
        TPixelGraphic picture;
        picture.SetSize(64, 48, bc24Bit);
        picture.Canvas().FillRect({0, 0, 64, 48}, RGB(colour.R, colour.G, colour.B));
        fs::create_directories(fs::path(path).parent_path());
        picture.SaveToFile(path);
        return path;
    }

    // The three pictures of a change cycle's life: one in the temporary bitmap, another one
    // under the same name, and a file stretched by the desktop itself.
    void ShowsCentredAgainAndStretched(TLinuxPlatform& platform)
    {
        const int cx = ScreenWidth / 2, cy = ScreenHeight / 2;
        const std::string temporary = (Home() / "save/~scxtmp.bmp").string();
        const TRgb red{230, 20, 30}, blue{20, 40, 220}, green{30, 200, 60};

        WritePicture(temporary, red);
        auto status = platform.InstallClassic(temporary, false);
        ASSERT_TRUE(status.Ok) << status.Error;
        EXPECT_TRUE(Shows(cx, cy, red));

        WritePicture(temporary, blue);
        status = platform.InstallClassic(temporary, false);
        ASSERT_TRUE(status.Ok) << status.Error;
        EXPECT_TRUE(Shows(cx, cy, blue)) << "the same name with new pixels";

        const std::string own = WritePicture((Home() / "pics/green.bmp").string(), green);
        status = platform.InstallActiveDesktop(own, wsStretch);
        ASSERT_TRUE(status.Ok) << status.Error;
        EXPECT_TRUE(Shows(cx, cy, green));
        // Far outside the 64 x 48 picture had it only been centred, and above a panel at the
        // bottom (Plasma's).
        EXPECT_TRUE(Shows(cx + 200, cy + 100, green)) << "stretched";
    }

    // Without the desktop's program the picture reaches the root window, and soon.
    void FallsBackToTheRootWindow(const char* desktop)
    {
        env_.Set("XDG_CURRENT_DESKTOP", desktop);
        TLinuxPlatform platform("/usr/bin/scenarix");
        const TRgb orange{240, 140, 20};
        const std::string picture = WritePicture((Home() / "pics/orange.bmp").string(), orange);
        const auto start = std::chrono::steady_clock::now();
        const auto status = platform.InstallClassic(picture, true);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        ASSERT_TRUE(status.Ok) << status.Error;
        EXPECT_TRUE(session_->Pixel(5, 5).Near(orange)) << session_->Pixel(5, 5);
        EXPECT_TRUE(session_->Pixel(ScreenWidth / 2, ScreenHeight / 2).Near(orange));
    }

    std::unique_ptr<testing::TDesktopSession> session_;
    std::unique_ptr<TChild> program_;
};

TEST_F(RealDesktop, Xfce)
{
    ASSERT_TRUE(testing::RequireProgram("xfdesktop", "xfdesktop4"));
    ASSERT_TRUE(testing::RequireProgram("xfconf-query", "xfconf"));
    env_.Set("XDG_CURRENT_DESKTOP", "XFCE");
    StartDesktop({"xfdesktop", "--disable-wm-check"}, "xfdesktop");
    // xfdesktop lists its backdrops in its settings once it has drawn the first one.
    bool listed = false;
    for (int i = 0; i < 200 && !listed; ++i) {
        const auto result = RunProcess({"xfconf-query", "-c", "xfce4-desktop", "-l"}, 2000);
        listed = result.Out.find("/last-image") != std::string::npos;
        if (!listed)
            std::this_thread::sleep_for(50ms);
    }
    ASSERT_TRUE(listed) << "xfdesktop keeps no backdrop in xfconf";
    TLinuxPlatform platform("/usr/bin/scenarix");
    EXPECT_TRUE(platform.InitializeDesktop());
    ShowsCentredAgainAndStretched(platform);
}

TEST_F(RealDesktop, Lxde)
{
    ASSERT_TRUE(testing::RequireProgram("pcmanfm", "pcmanfm"));
    env_.Set("XDG_CURRENT_DESKTOP", "LXDE");
    StartDesktop({"pcmanfm", "--desktop", "--profile", "LXDE"}, "pcmanfm");
    TLinuxPlatform platform("/usr/bin/scenarix");
    EXPECT_TRUE(platform.InitializeDesktop());
    ShowsCentredAgainAndStretched(platform);
}

TEST_F(RealDesktop, Lxqt)
{
    ASSERT_TRUE(testing::RequireProgram("pcmanfm-qt", "pcmanfm-qt"));
    env_.Set("XDG_CURRENT_DESKTOP", "LXQt");
    StartDesktop({"pcmanfm-qt", "--desktop", "--profile=lxqt"}, "pcmanfm-qt");
    TLinuxPlatform platform("/usr/bin/scenarix");
    EXPECT_TRUE(platform.InitializeDesktop());
    ShowsCentredAgainAndStretched(platform);
}

TEST_F(RealDesktop, Mate)
{
    ASSERT_TRUE(testing::RequireProgram("caja", "caja"));
    ASSERT_TRUE(testing::RequireProgram("gsettings", "libglib2.0-bin"));
    ASSERT_TRUE(fs::exists("/usr/libexec/dconf-service")) << "install dconf-service";
    env_.Set("XDG_CURRENT_DESKTOP", "MATE");
    env_.Set("GSETTINGS_BACKEND", "dconf");
    StartDesktop({"caja", "-n", "--force-desktop"}, "caja");
    TLinuxPlatform platform("/usr/bin/scenarix");
    EXPECT_TRUE(platform.InitializeDesktop());
    ShowsCentredAgainAndStretched(platform);
}

// Plasma's packages are large and its shell takes about half a minute to start, so this case
// runs only when asked for.
TEST_F(RealDesktop, KdePlasma)
{
    if (ProcessEnv("SCENARIA_TEST_PLASMA") != "1")
        GTEST_SKIP() << "set SCENARIA_TEST_PLASMA=1 to run it (needs plasma-desktop)";
    ASSERT_TRUE(testing::RequireProgram("plasmashell", "plasma-workspace"));
    env_.Set("XDG_CURRENT_DESKTOP", "KDE");
    env_.Set("QT_QUICK_BACKEND", "software");
    env_.Set("QT_QPA_PLATFORM", "xcb");
    StartDesktop({"plasmashell", "--no-respawn"}, "plasmashell", 90);
    TLinuxPlatform platform("/usr/bin/scenarix");
    EXPECT_TRUE(platform.InitializeDesktop());
    // The shell takes scripts only once it has loaded its desktops.
    const std::string first = WritePicture((Home() / "pics/first.bmp").string(), {90, 90, 90});
    TPlatformStatus status = TPlatformStatus::Failure("not tried");
    for (int i = 0; i < 120 && !status.Ok; ++i) {
        status = platform.InstallClassic(first, false);
        if (!status.Ok)
            std::this_thread::sleep_for(500ms);
    }
    ASSERT_TRUE(status.Ok) << status.Error;
    ShowsCentredAgainAndStretched(platform);
}

TEST_F(RealDesktop, LxdeWithoutPcmanfmFallsBackToTheRootWindow)
{
    ASSERT_TRUE(testing::RequireProgram("pcmanfm", "pcmanfm"));
    FallsBackToTheRootWindow("LXDE");
}

TEST_F(RealDesktop, XfceWithoutXfdesktopFallsBackToTheRootWindow)
{
    ASSERT_TRUE(testing::RequireProgram("xfconf-query", "xfconf"));
    FallsBackToTheRootWindow("XFCE");
}

TEST_F(RealDesktop, LxqtWithoutPcmanfmQtFallsBackToTheRootWindow)
{
    ASSERT_TRUE(testing::RequireProgram("pcmanfm-qt", "pcmanfm-qt"));
    FallsBackToTheRootWindow("LXQt");
}

} // namespace
} // namespace scenaria
