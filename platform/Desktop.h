#pragma once
// Which desktop is running, and the backend that sets its wallpaper. Each backend is told a
// file and a style; the platform in front of them handles what is common to all of them.

#include "platform/Folders.h"
#include "platform/Platform.h"

#include <memory>
#include <string>
#include <vector>

namespace scenaria {

enum TDesktopKind : int {
    dkNone, // nothing to talk to: no known desktop and no display
    dkX11,  // a display without a known desktop: the program paints the root window itself
    dkGnome,
    dkBudgie,
    dkUnity,
    dkCinnamon,
    dkMate,
    dkKde,
    dkXfce,
    dkLxqt,
    dkLxde,
    dkSway,
};

// XDG_CURRENT_DESKTOP (the first name of its ":"-separated list that is known here; Budgie
// wins over GNOME, which it also names), then DESKTOP_SESSION, then SWAYSOCK (sway) and
// DISPLAY (bare X11).
TDesktopKind DetectDesktop(const TEnvLookup& env = ProcessEnv);

// A short name for messages: "GNOME", "KDE Plasma", "X11", ...
const char* DesktopName(TDesktopKind kind);

class IDesktopBackend {
public:
    virtual ~IDesktopBackend() = default;
    virtual TDesktopKind Kind() const = 0;
    // True for a desktop environment that keeps its own wallpaper setting and is told a file
    // name; false for bare X11, where the program composes the root window itself.
    virtual bool TakesFileName() const { return true; }
    // False when this desktop could misread the name (it is then given an alias).
    virtual bool AcceptsFileName(const std::string& /*path*/) const { return true; }
    // Shows the file (an absolute path) with the style.
    virtual TPlatformStatus Apply(const std::string& file, TWallpaperStyle style) = 0;
    // Shows each monitor its bitmap (absolute paths, each of its monitor's size); a desktop
    // that takes one picture across its monitors is given the layout bitmap, tiled.
    virtual TPlatformStatus ApplyMonitors(const std::vector<TMonitorPicture>& pictures,
                                          const std::string& layoutFile)
    {
        (void)pictures;
        return Apply(layoutFile, wsTile);
    }
};

std::unique_ptr<IDesktopBackend> CreateDesktopBackend(TDesktopKind kind,
                                                      const TEnvLookup& env = ProcessEnv);

} // namespace scenaria
