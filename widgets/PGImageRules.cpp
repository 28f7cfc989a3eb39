#include "widgets/PGImageRules.h"

#include "imaging/Palettes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace scenaria {

namespace {

// A computed box edge: never below one pixel (a very thin picture must not vanish, and the
// tiling divides by the box size) and never beyond what can be scrolled.
int BoxEdge(double value)
{
    if (!(value >= 1.0)) // also catches NaN
        return 1;
    if (value >= MaxPicBoxExtent)
        return MaxPicBoxExtent;
    return static_cast<int>(value);
}

TBoxSize Fit(int w, int h, int a, int b)
{
    const double r = double(a) / b, s = double(w) / h;
    TBoxSize box;
    if (s <= r) {
        box.Height = BoxEdge(b);
        box.Width = BoxEdge(std::trunc(b * s));
        box.Zoom = double(box.Height) / h;
    } else {
        box.Width = BoxEdge(a);
        box.Height = BoxEdge(std::trunc(a / s));
        box.Zoom = double(box.Width) / w;
    }
    return box;
}

// The shorter edge fills the window and the picture scrolls along the longer one, unless the
// plain fit already fills both ways up to a scroll bar.
TBoxSize LongerEdgeFit(int w, int h, int a, int b, int vScrollWidth, int hScrollHeight)
{
    const TBoxSize fit = Fit(w, h, a, b);
    if (fit.Width >= a - vScrollWidth && fit.Height >= b - hScrollHeight)
        return fit;
    const double r = double(a) / b, s = double(w) / h;
    TBoxSize box;
    if (s < r) {
        box.Width = BoxEdge(a - vScrollWidth);
        box.Height = BoxEdge(std::trunc(box.Width / s));
        box.Zoom = double(box.Width) / w;
    } else {
        box.Height = BoxEdge(b - hScrollHeight);
        box.Width = BoxEdge(std::trunc(box.Height * s));
        box.Zoom = double(box.Height) / h;
    }
    return box;
}

TBoxSize ShrinkLongerEdge(int w, int h, int a, int b, int vScrollWidth, int hScrollHeight)
{
    const bool fitsAcross = a >= w || b - hScrollHeight >= h;
    const bool fitsDown = a - vScrollWidth >= w || b >= h;
    if (fitsAcross && fitsDown)
        return {w, h, 1.0};
    return LongerEdgeFit(w, h, a, b, vScrollWidth, hScrollHeight);
}

} // namespace

TBoxSize PicBoxSize(int w, int h, int a, int b, TStretch stretch, double zoomFactor,
                    int vScrollWidth, int hScrollHeight)
{
    TBoxSize box{std::max(w, 0), std::max(h, 0), 1.0};
    if (w <= 0 || h <= 0 || a <= 0 || b <= 0)
        return box;
    switch (stretch) {
    case sNeverKAR:
        break;
    case sAlways:
        box = {a, b, -1.0};
        break;
    case sAlwaysKAR:
        box = Fit(w, h, a, b);
        break;
    case sShrink:
        if (a < w)
            box.Width = a;
        if (b < h)
            box.Height = b;
        if (box.Width != w || box.Height != h)
            box.Zoom = -1.0;
        break;
    case sShrinkKAR:
        if (!(w <= a && h <= b))
            box = Fit(w, h, a, b);
        break;
    case sEnlarge: {
        const int across = a - (b < h ? vScrollWidth : 0);
        const int down = b - (a < w ? hScrollHeight : 0);
        if (across > w)
            box.Width = across;
        if (down > h)
            box.Height = down;
        if (box.Width != w || box.Height != h)
            box.Zoom = -1.0;
        break;
    }
    case sEnlargeKAR:
        if (w < a && h < b)
            box = Fit(w, h, a, b);
        break;
    case sAlwaysLongerEdgeKAR:
        box = LongerEdgeFit(w, h, a, b, vScrollWidth, hScrollHeight);
        break;
    case sShrinkLongerEdgeKAR:
        box = ShrinkLongerEdge(w, h, a, b, vScrollWidth, hScrollHeight);
        break;
    case sEnlargeShrinkLongerEdgeKAR:
        if (w < a && h < b)
            box = Fit(w, h, a, b);
        else
            box = ShrinkLongerEdge(w, h, a, b, vScrollWidth, hScrollHeight);
        break;
    case sEnlargeLongerEdgeKAR:
        if (w < a || h < b)
            box = LongerEdgeFit(w, h, a, b, vScrollWidth, hScrollHeight);
        break;
    case sZoomKAR: {
        const double factor = zoomFactor > 0 ? zoomFactor : 1.0;
        box.Width = BoxEdge(std::round(w * factor));
        box.Height = BoxEdge(std::round(h * factor));
        box.Zoom = factor;
        break;
    }
    }
    box.Width = std::min(box.Width, MaxPicBoxExtent);
    box.Height = std::min(box.Height, MaxPicBoxExtent);
    return box;
}

