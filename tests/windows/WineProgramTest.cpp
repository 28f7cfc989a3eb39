// scenarix.exe, the Windows build of the resident program, run by wine on a test desktop:
// trayer as the notification area (wine docks its tray icons there), openbox as the window
// manager, xdotool as the user's hand. The program is named by SCENARIA_WINE_PROGRAM; WINEPREFIX
// names the wine prefix it runs in (tools/windows/build.sh sets both).

#include "imaging/Canvas.h"
#include "imaging/PixelGraphic.h"

#include "BackgroundProgram.h"
#include "DesktopSession.h"
#include "IconColours.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <thread>

namespace scenaria {
namespace {

using namespace std::chrono_literals;
using testing::TRgb;
using testing::TWindowSeen;

const char* const Class = "scenarix.exe";
// Wine's explorer keeps the notification icons of every program, and docks them as its own.
const char* const IconClass = "explorer.exe";
const char* const ConfigCaption = "Wallpaper Diduzavizo";
const TRgb Red{255, 0, 0}, Blue{0, 0, 255};

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// How a Windows program spells a path of this machine: through wine's drive Z:.
std::string WindowsSpelling(const std::string& path)
{
    std::string spelt = "Z:" + path;
    std::replace(spelt.begin(), spelt.end(), '/', '\\');
    return spelt;
}

class WineProgram : public testing::TIsolatedTest {
protected:
    void SetUp() override
    {
        program_ = Env("SCENARIA_WINE_PROGRAM");
        ASSERT_FALSE(program_.empty()) << "SCENARIA_WINE_PROGRAM names no scenarix.exe";
        ASSERT_TRUE(std::filesystem::exists(program_)) << program_;
        ASSERT_TRUE(std::filesystem::is_directory(Env("WINEPREFIX")))
            << "WINEPREFIX names no wine prefix";
        ASSERT_TRUE(testing::RequireProgram("wine", "wine"));
        ASSERT_TRUE(testing::RequireProgram("xdotool", "xdotool"));
        testing::TDesktopOptions options;
        options.WindowManager = true;
        options.Tray = true;
        session_ = std::make_unique<testing::TDesktopSession>(env_, options);
        ASSERT_TRUE(session_->Ready()) << session_->Error();

        std::filesystem::copy_file(program_, dir_.Path() / "scenarix.exe");
        std::filesystem::create_directories(dir_.Path() / "pics");
        for (const auto& [name, rgb] : {std::pair{"red.bmp", Red}, std::pair{"blue.bmp", Blue}}) {
            TPixelGraphic picture;
            picture.SetSize(64, 64, bc24Bit);
            picture.Canvas().FillRect({0, 0, 64, 64}, RGB(rgb.R, rgb.G, rgb.B));
            picture.SaveToFile(dir_ / ("pics/" + std::string(name)));
        }
        dir_.Write("scenarix.INI", "[Diduzavizo]\r\nDirectory=" + WindowsSpelling(dir_ / "pics") +
                                       "\r\nSubfolders=0\r\nDelay=30\r\nLastIndex=-1\r\n"
                                       "Random=0\r\nTile=0\r\nStretch=0\r\nShowHints=1\r\n");
    }

    void TearDown() override
    {
        running_.reset();
        // Whatever wine still runs in the prefix (explorer, a copy left behind) ends with it.
        testing::RunProgram({"wineserver", "-k"});
        session_.reset();
    }

    std::vector<std::string> WineEnv() const
    {
        return {"WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d"};
    }
    std::string Exe() const { return dir_ / "scenarix.exe"; }
    std::string Settings() const { return testing::ReadFile(dir_ / "scenarix.INI"); }

    void Start(const std::vector<std::string>& before = {})
    {
        std::vector<std::string> argv{"wine"};
        argv.insert(argv.end(), before.begin(), before.end());
        argv.push_back(Exe());
        running_ = std::make_unique<testing::TBackgroundProgram>(argv, WineEnv());
    }

    // HKCU\Control Panel\Desktop\Wallpaper as `reg query` shows it; empty when unset.
    std::string RegistryWallpaper() const
    {
        const auto r = testing::RunProgram(
            {"wine", "reg", "query", "HKCU\\Control Panel\\Desktop", "/v", "Wallpaper"}, WineEnv());
        const auto at = r.Out.find("REG_SZ");
        if (r.ExitCode != 0 || at == std::string::npos)
            return {};
        const auto start = r.Out.find_first_not_of(" \t", at + 6);
        const auto end = r.Out.find_first_of("\r\n", start);
        return start == std::string::npos ? std::string() : r.Out.substr(start, end - start);
    }
    bool WaitForWallpaperOtherThan(const std::string& before, std::string& now) const
    {
        return testing::PollUntil(20000, [&] {
            now = RegistryWallpaper();
            return !now.empty() && now != before;
        });
    }

