#include "imaging/Canvas.h"
#include "imaging/Palettes.h"
#include "imaging/PixelGraphic.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace scenaria {
namespace {

void Fill(TPixelGraphic& g, int width, int height, const std::vector<TColor>& colors)
{
    g.SetSize(width, height, bc24Bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            g.SetPixel(x, y, colors[y * width + x]);
}

void RandomImage(TPixelGraphic& g, int width, int height, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<TColor> colors(width * height);
    for (TColor& c : colors)
        c = random() & 0xFFFFFF;
    Fill(g, width, height, colors);
}

TEST(ResampleTest, EnlargingTwoColumnsToEightInterpolates)
{
    TPixelGraphic source, target;
    Fill(source, 2, 1, {RGB(160, 0, 16), RGB(0, 160, 32)});
    target.SetSize(8, 1, bc24Bit);
    target.StretchMode = smPrecise;
    target.CopyFrom(source);
    EXPECT_EQ(target.GetPixel(0, 0), RGB(160, 0, 16)); // column 0 alone, full weight
    // Column 3: (10 * column 0 + 6 * column 1) / 16.
    EXPECT_EQ(target.GetPixel(3, 0), RGB(100, 60, 22));
    EXPECT_EQ(target.GetPixel(4, 0), RGB(60, 100, 26));
    // The right edge is repeated, not mixed with anything beyond it.
    EXPECT_EQ(target.GetPixel(6, 0), RGB(0, 160, 32));
    EXPECT_EQ(target.GetPixel(7, 0), RGB(0, 160, 32));
}

TEST(ResampleTest, EnlargingReplicatesEdgesInBothDirections)
{
    TPixelGraphic source, target;
    Fill(source, 2, 2, {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)});
    target.SetSize(8, 8, bc24Bit);
    target.CopyFrom(source);
    EXPECT_EQ(target.GetPixel(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(target.GetPixel(7, 0), RGB(0, 255, 0));
    EXPECT_EQ(target.GetPixel(0, 7), RGB(0, 0, 255));
    EXPECT_EQ(target.GetPixel(7, 7), RGB(255, 255, 255));
    EXPECT_EQ(target.GetPixel(6, 7), RGB(255, 255, 255));
    // Between the corners the colour changes monotonically along a row.
    for (int x = 1; x < 8; ++x)
        EXPECT_LE(GetRValue(target.GetPixel(x, 0)), GetRValue(target.GetPixel(x - 1, 0)));
}

TEST(ResampleTest, EqualSizesNeverResample)
{
    TPixelGraphic source;
    RandomImage(source, 7, 5, 1);
    for (TStretchMode mode : {smFast, smMedium, smPrecise}) {
        TPixelGraphic target;
        target.SetSize(7, 5, bc24Bit);
        target.StretchMode = mode;
        target.CopyFrom(source);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                ASSERT_EQ(target.GetPixel(x, y), source.GetPixel(x, y));
    }
    // A rectangle at an offset copies only what both images hold.
    TPixelGraphic target;
    target.SetSize(4, 4, bc24Bit);
    target.SetFillColor(RGB(1, 1, 1));
    target.Clear();
    target.CopyRect(source, 5, 3, 4, 4, -1, 1, 4, 4);
    // Target (0, 1) takes source (6, 3); target column 1 would need source column 7.
    EXPECT_EQ(target.GetPixel(0, 1), source.GetPixel(6, 3));
    EXPECT_EQ(target.GetPixel(0, 2), source.GetPixel(6, 4));
    EXPECT_EQ(target.GetPixel(1, 1), RGB(1, 1, 1));
    EXPECT_EQ(target.GetPixel(0, 3), RGB(1, 1, 1));
    EXPECT_EQ(target.GetPixel(0, 0), RGB(1, 1, 1));
}

TEST(ResampleTest, FastModeTakesOneSourcePixel)
{
    TPixelGraphic source, target;
    Fill(source, 4, 1, {RGB(1, 0, 0), RGB(2, 0, 0), RGB(3, 0, 0), RGB(4, 0, 0)});
    target.SetSize(2, 1, bc24Bit);
    target.StretchMode = smFast;
    target.CopyFrom(source);
    EXPECT_EQ(target.GetPixel(0, 0), RGB(1, 0, 0));
    EXPECT_EQ(target.GetPixel(1, 0), RGB(3, 0, 0));
    target.SetSize(8, 1, bc24Bit);
    target.CopyFrom(source);
    EXPECT_EQ(target.GetPixel(1, 0), RGB(1, 0, 0));
    EXPECT_EQ(target.GetPixel(2, 0), RGB(2, 0, 0));
    EXPECT_EQ(target.GetPixel(7, 0), RGB(4, 0, 0));
}

TEST(ResampleTest, ShrinkingAveragesAreas)
{
    TPixelGraphic source, target;
    Fill(source, 3, 1, {RGB(30, 0, 0), RGB(60, 0, 0), RGB(90, 0, 0)});
    target.SetSize(2, 1, bc24Bit);
    target.StretchMode = smPrecise;
    target.CopyFrom(source);
    EXPECT_EQ(target.GetPixel(0, 0), RGB(40, 0, 0)); // (2 * 30 + 60) / 3
    EXPECT_EQ(target.GetPixel(1, 0), RGB(80, 0, 0)); // (60 + 2 * 90) / 3

    // Five columns into one: all of them, the middle ones at full weight.
    Fill(source, 5, 1, {RGB(10, 0, 0), RGB(20, 0, 0), RGB(30, 0, 0), RGB(40, 0, 0), RGB(50, 0, 0)});
    target.SetSize(1, 1, bc24Bit);
    target.CopyFrom(source);
    EXPECT_EQ(target.GetPixel(0, 0), RGB(30, 0, 0));

    // 6 x 6 into 2 x 2: exact block means (truncated).
    RandomImage(source, 6, 6, 7);
    target.SetSize(2, 2, bc24Bit);
    target.CopyFrom(source);
    for (int by = 0; by < 2; ++by)
        for (int bx = 0; bx < 2; ++bx) {
            int sum[3] = {};
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 3; ++x) {
                    const TColor c = source.GetPixel(3 * bx + x, 3 * by + y);
                    sum[0] += GetRValue(c);
                    sum[1] += GetGValue(c);
                    sum[2] += GetBValue(c);
                }
            const TColor got = target.GetPixel(bx, by);
            // Rows are divided before they are weighted, so a block may lose up to 1.
            EXPECT_NEAR(GetRValue(got), sum[0] / 9, 1);
            EXPECT_NEAR(GetGValue(got), sum[1] / 9, 1);
            EXPECT_NEAR(GetBValue(got), sum[2] / 9, 1);
        }
}

TEST(ResampleTest, VeryWideSourcesSumInSixtyFourBits)
{
    // 2^24 + 2^17 columns averaged into 2: 255 times the column count overflows 32 bits.
    const int width = (1 << 24) + (1 << 17);
    TPixelGraphic source;
    source.SetSize(width, 1, bc1Bit);
    source.SetPaletteIdent(pBlackWhite);
    std::uint8_t* row = source.ScanLine(0);
    const int white = width / 4 * 3;
    std::memset(row, 0xFF, white / 8);
    TPixelGraphic target;
    target.SetSize(2, 1, bc24Bit);
    target.CopyFrom(source);
    EXPECT_EQ(target.GetPixel(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(target.GetPixel(1, 0), RGB(127, 127, 127));
}

TEST(ResampleTest, UniformPicturesStayUniformInEveryModeAndSize)
{
    TPixelGraphic source;
    source.SetSize(13, 7, bc24Bit);
    source.SetFillColor(RGB(200, 101, 7));
    source.Clear();
    for (TStretchMode mode : {smFast, smMedium, smPrecise})
        for (auto [w, h] : {std::pair{1, 1}, {5, 3}, {13, 20}, {40, 7}, {27, 2}, {6, 29}}) {
            TPixelGraphic target;
            target.SetSize(w, h, bc24Bit);
            target.StretchMode = mode;
            target.CopyFrom(source);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(target.GetPixel(x, y), RGB(200, 101, 7))
                        << "mode " << mode << " size " << w << "x" << h << " at " << x << "," << y;
        }
}

TEST(ResampleTest, MediumShrinkSkipsPixelsWhoseTapsLeaveTheSource)
{
    TPixelGraphic source, target;
    Fill(source, 4, 1, {RGB(10, 0, 0), RGB(20, 0, 0), RGB(30, 0, 0), RGB(40, 0, 0)});
    target.SetSize(2, 1, bc24Bit);
    target.SetFillColor(RGB(9, 9, 9));
    target.Clear();
    target.StretchMode = smMedium;
    // An 8-column source rectangle of which only 4 columns exist.
    target.CopyRect(source, 0, 0, 8, 1, 0, 0, 2, 1);
    EXPECT_EQ(target.GetPixel(0, 0), RGB(25, 0, 0)); // columns 1 and 2, 2 : 2
    EXPECT_EQ(target.GetPixel(1, 0), RGB(9, 9, 9));
}

TEST(ResampleTest, PaletteSourcesAndTargets)
{
    TPixelGraphic source;
    source.SetSize(2, 1, bc4Bit);
    source.SetPaletteCount(2);
    source.SetPaletteEntry(0, RGB(0, 0, 0));
    source.SetPaletteEntry(1, RGB(160, 160, 160));
    source.SetPixel(1, 0, 1);
    TPixelGraphic rgb;
    rgb.SetSize(8, 1, bc24Bit);
    rgb.CopyFrom(source);
    EXPECT_EQ(rgb.GetPixel(3, 0), RGB(60, 60, 60));
    EXPECT_EQ(rgb.GetPixel(7, 0), RGB(160, 160, 160));

    // Without dithering each computed colour gets the nearest entry.
    TPixelGraphic grey;
    grey.SetSize(8, 1, bc8Bit);
    grey.SetPaletteIdent(pGray256);
    grey.Dither = false;
    grey.CopyFrom(source);
    EXPECT_EQ(grey.GetPixel(3, 0), 60u);
    EXPECT_EQ(grey.GetPixel(0, 0), 0u);

    // Pixel values beyond the palette show entry 0, as the colour table does.
    TPixelGraphic odd;
    odd.SetSize(1, 1, bc8Bit);
    odd.SetPaletteCount(1);
    odd.SetPaletteEntry(0, RGB(5, 6, 7));
    odd.SetPixel(0, 0, 200);
    TPixelGraphic out;
    out.SetSize(3, 1, bc24Bit);
    out.CopyFrom(odd);
    EXPECT_EQ(out.GetPixel(2, 0), RGB(5, 6, 7));
}

TEST(ResampleTest, ProgressAndAbort)
{
    TPixelGraphic source, target;
    RandomImage(source, 4, 4, 3);
    target.SetSize(8, 10, bc24Bit);
    target.SetFillColor(RGB(1, 2, 3));
    target.Clear();
    int starts = 0, ends = 0;
    std::vector<std::pair<int, int>> steps;
    target.OnProgressStart = [&](TPixelGraphic&) { ++starts; };
    target.OnProgressEnd = [&](TPixelGraphic&) { ++ends; };
    target.OnProgress = [&](TPixelGraphic&, int step, int max, bool& abort) {
        steps.emplace_back(step, max);
        abort = step == 3;
    };
    target.CopyFrom(source);
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(ends, 1);
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[3], std::make_pair(3, 9));
    EXPECT_NE(target.GetPixel(0, 3), RGB(1, 2, 3));
    EXPECT_EQ(target.GetPixel(0, 4), RGB(1, 2, 3));
}

TEST(ResampleTest, FailureStillEndsProgress)
{
    TPixelGraphic source, target;
    RandomImage(source, 2, 2, 3);
    target.SetSize(4, 4, bc8Bit); // no palette: nothing can be matched
    int ends = 0;
    target.OnProgressEnd = [&](TPixelGraphic&) { ++ends; };
    EXPECT_THROW(target.CopyFrom(source), EPGNoPalette);
    EXPECT_EQ(ends, 1);
}

TEST(ResampleTest, HostileRectanglesDoNothingHarmful)
{
    TPixelGraphic source, target;
    RandomImage(source, 3, 3, 5);
    target.SetSize(4, 4, bc24Bit);
    const int big = 0x7FFFFFFF;
    for (TStretchMode mode : {smFast, smMedium, smPrecise}) {
        target.StretchMode = mode;
        target.CopyRect(source, -big, -big, big, big, 0, 0, 4, 4);
        target.CopyRect(source, 0, 0, 3, 3, -big, -big, big, big);
        target.CopyRect(source, big - 1, 0, big, 3, big - 5, 0, 7, 4);
        target.CopyRect(source, 0, 0, 0, 3, 0, 0, 4, 4);
        target.CopyRect(source, 0, 0, 3, 3, 0, 0, -4, 4);
        target.CopyRect(target, 0, 0, 4, 4, 1, 1, 7, 7); // onto itself
    }
    TPixelGraphic empty;
    target.CopyFrom(empty);
    empty.CopyFrom(source);
    EXPECT_TRUE(empty.Empty());
}

TEST(ResampleTest, AbsurdlyWideTargetsAreRefusedBeforeAllocating)
{
    // 2^31 - 1 one-bit pixels fit the pixel ceiling, but the helper rows of a copy (a few
    // dozen bytes per column) would not.
    TPixelGraphic wide;
    wide.SetSize(0x7FFFFFFF, 1, bc1Bit);
    wide.SetPaletteIdent(pBlackWhite);
    TPixelGraphic small;
    RandomImage(small, 3, 1, 4);
    EXPECT_THROW(wide.CopyFrom(small), EPGInvalidSize);
    EXPECT_THROW(wide.CopyRect(small, 0, 0, 3, 1, 0, 0, 0x7FFFFFFF, 1), EPGInvalidSize);
    EXPECT_THROW(wide.Canvas().StretchDraw({0, 0, 0x7FFFFFFF, 1}, small), EPGInvalidSize);
}

TEST(ResampleTest, CopyOntoItselfReadsTheOriginal)
{
    TPixelGraphic g;
    Fill(g, 3, 1, {RGB(1, 0, 0), RGB(2, 0, 0), RGB(3, 0, 0)});
    g.CopyRect(g, 0, 0, 2, 1, 1, 0, 2, 1);
    EXPECT_EQ(g.GetPixel(1, 0), RGB(1, 0, 0));
    EXPECT_EQ(g.GetPixel(2, 0), RGB(2, 0, 0));
}

} // namespace
} // namespace scenaria
