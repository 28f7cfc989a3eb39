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
// XFCE, through xfconf-query.
std::unique_ptr<IDesktopBackend> CreateXfceBackend();
// LXQt (pcmanfm-qt) and LXDE (pcmanfm); the root window of the display (the DISPLAY value)
// when their program is not drawing the desktop.
std::unique_ptr<IDesktopBackend> CreatePcmanfmBackend(TDesktopKind kind,
                                                      const std::string& displayName);
// sway, through swaymsg.
std::unique_ptr<IDesktopBackend> CreateSwayBackend();
// Bare X11: the root window of the display (the DISPLAY value) painted by the program.
std::unique_ptr<IDesktopBackend> CreateX11Backend(const std::string& displayName);

} // namespace scenaria
