#pragma once
// A desktop of the test's own: an X server (Xvfb) of the size asked for, and as options a window
// manager, a notification area, a compositing manager and a private session bus; the program
// under test from a copy in a folder of its own with its own settings file; the screen read back
// and the user's mouse and keys through xdotool. Every desktop test and screenshot script starts
// its display here (the scripts through the desktop-session program).

#include "BackgroundProgram.h"
#include "TempDir.h"
#include "platform/PlatformTestSupport.h"

#include <X11/Xlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace scenaria::testing {

// Asks done() every 20 ms until it says yes (true) or timeoutMs have passed (false).
template <class TDone> bool PollUntil(int timeoutMs, TDone done)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

struct TRgb {
    int R = 0, G = 0, B = 0;
    bool operator==(const TRgb&) const = default;
    bool Near(const TRgb& other, int tolerance = 8) const
    {
        return std::abs(R - other.R) <= tolerance && std::abs(G - other.G) <= tolerance &&
               std::abs(B - other.B) <= tolerance;
    }
};

inline std::ostream& operator<<(std::ostream& out, const TRgb& c)
{
    return out << "(" << c.R << "," << c.G << "," << c.B << ")";
}

struct TDesktopOptions {
    int Width = 800, Height = 600, Depth = 24;
    bool WindowManager = false; // openbox
    bool Tray = false;          // trayer, 100 x 32 at the top right
    bool Compositor = false;    // xcompmgr
    bool Bus = false;           // dbus-daemon, its address in DBUS_SESSION_BUS_ADDRESS
    // Several monitors: the display is then a nested Xephyr inside the Xvfb, whose Xinerama
    // heads of these sizes stand side by side from the left (its RandR sees one monitor).
    std::vector<std::pair<int, int>> Heads;
};

// A mapped window somewhere in the tree, with its place on the screen. TopLevel: a child of
// the root (or of the window manager's frame), not embedded in another program's window.
struct TWindowSeen {
    Window Id = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    bool TopLevel = false;
};

class TDesktopSession {
public:
    // Starts what the options ask for and points DISPLAY (and the bus address) of this
    // process at it through `env`, so that every program started afterwards finds it. Ready()
    // tells whether all of it came up; Error() says what did not.
    TDesktopSession(TScopedEnv& env, const TDesktopOptions& options);
    ~TDesktopSession();
    TDesktopSession(const TDesktopSession&) = delete;
    TDesktopSession& operator=(const TDesktopSession&) = delete;

    bool Ready() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    const std::string& DisplayName() const { return display_; }
    Display* X() const { return x_; }
    const std::string& BusAddress() const { return busAddress_; }
    const TDesktopOptions& Options() const { return options_; }

    // A notification area or a compositing manager started later than the display (or the
    // compositor stopped again): a program must cope with either coming after it.
    bool StartTray();
    bool StartCompositor();
    void StopCompositor();

    // What the screen shows.
    TRgb Pixel(int x, int y) const;
    std::vector<TRgb> Pixels(int x, int y, int width, int height) const;
    // Waits (up to timeoutMs) until the pixel has that colour; returns whether it did.
    bool WaitForPixel(int x, int y, const TRgb& colour, int timeoutMs = 3000) const;

    // Mapped windows whose class hint's name is `resName`, anywhere in the tree, bottom to top.
    std::vector<TWindowSeen> Windows(const std::string& resName) const;
    // Those of them that are top level with exactly this title, bottom to top.
    std::vector<TWindowSeen> Windows(const std::string& resName, const std::string& title) const;
    // The window's title as its program set it (UTF-8).
    std::string Title(Window window) const;
    // A top-level window of that program with exactly this title, once it is on the screen.
    std::optional<TWindowSeen> WaitForWindow(const std::string& resName, const std::string& title,
                                             int timeoutMs = 10000) const;
    bool WaitForWindowGone(const std::string& resName, const std::string& title,
                           int timeoutMs = 10000) const;
    // The program's icon embedded in the notification area.
    std::optional<TWindowSeen> WaitForTrayIcon(const std::string& resName,
                                               int timeoutMs = 15000) const;

    // xdotool with these arguments; false (and the reason in `error`) when it failed.
    bool Xdotool(const std::vector<std::string>& args, std::string* error = nullptr) const;
    // A click of the button at a place, the pointer first brought there as a hand would.
    bool Click(int x, int y, int button = 1) const;

private:
    std::unique_ptr<TChild> Launch(const std::string& package, const std::vector<std::string>& argv,
                                   bool keepStdout);
    bool StartServer();
    bool StartHeads();
    // The display number a server started with -displayfd 1 tells, as display_.
    bool TakeDisplay(TChild& server, const std::string& name);
    bool StartBus(TScopedEnv& env);
    bool StartWindowManager();
    bool WaitForSelection(const std::string& name, int timeoutMs) const;
    void Collect(Window window, bool topLevel, const std::string& resName,
                 std::vector<TWindowSeen>& found) const;

    TDesktopOptions options_;
    std::string error_;
    std::string display_;
    std::string busAddress_;
    Display* x_ = nullptr;
    TTempDir runtime_;
    std::unique_ptr<TChild> server_, nested_, bus_, windowManager_, tray_, compositor_;
};

// A program of the build copied into a folder of its own with its settings file beside it, as
// a user who unpacked it would have it; started with a runtime folder of its own.
class TProgramCopy {
public:
    explicit TProgramCopy(const std::string& program = "scenarix");

    const std::filesystem::path& Dir() const { return dir_.Path(); }
    std::string Program() const { return dir_ / name_; }
    std::string SettingsFile() const { return dir_ / (name_ + ".INI"); }
    void WriteSettings(const std::string& text) const { dir_.Write(name_ + ".INI", text); }
    std::string ReadSettings() const { return ReadFile(SettingsFile()); }

    // Starts the copy; QT_QPA_PLATFORM=xcb unless the extra environment says otherwise.
    std::unique_ptr<TBackgroundProgram> Start(const std::vector<std::string>& args = {},
                                              const std::vector<std::string>& extraEnv = {}) const;

private:
    std::string name_;
    TTempDir dir_;
};

} // namespace scenaria::testing
