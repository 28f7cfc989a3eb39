#include "imaging/Canvas.h"

#include "imaging/Messages.h"
#include "imaging/PixelGraphic.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace scenaria {

namespace {

// The target positions of a stretch along one axis: position i (0..count-1) of the span from
// `from` is from + i, or from - i when the span is mirrored, and takes source position
// ((2i + 1) * sourceSize) div (2 * count), the source pixel under the target pixel's centre.
struct TSpan {
    std::vector<int> Target;
    std::vector<int> Source;
};

TSpan MapSpan(int from, int to, int sourceSize, int limit)
{
    TSpan span;
    const std::int64_t count = to >= from ? std::int64_t{to} - from : std::int64_t{from} - to;
    if (count == 0 || sourceSize <= 0)
        return span;
    std::int64_t first, last; // i range, clipped to 0..limit-1
    if (to >= from) {
        first = std::max<std::int64_t>(0, -std::int64_t{from});
        last = std::min<std::int64_t>(count, std::int64_t{limit} - from);
    } else {
        first = std::max<std::int64_t>(0, std::int64_t{from} - limit + 1);
        last = std::min<std::int64_t>(count, std::int64_t{from} + 1);
    }
    // Two ints per position: refused, like an image, beyond the size ceiling.
    if (last > first && static_cast<std::uint64_t>(last - first) * 8 > MaxImageBytes)
        throw EPGInvalidSize(PGMessage(pgmInvalidSize, "image"));
    span.Target.reserve(static_cast<std::size_t>(std::max<std::int64_t>(last - first, 0)));
    span.Source.reserve(span.Target.capacity());
    for (std::int64_t i = first; i < last; ++i) {
        span.Target.push_back(static_cast<int>(to >= from ? from + i : from - i));
        span.Source.push_back(static_cast<int>((2 * i + 1) * sourceSize / (2 * count)));
    }
    return span;
}

} // namespace

void TPGCanvas::FillRect(const TRect& rect, TColor color)
{
    TPixelGraphic& image = image_;
    const int left = std::max(rect.Left, 0), right = std::min(rect.Right, image.Width());
    const int top = std::max(rect.Top, 0), bottom = std::min(rect.Bottom, image.Height());
    if (image.Empty() || left >= right || top >= bottom)
        return;
    const bool trueColor = image.BitCount() == bc24Bit;
    const std::uint32_t value = trueColor ? color : image.NearestIndex(color);
    for (int y = top; y < bottom; ++y) {
        std::uint8_t* row = image.ScanLine(y);
        if (image.BitCount() == bc8Bit) {
            std::memset(row + left, static_cast<std::uint8_t>(value), right - left);
        } else if (trueColor) {
            for (int x = left; x < right; ++x) {
                row[3 * x] = static_cast<std::uint8_t>(GetBValue(value));
                row[3 * x + 1] = static_cast<std::uint8_t>(GetGValue(value));
                row[3 * x + 2] = static_cast<std::uint8_t>(GetRValue(value));
            }
        } else {
            for (int x = left; x < right; ++x)
                image.SetPixel(x, y, value);
        }
    }
    image.Changed();
}

void TPGCanvas::StretchDraw(const TRect& rect, const TPixelGraphic& graphic)
{
    graphic.Draw(*this, rect);
}

void TPGCanvas::Draw(int x, int y, const TPixelGraphic& graphic)
{
    graphic.Draw(*this, TRect{x, y, x + graphic.Width(), y + graphic.Height()});
}

void TPixelGraphic::Draw(TPGCanvas& canvas, const TRect& rect) const
{
    TPixelGraphic& target = canvas.Image();
    if (Empty() || target.Empty())
        return;
    if (&target == this) {
        // Drawing an image onto itself reads pixels it has already overwritten; a snapshot
        // gives what a screen copy would.
        TPixelGraphic snapshot;
        snapshot.Assign(this);
        snapshot.Draw(canvas, rect);
        return;
    }
    const TSpan columns = MapSpan(rect.Left, rect.Right, width_, target.Width());
    const TSpan rows = MapSpan(rect.Top, rect.Bottom, height_, target.Height());
    if (columns.Target.empty() || rows.Target.empty())
        return;

    std::array<TColor, 256> colors{};
    GetColorTable(colors);
    const bool sourceTrue = bitCount_ == bc24Bit;
    const bool targetTrue = target.BitCount() == bc24Bit;
    // Palette to palette: each source index is matched once.
    std::array<std::int64_t, 256> indexMap;
    indexMap.fill(-1);

    for (std::size_t j = 0; j < rows.Target.size(); ++j) {
        const std::uint8_t* src = ScanLine(rows.Source[j]);
        std::uint8_t* dst = target.ScanLine(rows.Target[j]);
        for (std::size_t i = 0; i < columns.Target.size(); ++i) {
            const int sx = columns.Source[i];
            const int dx = columns.Target[i];
            if (targetTrue) {
                std::uint8_t* d = dst + 3 * static_cast<std::size_t>(dx);
                if (sourceTrue) {
                    const std::uint8_t* s = src + 3 * static_cast<std::size_t>(sx);
                    d[0] = s[0];
                    d[1] = s[1];
                    d[2] = s[2];
                } else {
                    const TColor c = colors[RowIndex(src, sx, bitCount_)];
                    d[0] = static_cast<std::uint8_t>(GetBValue(c));
                    d[1] = static_cast<std::uint8_t>(GetGValue(c));
                    d[2] = static_cast<std::uint8_t>(GetRValue(c));
                }
            } else if (sourceTrue) {
                const std::uint8_t* s = src + 3 * static_cast<std::size_t>(sx);
                target.StoreIndex(dst, dx, target.NearestIndex(RGB(s[2], s[1], s[0])));
            } else {
                const std::uint32_t index = RowIndex(src, sx, bitCount_);
                if (indexMap[index] < 0)
                    indexMap[index] = target.NearestIndex(colors[index]);
                target.StoreIndex(dst, dx, static_cast<std::uint32_t>(indexMap[index]));
            }
        }
    }
    target.Changed();
}

} // namespace scenaria
