#pragma once
// The one face the operating system shows to the rest of the program. core/ sees only this
// header (no Qt, no backend); app/ and tools/ create the real implementation with
// CreatePlatform(), and tests hand core a recording fake instead.

#include <memory>
#include <string>
#include <vector>

namespace scenaria {

// Primary screen, as the wallpaper is composed for it. BitsPerPixel is bits per pixel times
// colour planes; 0 means the screen could not be asked. Tests (and anyone composing for another
// screen) may set the environment variable SCENARIA_SCREEN to "WIDTHxHEIGHTxBITS", for example
// "1024x768x8", which then replaces what the system reports.
struct TScreenFacts {
    int Width = 0;
    int Height = 0;
    int BitsPerPixel = 0;
};

// One monitor of the desktop, placed in the coordinates of the whole layout (the X screen, or
// Windows' virtual screen, whose origin is the primary monitor's corner), at the size it shows
// with its rotation applied.
struct TMonitor {
    std::string Name; // the system's name of the output ("HDMI-1", "HEADLESS-2"); may be empty
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    bool Primary = false;
    int Rotation = 0; // degrees clockwise: 0, 90, 180 or 270
    bool operator==(const TMonitor&) const = default;
};

// A monitor's share of a change: the bitmap composed for it, of the monitor's size.
struct TMonitorPicture {
    TMonitor Monitor;
    std::string File;
};

// Outcome of every call of IPlatform that can fail. A failed call carries one line of text
// saying why, which the caller shows or writes to stderr.
struct TPlatformStatus {
    bool Ok = true;
    std::string Error;
    // A failure before the desktop was reached at all (on Windows, the registry refusing the
    // classic installer's values): the picture must not count as shown, and the change that
    // asked is abandoned.
    bool Abandons = false;

    static TPlatformStatus Success() { return {}; }
    static TPlatformStatus Failure(std::string error) { return {false, std::move(error), false}; }
    static TPlatformStatus Abandoning(std::string error) { return {false, std::move(error), true}; }
};

// Wallpaper styles of the "active" installer (a desktop that is told a file and a style).
enum TWallpaperStyle : int { wsCentre = 0, wsTile = 1, wsStretch = 2 };

class IPlatform {
public:
    virtual ~IPlatform() = default;

    // --- Files and folders ------------------------------------------------------------
    // Full path of the running program file.
    virtual std::string ProgramPath() const = 0;
    // The settings file: "<program without extension>.INI" beside the program, or the
    // per-user fallback when that place cannot be written.
    virtual std::string SettingsFilePath() const = 0;
    // Default of "Directory": the user's picture folder, else the home folder.
    virtual std::string DefaultPictureFolder() const = 0;
    // Default of "Save Folder": the "temp" environment variable, else a per-user cache
    // folder (created on first use by whoever writes into it).
    virtual std::string DefaultSaveFolder() const = 0;
    // True only on the old Windows 9x family (4.10 and later); false everywhere else.
    virtual bool Win98Style() const = 0;

    // --- Desktop ----------------------------------------------------------------------
    // Prepares the desktop connection at start-up; true when a desktop that takes a picture
    // file with a style is in effect (what the "active" installer needs).
    virtual bool InitializeDesktop() = 0;
    virtual void FinalizeDesktop() = 0;
    virtual TScreenFacts ScreenFacts() const = 0;
    // Every monitor, the primary one first. Where the system tells no more, the one screen of
    // ScreenFacts at 0,0 (nothing when its size is unknown).
    virtual std::vector<TMonitor> Monitors() const
    {
        const TScreenFacts screen = ScreenFacts();
        if (screen.Width <= 0 || screen.Height <= 0)
            return {};
        return {TMonitor{"", 0, 0, screen.Width, screen.Height, true, 0}};
    }
    // The bitmap shown tiled from the top-left corner, or centred. On Windows a registry
    // failure comes back Abandons set, with the registry layer's text.
    virtual TPlatformStatus InstallClassic(const std::string& file, bool tiled) = 0;
    // The file shown with the given TWallpaperStyle. Fails, reaching nothing, when
    // InitializeDesktop found no desktop that takes a file.
    virtual TPlatformStatus InstallActiveDesktop(const std::string& file, int style) = 0;
    // Several monitors, or a fit no desktop does itself: each monitor's own bitmap, and the
    // layout bitmap for desktops that take one picture across the monitors: the size of the
    // rectangle holding every monitor, black where none is, and laid out so that tiled from the
    // point 0,0 of the monitors' coordinates it shows each monitor its part (on a layout that
    // starts at 0,0, simply each part at its place). The default tiles it.
    virtual TPlatformStatus InstallMonitors(const std::vector<TMonitorPicture>& pictures,
                                            const std::string& layoutFile)
    {
        (void)pictures;
        return InstallClassic(layoutFile, true);
    }
    // Whether a compositing manager draws the screen, so that a window may be translucent.
    virtual bool CompositingActive() const { return false; }

    // --- Shell ------------------------------------------------------------------------
    // Moves the file to the user's trash; a failure leaves the file untouched.
    virtual TPlatformStatus DeleteToRecycleBin(const std::string& file) = 0;
    // Creates or replaces the shortcut that starts the program at log-in.
    virtual TPlatformStatus CreateStartupShortcut() = 0;
    // Opens the help file at the topic of a help context number (0: contents).
    virtual TPlatformStatus ShowHelp(int helpContext) = 0;
};

// The implementation for the system the program runs on. Defined in the platform library,
// which app/ and tools/ link; core/ never calls it.
std::unique_ptr<IPlatform> CreatePlatform();

} // namespace scenaria
