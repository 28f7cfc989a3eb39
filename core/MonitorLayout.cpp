#include "core/MonitorLayout.h"

#include "core/Wallpaper.h"
#include "imaging/Canvas.h"
#include "imaging/PixelGraphic.h"
#include "imaging/Resample.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

namespace scenaria {

namespace {

// Bytes of a 24-bit bitmap with its rows padded as the library stores them: what SetSize
// weighs against MaxImageBytes.
std::uint64_t BitmapBytes(std::int64_t width, std::int64_t height)
{
    return static_cast<std::uint64_t>((width * 3 + 3) / 4 * 4) * static_cast<std::uint64_t>(height);
}

int Width(const TRect& r)
{
    return r.Right - r.Left;
}

int Height(const TRect& r)
{
    return r.Bottom - r.Top;
}

// A composed bitmap starts black: SetSize of an unchanged size fills with the fill value
// instead, which a caller's bitmap may have set to anything.
void NewBlackBitmap(TPixelGraphic& target, int width, int height)
{
    target.SetSize(width, height, bc24Bit);
    if (target.FillValue() != 0 && !target.Empty())
        std::memset(target.PixelData(), 0, target.ImageSize());
}

// Rows of a picture of any bit count as blue, green, red.
class TPixelReader {
public:
    explicit TPixelReader(const TPixelGraphic& image) : image_(image)
    {
        if (image.BitCount() != bc24Bit)
            image.GetColorTable(colors_);
    }

    int Width() const { return image_.Width(); }
    int Height() const { return image_.Height(); }

