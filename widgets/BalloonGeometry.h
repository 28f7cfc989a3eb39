#pragma once
// The shape and placement of a balloon hint as plain arithmetic: how wide the text may run, how
// large the window is, where body, tail and shadow lie inside it, where the window goes beside
// the pointer, and which of its pixels are body, border, shadow or nothing. The Qt window only
// paints what these functions decide.

#include <cstdint>
#include <vector>

namespace scenaria {

// Preferred side of the pointer. Bit 1 is "below", bit 0 is "right".
enum TBalloonPosition : int {
    bpAboveLeft = 0,
    bpAboveRight = 1,
    bpBelowLeft = 2,
    bpBelowRight = 3
};

enum TBalloonShape : int { bsRoundRect, bsRectangle };

struct TBalloonPoint {
    int X = 0, Y = 0;
    bool operator==(const TBalloonPoint&) const = default;
};

struct TBalloonSize {
    int Width = 0, Height = 0;
    bool operator==(const TBalloonSize&) const = default;
};

// Left and top inclusive, right and bottom exclusive.
struct TBalloonRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TBalloonRect&) const = default;
};

// The corner ellipse of a rounded body, in pixels.
inline constexpr int BalloonCornerEllipse = 18;
inline constexpr int BalloonMinWidth = 59;
inline constexpr int BalloonMaxShadowDepth = 16;

// MaxWidth in pixels: a positive value is pixels, -n is the screen width divided by n, and
// nothing wider than the screen.
int EffectiveMaxWidth(int maxWidth, int screenWidth);

// How wide the text may run for a pointer at pointerX: the maximum width or the room on the
// wider side of the pointer, whichever is smaller, less the shadow and the balloon's margins.
int TextWidthLimit(int effectiveMaxWidth, int screenWidth, int pointerX, int shadowDepth);

// The window's size for text that measured textSize.
TBalloonSize BalloonWindowSize(TBalloonSize textSize, int shadowDepth);

// Where the parts lie in a window of the given size.
struct TBalloonLayout {
    int Width = 0, Height = 0, ShadowDepth = 0;
    TBalloonPosition Orientation = bpAboveRight;
    TBalloonRect Body;
    TBalloonRect Text;
    TBalloonPoint Tip, Base1, Base2; // the tail triangle
};
TBalloonLayout BalloonLayout(TBalloonSize window, int shadowDepth, TBalloonPosition orientation);

// The window's top-left corner that puts the tail's tip at the pointer.
TBalloonPoint PlaceBalloon(TBalloonPosition orientation, TBalloonPoint pointer,
                           TBalloonSize window);

// The orientation that keeps a window placed at topLeft on a screen of the given size: it
// flips to the other side of the pointer where the window would leave the screen.
TBalloonPosition KeepBalloonOnScreen(TBalloonPosition orientation, TBalloonPoint topLeft,
                                     TBalloonSize window, TBalloonSize screen);

struct TBalloonPlacement {
    TBalloonPosition Orientation = bpAboveRight;
    TBalloonPoint TopLeft;
};
// The preferred orientation, flipped as needed, and the window's place; pointer and result are
// relative to the screen's top-left corner.
TBalloonPlacement PlaceBalloonOnScreen(TBalloonPosition preferred, TBalloonPoint pointer,
                                       TBalloonSize window, TBalloonSize screen);

// What one pixel of the window shows.
enum TBalloonPixel : std::uint8_t { bxOutside, bxShadow, bxBody, bxBorder };

// Every pixel of the window, row by row: the balloon outline (body and tail) framed with a
// one-pixel border, and the shadow outline (the balloon outline moved right and down by the
// shadow depth) where the balloon does not cover it.
std::vector<TBalloonPixel> BalloonPixels(const TBalloonLayout& layout, TBalloonShape shape);

// Whether a pixel of the shaded shadow is darkened: those of the checkerboard's black squares.
inline bool ShadedPixelDarkened(int x, int y)
{
    return (x + y) % 2 == 0;
}

} // namespace scenaria
