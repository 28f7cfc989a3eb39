#include "widgets/PixelGraphicPaint.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace scenaria {

namespace {

// The source pixel under each box pixel, as GDI's colour-on-colour stretching picks it.
int SourceIndex(int boxPos, int boxSize, int sourceSize, bool mirror)
{
    if (mirror)
        boxPos = boxSize - 1 - boxPos;
    const auto index = static_cast<std::int64_t>(boxPos) * sourceSize / boxSize;
    return static_cast<int>(std::clamp<std::int64_t>(index, 0, sourceSize - 1));
}

} // namespace

QImage RenderBoxRegion(const TPixelGraphic& graphic, int boxWidth, int boxHeight,
                       const QRect& requested, bool mirrorHorizontal, bool mirrorVertical)
{
    const QRect region = requested & QRect(0, 0, boxWidth, boxHeight);
    if (graphic.Empty() || region.isEmpty())
        return {};
    QImage out(region.size(), QImage::Format_RGB32);
    if (out.isNull())
        return {};
    const int width = graphic.Width(), height = graphic.Height();
    const TBitCount bits = graphic.BitCount();
    const bool trueColour = bits == bc24Bit;

    std::array<QRgb, 256> table{};
    if (!trueColour) {
        std::array<TColor, 256> colors{};
        graphic.GetColorTable(colors);
        for (int i = 0; i < 256; ++i)
            table[i] = qRgb(GetRValue(colors[i]), GetGValue(colors[i]), GetBValue(colors[i]));
    }
    std::vector<int> columns(region.width());
    for (int i = 0; i < region.width(); ++i) {
        const int sx = SourceIndex(region.left() + i, boxWidth, width, mirrorHorizontal);
        columns[i] = trueColour ? 3 * sx : sx;
    }

    int previous = -1;
    for (int j = 0; j < region.height(); ++j) {
        const int sy = SourceIndex(region.top() + j, boxHeight, height, mirrorVertical);
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(j));
        if (sy == previous) {
            // An enlarged picture repeats its rows.
            std::memcpy(dst, out.constScanLine(j - 1), sizeof(QRgb) * region.width());
            continue;
        }
        previous = sy;
        const std::uint8_t* src = graphic.ScanLine(sy);
        const int n = region.width();
        if (trueColour) {
            for (int i = 0; i < n; ++i) {
                const std::uint8_t* p = src + columns[i];
                dst[i] = qRgb(p[2], p[1], p[0]);
            }
        } else if (bits == bc8Bit) {
            for (int i = 0; i < n; ++i)
                dst[i] = table[src[columns[i]]];
        } else {
            for (int i = 0; i < n; ++i)
                dst[i] = table[RowIndex(src, columns[i], bits)];
        }
    }
    return out;
}

} // namespace scenaria
