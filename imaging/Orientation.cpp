#include "imaging/Orientation.h"

#include <cstdint>
#include <cstring>
#include <utility>

namespace scenaria {

namespace {

// Where the pixel at (x, y) of the upright picture sits in the stored one, for a stored
// picture of width w and height h.
struct TSourceMap {
    int Orientation;
    int W;
    int H;

    void At(int x, int y, int& sx, int& sy) const
    {
        switch (Orientation) {
        case 2:
            sx = W - 1 - x, sy = y;
            break;
        case 3:
            sx = W - 1 - x, sy = H - 1 - y;
            break;
        case 4:
            sx = x, sy = H - 1 - y;
            break;
        case 5:
            sx = y, sy = x;
            break;
        case 6:
            sx = y, sy = H - 1 - x;
            break;
        case 7:
            sx = W - 1 - y, sy = H - 1 - x;
            break;
        case 8:
            sx = W - 1 - y, sy = x;
            break;
        default:
            sx = x, sy = y;
        }
    }
};

void StoreIndex(std::uint8_t* row, int x, TBitCount bitCount, std::uint32_t value)
{
    switch (bitCount) {
    case bc1Bit: {
        const auto bit = static_cast<std::uint8_t>(0x80 >> (x & 7));
        row[x >> 3] = static_cast<std::uint8_t>(value ? row[x >> 3] | bit : row[x >> 3] & ~bit);
        break;
    }
    case bc4Bit:
        row[x >> 1] = static_cast<std::uint8_t>(x & 1 ? (row[x >> 1] & 0xF0) | (value & 0x0F)
                                                      : (row[x >> 1] & 0x0F) | value << 4);
        break;
    default:
        row[x] = static_cast<std::uint8_t>(value);
    }
}

void CopyOriented(const TPixelGraphic& source, TPixelGraphic& target, const TSourceMap& map)
{
    const TBitCount bitCount = source.BitCount();
    int sx = 0, sy = 0;
    for (int y = 0; y < target.Height(); ++y) {
        std::uint8_t* row = target.ScanLine(y);
        for (int x = 0; x < target.Width(); ++x) {
            map.At(x, y, sx, sy);
            const std::uint8_t* from = source.ScanLine(sy);
            if (bitCount == bc24Bit) {
                for (int c = 0; c < 3; ++c)
                    row[3 * x + c] = from[3 * sx + c];
            } else {
                StoreIndex(row, x, bitCount, RowIndex(from, sx, bitCount));
            }
        }
    }
}

} // namespace

void OrientedSize(int orientation, int& width, int& height)
{
    if (orientation >= 5 && orientation <= 8)
        std::swap(width, height);
}

void ApplyOrientation(TPixelGraphic& image)
{
    const int orientation = image.Orientation;
    image.Orientation = 1;
    if (!ValidOrientation(orientation) || orientation == 1 || image.Empty())
        return;
    int width = image.Width(), height = image.Height();
    OrientedSize(orientation, width, height);
    const TBitCount bitCount = image.BitCount();
    TPixelGraphic upright;
    upright.SetSize(width, height, bitCount);
    CopyOriented(image, upright, TSourceMap{orientation, image.Width(), image.Height()});
    // The picture keeps its palette and settings; only the pixels are replaced. Emptying it
    // first keeps the peak at two copies of the pixels.
    image.SetSize(0, 0, bitCount);
    image.SetSize(width, height, bitCount);
    std::memcpy(image.PixelData(), upright.PixelData(), image.ImageSize());
    image.Changed();
}

} // namespace scenaria