TScrollBars ScrollBarsFor(int extentWidth, int extentHeight, int a, int b, int vScrollWidth,
                          int hScrollHeight)
{
    TScrollBars bars;
    for (int pass = 0; pass < 2; ++pass) {
        bars.Horizontal = bars.Horizontal || extentWidth > a - (bars.Vertical ? vScrollWidth : 0);
        bars.Vertical = bars.Vertical || extentHeight > b - (bars.Horizontal ? hScrollHeight : 0);
    }
    bars.ClientWidth = std::max(0, a - (bars.Vertical ? vScrollWidth : 0));
    bars.ClientHeight = std::max(0, b - (bars.Horizontal ? hScrollHeight : 0));
    return bars;
}

TPictureLayout PictureLayout(int w, int h, int a, int b, TStretch stretch, double zoomFactor,
                             bool center, int vScrollWidth, int hScrollHeight)
{
    TPictureLayout layout;
    a = std::max(a, 0);
    b = std::max(b, 0);
    const TBoxSize box = PicBoxSize(w, h, a, b, stretch, zoomFactor, vScrollWidth, hScrollHeight);
    layout.BoxWidth = box.Width;
    layout.BoxHeight = box.Height;
    layout.Zoom = box.Zoom;
    if (center) {
        const TScrollBars space =
            ScrollBarsFor(box.Width, box.Height, a, b, vScrollWidth, hScrollHeight);
        if (box.Width < space.ClientWidth)
            layout.BoxLeft = (space.ClientWidth - box.Width) / 2;
        if (box.Height < space.ClientHeight)
            layout.BoxTop = (space.ClientHeight - box.Height) / 2;
    }
    layout.Bars = ScrollBarsFor(layout.BoxLeft + box.Width, layout.BoxTop + box.Height, a, b,
                                vScrollWidth, hScrollHeight);
    if (center) {
        if (box.Width > layout.Bars.ClientWidth)
            layout.ScrollX = (box.Width - layout.Bars.ClientWidth) / 2;
        if (box.Height > layout.Bars.ClientHeight)
            layout.ScrollY = (box.Height - layout.Bars.ClientHeight) / 2;
    }
    return layout;
}

TBoxSize AutoSizeFor(int w, int h, int borderWidth, const TAutoSizeLimits& limits, int vScrollWidth,
                     int hScrollHeight)
{
    std::int64_t width = std::int64_t{w} + 2 * borderWidth;
    std::int64_t height = std::int64_t{h} + 2 * borderWidth;
    bool hBar = false, vBar = false;
    for (int pass = 0; pass < 2; ++pass) {
        if (!hBar && width > limits.MaxWidth) {
            hBar = true;
            height += hScrollHeight;
        }
        if (!vBar && height > limits.MaxHeight) {
            vBar = true;
            width += vScrollWidth;
        }
    }
    width = std::clamp<std::int64_t>(width, limits.MinWidth,
                                     std::max(limits.MinWidth, limits.MaxWidth));
    height = std::clamp<std::int64_t>(height, limits.MinHeight,
                                      std::max(limits.MinHeight, limits.MaxHeight));
    return {static_cast<int>(width), static_cast<int>(height), 1.0};
}