    void Press(int button, int x, int y) const
    {
        ASSERT_TRUE(session_->Xdotool({"mousemove", std::to_string(x), std::to_string(y)}));
        std::this_thread::sleep_for(150ms);
        ASSERT_TRUE(session_->Xdotool({"click", std::to_string(button)}));
    }

    // The program's popup menu: a top-level window of it on the screen, taller than a line,
    // narrower than a dialog. Wine titles it with the program's name.
    std::optional<TWindowSeen> WaitForMenu() const
    {
        std::optional<TWindowSeen> menu;
        testing::PollUntil(10000, [&] {
            for (const TWindowSeen& w : session_->Windows(Class, "Scenaria"))
                if (w.X >= 0 && w.Y >= 0 && w.Height > 100 && w.Width < 400)
                    menu = w;
            return menu.has_value();
        });
        return menu;
    }

    // The icon's pixels as the screen shows them, until they look like the program's icon.
    bool LooksLikeTheIcon(const TWindowSeen& icon, std::string& seen) const
    {
        return testing::PollUntil(10000, [&] {
            testing::TIconColours colours;
            for (const TRgb& c : session_->Pixels(icon.X, icon.Y, icon.Width, icon.Height))
                colours.Add(c);
            seen = std::to_string(icon.Width) + "x" + std::to_string(icon.Height) + ": " +
                   colours.Describe();
            return colours.LooksLikeTheIcon();
        });
    }

