#pragma once
// Turning one picture file into the desktop wallpaper: load it, decide tile or centre, write
// the temporary bitmap "~scxtmp.bmp" when the picture must be stretched, scaled or converted,
// and hand the result to the desktop.

#include <string>
#include <vector>

namespace scenaria {

class IPlatform;
class TPixelGraphic;
struct TMonitor;

// What the last call of SetWallpaper installed in this run (read by the tray).
extern bool WallpaperShown;
extern std::string LastShown;
// True when the desktop takes a picture file with a style (set once at start-up).
extern bool ComReady;

// Why the last call of SetWallpaper returned false: the picture itself (a GIF the desktop
// cannot show, or a file that could not be read), or the temporary bitmap that could not be
// written.
enum TWallpaperFailure : int { wfNone, wfPicture, wfTemporaryBitmap };
extern TWallpaperFailure LastWallpaperFailure;

inline constexpr const char* TemporaryBitmapName = "~scxtmp.bmp";

// Installs the picture file as the wallpaper following the settings. False when the picture
// is refused (a GIF the desktop cannot show), fails to load, or its conversion to the
// temporary bitmap cannot be saved (one line on stderr); errors while composing a stretched
// or scaled bitmap reach the caller. A desktop that refuses the file is written to stderr;
// the picture still counts as shown.
bool SetWallpaper(IPlatform& platform, const std::string& fileName);

// Several monitors (or Fill, or a letterbox colour, which only the program can do): each
// monitor gets a bitmap composed for it ("~scxtmp-<n>.bmp"), and the layout bitmap that holds
// them all ("~scxtmp.bmp") goes with them to the desktop. With "Monitors" 0 every monitor shows
// the first file, with 1 monitor n shows file n (the last file again where there are fewer),
// with 2 the first file spans the layout. False when a picture fails to load or a bitmap
// cannot be saved; a desktop that refuses is reported on stderr as for one picture.
bool SetMonitorWallpapers(IPlatform& platform, const std::vector<TMonitor>& monitors,
                          const std::vector<std::string>& fileNames);

// The bitmap the primary monitor (the first) would show of this picture, composed as
// SetMonitorWallpapers composes it (for "Monitors" 2, its part of the spanned picture).
void ComposePrimaryMonitor(const std::vector<TMonitor>& monitors, const TPixelGraphic& picture,
                           TPixelGraphic& target);

// True when a change composes for each monitor (SetMonitorWallpapers) rather than for the
// one screen.
bool ComposesPerMonitor(const std::vector<TMonitor>& monitors);

// True when the screen shows 8 bits per pixel or fewer (an unknown depth counts as more).
bool IsLowColorDisplay(const IPlatform& platform);

// On a low-colour screen, replaces the image by an 8-bit version with 216 colours chosen for
// it and the 16 system colours; otherwise, and on any failure, leaves it alone.
void ReduceColors(const IPlatform& platform, TPixelGraphic& image);

// Draws the image stretched to width x height into a new 24-bit bitmap (reduced on low-colour
// screens) saved as the temporary bitmap, whose name fileName then takes; a smooth 24-bit image
// of that size already is saved as it is. Errors reach the caller.
void ComposeScaled(const IPlatform& platform, std::string& fileName, TPixelGraphic& image,
                   int width, int height);

// When the file is not a ".BMP", or the screen is low-colour, saves the image as the
// temporary bitmap and points fileName at it. False, with one line on stderr and fileName
// unchanged, when that save fails: whatever the temporary bitmap held before must not be
// installed in the picture's place.
bool EnsureBitmapFile(const IPlatform& platform, std::string& fileName, TPixelGraphic& image);

// The scale of the proportional fit: each ratio held in a 40-bit significand (round to
// nearest, halves up), the smaller one (the height's when equal).
long double ProportionalScale(int screenWidth, int screenHeight, int pictureWidth,
                              int pictureHeight);
// x rounded to a 40-bit significand, halves away from zero.
long double RoundToReal48(long double x);

// "Save Folder" joined with the temporary bitmap's name.
std::string TemporaryBitmapPath();

} // namespace scenaria
