#include "imaging/Palettes.h"

#include <array>
#include <cstdint>
#include <vector>

namespace scenaria {

const TColor SystemColors16[16] = {
    RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
    RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(192, 192, 192),
    RGB(128, 128, 128), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
    RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255),
};

namespace {

constexpr TColor BlackWhite[2] = {RGB(0, 0, 0), RGB(255, 255, 255)};
constexpr TColor SysGray4[4] = {RGB(0, 0, 0), RGB(128, 128, 128), RGB(192, 192, 192),
                                RGB(255, 255, 255)};

// The colours of the fixed 252-colour table after the system colours, the rest of the
// 5-level cube and the four greys.
constexpr TColor Special252Tail[123] = {
    RGB(255, 224, 255), RGB(224, 224, 255), RGB(224, 255, 255), RGB(224, 255, 224),
    RGB(255, 255, 224), RGB(255, 224, 224), RGB(255, 192, 224), RGB(224, 192, 255),
    RGB(192, 224, 255), RGB(192, 255, 224), RGB(224, 255, 192), RGB(255, 224, 192),
    RGB(224, 192, 224), RGB(192, 192, 224), RGB(192, 224, 224), RGB(192, 224, 192),
    RGB(224, 224, 192), RGB(224, 192, 192), RGB(255, 160, 192), RGB(255, 160, 224),
    RGB(255, 160, 255), RGB(224, 160, 255), RGB(192, 160, 255), RGB(160, 160, 255),
    RGB(160, 192, 255), RGB(160, 224, 255), RGB(160, 255, 255), RGB(160, 255, 224),
    RGB(160, 255, 192), RGB(160, 255, 160), RGB(192, 255, 160), RGB(224, 255, 160),
    RGB(255, 255, 160), RGB(255, 224, 160), RGB(255, 192, 160), RGB(255, 160, 160),
    RGB(224, 160, 192), RGB(224, 160, 224), RGB(192, 160, 224), RGB(160, 160, 224),
    RGB(160, 192, 224), RGB(160, 224, 224), RGB(160, 224, 192), RGB(160, 224, 160),
    RGB(192, 224, 160), RGB(224, 224, 160), RGB(224, 192, 160), RGB(224, 160, 160),
    RGB(255, 128, 160), RGB(255, 128, 224), RGB(224, 128, 255), RGB(160, 128, 255),
    RGB(128, 160, 255), RGB(128, 224, 255), RGB(128, 255, 224), RGB(128, 255, 160),
    RGB(160, 255, 128), RGB(224, 255, 128), RGB(255, 224, 128), RGB(255, 160, 128),
    RGB(192, 160, 192), RGB(160, 160, 192), RGB(160, 192, 192), RGB(160, 192, 160),
    RGB(192, 192, 160), RGB(192, 160, 160), RGB(224, 128, 160), RGB(224, 128, 192),
    RGB(224, 128, 224), RGB(192, 128, 224), RGB(160, 128, 224), RGB(128, 128, 224),
    RGB(128, 160, 224), RGB(128, 192, 224), RGB(128, 224, 224), RGB(128, 224, 192),
    RGB(128, 224, 160), RGB(128, 224, 128), RGB(160, 224, 128), RGB(192, 224, 128),
    RGB(224, 224, 128), RGB(224, 192, 128), RGB(224, 160, 128), RGB(224, 128, 128),
    RGB(255, 96, 128),  RGB(255, 96, 160),  RGB(255, 96, 192),  RGB(255, 96, 224),
    RGB(255, 96, 255),  RGB(224, 96, 255),  RGB(192, 96, 255),  RGB(160, 96, 255),
    RGB(128, 96, 255),  RGB(96, 96, 255),   RGB(96, 128, 255),  RGB(96, 160, 255),
    RGB(96, 192, 255),  RGB(96, 224, 255),  RGB(96, 255, 255),  RGB(96, 255, 224),
    RGB(96, 255, 192),  RGB(96, 255, 160),  RGB(96, 255, 128),  RGB(96, 255, 96),
    RGB(128, 255, 96),  RGB(160, 255, 96),  RGB(192, 255, 96),  RGB(224, 255, 96),
    RGB(255, 255, 96),  RGB(255, 224, 96),  RGB(255, 192, 96),  RGB(255, 160, 96),
    RGB(255, 128, 96),  RGB(255, 96, 96),   RGB(192, 128, 160), RGB(160, 128, 192),
    RGB(128, 160, 192), RGB(128, 192, 160), RGB(160, 192, 128), RGB(192, 160, 128),
    RGB(224, 96, 128),  RGB(224, 96, 160),  RGB(224, 96, 192),
};

// pSys16 lookup: three candidates per (red div 64, green div 64, blue div 64) cell.
constexpr std::uint8_t Sys16Candidates[64][3] = {
    {0, 0, 0},   {4, 4, 4},    {4, 4, 4},    {12, 12, 12}, {2, 2, 2},    {6, 6, 6},    {6, 6, 6},
    {6, 12, 12}, {2, 2, 2},    {6, 6, 6},    {6, 6, 6},    {6, 14, 14},  {10, 10, 10}, {6, 10, 10},
    {6, 14, 14}, {14, 14, 14}, {1, 1, 1},    {5, 5, 5},    {5, 5, 5},    {5, 12, 12},  {3, 3, 3},
    {8, 8, 8},   {8, 8, 8},    {8, 12, 12},  {3, 3, 3},    {8, 8, 8},    {8, 8, 8},    {7, 8, 14},
    {3, 10, 10}, {8, 10, 10},  {7, 8, 14},   {7, 14, 14},  {1, 1, 1},    {5, 5, 5},    {5, 5, 5},
    {5, 13, 13}, {3, 3, 3},    {8, 8, 8},    {8, 8, 8},    {7, 8, 13},   {3, 3, 3},    {8, 8, 8},
    {7, 8, 8},   {7, 7, 7},    {3, 11, 11},  {7, 8, 11},   {7, 7, 7},    {7, 7, 7},    {9, 9, 9},
    {5, 9, 9},   {5, 13, 13},  {13, 13, 13}, {3, 9, 9},    {8, 9, 9},    {7, 8, 13},   {7, 13, 13},
    {3, 11, 11}, {7, 8, 11},   {7, 7, 7},    {7, 7, 7},    {11, 11, 11}, {7, 11, 11},  {7, 7, 7},
    {7, 15, 15},
};

struct TTables {
    std::array<TColor, 4> Gray4{};
    std::array<TColor, 16> Gray16{};
    std::array<TColor, 236> Gray236{};
    std::array<TColor, 256> Gray256{};
    std::array<TColor, 125> Special125{};
    std::array<TColor, 216> Special216{};
    std::array<TColor, 252> Special252{};
    std::array<std::uint8_t, 766> Gray236ByLuminance{};
    // pSpecial252 lookup: for each of the 9 x 9 x 9 cells of (channel + 16) div 32, the
    // entries that can be nearest to some colour of the cell, in index order.
    std::array<std::uint16_t, 730> Special252Start{};
    std::vector<std::uint8_t> Special252Candidates;
};

// The range of channel values whose (c + 16) div 32 is cell.
constexpr int CellLow(int cell)
{
    return cell == 0 ? 0 : cell * 32 - 16;
}
constexpr int CellHigh(int cell)
{
    return cell == 8 ? 255 : cell * 32 + 15;
}

int AxisMinDistance(int value, int low, int high)
{
    const int d = value < low ? low - value : value > high ? value - high : 0;
    return d * d;
}

int AxisMaxDistance(int value, int low, int high)
{
    const int a = value - low, b = high - value;
    return a * a > b * b ? a * a : b * b;
}

void BuildSpecial252Candidates(TTables& t)
{
    // An entry can be the nearest to a colour of a cell only when its least distance to the
    // cell does not exceed the greatest distance from the cell to the entry that is closest
    // in that worst case; keeping exactly those makes the candidate search exact.
    t.Special252Candidates.reserve(729 * 8);
    for (int cell = 0; cell < 729; ++cell) {
        const int rc = cell / 81, gc = cell / 9 % 9, bc = cell % 9;
        const int lo[3] = {CellLow(rc), CellLow(gc), CellLow(bc)};
        const int hi[3] = {CellHigh(rc), CellHigh(gc), CellHigh(bc)};
        int minDist[252];
        int bound = 1 << 30;
        for (int i = 0; i < 252; ++i) {
            const int c[3] = {GetRValue(t.Special252[i]), GetGValue(t.Special252[i]),
                              GetBValue(t.Special252[i])};
            int dmin = 0, dmax = 0;
            for (int a = 0; a < 3; ++a) {
                dmin += AxisMinDistance(c[a], lo[a], hi[a]);
                dmax += AxisMaxDistance(c[a], lo[a], hi[a]);
            }
            minDist[i] = dmin;
            if (dmax < bound)
                bound = dmax;
        }
        t.Special252Start[cell] = static_cast<std::uint16_t>(t.Special252Candidates.size());
        for (int i = 0; i < 252; ++i)
            if (minDist[i] <= bound)
                t.Special252Candidates.push_back(static_cast<std::uint8_t>(i));
    }
    t.Special252Start[729] = static_cast<std::uint16_t>(t.Special252Candidates.size());
}

const TTables& Tables()
{
    static const TTables tables = [] {
        TTables t;
        for (int i = 0; i < 4; ++i)
            t.Gray4[i] = RGB(i * 255 / 3, i * 255 / 3, i * 255 / 3);
        for (int i = 0; i < 16; ++i)
            t.Gray16[i] = RGB(i * 255 / 15, i * 255 / 15, i * 255 / 15);
        // round(i * 255 / 235) never meets a half, so integer rounding is exact.
        for (int i = 0; i < 236; ++i) {
            const int level = (i * 255 * 2 + 235) / (235 * 2);
            t.Gray236[i] = RGB(level, level, level);
        }
        for (int i = 0; i < 256; ++i)
            t.Gray256[i] = RGB(i, i, i);
        for (int i = 0; i < 125; ++i) {
            auto level = [](int v) { return (v * 255 + 3) / 4; };
            t.Special125[i] = RGB(level(i / 25), level(i / 5 % 5), level(i % 5));
        }
        for (int i = 0; i < 216; ++i) {
            auto level = [](int v) { return (v * 255 + 4) / 5; };
            t.Special216[i] = RGB(level(i / 36), level(i / 6 % 6), level(i % 6));
        }
        int n = 0;
        for (TColor c : SystemColors16)
            t.Special252[n++] = c;
        for (int i = 0; i < 125; ++i) {
            bool present = false;
            for (TColor c : SystemColors16)
                present = present || c == t.Special125[i];
            if (!present)
                t.Special252[n++] = t.Special125[i];
        }
        for (int g : {32, 96, 160, 224})
            t.Special252[n++] = RGB(g, g, g);
        for (TColor c : Special252Tail)
            t.Special252[n++] = c;
        // Nearest level to L / 3: compare 3 * level with L, ties to the lower index.
        for (int l = 0; l <= 765; ++l) {
            int best = 0, bestDiff = 1 << 30;
            for (int i = 0; i < 236; ++i) {
                const int diff = l - 3 * GetRValue(t.Gray236[i]);
                const int d = diff < 0 ? -diff : diff;
                if (d < bestDiff) {
                    bestDiff = d;
                    best = i;
                }
            }
            t.Gray236ByLuminance[l] = static_cast<std::uint8_t>(best);
        }
        BuildSpecial252Candidates(t);
        return t;
    }();
    return tables;
}

int CandidateSearch(const TColor* entries, const std::uint8_t* candidates, int count, TColor color)
{
    int best = candidates[0];
    int bestDist = ColorDistance(color, entries[best]);
    for (int k = 1; k < count; ++k) {
        const int c = candidates[k];
        if (c == best)
            continue;
        const int d = ColorDistance(color, entries[c]);
        if (d < bestDist) {
            bestDist = d;
            best = c;
        }
    }
    return best;
}

} // namespace