    std::string program_;
    testing::TTempDir dir_;
    std::unique_ptr<testing::TDesktopSession> session_;
    std::unique_ptr<testing::TBackgroundProgram> running_;
};

TEST_F(WineProgram, TheTrayIconChangesTheWallpaperConfiguresAndExits)
{
    Start();
    const auto icon = session_->WaitForTrayIcon(IconClass, 60000);
    ASSERT_TRUE(icon) << "wine docked no icon of scenarix.exe in the notification area";
    std::string seen;
    EXPECT_TRUE(LooksLikeTheIcon(*icon, seen)) << seen;
    const int x = icon->X + icon->Width / 2, y = icon->Y + icon->Height / 2;

    // A left click installs the first picture (a BMP: under its own name).
    const std::string before = RegistryWallpaper();
    Press(1, x, y);
    std::string first;
    ASSERT_TRUE(WaitForWallpaperOtherThan(before, first)) << "a click changed no wallpaper";
    EXPECT_TRUE(first == WindowsSpelling(dir_ / "pics/blue.bmp") ||
                first == WindowsSpelling(dir_ / "pics/red.bmp"))
        << first;

    // The menu's "Configure Scenaria" (c) opens the dialog; "Use subfolders", then OK.
    Press(3, x, y);
    ASSERT_TRUE(WaitForMenu()) << "no menu after a right click";
    // Mapped is not yet focused: wine hands the menu the keyboard a moment later.
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(session_->Xdotool({"key", "c"}));
    const auto dialog = session_->WaitForWindow(Class, ConfigCaption, 20000);
    ASSERT_TRUE(dialog) << "the configuration dialog did not open";
    std::this_thread::sleep_for(700ms);
    Press(1, dialog->X + 5 + 10 + 40, dialog->Y + 43 + 262 + 10);
    Press(1, dialog->X + 5 + 72, dialog->Y + 337 + 16);
    ASSERT_TRUE(session_->WaitForWindowGone(Class, ConfigCaption)) << "OK did not close it";
    const std::string settings = Settings();
    EXPECT_NE(settings.find("Subfolders=1"), std::string::npos) << settings;
    EXPECT_NE(settings.find("LastIndex=0"), std::string::npos) << settings;

    // "Exit Scenaria", the menu's last item, ends the process with code 0.
    std::this_thread::sleep_for(500ms);
    Press(3, x, y);
    const auto menu = WaitForMenu();
    ASSERT_TRUE(menu);
    Press(1, menu->X + menu->Width / 2, menu->Y + menu->Height - 10);
    EXPECT_EQ(running_->WaitFor(20s), std::optional<int>(0));
}

TEST_F(WineProgram, ASecondStartAsksTheFirstCopyToConfigureAndEnds)
{
    Start();
    ASSERT_TRUE(session_->WaitForTrayIcon(IconClass, 60000)) << "the first copy has no icon";
    const testing::TRunResult second = testing::RunProgram({"wine", Exe()}, WineEnv());
    EXPECT_EQ(second.ExitCode, 0) << second.Err;
    const auto dialog = session_->WaitForWindow(Class, ConfigCaption, 20000);
    EXPECT_TRUE(dialog) << "the first copy opened no configuration dialog";
    EXPECT_FALSE(running_->WaitFor(1s)) << "the first copy ended";
}

// scenarix-tool.exe, beside the program, gives the running copy its tray commands.
TEST_F(WineProgram, TheToolGivesTheRunningCopyItsCommands)
{
    const auto tool = std::filesystem::path(program_).parent_path() / "scenarix-tool.exe";
    ASSERT_TRUE(std::filesystem::exists(tool)) << tool;
    EXPECT_EQ(testing::RunProgram({"wine", tool.string(), "status"}, WineEnv()).ExitCode, 1)
        << "no copy runs yet";
    Start();
    ASSERT_TRUE(session_->WaitForTrayIcon(IconClass, 60000)) << "the program has no icon";
    const testing::TRunResult next =
        testing::RunProgram({"wine", tool.string(), "next"}, WineEnv());
    EXPECT_EQ(next.ExitCode, 0) << next.Err;
    const std::string shown = WindowsSpelling(dir_ / "pics/blue.bmp");
    EXPECT_NE(next.Out.find("Picture: " + shown), std::string::npos) << next.Out;
    EXPECT_EQ(RegistryWallpaper(), shown);
    const testing::TRunResult status =
        testing::RunProgram({"wine", tool.string(), "status"}, WineEnv());
    EXPECT_EQ(status.ExitCode, 0) << status.Err;
    EXPECT_NE(status.Out.find("Picture: " + shown), std::string::npos) << status.Out;

    // "explore" opens the Bitmap Explorer, drawn (not a blank window); while it is open the
    // copy does nothing else, and Escape closes it.
    EXPECT_EQ(testing::RunProgram({"wine", tool.string(), "explore"}, WineEnv()).ExitCode, 0);
    const auto explorer = session_->WaitForWindow(Class, "Orlamby Bitmap Explorer", 20000);
    ASSERT_TRUE(explorer) << "no Bitmap Explorer";
    std::set<std::uint32_t> colours;
    testing::PollUntil(10000, [&] {
        colours.clear();
        for (const TRgb& c :
             session_->Pixels(explorer->X, explorer->Y, explorer->Width, explorer->Height))
            colours.insert(static_cast<std::uint32_t>(c.R << 16 | c.G << 8 | c.B));
        return colours.size() >= 8;
    });
    EXPECT_GE(colours.size(), 8u) << "the Explorer shows next to nothing";
    EXPECT_EQ(testing::RunProgram({"wine", tool.string(), "quit"}, WineEnv()).ExitCode, 2);
    ASSERT_TRUE(session_->Xdotool({"key", "--window", std::to_string(explorer->Id), "Escape"}));
    EXPECT_TRUE(session_->WaitForWindowGone(Class, "Orlamby Bitmap Explorer"));
    EXPECT_EQ(testing::RunProgram({"wine", tool.string(), "quit"}, WineEnv()).ExitCode, 0);
    EXPECT_EQ(running_->WaitFor(20s), std::optional<int>(0));
}

// In a wine desktop of its own the icon sits in wine's taskbar and the wallpaper is seen.
TEST_F(WineProgram, OnWinesDesktopAClickShowsThePicture)
{
    Start({"explorer", "/desktop=scx,640x480"});
    const auto desktop = session_->WaitForWindow("explorer.exe", "scx - Wine desktop", 60000);
    ASSERT_TRUE(desktop) << "wine's desktop did not open";
    // The icon's frame, searched for in the taskbar along the bottom.
    int left = 640, right = -1, top = 480, bottom = -1;
    testing::PollUntil(60000, [&] {
        const auto pixels = session_->Pixels(desktop->X, desktop->Y + 440, 640, 40);
        for (int i = 0; i < static_cast<int>(pixels.size()); ++i) {
            testing::TIconColours one;
            one.Add(pixels[i]);
            if (one.Frame) {
                left = std::min(left, i % 640), right = std::max(right, i % 640);
                top = std::min(top, 440 + i / 640), bottom = std::max(bottom, 440 + i / 640);
            }
        }
        return right >= 0;
    });
    ASSERT_GE(right, 0) << "no icon in wine's taskbar";
    const TRgb before = session_->Pixel(desktop->X + 320, desktop->Y + 200);
    Press(1, desktop->X + (left + right) / 2, desktop->Y + (top + bottom) / 2);
    TRgb shown = before;
    EXPECT_TRUE(testing::PollUntil(20000,
                                   [&] {
                                       shown = session_->Pixel(desktop->X + 320, desktop->Y + 200);
                                       return shown == Red || shown == Blue;
                                   }))
        << "the desktop shows " << shown;
    // Tiled from the top left, one colour everywhere above the taskbar.
    EXPECT_TRUE(session_->Pixel(desktop->X + 1, desktop->Y + 1) == shown);
    EXPECT_TRUE(session_->Pixel(desktop->X + 639, desktop->Y + 400) == shown);
    EXPECT_NE(RegistryWallpaper().find(shown == Red ? "red.bmp" : "blue.bmp"), std::string::npos);
}

} // namespace
} // namespace scenaria
