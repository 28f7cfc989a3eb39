#pragma once
// Bare X11: the program itself paints the root window, the way established root-setters do,
// so that other programs (terminals with pseudo-transparency, the next root-setter) find the
// picture through the _XROOTPMAP_ID and ESETROOT_PMAP_ID properties.

#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace scenaria {

// Decoded 24-bit pixels: rows from the top, three bytes a pixel in red, green, blue order.
struct TRgbPicture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;
};

// The screen's picture: the bitmap tiled from the top-left corner, or centred on black (a
// picture larger than the screen shows its middle).
TRgbPicture ComposeRootPicture(const TRgbPicture& picture, bool tiled, int screenWidth,
                               int screenHeight);

// Paints the root window of the display (a DISPLAY value) with the composed picture, on a
// connection of its own that is kept with RetainPermanent so that the pixmap outlives it. The
// previous setter's pixmap is freed by killing its retained client, when both properties name
// the same pixmap.
TPlatformStatus SetRootPicture(const std::string& displayName, const TRgbPicture& picture,
                               bool tiled);

// The root window's width, height and depth; all 0 when the display cannot be opened.
TScreenFacts X11ScreenFacts(const std::string& displayName);

// Puts the primary monitor first (else keeps the first) and leaves only it marked primary.
void PrimaryFirst(std::vector<TMonitor>& monitors);

// The monitors of the display's screen, the primary one first: RandR's monitors, or Xinerama's
// heads where it knows more of them (a nested server's heads, which its RandR reports as one).
// Empty when the display cannot be opened or neither extension answers.
std::vector<TMonitor> X11Monitors(const std::string& displayName);

// Whether a compositing manager owns the display's selection _NET_WM_CM_S<screen>; false when
// the display cannot be opened.
bool X11CompositingActive(const std::string& displayName);
// Whether a window of type _NET_WM_WINDOW_TYPE_DESKTOP whose WM_CLASS names `program` (either
// part, in any case) is on the display: that program draws the desktop. Empty when the display
// cannot be opened, so that nothing is concluded. Like every call here it has no time bound of
// its own: Xlib has none, and the tray program is a client of the same server, so a server that
// does not answer stops it whatever this call does.
std::optional<bool> HasDesktopWindowOf(const std::string& displayName, const std::string& program);

// The part of a picture that can show on the screen: the top-left corner when tiled, the
// middle when centred. Composing the part gives the same screen as composing the whole.
struct TPictureRegion {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};
TPictureRegion VisibleRegion(int width, int height, bool tiled, int screenWidth, int screenHeight);

// Reads a bitmap file with the image library into 24-bit pixels, only the part that can show on
// a screen of the given size (a huge picture costs no more than the screen); false with a
// reason when it cannot.
bool LoadRgbPicture(const std::string& file, bool tiled, int screenWidth, int screenHeight,
                    TRgbPicture& picture, std::string& error);

// Reads a picture file stretched to the screen's size (nearest pixel); false with a reason when
// it cannot.
bool LoadStretchedRgbPicture(const std::string& file, int screenWidth, int screenHeight,
                             TRgbPicture& picture, std::string& error);

} // namespace scenaria
