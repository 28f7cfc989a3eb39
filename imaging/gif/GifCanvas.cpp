#include "imaging/gif/GifCanvas.h"

#include "imaging/Canvas.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace scenaria {

TGIFPalette WebCubePalette()
{
    auto entries = std::make_shared<std::vector<TColor>>();
    entries->reserve(216);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                entries->push_back(RGB(51 * r, 51 * g, 51 * b));
    return entries;
}

TGIFMask::TGIFMask(int width, int height, std::vector<std::uint8_t> bits)
    : width_(width), height_(height), bits_(std::move(bits))
{
    bits_.resize(std::size_t(RowBytes(width)) * std::size_t(std::max(height, 0)));
}

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const std::int64_t product = std::int64_t(a) * b;
    // Halves round away from zero, as the system call does.
    const std::int64_t magnitude = (std::llabs(product) + std::llabs(c) / 2) / std::llabs(c);
    const std::int64_t result = (product < 0) != (c < 0) ? -magnitude : magnitude;
    if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min())
        return -1;
    return static_cast<int>(result);
}

namespace {

// Where target position i of a span of count takes its source from: the source pixel under
// the target pixel's centre, as the library's own stretching does.
int SourceOf(std::int64_t i, int sourceSize, std::int64_t count)
{
    return static_cast<int>((2 * i + 1) * sourceSize / (2 * count));
}

std::array<TColor, 256> ColorTable(const TPixelGraphic& graphic)
{
    std::array<TColor, 256> table{};
    if (graphic.BitCount() != bc24Bit)
        graphic.GetColorTable(table);
    return table;
}

TColor ColorAt(const TPixelGraphic& graphic, const std::array<TColor, 256>& table, int x, int y)
{
    const std::uint32_t value = graphic.GetPixel(x, y);
    return graphic.BitCount() == bc24Bit ? value : table[value & 0xFF];
}

} // namespace

void TGIFBitmapCanvas::StretchDraw(const TRect& rect, const TPixelGraphic& graphic)
{
    image_.Canvas().StretchDraw(rect, graphic);
}

void TGIFBitmapCanvas::MaskedStretchDraw(const TRect& rect, const TPixelGraphic& graphic,
                                         const TGIFMask& mask)
{
    const int width = rect.Right - rect.Left, height = rect.Bottom - rect.Top;
    if (graphic.Empty() || image_.Empty() || width <= 0 || height <= 0)
        return;
    const auto table = ColorTable(graphic);
    const int left = std::max(rect.Left, 0), right = std::min(rect.Right, image_.Width());
    const int top = std::max(rect.Top, 0), bottom = std::min(rect.Bottom, image_.Height());
    for (int y = top; y < bottom; ++y) {
        const int sy = SourceOf(y - rect.Top, graphic.Height(), height);
        for (int x = left; x < right; ++x) {
            const int sx = SourceOf(x - rect.Left, graphic.Width(), width);
            if (sx < mask.Width() && sy < mask.Height() && mask.Transparent(sx, sy))
                continue;
            image_.SetPixelColor(x, y, ColorAt(graphic, table, sx, sy));
        }
    }
}

void TGIFBitmapCanvas::FillRect(const TRect& rect, TColor color)
{
    image_.Canvas().FillRect(rect, color);
}

void TGIFBitmapCanvas::CopyTo(const TRect& rect, TPixelGraphic& target) const
{
    const int width = rect.Right - rect.Left, height = rect.Bottom - rect.Top;
    if (target.Empty() || width <= 0 || height <= 0)
        return;
    const auto table = ColorTable(image_);
    for (int y = 0; y < target.Height(); ++y) {
        const int sy = rect.Top + SourceOf(y, height, target.Height());
        for (int x = 0; x < target.Width(); ++x) {
            const int sx = rect.Left + SourceOf(x, width, target.Width());
            // What lies beyond the surface shows nothing: it is left as the target has it.
            if (sx < 0 || sy < 0 || sx >= image_.Width() || sy >= image_.Height())
                continue;
            target.SetPixelColor(x, y, ColorAt(image_, table, sx, sy));
        }
    }
}

void TGIFBitmapCanvas::Changed()
{
    image_.Changed();
}

} // namespace scenaria
