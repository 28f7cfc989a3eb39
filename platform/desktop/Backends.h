#pragma once
// The desktop backends, one file each; only Desktop.cpp creates them.

#include "platform/Desktop.h"

namespace scenaria {

// The words pcmanfm's --wallpaper-mode and sway's bg command both use for the three styles.
const char* TileCentreStretchWord(TWallpaperStyle style);

// GNOME, Budgie and Unity (org.gnome.desktop.background), Cinnamon, MATE.
std::unique_ptr<IDesktopBackend> CreateGSettingsBackend(TDesktopKind kind);
// KDE Plasma 5 and 6, over D-Bus.
std::unique_ptr<IDesktopBackend> CreateKdeBackend();
// XFCE, through xfconf-query; the root window of the display when xfdesktop is not running.
std::unique_ptr<IDesktopBackend> CreateXfceBackend(const std::string& displayName);
// LXQt (pcmanfm-qt) and LXDE (pcmanfm); the root window of the display (the DISPLAY value)
// when their program is not drawing the desktop.
std::unique_ptr<IDesktopBackend> CreatePcmanfmBackend(TDesktopKind kind,
                                                      const std::string& displayName);
// sway, through swaymsg.
std::unique_ptr<IDesktopBackend> CreateSwayBackend();
// Bare X11: the root window of the display (the DISPLAY value) painted by the program.
std::unique_ptr<IDesktopBackend> CreateX11Backend(const std::string& displayName);

// For a desktop whose wallpaper is drawn by one program (pcmanfm, xfdesktop): when that program
// shows no desktop window, telling the desktop anything shows nothing, so the root window is
// painted instead, as on bare X11, and stderr hears of it once each time this begins.
class TRootFallback {
public:
    TRootFallback(TDesktopKind kind, std::string program, std::string displayName)
        : kind_(kind), program_(std::move(program)), displayName_(std::move(displayName))
    {
    }
    // True when the display shows no desktop window of the program. False without a display
    // (Wayland): there is then neither a window to look for nor a root window to paint.
    bool Needed();
    TPlatformStatus Apply(const std::string& file, TWallpaperStyle style);

private:
    TDesktopKind kind_;
    std::string program_;
    std::string displayName_;
    std::unique_ptr<IDesktopBackend> root_;
    bool said_ = false;
};

} // namespace scenaria