TDisplayImageDecision DecideDisplayImage(const TDisplayImageState& s)
{
    TDisplayImageDecision d;
    const int depth = s.DisplayBits, bits = s.GraphicBits;
    const bool resampling = s.StretchMode != smFast;
    d.Stale = s.MarkedStale || (resampling && !s.ReduceOnLoad &&
                                (s.BoxWidth != s.MadeWidth || s.BoxHeight != s.MadeHeight));
    if (bits > 0) {
        d.Needed = (depth <= 8 && depth < bits) ||
                   (resampling && (s.BoxWidth != s.GraphicWidth || s.BoxHeight != s.GraphicHeight));
        if (bits <= 8 && depth <= 8) {
            if (depth == 4) {
                if (s.GraphicPalette != pSys16 && (!s.ReduceOnLoad || d.Stale))
                    d.Needed = true;
            } else if (!d.Needed) {
                if (s.Palette8Bit8Bit == pSource || s.Palette8Bit8Bit == s.GraphicPalette)
                    d.Needed = false;
                else
                    d.Needed = !s.ReduceOnLoad || d.Stale;
            }
        }
    }
    const bool kept = s.KeepOld && s.UseThread;
    d.Drop = (d.Stale && !kept) || !d.Needed;
    const bool present = s.Present && !d.Drop;
    d.Build = d.Needed && (d.Stale || !(present || s.UnderWay));
    return d;
}

TDisplayJobPlan PlanDisplayJob(const TDisplayJobInput& in)
{
    TDisplayJobPlan plan;
    const bool resampling = in.StretchMode != smFast;
    plan.Intermediate = in.Allow24BitStretch && resampling && in.DisplayBits == 8 &&
                        in.Palette8Bit24Bit == pOptimized252Sys16;
    if (in.DisplayBits <= 7) {
        plan.TargetBits = bc4Bit;
        plan.Palette = tpStandard;
        plan.TargetPaletteKind = pSys16;
    } else if (in.DisplayBits > 8) {
        plan.TargetBits = bc24Bit;
        plan.Palette = tpNone;
    } else {
        plan.TargetBits = bc8Bit;
        const bool trueColour = plan.Intermediate || in.SourceBits == bc24Bit;
        if (trueColour) {
            if (in.Palette8Bit24Bit >= pOptimized252Sys16) {
                plan.Palette = tpOptimized;
            } else {
                plan.Palette = tpStandard;
                plan.TargetPaletteKind = in.Palette8Bit24Bit;
            }
        } else if (in.Palette8Bit8Bit <= pSpecial252) {
            plan.Palette = tpStandard;
            plan.TargetPaletteKind = in.Palette8Bit8Bit;
        } else if (in.Palette8Bit8Bit == pOptimized252Sys16) {
            plan.Palette = tpOptimized;
        } else {
            plan.Palette = tpSource;
        }
        // A kind without entries of its own (none, true colour, unknown) cannot be installed;
        // the optimised palette is the sound choice for it.
        if (plan.Palette == tpStandard && !IsStandardPalette(plan.TargetPaletteKind)) {
            plan.Palette = tpOptimized;
            plan.TargetPaletteKind = pNone;
        }
    }
    if (plan.Palette == tpOptimized)
        plan.TargetPaletteKind = pOptimized252Sys16;
    plan.Phases = 1 + (plan.Intermediate ? 1 : 0) + (plan.Palette == tpOptimized ? 1 : 0);
    plan.TargetWidth = resampling ? in.BoxWidth : in.SourceWidth;
    plan.TargetHeight = resampling ? in.BoxHeight : in.SourceHeight;
    if (plan.TargetWidth <= 0 || plan.TargetHeight <= 0)
        plan.TargetWidth = plan.TargetHeight = 1;
    return plan;
}

int RowPercent(int row, int rows)
{
    if (rows <= 1)
        return 100;
    return static_cast<int>(std::int64_t{row} * 100 / (rows - 1));
}

bool TProgressThrottle::Report(int percent, std::int64_t milliseconds)
{
    const std::int64_t period = milliseconds / 50;
    if (percent == lastPercent_ || period == lastPeriod_)
        return false;
    lastPercent_ = percent;
    lastPeriod_ = period;
    return true;
}