bool IsStandardPalette(TPaletteIdent kind)
{
    return kind >= pBlackWhite && kind <= pSpecial252;
}

std::span<const TColor> StandardPalette(TPaletteIdent kind)
{
    const TTables& t = Tables();
    switch (kind) {
    case pBlackWhite:
        return BlackWhite;
    case pSysGray4:
        return SysGray4;
    case pSys16:
        return SystemColors16;
    case pGray4:
        return t.Gray4;
    case pGray16:
        return t.Gray16;
    case pGray236:
        return t.Gray236;
    case pGray256:
        return t.Gray256;
    case pSpecial125:
        return t.Special125;
    case pSpecial216:
        return t.Special216;
    case pSpecial252:
        return t.Special252;
    default:
        return {};
    }
}

int StandardNearestIndex(TPaletteIdent kind, TColor color, bool rgbWeighting)
{
    const int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    switch (kind) {
    case pBlackWhite:
        return (Luminance(color, rgbWeighting) + 1) / 384;
    case pSysGray4: {
        const int l = Luminance(color, rgbWeighting);
        return l <= 192 ? 0 : l <= 480 ? 1 : l <= 670 ? 2 : 3;
    }
    case pSys16: {
        const std::uint8_t* c = Sys16Candidates[(r / 64) * 16 + (g / 64) * 4 + b / 64];
        return CandidateSearch(SystemColors16, c, 3, color);
    }
    case pGray4:
        return (Luminance(color, rgbWeighting) + 127) / 255;
    case pGray16:
        return (Luminance(color, rgbWeighting) + 25) / 51;
    case pGray236:
        return Tables().Gray236ByLuminance[Luminance(color, rgbWeighting)];
    case pGray256:
        return (Luminance(color, rgbWeighting) + 1) / 3;
    case pSpecial125: {
        // 224 lies nearer to 255 than to 192, which the plain rounding would miss.
        auto level = [](int c) { return ((c == 224 ? 225 : c) + 31) / 64; };
        return level(r) * 25 + level(g) * 5 + level(b);
    }
    case pSpecial216:
        return (r + 24) / 51 * 36 + (g + 24) / 51 * 6 + (b + 24) / 51;
    case pSpecial252: {
        const TTables& t = Tables();
        const int cell = (r + 16) / 32 * 81 + (g + 16) / 32 * 9 + (b + 16) / 32;
        const int start = t.Special252Start[cell];
        return CandidateSearch(t.Special252.data(), t.Special252Candidates.data() + start,
                               t.Special252Start[cell + 1] - start, color);
    }
    default:
        return 0;
    }
}

int FullSearchNearest(const TColor* entries, int count, TColor color)
{
    int best = 0;
    int bestDist = 1 << 30;
    for (int i = 0; i < count; ++i) {
        const int d = ColorDistance(color, entries[i]);
        if (d < bestDist) {
            bestDist = d;
            best = i;
            if (d == 0)
                break;
        }
    }
    return best;
}

} // namespace scenaria