    // count pixels of row y from column x.
    void Read(int y, int x, int count, std::uint8_t* out) const
    {
        const std::uint8_t* row = image_.ScanLine(y);
        if (image_.BitCount() == bc24Bit) {
            std::memcpy(out, row + 3 * static_cast<std::size_t>(x),
                        3 * static_cast<std::size_t>(count));
            return;
        }
        for (int i = 0; i < count; ++i, out += 3) {
            const TColor c = colors_[RowIndex(row, x + i, image_.BitCount())];
            out[0] = static_cast<std::uint8_t>(GetBValue(c));
            out[1] = static_cast<std::uint8_t>(GetGValue(c));
            out[2] = static_cast<std::uint8_t>(GetRValue(c));
        }
    }

private:
    const TPixelGraphic& image_;
    std::array<TColor, 256> colors_{};
};

// The whole source with its top-left corner at (left, top) of a 24-bit target, clipped.
void PlaceClipped(TPixelGraphic& target, const TPixelReader& source, std::int64_t left,
                  std::int64_t top)
{
    const std::int64_t x0 = std::max<std::int64_t>(left, 0);
    const std::int64_t x1 = std::min<std::int64_t>(left + source.Width(), target.Width());
    const std::int64_t y0 = std::max<std::int64_t>(top, 0);
    const std::int64_t y1 = std::min<std::int64_t>(top + source.Height(), target.Height());
    for (std::int64_t y = y0; y < y1 && x0 < x1; ++y)
        source.Read(static_cast<int>(y - top), static_cast<int>(x0 - left),
                    static_cast<int>(x1 - x0), target.ScanLine(static_cast<int>(y)) + 3 * x0);
}

// Doubles the first `filled` bytes of a row until `total` are written.
void RepeatPrefix(std::uint8_t* row, std::size_t filled, std::size_t total)
{
    while (filled < total) {
        const std::size_t n = std::min(filled, total - filled);
        std::memcpy(row + filled, row, n);
        filled += n;
    }
}

void Tile(TPixelGraphic& target, const TPixelReader& source)
{
    const std::size_t rowBytes = 3 * static_cast<std::size_t>(target.Width());
    const int first = std::min(target.Width(), source.Width());
    for (int y = 0; y < target.Height(); ++y) {
        std::uint8_t* row = target.ScanLine(y);
        if (y >= source.Height()) {
            std::memcpy(row, target.ScanLine(y - source.Height()), rowBytes);
            continue;
        }
        source.Read(y, 0, first, row);
        RepeatPrefix(row, 3 * static_cast<std::size_t>(first), rowBytes);
    }
}

// The picture scaled to the rectangle's size at the rectangle's place, clipped to the target:
// the pixels are those of the whole scaled picture, cropped.
void DrawScaled(TPixelGraphic& target, const TPixelGraphic& picture, const TRect& rect, bool smooth)
{
    if (Width(rect) == picture.Width() && Height(rect) == picture.Height()) {
        PlaceClipped(target, TPixelReader(picture), rect.Left, rect.Top);
    } else if (!smooth) {
        // The nearest-pixel stretch maps each target pixel on its own, so drawing straight
        // into the target crops exactly and needs no scaled copy.
        target.Canvas().StretchDraw(rect, picture);
    } else {
        TPixelGraphic scaled;
        scaled.SetSize(Width(rect), Height(rect), bc24Bit);
        scaled.StretchMode = smPrecise;
        ResampleWhole(scaled, picture, rrNearest);
        PlaceClipped(target, TPixelReader(scaled), rect.Left, rect.Top);
    }
}

// A picture side times the scale, truncated, at least minimum; a size whose bitmap the
// library would refuse is refused before the int can overflow.
int ScaledSide(int side, long double scale, int minimum)
{
    const long double scaled = side * scale;
    if (!(scaled < static_cast<long double>(MaxImageBytes)))
        throw std::runtime_error("The picture is too thin to be scaled to the monitor");
    return std::max(static_cast<int>(scaled), minimum);
}

// Where the picture (scaled or not) lands: letterboxed modes leave the background around it.
struct TPlacement {
    TRect Rect;
    bool Letterbox = false;
};

TPlacement Centred(int width, int height, int pictureWidth, int pictureHeight, bool letterbox)
{
    // C++ division truncates toward zero: the odd pixel of a leftover or of an overflow goes
    // right and below.
    const int left = (width - pictureWidth) / 2;
    const int top = (height - pictureHeight) / 2;
    return {{left, top, left + pictureWidth, top + pictureHeight}, letterbox};
}

// The fill ratio is held as the proportional one is, so that a picture of the monitor's
// shape is scaled alike by both.
long double FillScale(int width, int height, int pictureWidth, int pictureHeight)
{
    const long double ratioW = RoundToReal48(static_cast<long double>(width) / pictureWidth);
    const long double ratioH = RoundToReal48(static_cast<long double>(height) / pictureHeight);
    return std::max(ratioW, ratioH);
}

TPlacement PlacementFor(TFitMode mode, int width, int height, int pictureWidth, int pictureHeight)
{
    switch (mode) {
    case fmTile:
        return {};
    case fmCentre:
        return Centred(width, height, pictureWidth, pictureHeight, true);
    case fmStretch:
        return {{0, 0, width, height}, false};
    case fmProportional: {
        const long double scale = ProportionalScale(width, height, pictureWidth, pictureHeight);
        return Centred(width, height, ScaledSide(pictureWidth, scale, 1),
                       ScaledSide(pictureHeight, scale, 1), true);
    }
    case fmFill: {
        const long double scale = FillScale(width, height, pictureWidth, pictureHeight);
        const int scaledWidth = ScaledSide(pictureWidth, scale, width);
        const int scaledHeight = ScaledSide(pictureHeight, scale, height);
        if (BitmapBytes(scaledWidth, scaledHeight) > MaxImageBytes)
            throw std::runtime_error("The picture is too thin to fill the monitor");
        return Centred(width, height, scaledWidth, scaledHeight, false);
    }
    default:
        throw std::invalid_argument("Unknown fit mode " + std::to_string(mode));
    }
}

void CheckCeiling(const TRect& bounds)
{
    if (BitmapBytes(Width(bounds), Height(bounds)) > MaxImageBytes)
        throw std::invalid_argument("The monitors span " + std::to_string(Width(bounds)) + " x " +
                                    std::to_string(Height(bounds)) +
                                    " pixels, more than one bitmap may hold");
}

// Blacks out, row by row, what lies between and beside the monitors covering the row.
void BlackOutsideMonitors(TPixelGraphic& target, const std::vector<TMonitor>& monitors,
                          const TRect& bounds)
{
    std::vector<std::pair<int, int>> spans;
    for (int y = 0; y < target.Height(); ++y) {
        spans.clear();
        for (const TMonitor& m : monitors)
            if (y >= m.Y - bounds.Top && y < m.Y - bounds.Top + m.Height)
                spans.emplace_back(m.X - bounds.Left, m.X - bounds.Left + m.Width);
        std::sort(spans.begin(), spans.end());
        std::uint8_t* row = target.ScanLine(y);
        int x = 0;
        for (const auto& [from, to] : spans) {
            if (from > x)
                std::memset(row + 3 * static_cast<std::size_t>(x), 0, 3 * std::size_t(from - x));
            x = std::max(x, to);
        }
        if (x < target.Width())
            std::memset(row + 3 * static_cast<std::size_t>(x), 0,
                        3 * std::size_t(target.Width() - x));
    }
}

void CheckBitmaps(const TPixelGraphic& target, const std::vector<TMonitor>& monitors,
                  const std::vector<const TPixelGraphic*>& perMonitor)
{
    if (perMonitor.size() != monitors.size())
        throw std::invalid_argument(std::to_string(perMonitor.size()) + " bitmaps for " +
                                    std::to_string(monitors.size()) + " monitors");
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const TPixelGraphic* bitmap = perMonitor[i];
        if (!bitmap || bitmap == &target)
            throw std::invalid_argument("Monitor " + std::to_string(i) +
                                        " has no bitmap of its own");
        if (bitmap->Width() != monitors[i].Width || bitmap->Height() != monitors[i].Height)
            throw std::invalid_argument("The bitmap of monitor " + std::to_string(i) +
                                        " is not of the monitor's size");
    }
}

} // namespace