namespace {

bool Intersects(const TRect& a, const TRect& b)
{
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

// The first and last tile index along one axis: whole copies before the box reach the
// window's edge, and after it the last one that still starts inside.
void TileRange(int first, int last, int size, int client, int& from, int& to)
{
    from = first > 0 ? (1 - last) / size : 0;
    to = last < client ? (client - first - 1) / size : 0;
}

} // namespace

TTilePlan PlanTiles(const TRect& box, int clientWidth, int clientHeight, const TRect& clip,
                    TTiling tiling, bool flipHorizontal, bool flipVertical)
{
    TTilePlan plan;
    const int width = box.Right - box.Left, height = box.Bottom - box.Top;
    if (width <= 0 || height <= 0)
        return plan;
    int c0 = 0, c1 = 0, r0 = 0, r1 = 0;
    if (tiling != tNone) {
        TileRange(box.Left, box.Right, width, clientWidth, c0, c1);
        TileRange(box.Top, box.Bottom, height, clientHeight, r0, r1);
    }
    if ((std::int64_t{c1} - c0 + 1) * (std::int64_t{r1} - r0 + 1) > MaxPlannedTiles) {
        plan.Pattern = true;
        return plan;
    }
    const bool mirrorColumns = tiling == tMirrorHorizontal || tiling == tMirror;
    const bool mirrorRows = tiling == tMirrorVertical || tiling == tMirror;
    int horizontal = 0, vertical = 0, both = 0;
    for (int r = r0; r <= r1; ++r) {
        for (int c = c0; c <= c1; ++c) {
            TTile tile;
            tile.Rect = {box.Left + c * width, box.Top + r * height, box.Right + c * width,
                         box.Bottom + r * height};
            if (!Intersects(tile.Rect, clip))
                continue;
            tile.MirrorHorizontal = flipHorizontal != (mirrorColumns && c % 2 != 0);
            tile.MirrorVertical = flipVertical != (mirrorRows && r % 2 != 0);
            if (tile.MirrorHorizontal && tile.MirrorVertical)
                ++both;
            else if (tile.MirrorHorizontal)
                ++horizontal;
            else if (tile.MirrorVertical)
                ++vertical;
            plan.Tiles.push_back(tile);
        }
    }
    plan.CopyHorizontal = horizontal > 2;
    plan.CopyVertical = vertical > 2;
    plan.CopyBoth = both > 2;
    return plan;
}

std::vector<TRect> Margins(const TRect& box, int clientWidth, int clientHeight)
{
    const int top = std::clamp(box.Top, 0, clientHeight);
    const int bottom = std::clamp(box.Bottom, top, clientHeight);
    const int left = std::clamp(box.Left, 0, clientWidth);
    const int right = std::clamp(box.Right, left, clientWidth);
    const TRect candidates[] = {{0, 0, clientWidth, top},
                                {0, bottom, clientWidth, clientHeight},
                                {0, top, left, bottom},
                                {right, top, clientWidth, bottom}};
    std::vector<TRect> margins;
    for (const TRect& r : candidates)
        if (r.Right > r.Left && r.Bottom > r.Top)
            margins.push_back(r);
    return margins;
}

TClockHands ClockHands(int phase, int percent)
{
    const double angle = 2 * std::numbers::pi * percent / 100.0;
    const double hour = ((phase - 1) * 2 * std::numbers::pi + angle) / 12;
    auto end = [](double a, int length, int& x, int& y) {
        x = static_cast<int>(std::lround(std::sin(a) * length));
        y = -static_cast<int>(std::lround(std::cos(a) * length));
    };
    TClockHands hands{};
    end(angle, 7, hands.LongX, hands.LongY);
    end(hour, 6, hands.ShortX, hands.ShortY);
    return hands;
}

std::vector<TRect> ClockRects(const TRect& box, bool fiveClocks)
{
    std::vector<TRect> clocks;
    const int width = box.Right - box.Left, height = box.Bottom - box.Top;
    auto at = [&](int left, int top) { clocks.push_back({left, top, left + 15, top + 15}); };
    if (width > 20 && height > 20)
        at(box.Left + width / 2 - 7, box.Top + height / 2 - 7);
    if (fiveClocks && width >= 101 && height >= 101) {
        at(box.Left + 5, box.Top + 5);
        at(box.Right - 20, box.Top + 5);
        at(box.Left + 5, box.Bottom - 20);
        at(box.Right - 20, box.Bottom - 20);
    }
    return clocks;
}

} // namespace scenaria
