#pragma once
// What GIF frames are drawn onto: palettes shared by handle, one-bit transparency masks, and the
// canvas interface that a bitmap of our own or a toolkit's surface implements.

#include "imaging/PixelGraphic.h"
#include "imaging/Types.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace scenaria {

// A palette is shared by handle: two handles are the same palette only when they point to the
// same entries. Dropping the last handle deletes the palette.
using TGIFPalette = std::shared_ptr<const std::vector<TColor>>;

// 216 entries, entry 36r + 6g + b showing red 51r, green 51g and blue 51b.
TGIFPalette WebCubePalette();

// Set when the display shows 256 colours or fewer; the toolkit layer sets it at start-up.
inline std::atomic<bool> LowColorDisplay{false};

// A frame's transparency: one bit a pixel, set where the pixel shows the transparent colour;
// rows of ((width + 15) div 16) * 2 bytes, the leftmost pixel in bit 0x80 of the first byte.
class TGIFMask {
public:
    TGIFMask(int width, int height, std::vector<std::uint8_t> bits);

    int Width() const { return width_; }
    int Height() const { return height_; }
    static int RowBytes(int width) { return (width + 15) / 16 * 2; }
    bool Transparent(int x, int y) const
    {
        return (bits_[std::size_t(y) * RowBytes(width_) + x / 8] & (0x80 >> (x % 8))) != 0;
    }

private:
    int width_;
    int height_;
    std::vector<std::uint8_t> bits_;
};

// Windows' MulDiv: a * b / c rounded to the nearest integer (halves away from zero), computed
// in 64 bits; -1 for a zero divisor or a result beyond 32 bits.
int MulDiv(int a, int b, int c);

// A surface frames are drawn onto. Every rectangle is in the surface's own pixels; parts
// outside the surface are left out.
class TGIFCanvas {
public:
    virtual ~TGIFCanvas() = default;

    // Stretches the whole graphic onto rect, nearest pixel.
    virtual void StretchDraw(const TRect& rect, const TPixelGraphic& graphic) = 0;
    // The same, but where the mask has a bit set the surface keeps what it shows.
    virtual void MaskedStretchDraw(const TRect& rect, const TPixelGraphic& graphic,
                                   const TGIFMask& mask) = 0;
    virtual void FillRect(const TRect& rect, TColor color) = 0;
    // Copies what the surface shows within rect onto the whole of target, stretched.
    virtual void CopyTo(const TRect& rect, TPixelGraphic& target) const = 0;
    // Told after a drawing that the surface's owner may not see otherwise.
    virtual void Changed() {}
    // False once the surface has gone (a painter with doCheckCanvas stops then).
    virtual bool Valid() const { return true; }
};

// A canvas over one of our own true-colour or palette bitmaps.
class TGIFBitmapCanvas : public TGIFCanvas {
public:
    explicit TGIFBitmapCanvas(TPixelGraphic& image) : image_(image) {}

    TPixelGraphic& Image() const { return image_; }

    void StretchDraw(const TRect& rect, const TPixelGraphic& graphic) override;
    void MaskedStretchDraw(const TRect& rect, const TPixelGraphic& graphic,
                           const TGIFMask& mask) override;
    void FillRect(const TRect& rect, TColor color) override;
    void CopyTo(const TRect& rect, TPixelGraphic& target) const override;
    void Changed() override;

private:
    TPixelGraphic& image_;
};

} // namespace scenaria
