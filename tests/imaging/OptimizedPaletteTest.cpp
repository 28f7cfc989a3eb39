#include "imaging/Palettes.h"
#include "imaging/PixelGraphic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

namespace scenaria {
namespace {

void RandomImage(TPixelGraphic& g, int width, int height, unsigned seed)
{
    std::mt19937 random(seed);
    g.SetSize(width, height, bc24Bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            g.SetPixel(x, y, random() & 0xFFFFFF);
}

std::vector<TColor> Entries(const TPixelGraphic& g)
{
    std::vector<TColor> entries;
    for (int i = 0; i < g.PaletteCount(); ++i)
        entries.push_back(g.PaletteEntry(i));
    return entries;
}

TEST(OptimizedPaletteTest, SixteenWithSystemColoursIsTheSystemPalette)
{
    TPixelGraphic source, target;
    RandomImage(source, 20, 20, 1);
    target.SetSize(20, 20, bc8Bit);
    MakeOptimizedPalette(target, source, 16, true);
    EXPECT_EQ(target.PaletteIdent(), pSys16);
    EXPECT_EQ(Entries(target), std::vector<TColor>(SystemColors16, SystemColors16 + 16));

    // An empty source gets the system colours, as many as asked.
    TPixelGraphic empty;
    MakeOptimizedPalette(target, empty, 8, false);
    EXPECT_EQ(Entries(target), std::vector<TColor>(SystemColors16, SystemColors16 + 8));
}

TEST(OptimizedPaletteTest, TwoHundredThirtyTwoWithSystemColours)
{
    TPixelGraphic source, target;
    RandomImage(source, 200, 150, 2);
    target.SetSize(200, 150, bc8Bit);
    MakeOptimizedPalette(target, source, 232, true);
    const auto entries = Entries(target);
    ASSERT_LE(entries.size(), 232u);
    ASSERT_GE(entries.size(), 200u) << "random colours fill nearly every box";
    EXPECT_EQ(std::vector<TColor>(entries.end() - 16, entries.end()),
              std::vector<TColor>(SystemColors16, SystemColors16 + 16));
    EXPECT_EQ(target.PaletteIdent(), pUnknown);
}

TEST(OptimizedPaletteTest, FewerCellsThanColoursGiveOneEntryPerCell)
{
    // Five colours in five different 5-6-5 cells, two of them sharing a cell with another
    // shade; the entries are the count-weighted cell centres.
    TPixelGraphic source, target;
    source.SetSize(6, 2, bc24Bit);
    const TColor colors[] = {RGB(0, 0, 0),     RGB(3, 1, 7),     RGB(255, 255, 255),
                             RGB(100, 50, 25), RGB(100, 50, 25), RGB(200, 10, 90)};
    for (int i = 0; i < 6; ++i) {
        source.SetPixel(i, 0, colors[i]);
        source.SetPixel(i, 1, colors[i]);
    }
    target.SetSize(6, 2, bc8Bit);
    MakeOptimizedPalette(target, source, 64, false);
    const auto entries = Entries(target);
    ASSERT_EQ(entries.size(), 4u);
    const std::set<TColor> got(entries.begin(), entries.end());
    const std::set<TColor> want = {RGB(4, 2, 4), RGB(252, 254, 252), RGB(100, 50, 28),
                                   RGB(204, 10, 92)};
    EXPECT_EQ(got, want);
}

TEST(OptimizedPaletteTest, MedianCutFollowsThePopulation)
{
    // Two clusters: a large dark one and a small bright one; with 2 colours each gets one.
    TPixelGraphic source, target;
    source.SetSize(100, 10, bc24Bit);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 100; ++x)
            source.SetPixel(x, y, x < 90 ? RGB(20 + x % 8, 30, 40) : RGB(230, 220, 210 + x % 4));
    target.SetSize(1, 1, bc8Bit);
    MakeOptimizedPalette(target, source, 2, false);
    auto entries = Entries(target);
    ASSERT_EQ(entries.size(), 2u);
    std::sort(entries.begin(), entries.end(),
              [](TColor a, TColor b) { return GetRValue(a) < GetRValue(b); });
    EXPECT_NEAR(GetRValue(entries[0]), 24, 4);
    EXPECT_NEAR(GetRValue(entries[1]), 230, 4);
}

TEST(OptimizedPaletteTest, AbortedCountingUsesTheRowsCounted)
{
    TPixelGraphic source, target;
    source.SetSize(4, 3, bc24Bit);
    source.SetFillColor(RGB(255, 255, 255));
    source.Clear();
    for (int x = 0; x < 4; ++x)
        source.SetPixel(x, 0, RGB(0, 0, 0));
    target.OnProgress = [](TPixelGraphic&, int step, int max, bool& abort) {
        EXPECT_EQ(max, 2);
        abort = step == 0;
    };
    MakeOptimizedPalette(target, source, 8, false);
    EXPECT_EQ(Entries(target), std::vector<TColor>{RGB(4, 2, 4)});
}

TEST(OptimizedPaletteTest, OctreeKeepsFewColoursExactly)
{
    TPixelGraphic source, target;
    source.SetSize(4, 1, bc8Bit);
    source.SetPaletteCount(256);
    for (int i = 0; i < 256; ++i)
        source.SetPaletteEntry(i, RGB(i, 255 - i, i / 2));
    const int used[] = {200, 3, 77, 3};
    for (int x = 0; x < 4; ++x)
        source.SetPixel(x, 0, used[x]);
    target.SetSize(4, 1, bc8Bit);
    MakeOptimizedPalette(target, source, 8, false);
    const auto entries = Entries(target);
    // Leaves in tree order: by the interleaved bits of red, green and blue, highest first.
    EXPECT_EQ(entries, (std::vector<TColor>{RGB(3, 252, 1), RGB(77, 178, 38), RGB(200, 55, 100)}));

    MakeOptimizedPalette(target, source, 8 + 16, true);
    EXPECT_EQ(target.PaletteCount(), 3 + 16);

    // An image can be given a palette made from its own pixels.
    MakeOptimizedPalette(source, source, 8, false);
    EXPECT_EQ(Entries(source), entries);
}

TEST(OptimizedPaletteTest, OctreeReducesToTheLimitAndWeighsByPixelCount)
{
    TPixelGraphic source, target;
    source.SetSize(256, 8, bc8Bit);
    source.SetPaletteCount(256);
    std::mt19937 random(5);
    for (int i = 0; i < 256; ++i)
        source.SetPaletteEntry(i, random() & 0xFFFFFF);
    // Index 17 covers most of the picture; the others appear once each.
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 256; ++x)
            source.SetPixel(x, y, y == 0 ? x : 17);
    target.SetSize(1, 1, bc8Bit);
    for (int n : {1, 2, 16, 100}) {
        MakeOptimizedPalette(target, source, n, false);
        const auto entries = Entries(target);
        EXPECT_GE(static_cast<int>(entries.size()), 1);
        EXPECT_LE(static_cast<int>(entries.size()), n);
        if (n >= 16) {
            // The dominant colour's leaf is dominated by it.
            const TColor dominant = source.PaletteEntry(17);
            const int nearest =
                FullSearchNearest(entries.data(), static_cast<int>(entries.size()), dominant);
            EXPECT_LT(ColorDistance(entries[nearest], dominant), 3 * 12 * 12) << n;
        }
    }
}

TEST(OptimizedPaletteTest, OneBitSourceUsesItsTwoColours)
{
    TPixelGraphic source, target;
    source.SetSize(9, 2, bc1Bit);
    source.SetPaletteIdent(pBlackWhite);
    source.SetPixel(8, 1, 1);
    target.SetSize(9, 2, bc8Bit);
    MakeOptimizedPalette(target, source, 236, false);
    EXPECT_EQ(Entries(target), (std::vector<TColor>{RGB(0, 0, 0), RGB(255, 255, 255)}));
}

} // namespace
} // namespace scenaria