TRect LayoutBounds(const std::vector<TMonitor>& monitors)
{
    if (monitors.empty())
        throw std::invalid_argument("There are no monitors to lay out");
    std::int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
    for (const TMonitor& m : monitors) {
        if (m.Width <= 0 || m.Height <= 0)
            throw std::invalid_argument("Monitor \"" + m.Name + "\" has no area");
        left = std::min<std::int64_t>(left, m.X);
        top = std::min<std::int64_t>(top, m.Y);
        right = std::max(right, std::int64_t{m.X} + m.Width);
        bottom = std::max(bottom, std::int64_t{m.Y} + m.Height);
    }
    if (right > INT_MAX || bottom > INT_MAX || right - left > INT_MAX || bottom - top > INT_MAX)
        throw std::invalid_argument("The monitors lie farther apart than any bitmap reaches");
    return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right),
            static_cast<int>(bottom)};
}

void ComposeForMonitor(TPixelGraphic& target, const TPixelGraphic& picture, int width, int height,
                       const TFitStyle& style)
{
    if (width <= 0 || height <= 0)
        throw std::runtime_error(
            "The monitor's size is unknown: the picture cannot be fitted to it");
    if (picture.Empty() || picture.Width() <= 0 || picture.Height() <= 0)
        throw std::runtime_error("There is no picture to fit to the monitor");
    if (&target == &picture) {
        TPixelGraphic copy;
        copy.Assign(&picture);
        ComposeForMonitor(target, copy, width, height, style);
        return;
    }
    // Decided before the target is touched, so that a refused fit leaves it as it was.
    const TPlacement placement =
        PlacementFor(style.Mode, width, height, picture.Width(), picture.Height());
    NewBlackBitmap(target, width, height);
    if (style.Mode == fmTile) {
        Tile(target, TPixelReader(picture));
        return;
    }
    if (placement.Letterbox)
        target.Canvas().FillRect(TRect{0, 0, width, height}, style.Background);
    DrawScaled(target, picture, placement.Rect, style.Smooth);
}

