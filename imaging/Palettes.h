#pragma once
// The standard palettes (TPaletteIdent) and their nearest-colour rules. These are pure
// functions of a colour: images use them instead of searching their entries.

#include "imaging/Types.h"

#include <span>

namespace scenaria {

// The 16 Windows system colours in their usual order (pSys16).
extern const TColor SystemColors16[16];

// The entries that SetPaletteIdent installs for a kind; empty for pNone, pTrueColor, pUnknown,
// pOptimized252Sys16 and pSource.
std::span<const TColor> StandardPalette(TPaletteIdent kind);

// True for the kinds that StandardPalette fills.
bool IsStandardPalette(TPaletteIdent kind);

// The nearest entry of a standard palette by the kind's own rule (luminance ranges, cube
// levels or candidate lists). Only for kinds where IsStandardPalette is true.
int StandardNearestIndex(TPaletteIdent kind, TColor color, bool rgbWeighting);

// Squared RGB distance.
inline int ColorDistance(TColor a, TColor b)
{
    const int dr = GetRValue(a) - GetRValue(b);
    const int dg = GetGValue(a) - GetGValue(b);
    const int db = GetBValue(a) - GetBValue(b);
    return dr * dr + dg * dg + db * db;
}

// The entry nearest to color by squared RGB distance; the first of equals wins. count > 0.
int FullSearchNearest(const TColor* entries, int count, TColor color);

} // namespace scenaria
