#include "widgets/BalloonGeometry.h"

#include <algorithm>
#include <cstdint>

namespace scenaria {

namespace {

// Margins of the balloon around its text: 9 pixels inside the body on every side, the tail's
// 15 pixels beside and 19 pixels above or below the body.
constexpr int TextInset = 9;
constexpr int TailWidth = 15;
constexpr int TailHeight = 19;
constexpr int ExtraWidth = 2 * TextInset + TailWidth;       // 33
constexpr int ExtraHeight = 2 * TextInset + TailHeight + 1; // 38: the text rectangle's last row

bool InRoundRect(const TBalloonRect& r, TBalloonShape shape, int x, int y)
{
    if (x < r.Left || x >= r.Right || y < r.Top || y >= r.Bottom)
        return false;
    if (shape != bsRoundRect)
        return true;
    // A corner pixel is inside when its centre lies within the quarter of the corner ellipse.
    const double rx = std::min(BalloonCornerEllipse, r.Width()) / 2.0;
    const double ry = std::min(BalloonCornerEllipse, r.Height()) / 2.0;
    const double px = x + 0.5, py = y + 0.5;
    double cx = px, cy = py;
    if (px < r.Left + rx)
        cx = r.Left + rx;
    else if (px > r.Right - rx)
        cx = r.Right - rx;
    if (py < r.Top + ry)
        cy = r.Top + ry;
    else if (py > r.Bottom - ry)
        cy = r.Bottom - ry;
    const double dx = (px - cx) / rx, dy = (py - cy) / ry;
    return dx * dx + dy * dy <= 1.0;
}

double Cross(const TBalloonPoint& a, const TBalloonPoint& b, double px, double py)
{
    return (b.X - a.X) * (py - a.Y) - (b.Y - a.Y) * (px - a.X);
}

bool InTail(const TBalloonLayout& l, int x, int y)
{
    const double px = x + 0.5, py = y + 0.5;
    const double d1 = Cross(l.Tip, l.Base1, px, py);
    const double d2 = Cross(l.Base1, l.Base2, px, py);
    const double d3 = Cross(l.Base2, l.Tip, px, py);
    const bool negative = d1 < 0 || d2 < 0 || d3 < 0;
    const bool positive = d1 > 0 || d2 > 0 || d3 > 0;
    return !(negative && positive);
}

bool InBalloon(const TBalloonLayout& l, TBalloonShape shape, int x, int y)
{
    return InRoundRect(l.Body, shape, x, y) || InTail(l, x, y);
}

} // namespace

int EffectiveMaxWidth(int maxWidth, int screenWidth)
{
    // 64-bit: -INT_MIN does not fit an int.
    std::int64_t pixels = maxWidth;
    if (maxWidth < 0)
        pixels = screenWidth / -std::int64_t{maxWidth};
    if (pixels >= screenWidth)
        pixels = screenWidth;
    return static_cast<int>(pixels);
}

int TextWidthLimit(int effectiveMaxWidth, int screenWidth, int pointerX, int shadowDepth)
{
    const int room = std::max(screenWidth - pointerX, pointerX);
    // A maximum width of 0 or a screen narrower than the margins would ask for text in no
    // width at all; one pixel still wraps it word by word.
    return std::max(1, std::min(effectiveMaxWidth, room) - shadowDepth - ExtraWidth);
}

TBalloonSize BalloonWindowSize(TBalloonSize textSize, int shadowDepth)
{
    return {std::max(textSize.Width + shadowDepth + ExtraWidth, BalloonMinWidth),
            textSize.Height + shadowDepth + ExtraHeight};
}

TBalloonLayout BalloonLayout(TBalloonSize window, int shadowDepth, TBalloonPosition orientation)
{
    const int w = window.Width, h = window.Height, s = shadowDepth;
    const bool right = orientation & 1, below = orientation & 2;
    TBalloonLayout l;
    l.Width = w;
    l.Height = h;
    l.ShadowDepth = s;
    l.Orientation = orientation;
    l.Body = {0, 0, w - s - TailWidth, h - s - TailHeight};
    if (right) {
        l.Body.Left += TailWidth;
        l.Body.Right += TailWidth;
    }
    if (below) {
        l.Body.Top += TailHeight;
        l.Body.Bottom += TailHeight;
    }
    l.Text = {l.Body.Left + TextInset, l.Body.Top + TextInset, l.Body.Right - TextInset,
              l.Body.Bottom - TextInset};
    l.Tip = {right ? 0 : w - s, below ? 0 : h - s};
    const int baseY = below ? TailHeight : l.Tip.Y - 20;
    if (right) {
        l.Base1 = {21, baseY};
        l.Base2 = {41, baseY};
    } else {
        l.Base1 = {l.Tip.X - 21, baseY};
        l.Base2 = {l.Tip.X - 41, baseY};
    }
    return l;
}

TBalloonPoint PlaceBalloon(TBalloonPosition orientation, TBalloonPoint pointer, TBalloonSize window)
{
    switch (orientation) {
    case bpAboveLeft:
        return {pointer.X - window.Width, pointer.Y - window.Height};
    case bpAboveRight:
        return {pointer.X, pointer.Y - window.Height};
    case bpBelowLeft:
        return {pointer.X - window.Width, pointer.Y};
    case bpBelowRight:
        break;
    }
    return {pointer.X + 1, pointer.Y + 1};
}

TBalloonPosition KeepBalloonOnScreen(TBalloonPosition orientation, TBalloonPoint topLeft,
                                     TBalloonSize window, TBalloonSize screen)
{
    bool below = orientation & 2, right = orientation & 1;
    if (topLeft.Y + window.Height > screen.Height)
        below = false;
    if (topLeft.Y < 0)
        below = true;
    if (topLeft.X + window.Width > screen.Width)
        right = false;
    if (topLeft.X < 0)
        right = true;
    return static_cast<TBalloonPosition>((below ? 2 : 0) | (right ? 1 : 0));
}

TBalloonPlacement PlaceBalloonOnScreen(TBalloonPosition preferred, TBalloonPoint pointer,
                                       TBalloonSize window, TBalloonSize screen)
{
    TBalloonPlacement p{preferred, PlaceBalloon(preferred, pointer, window)};
    const TBalloonPosition kept = KeepBalloonOnScreen(preferred, p.TopLeft, window, screen);
    if (kept != preferred)
        p = {kept, PlaceBalloon(kept, pointer, window)};
    return p;
}

std::vector<TBalloonPixel> BalloonPixels(const TBalloonLayout& layout, TBalloonShape shape)
{
    const int w = std::max(layout.Width, 0), h = std::max(layout.Height, 0);
    const int s = layout.ShadowDepth;
    std::vector<std::uint8_t> balloon(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            balloon[static_cast<std::size_t>(y) * w + x] = InBalloon(layout, shape, x, y);
    const auto inside = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < w && y < h && balloon[static_cast<std::size_t>(y) * w + x];
    };
    std::vector<TBalloonPixel> pixels(balloon.size(), bxOutside);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            TBalloonPixel& p = pixels[static_cast<std::size_t>(y) * w + x];
            if (inside(x, y)) {
                const bool edge = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) ||
                                  !inside(x, y + 1);
                p = edge ? bxBorder : bxBody;
            } else if (s > 0 && inside(x - s, y - s)) {
                p = bxShadow;
            }
        }
    return pixels;
}

} // namespace scenaria