void ComposeLayout(TPixelGraphic& target, const std::vector<TMonitor>& monitors,
                   const std::vector<const TPixelGraphic*>& perMonitor)
{
    const TRect bounds = LayoutBounds(monitors);
    CheckBitmaps(target, monitors, perMonitor);
    CheckCeiling(bounds);
    NewBlackBitmap(target, Width(bounds), Height(bounds));
    // In list order, so that a later monitor overwrites an earlier one it overlaps.
    for (std::size_t i = 0; i < monitors.size(); ++i)
        PlaceClipped(target, TPixelReader(*perMonitor[i]),
                     std::int64_t{monitors[i].X} - bounds.Left,
                     std::int64_t{monitors[i].Y} - bounds.Top);
}

void ComposeSpanned(TPixelGraphic& target, const std::vector<TMonitor>& monitors,
                    const TPixelGraphic& picture, const TFitStyle& style)
{
    const TRect bounds = LayoutBounds(monitors);
    CheckCeiling(bounds);
    ComposeForMonitor(target, picture, Width(bounds), Height(bounds), style);
    BlackOutsideMonitors(target, monitors, bounds);
}

void CropMonitor(TPixelGraphic& target, const TPixelGraphic& layout, const TRect& bounds,
                 const TMonitor& monitor)
{
    if (layout.Width() != Width(bounds) || layout.Height() != Height(bounds))
        throw std::invalid_argument("The layout bitmap is not of the layout's size");
    if (monitor.Width <= 0 || monitor.Height <= 0 || monitor.X < bounds.Left ||
        monitor.Y < bounds.Top || std::int64_t{monitor.X} + monitor.Width > bounds.Right ||
        std::int64_t{monitor.Y} + monitor.Height > bounds.Bottom)
        throw std::invalid_argument("Monitor \"" + monitor.Name + "\" lies outside the layout");
    if (&target == &layout) {
        TPixelGraphic copy;
        copy.Assign(&layout);
        CropMonitor(target, copy, bounds, monitor);
        return;
    }
    NewBlackBitmap(target, monitor.Width, monitor.Height);
    PlaceClipped(target, TPixelReader(layout), std::int64_t{bounds.Left} - monitor.X,
                 std::int64_t{bounds.Top} - monitor.Y);
}

void AlignToOrigin(TPixelGraphic& layout, const TRect& bounds)
{
    const int width = layout.Width(), height = layout.Height();
    if (layout.BitCount() != bc24Bit || width != bounds.Right - bounds.Left ||
        height != bounds.Bottom - bounds.Top)
        throw std::invalid_argument("the layout bitmap does not have the layout's size");
    // Tile pixel (u, v) is layout pixel ((u - left) mod width, (v - top) mod height).
    const auto wrap = [](long long value, int size) {
        return static_cast<int>(((value % size) + size) % size);
    };
    const int dx = wrap(-static_cast<long long>(bounds.Left), width);
    const int dy = wrap(-static_cast<long long>(bounds.Top), height);
    if (dx == 0 && dy == 0)
        return;
    TPixelGraphic rolled;
    rolled.SetSize(width, height, bc24Bit);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    const std::size_t split = static_cast<std::size_t>(dx) * 3;
    for (int v = 0; v < height; ++v) {
        const std::uint8_t* from = layout.ScanLine(wrap(static_cast<long long>(v) + dy, height));
        std::uint8_t* to = rolled.ScanLine(v);
        // The row from dx on comes first, then its start.
        std::memcpy(to, from + split, rowBytes - split);
        std::memcpy(to + rowBytes - split, from, split);
    }
    layout.Assign(&rolled);
}

} // namespace scenaria
