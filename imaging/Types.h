#pragma once
// The small value types shared by the whole raster image library.

#include <cstdint>

namespace scenaria {

// A colour: red in bits 0-7, green in bits 8-15, blue in bits 16-23 (the Windows COLORREF
// layout, which stored settings and palettes keep).
using TColor = std::uint32_t;

constexpr TColor RGB(int red, int green, int blue)
{
    return static_cast<TColor>((red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16);
}
constexpr int GetRValue(TColor color)
{
    return static_cast<int>(color & 0xFF);
}
constexpr int GetGValue(TColor color)
{
    return static_cast<int>(color >> 8 & 0xFF);
}
constexpr int GetBValue(TColor color)
{
    return static_cast<int>(color >> 16 & 0xFF);
}

// Luminance 0..765: weighted (red 0.299, green 0.587, blue 0.114, scaled by 3) or the plain
// sum of the channels.
constexpr int Luminance(TColor color, bool rgbWeighting)
{
    const int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    return rgbWeighting ? (r * 897 + g * 1761 + b * 342) / 1000 : r + g + b;
}

// A rectangle whose right and bottom edges lie outside it. A rectangle with Right < Left (or
// Bottom < Top) is drawn mirrored: it covers Left down to Right + 1.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// Bits per pixel of a TPixelGraphic.
enum TBitCount : int { bc1Bit, bc4Bit, bc8Bit, bc24Bit };

// The kind of an image's palette; the order matters to callers that compare kinds
// ("pSpecial252 or below").
enum TPaletteIdent : int {
    pNone,
    pTrueColor,
    pUnknown,
    pBlackWhite,
    pSysGray4,
    pSys16,
    pGray4,
    pGray16,
    pGray236,
    pGray256,
    pSpecial125,
    pSpecial216,
    pSpecial252,
    pOptimized252Sys16,
    pSource
};

enum TStretchMode : int { smFast, smMedium, smPrecise };

enum TPGWarningAction : int { pgwaIgnore, pgwaOKBox, pgwaOKCancelBox, pgwaRaise };

} // namespace scenaria
