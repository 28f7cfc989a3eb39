#include "imaging/PixelGraphic.h"
#include "imaging/Canvas.h"
#include "imaging/Messages.h"
#include "imaging/Palettes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace scenaria {
namespace {

template <typename E, typename F> void ExpectThrowWithMessage(F&& f, const std::string& message)
{
    try {
        f();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const E& e) {
        EXPECT_EQ(e.what(), message);
    }
}

TEST(PixelGraphicTest, DefaultsOfANewImage)
{
    TPixelGraphic g;
    EXPECT_TRUE(g.Empty());
    EXPECT_EQ(g.Width(), 0);
    EXPECT_EQ(g.Height(), 0);
    EXPECT_EQ(g.BitCount(), bc24Bit);
    EXPECT_EQ(g.PaletteIdent(), pNone);
    EXPECT_EQ(g.PaletteCount(), 0);
    EXPECT_EQ(g.FillValue(), 0u);
    EXPECT_TRUE(g.Dither);
    EXPECT_EQ(g.DitherErrorLimit, 32);
    EXPECT_TRUE(g.DitherErrorLimitAuto);
    EXPECT_TRUE(g.DitherErrorLimitSoft);
    EXPECT_TRUE(g.UseColorCache());
    EXPECT_TRUE(g.RGBWeighting());
    EXPECT_EQ(g.StretchMode, smPrecise);
    EXPECT_EQ(g.ReadWarningAction, pgwaOKCancelBox);
    EXPECT_EQ(g.SaveColorResWarningAction, pgwaOKCancelBox);
    EXPECT_FALSE(g.RangeCheck);
    EXPECT_DOUBLE_EQ(g.Gamma, DisplayGamma);
    EXPECT_EQ(g.ScanLine(0), nullptr);
}

TEST(PixelGraphicTest, StrideAndSizeAtEveryDepth)
{
    struct Case {
        int width;
        TBitCount bits;
        int stride;
    } cases[] = {{1, bc1Bit, 4},  {32, bc1Bit, 4},  {33, bc1Bit, 8}, {1, bc4Bit, 4},
                 {8, bc4Bit, 4},  {9, bc4Bit, 8},   {3, bc8Bit, 4},  {5, bc8Bit, 8},
                 {1, bc24Bit, 4}, {5, bc24Bit, 16}, {4, bc24Bit, 12}};
    for (const Case& c : cases) {
        TPixelGraphic g;
        g.SetSize(c.width, 3, c.bits);
        EXPECT_EQ(g.RowStride(), c.stride) << c.width << " px at " << BitCountToNum(c.bits);
        EXPECT_EQ(g.ImageSize(), static_cast<std::size_t>(3 * c.stride));
        EXPECT_EQ(g.PaletteCapacity(), c.bits == bc1Bit   ? 2
                                       : c.bits == bc4Bit ? 16
                                       : c.bits == bc8Bit ? 256
                                                          : 0);
    }
}

TEST(PixelGraphicTest, RowsAreBottomUp)
{
    TPixelGraphic g;
    g.SetSize(2, 3, bc8Bit);
    EXPECT_EQ(g.ScanLine(2), g.PixelData());
    EXPECT_EQ(g.ScanLine(0), g.PixelData() + 2 * g.RowStride());
    EXPECT_THROW(g.ScanLine(3), EPGXYIndexOutOfRange);
    EXPECT_THROW(g.ScanLine(-1), EPGXYIndexOutOfRange);
}

TEST(PixelGraphicTest, BitAndNibbleAddressing)
{
    TPixelGraphic one;
    one.SetSize(10, 2, bc1Bit);
    one.SetPixel(0, 0, 1);
    one.SetPixel(9, 0, 1);
    EXPECT_EQ(one.ScanLine(0)[0], 0x80);
    EXPECT_EQ(one.ScanLine(0)[1], 0x40);
    EXPECT_EQ(one.ScanLine(1)[0], 0);
    one.SetPixel(0, 0, 2); // anything but 1 clears
    EXPECT_EQ(one.ScanLine(0)[0], 0);
    EXPECT_EQ(one.GetPixel(9, 0), 1u);
    EXPECT_EQ(one.GetPixel(8, 0), 0u);

    TPixelGraphic four;
    four.SetSize(3, 1, bc4Bit);
    four.SetPixel(0, 0, 0xA);
    four.SetPixel(1, 0, 0x5);
    four.SetPixel(2, 0, 0x1F); // only the nibble is kept
    EXPECT_EQ(four.ScanLine(0)[0], 0xA5);
    EXPECT_EQ(four.ScanLine(0)[1], 0xF0);
    EXPECT_EQ(four.GetPixel(0, 0), 0xAu);
    EXPECT_EQ(four.GetPixel(1, 0), 0x5u);
    EXPECT_EQ(four.GetPixel(2, 0), 0xFu);

    TPixelGraphic eight;
    eight.SetSize(2, 2, bc8Bit);
    eight.SetPixel(1, 1, 200);
    EXPECT_EQ(eight.PixelData()[1], 200);

    TPixelGraphic rgb;
    rgb.SetSize(2, 2, bc24Bit);
    rgb.SetPixel(1, 0, RGB(10, 20, 30));
    const std::uint8_t* p = rgb.ScanLine(0) + 3;
    EXPECT_EQ(p[0], 30); // blue first
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 10);
    EXPECT_EQ(rgb.GetPixel(1, 0), RGB(10, 20, 30));
    EXPECT_EQ(rgb.PixelData() + rgb.RowStride() + 3, p);
}

TEST(PixelGraphicTest, OutOfRangeAccessWithAndWithoutRangeCheck)
{
    TPixelGraphic g;
    g.SetSize(4, 4, bc8Bit);
    g.SetFillValue(7);
    const std::vector<std::uint8_t> before(g.PixelData(), g.PixelData() + g.ImageSize());
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {4, 0}, {0, 4}, {1 << 30, 1 << 30}}) {
        EXPECT_EQ(g.GetPixel(x, y), 7u);
        g.SetPixel(x, y, 9);
    }
    EXPECT_EQ(std::vector<std::uint8_t>(g.PixelData(), g.PixelData() + g.ImageSize()), before);

    g.RangeCheck = true;
    ExpectThrowWithMessage<EPGXYIndexOutOfRange>([&] { g.GetPixel(4, 0); },
                                                 "X, Y index out of range");
    ExpectThrowWithMessage<EPGXYIndexOutOfRange>([&] { g.SetPixel(0, -1, 1); },
                                                 "X, Y index out of range");
    EXPECT_NO_THROW(g.GetPixel(3, 3));

    TPixelGraphic empty;
    empty.SetFillValue(5);
    EXPECT_EQ(empty.GetPixel(0, 0), 5u);
}

TEST(PixelGraphicTest, SetSizeRefusesBadSizesWithoutChangingTheImage)
{
    TPixelGraphic g;
    g.SetSize(3, 2, bc8Bit);
    g.SetPixel(1, 1, 42);
    ExpectThrowWithMessage<EPGInvalidSize>([&] { g.SetSize(-1, -1, bc8Bit); }, "Negative width");
    ExpectThrowWithMessage<EPGInvalidSize>([&] { g.SetSize(1, -1, bc8Bit); }, "Negative height");
    // Too many bytes (and a product that overflows 32 bits) is refused before allocating.
    ExpectThrowWithMessage<EPGInvalidSize>([&] { g.SetSize(70000, 70000, bc24Bit); },
                                           "Invalid size of image");
    EXPECT_THROW(g.SetSize(0x7FFFFFFF, 0x7FFFFFFF, bc24Bit), EPGInvalidSize);
    EXPECT_THROW(g.SetSize(0x7FFFFFFF, 0, bc24Bit), EPGInvalidSize);
    EXPECT_EQ(g.Width(), 3);
    EXPECT_EQ(g.Height(), 2);
    EXPECT_EQ(g.BitCount(), bc8Bit);
    EXPECT_EQ(g.GetPixel(1, 1), 42u);
}

TEST(PixelGraphicTest, SetSizeAllowsTheCeilingItself)
{
    TPixelGraphic big;
    EXPECT_NO_THROW(big.SetSize(1 << 15, 1 << 15, bc8Bit));
    EXPECT_EQ(big.ImageSize(), std::size_t{1} << 30);
}

TEST(PixelGraphicTest, SetSizeToTheSameSizeClearsToTheFillValue)
{
    TPixelGraphic g;
    g.SetSize(3, 2, bc8Bit);
    std::uint8_t* pixels = g.PixelData();
    g.SetPixel(0, 0, 1);
    g.SetFillValue(9);
    g.SetSize(3, 2, bc8Bit);
    EXPECT_EQ(g.PixelData(), pixels); // not reallocated
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(g.GetPixel(x, y), 9u);
    EXPECT_EQ(g.ScanLine(0)[3], 0) << "padding is left alone";

    TPixelGraphic four;
    four.SetSize(3, 3, bc4Bit);
    four.SetFillValue(0xC);
    four.Clear();
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(four.GetPixel(x, y), 0xCu);

    TPixelGraphic rgb;
    rgb.SetSize(2, 2, bc24Bit);
    rgb.SetFillColor(RGB(1, 2, 3));
    rgb.Clear();
    EXPECT_EQ(rgb.GetPixel(1, 1), RGB(1, 2, 3));
    EXPECT_EQ(rgb.FillColor(), RGB(1, 2, 3));
}

TEST(PixelGraphicTest, ZeroAreaIsEmpty)
{
    TPixelGraphic g;
    g.SetSize(5, 0, bc8Bit);
    EXPECT_TRUE(g.Empty());
    EXPECT_EQ(g.Width(), 5);
    EXPECT_EQ(g.ScanLine(0), nullptr);
    g.SetSize(0, 5, bc24Bit);
    EXPECT_TRUE(g.Empty());
    g.SetWidth(2);
    EXPECT_FALSE(g.Empty());
    EXPECT_EQ(g.PaletteIdent(), pTrueColor);
}

TEST(PixelGraphicTest, SettersChangeOneDimension)
{
    TPixelGraphic g;
    g.SetSize(4, 3, bc8Bit);
    g.SetHeight(6);
    EXPECT_EQ(g.Width(), 4);
    EXPECT_EQ(g.Height(), 6);
    g.SetBitCount(bc1Bit);
    EXPECT_EQ(g.RowStride(), 4);
    EXPECT_EQ(g.BitCountNum(), 1);
    EXPECT_EQ(NumToBitCount(4), bc4Bit);
    ExpectThrowWithMessage<EPGInvalidBitCountNum>([] { NumToBitCount(16); },
                                                  "Invalid value for BitCountNum");
}

TEST(PixelGraphicTest, SetSizeLowersThePaletteToTheCapacity)
{
    TPixelGraphic g;
    g.SetSize(2, 2, bc8Bit);
    g.SetPaletteIdent(pGray256);
    g.SetSize(2, 2, bc4Bit);
    EXPECT_EQ(g.PaletteCount(), 16);
    EXPECT_EQ(g.PaletteIdent(), pUnknown);
    g.SetSize(2, 2, bc24Bit);
    EXPECT_EQ(g.PaletteCount(), 0);
    EXPECT_EQ(g.PaletteIdent(), pTrueColor);
}

TEST(PixelGraphicTest, PaletteEntriesAndErrors)
{
    TPixelGraphic g;
    g.SetSize(2, 2, bc24Bit);
    ExpectThrowWithMessage<EPGNoPalette>([&] { g.SetPaletteEntry(0, 0); }, "No palette");
    EXPECT_EQ(g.PaletteEntry(5), 5u) << "true colour returns the index itself";
    EXPECT_EQ(g.NearestIndex(RGB(1, 2, 3)), RGB(1, 2, 3));

    TPixelGraphic p;
    p.SetSize(2, 2, bc8Bit);
    ExpectThrowWithMessage<EPGNoPalette>([&] { p.NearestIndex(0); }, "No palette");
    ExpectThrowWithMessage<EPGNoPalette>([&] { p.SetPaletteEntry(0, 0); }, "No palette");
    p.SetPaletteCount(3);
    EXPECT_EQ(p.PaletteIdent(), pUnknown);
    EXPECT_EQ(p.PaletteEntry(2), 0u);
    p.SetPaletteEntry(1, RGB(9, 8, 7));
    EXPECT_EQ(p.PaletteEntry(1), RGB(9, 8, 7));
    ExpectThrowWithMessage<EPGInvalidPaletteIndex>([&] { p.SetPaletteEntry(3, 0); },
                                                   "Invalid palette index");
    ExpectThrowWithMessage<EPGInvalidPaletteIndex>([&] { p.PaletteEntry(-1); },
                                                   "Invalid palette index");
    EXPECT_THROW(p.SetPaletteCount(257), EPGInvalidPaletteIndex);
    p.SetPixel(0, 0, 1);
    EXPECT_EQ(p.GetPixelColor(0, 0), RGB(9, 8, 7));
    p.SetPixelColor(1, 1, RGB(10, 8, 7));
    EXPECT_EQ(p.GetPixel(1, 1), 1u);
    p.SetFillColor(RGB(200, 200, 200));
    EXPECT_EQ(p.FillValue(), 1u);
    p.SetPaletteCount(0);
    EXPECT_EQ(p.PaletteIdent(), pNone);
    // An unknown palette without entries has nothing to be nearest to.
    p.SetPaletteIdent(pUnknown);
    ExpectThrowWithMessage<EPGNoPalette>([&] { p.NearestIndex(RGB(1, 1, 1)); }, "No palette");
}

// The colour whose weighted luminance is exactly l, when one exists.
TColor GreyOfLuminance(int l)
{
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; b += 1) {
                const TColor c = RGB(r, g, b);
                if (Luminance(c, true) == l)
                    return c;
            }
    return 0;
}

TEST(PixelGraphicTest, StandardPaletteBoundaries)
{
    TPixelGraphic g;
    g.SetSize(1, 1, bc8Bit);
    g.SetRGBWeighting(false);
    auto nearest = [&](TPaletteIdent kind, TColor c) {
        g.SetPaletteIdent(kind);
        EXPECT_EQ(g.PaletteIdent(), kind);
        return g.NearestIndex(c);
    };
    // Without weighting L is the channel sum.
    EXPECT_EQ(nearest(pBlackWhite, RGB(127, 127, 128)), 0u); // L 382
    EXPECT_EQ(nearest(pBlackWhite, RGB(127, 128, 128)), 1u); // L 383
    EXPECT_EQ(nearest(pSysGray4, RGB(64, 64, 64)), 0u);      // 192
    EXPECT_EQ(nearest(pSysGray4, RGB(64, 64, 65)), 1u);      // 193
    EXPECT_EQ(nearest(pSysGray4, RGB(160, 160, 160)), 1u);   // 480
    EXPECT_EQ(nearest(pSysGray4, RGB(160, 160, 161)), 2u);
    EXPECT_EQ(nearest(pSysGray4, RGB(223, 223, 224)), 2u); // 670
    EXPECT_EQ(nearest(pSysGray4, RGB(223, 224, 224)), 3u);
    EXPECT_EQ(nearest(pGray4, RGB(42, 42, 43)), 0u); // 127 -> (127+127)/255 = 0
    EXPECT_EQ(nearest(pGray4, RGB(42, 43, 43)), 1u);
    EXPECT_EQ(nearest(pGray16, RGB(8, 8, 9)), 0u);  // 25
    EXPECT_EQ(nearest(pGray16, RGB(8, 9, 9)), 1u);  // 26
    EXPECT_EQ(nearest(pGray256, RGB(1, 0, 0)), 0u); // (1+1)/3
    EXPECT_EQ(nearest(pGray256, RGB(1, 1, 0)), 1u);
    EXPECT_EQ(nearest(pGray256, RGB(255, 255, 255)), 255u);
    // pGray236: levels 0, 1 (round(255/235) = 1), 2, ...; L/3 nearest, ties to the lower.
    EXPECT_EQ(nearest(pGray236, RGB(0, 0, 0)), 0u);
    EXPECT_EQ(nearest(pGray236, RGB(255, 255, 255)), 235u);
    for (int l = 0; l <= 765; l += 17) {
        const int r = std::min(l, 255), gg = std::min(l - r, 255), b = l - r - gg;
        const std::uint32_t i = nearest(pGray236, RGB(r, gg, b));
        const int level = GetRValue(g.PaletteEntry(static_cast<int>(i)));
        for (int j = 0; j < 236; ++j) {
            const int other = GetRValue(g.PaletteEntry(j));
            EXPECT_TRUE(
                std::abs(3 * level - l) < std::abs(3 * other - l) ||
                (std::abs(3 * level - l) == std::abs(3 * other - l) && static_cast<int>(i) <= j))
                << "L " << l << " got " << i << " but " << j << " is nearer";
        }
    }
    // Cubes.
    EXPECT_EQ(nearest(pSpecial125, RGB(224, 0, 0)), 4u * 25);
    EXPECT_EQ(nearest(pSpecial125, RGB(223, 0, 0)), 3u * 25);
    EXPECT_EQ(nearest(pSpecial125, RGB(0, 32, 33)), 0u * 5 + 1);
    EXPECT_EQ(nearest(pSpecial125, RGB(0, 224, 96)), 4u * 5 + 1); // 96 rounds down
    EXPECT_EQ(nearest(pSpecial125, RGB(0, 224, 97)), 4u * 5 + 2);
    EXPECT_EQ(nearest(pSpecial216, RGB(26, 0, 0)), 0u);
    EXPECT_EQ(nearest(pSpecial216, RGB(27, 0, 0)), 36u);
    EXPECT_EQ(nearest(pSpecial216, RGB(255, 255, 255)), 215u);
    EXPECT_EQ(nearest(pSpecial216, RGB(0, 51, 102)), 6u + 2);

    // With weighting the luminance is weighted: (r*897 + g*1761 + b*342) div 1000.
    g.SetRGBWeighting(true);
    g.SetPaletteIdent(pBlackWhite);
    const TColor l382 = GreyOfLuminance(382), l383 = GreyOfLuminance(383);
    ASSERT_EQ(Luminance(l382, true), 382);
    ASSERT_EQ(Luminance(l383, true), 383);
    EXPECT_EQ(g.NearestIndex(l382), 0u);
    EXPECT_EQ(g.NearestIndex(l383), 1u);
    EXPECT_EQ(Luminance(RGB(255, 0, 0), true), 228);
    EXPECT_EQ(Luminance(RGB(0, 255, 0), true), 449);
    EXPECT_EQ(Luminance(RGB(0, 0, 255), true), 87);
    EXPECT_EQ(Luminance(RGB(255, 255, 255), true), 765);
}

TEST(PixelGraphicTest, Sys16FollowsItsCandidateTable)
{
    TPixelGraphic g;
    g.SetSize(1, 1, bc8Bit);
    g.SetPaletteIdent(pSys16);
    EXPECT_EQ(g.PaletteCount(), 16);
    EXPECT_EQ(g.NearestIndex(RGB(0, 0, 0)), 0u);
    EXPECT_EQ(g.NearestIndex(RGB(255, 255, 255)), 15u);
    EXPECT_EQ(g.NearestIndex(RGB(250, 5, 5)), 9u);
    EXPECT_EQ(g.NearestIndex(RGB(190, 190, 190)), 7u);
    // Cell 63 (all channels >= 192) lists 7, 15, 15: grey 200 stays silver, 250 becomes white.
    EXPECT_EQ(g.NearestIndex(RGB(200, 200, 200)), 7u);
    EXPECT_EQ(g.NearestIndex(RGB(250, 250, 250)), 15u);
    // Cell 0 lists only black, whatever the colour inside it.
    EXPECT_EQ(g.NearestIndex(RGB(63, 63, 63)), 0u);
    // Cell 21 (64..127 each) lists only grey 128, though (64, 64, 64) is as near to black.
    EXPECT_EQ(g.NearestIndex(RGB(64, 64, 64)), 8u);
}

TEST(PixelGraphicTest, Special252LookupIsExact)
{
    TPixelGraphic g;
    g.SetSize(1, 1, bc8Bit);
    g.SetPaletteIdent(pSpecial252);
    ASSERT_EQ(g.PaletteCount(), 252);
    const auto entries = StandardPalette(pSpecial252);
    EXPECT_EQ(entries[0], RGB(0, 0, 0));
    EXPECT_EQ(entries[15], RGB(255, 255, 255));
    EXPECT_EQ(entries[16], RGB(0, 0, 64)) << "first cube colour not among the system colours";
    EXPECT_EQ(entries[124], RGB(255, 255, 192));
    EXPECT_EQ(entries[125], RGB(32, 32, 32));
    EXPECT_EQ(entries[129], RGB(255, 224, 255));
    EXPECT_EQ(entries[251], RGB(224, 96, 192));
    for (std::size_t i = 0; i < entries.size(); ++i)
        for (std::size_t j = i + 1; j < entries.size(); ++j)
            ASSERT_NE(entries[i], entries[j]) << i << " " << j;
    auto check = [&](TColor c) {
        EXPECT_EQ(g.NearestIndex(c),
                  static_cast<std::uint32_t>(FullSearchNearest(entries.data(), 252, c)))
            << std::hex << c;
    };
    for (int r = 0; r < 256; r += 3)
        for (int gg = 0; gg < 256; gg += 5)
            for (int b = 0; b < 256; b += 3)
                check(RGB(r, gg, b));
    // Cell boundaries, where candidate lists change.
    for (int v : {15, 16, 47, 48, 239, 240, 255})
        for (int w : {0, 15, 16, 112, 255})
            check(RGB(v, w, 255 - v));
}

TEST(PixelGraphicTest, IdentifiesEveryStandardPalette)
{
    for (TPaletteIdent kind : {pBlackWhite, pSysGray4, pSys16, pGray4, pGray16, pGray236, pGray256,
                               pSpecial125, pSpecial216, pSpecial252}) {
        TPixelGraphic g;
        g.SetSize(1, 1, bc8Bit);
        const auto entries = StandardPalette(kind);
        g.SetPaletteCount(static_cast<int>(entries.size()));
        for (std::size_t i = 0; i < entries.size(); ++i)
            g.SetPaletteEntry(static_cast<int>(i), entries[i]);
        EXPECT_EQ(g.PaletteIdent(), pUnknown);
        g.IdentifyPalette();
        EXPECT_EQ(g.PaletteIdent(), kind);
        EXPECT_EQ(g.IsGray(), kind == pBlackWhite || kind == pSysGray4 || kind == pGray4 ||
                                  kind == pGray16 || kind == pGray236 || kind == pGray256);
    }
    // The cube in another order is just some palette.
    TPixelGraphic g;
    g.SetSize(1, 1, bc8Bit);
    const auto cube = StandardPalette(pSpecial216);
    g.SetPaletteCount(216);
    for (int i = 0; i < 216; ++i)
        g.SetPaletteEntry(i, cube[215 - i]);
    g.IdentifyPalette();
    EXPECT_EQ(g.PaletteIdent(), pUnknown);

    TPixelGraphic none;
    none.SetSize(1, 1, bc8Bit);
    none.IdentifyPalette();
    EXPECT_EQ(none.PaletteIdent(), pNone);
    TPixelGraphic rgb;
    rgb.SetSize(1, 1, bc24Bit);
    rgb.IdentifyPalette();
    EXPECT_EQ(rgb.PaletteIdent(), pTrueColor);
    EXPECT_FALSE(rgb.IsGray());
}

TEST(PixelGraphicTest, SetPaletteIdentInstallsTheTable)
{
    TPixelGraphic g;
    g.SetSize(1, 1, bc8Bit);
    g.SetPaletteIdent(pGray16);
    EXPECT_EQ(g.PaletteCount(), 16);
    EXPECT_EQ(g.PaletteEntry(1), RGB(17, 17, 17));
    g.SetPaletteIdent(pSpecial125);
    EXPECT_EQ(g.PaletteEntry(124), RGB(255, 255, 255));
    EXPECT_EQ(g.PaletteEntry(1), RGB(0, 0, 64));
    g.SetPaletteIdent(pOptimized252Sys16); // a request only: nothing changes
    EXPECT_EQ(g.PaletteIdent(), pSpecial125);
    g.SetPaletteIdent(pUnknown);
    EXPECT_EQ(g.PaletteCount(), 125);
    g.SetPaletteIdent(pTrueColor);
    EXPECT_EQ(g.PaletteCount(), 0);
    EXPECT_EQ(g.PaletteIdent(), pTrueColor);
}

TEST(PixelGraphicTest, NearestIndexMemoFollowsPaletteChanges)
{
    TPixelGraphic g;
    g.SetSize(1, 1, bc8Bit);
    g.SetPaletteCount(2);
    g.SetPaletteEntry(0, RGB(0, 0, 0));
    g.SetPaletteEntry(1, RGB(255, 255, 255));
    EXPECT_EQ(g.NearestIndex(RGB(10, 10, 10)), 0u);
    g.SetPaletteEntry(1, RGB(10, 10, 10));
    EXPECT_EQ(g.NearestIndex(RGB(10, 10, 10)), 1u);
    g.SetUseColorCache(false);
    EXPECT_EQ(g.NearestIndex(RGB(10, 10, 10)), 1u);
    g.SetPaletteCount(1);
    EXPECT_EQ(g.NearestIndex(RGB(10, 10, 10)), 0u);
}

// The inverse colour map: each cell within 4 cells (on the largest axis) of an entry's cell
// takes the entry whose cell is closest, the lowest index among equals; farther cells take
// the exact nearest entry of the first colour asked for in them.
TEST(PixelGraphicTest, InverseColorMapAgreesWithItsRuleAndTheFullSearch)
{
    std::mt19937 random(1234);
    for (int round = 0; round < 12; ++round) {
        const int count = 1 + static_cast<int>(random() % 256);
        TPixelGraphic g;
        g.SetSize(1, 1, bc8Bit);
        g.SetPaletteCount(count);
        std::vector<TColor> entries(count);
        for (int i = 0; i < count; ++i) {
            entries[i] = random() & 0xFFFFFF;
            g.SetPaletteEntry(i, entries[i]);
        }
        std::vector<char> asked(32 * 64 * 32, 0);
        for (int k = 0; k < 4000; ++k) {
            const TColor c = random() & 0xFFFFFF;
            const int cr = GetRValue(c) >> 3, cg = GetGValue(c) >> 2, cb = GetBValue(c) >> 3;
            const int cell = cr << 11 | cg << 5 | cb;
            int bestShell = 5, bestEntry = -1;
            for (int i = 0; i < count; ++i) {
                const int d = std::max({std::abs(cr - (GetRValue(entries[i]) >> 3)),
                                        std::abs(cg - (GetGValue(entries[i]) >> 2)),
                                        std::abs(cb - (GetBValue(entries[i]) >> 3))});
                if (d < bestShell) {
                    bestShell = d;
                    bestEntry = i;
                }
            }
            const int full = FullSearchNearest(entries.data(), count, c);
            const std::uint32_t got = g.NearestIndex(c);
            if (bestEntry >= 0) {
                EXPECT_EQ(got, static_cast<std::uint32_t>(bestEntry));
            } else if (!asked[cell]) {
                EXPECT_EQ(got, static_cast<std::uint32_t>(full));
            }
            asked[cell] = 1;
            // Whatever the cell holds is never far off: within a few cells of the best.
            ASSERT_LT(got, static_cast<std::uint32_t>(count));
            EXPECT_LE(std::sqrt(ColorDistance(c, entries[got])),
                      3 * std::sqrt(ColorDistance(c, entries[full])) + 24);
        }

        // Without the map the search is exact.
        g.SetUseColorCache(false);
        for (int k = 0; k < 2000; ++k) {
            const TColor c = random() & 0xFFFFFF;
            EXPECT_EQ(g.NearestIndex(c),
                      static_cast<std::uint32_t>(FullSearchNearest(entries.data(), count, c)));
        }
    }
}

TEST(PixelGraphicTest, AssignCopiesPixelsPaletteAndSettings)
{
    TPixelGraphic source;
    source.SetSize(3, 2, bc4Bit);
    source.SetPaletteIdent(pGray16);
    source.SetPixel(2, 1, 11);
    source.SetFillValue(3);
    source.Dither = false;
    source.DitherErrorLimit = 7;
    source.StretchMode = smFast;
    source.Gamma = 2.2;
    source.RangeCheck = true;
    source.Transparent = true;
    source.ReadWarningAction = pgwaRaise;

    TPixelGraphic target;
    int changes = 0;
    target.OnChange = [&](TPixelGraphic&) { ++changes; };
    target.Assign(&source);
    EXPECT_EQ(changes, 1) << "one notification for the whole copy";
    EXPECT_EQ(target.Width(), 3);
    EXPECT_EQ(target.BitCount(), bc4Bit);
    EXPECT_EQ(target.GetPixel(2, 1), 11u);
    EXPECT_EQ(target.PaletteIdent(), pGray16);
    EXPECT_EQ(target.PaletteCount(), 16);
    EXPECT_EQ(target.FillValue(), 3u);
    EXPECT_FALSE(target.Dither);
    EXPECT_EQ(target.DitherErrorLimit, 7);
    EXPECT_EQ(target.StretchMode, smFast);
    EXPECT_DOUBLE_EQ(target.Gamma, 2.2);
    EXPECT_TRUE(target.RangeCheck);
    EXPECT_TRUE(target.Transparent);
    EXPECT_EQ(target.ReadWarningAction, pgwaRaise);
    EXPECT_NE(target.PixelData(), source.PixelData());

    target.Assign(nullptr);
    EXPECT_TRUE(target.Empty());
    EXPECT_EQ(target.BitCount(), bc24Bit);
}

TEST(PixelGraphicTest, CopyPaletteIdentifiesTheCopy)
{
    TPixelGraphic source;
    source.SetSize(1, 1, bc8Bit);
    source.SetPaletteIdent(pSpecial216);
    TPixelGraphic target;
    target.SetSize(1, 1, bc8Bit);
    target.CopyPalette(source);
    EXPECT_EQ(target.PaletteIdent(), pSpecial216);
    EXPECT_EQ(target.PaletteEntry(215), RGB(255, 255, 255));
}

TEST(PixelGraphicTest, ChangeNotificationAndUpdates)
{
    TPixelGraphic g;
    std::vector<TPixelGraphic*> senders;
    g.OnChange = [&](TPixelGraphic& sender) { senders.push_back(&sender); };
    g.SetSize(2, 2, bc8Bit);
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], &g);
    g.BeginUpdate();
    g.Clear();
    g.SetSize(3, 3, bc8Bit);
    EXPECT_EQ(senders.size(), 1u);
    g.EndUpdate();
    EXPECT_EQ(senders.size(), 2u);
}

TEST(PixelGraphicTest, GammaCorrection)
{
    TPixelGraphic rgb;
    rgb.SetSize(1, 1, bc24Bit);
    rgb.SetPixel(0, 0, RGB(128, 0, 255));
    rgb.Gamma = DisplayGamma * 1.04; // within 5 %: left alone
    rgb.ApplyGammaCorrection();
    EXPECT_EQ(rgb.GetPixel(0, 0), RGB(128, 0, 255));
    EXPECT_DOUBLE_EQ(rgb.Gamma, DisplayGamma);

    rgb.Gamma = 3.6; // exponent 2
    rgb.ApplyGammaCorrection();
    EXPECT_EQ(rgb.GetPixel(0, 0), RGB(64, 0, 255)); // round(255 * (128/255)^2) = 64
    EXPECT_DOUBLE_EQ(rgb.Gamma, DisplayGamma);

    TPixelGraphic pal;
    pal.SetSize(1, 1, bc8Bit);
    pal.SetPaletteCount(1);
    pal.SetPaletteEntry(0, RGB(128, 255, 0));
    pal.Gamma = 0.9; // exponent 0.5
    pal.ApplyGammaCorrection();
    EXPECT_EQ(pal.PaletteEntry(0), RGB(181, 255, 0)); // round(255 * sqrt(128/255))

    // A gamma of 0 (or one that is not a number) is no reason to divide by zero.
    for (double gamma : {0.0, -1.0, std::nan("")}) {
        rgb.Gamma = gamma;
        rgb.ApplyGammaCorrection();
        EXPECT_EQ(rgb.GetPixel(0, 0), RGB(64, 0, 255));
        EXPECT_DOUBLE_EQ(rgb.Gamma, DisplayGamma);
    }

    GammaCorrection = false;
    rgb.Gamma = 3.6;
    rgb.ApplyGammaCorrection();
    GammaCorrection = true;
    EXPECT_EQ(rgb.GetPixel(0, 0), RGB(64, 0, 255));
}

TEST(PixelGraphicTest, ClipboardRoundTrip)
{
    for (TBitCount bits : {bc1Bit, bc4Bit, bc8Bit, bc24Bit}) {
        TPixelGraphic g;
        g.SetSize(5, 3, bits);
        if (bits != bc24Bit) {
            g.SetPaletteCount(2);
            g.SetPaletteEntry(0, RGB(1, 2, 3));
            g.SetPaletteEntry(1, RGB(200, 100, 50));
        }
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                g.SetPixel(x, y, bits == bc24Bit ? RGB(x * 40, y * 80, 7) : (x + y) & 1);
        const TClipboardData clip = g.SaveToClipboardFormat();
        EXPECT_EQ(clip.Format, 8u);
        const int entries = bits == bc24Bit ? 0 : 2;
        ASSERT_EQ(clip.Data.size(), 40u + 4 * entries + g.ImageSize());
        EXPECT_EQ(clip.Data[0], 40);
        EXPECT_EQ(clip.Data[14], g.BitCountNum());
        EXPECT_EQ(clip.Data[32], entries);
        if (entries) {
            EXPECT_EQ(clip.Data[40 + 4 + 2], 200) << "table entries are blue, green, red, 0";
        }

        TPixelGraphic back;
        back.LoadFromClipboardFormat(clip.Format, clip.Data.data(), clip.Data.size());
        EXPECT_EQ(back.Width(), 5);
        EXPECT_EQ(back.Height(), 3);
        EXPECT_EQ(back.BitCount(), bits);
        EXPECT_EQ(back.PaletteCount(), entries);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(back.GetPixelColor(x, y), g.GetPixelColor(x, y));
    }
}

TEST(PixelGraphicTest, ClipboardRefusesBadBlocks)
{
    TPixelGraphic g;
    g.SetSize(4, 4, bc8Bit);
    g.SetPaletteIdent(pGray256);
    TClipboardData clip = g.SaveToClipboardFormat();
    TPixelGraphic back;
    ExpectThrowWithMessage<EPGUnknownClipboardFormat>(
        [&] { back.LoadFromClipboardFormat(1, clip.Data.data(), clip.Data.size()); },
        "Unknown clipboard format");
    EXPECT_THROW(back.LoadFromClipboardFormat(8, nullptr, 0), EPGUnknownClipboardFormat);
    ExpectThrowWithMessage<EPGBMPFileFormatReader>(
        [&] { back.LoadFromClipboardFormat(8, clip.Data.data(), 39); },
        "BMP: Unexpected end of file");
    ExpectThrowWithMessage<EPGBMPFileFormatReader>(
        [&] { back.LoadFromClipboardFormat(8, clip.Data.data(), 40 + 4 * 255); },
        "BMP: Unexpected end of file");
    // A header that claims a huge picture in a small block allocates nothing.
    auto huge = clip.Data;
    huge[4] = huge[5] = 0xFF;
    huge[8] = huge[9] = 0x7F;
    EXPECT_THROW(back.LoadFromClipboardFormat(8, huge.data(), huge.size()), EPixelGraphic);
    auto planes = clip.Data;
    planes[12] = 2;
    ExpectThrowWithMessage<EPGBMPFileFormatReader>(
        [&] { back.LoadFromClipboardFormat(8, planes.data(), planes.size()); },
        "BMP: BitmapInfoHeader.biPlanes invalid");
    auto bits = clip.Data;
    bits[14] = 3;
    ExpectThrowWithMessage<EPGBMPFileFormatReader>(
        [&] { back.LoadFromClipboardFormat(8, bits.data(), bits.size()); },
        "BMP: BitmapInfoHeader.biBitCount invalid");
    auto header = clip.Data;
    header[0] = 108;
    ExpectThrowWithMessage<EPGBMPFileFormatReader>(
        [&] { back.LoadFromClipboardFormat(8, header.data(), header.size()); },
        "BMP: Invalid size of BitmapInfoHeader/BitmapCoreHeader");
    EXPECT_TRUE(back.Empty());
}

TEST(PixelGraphicTest, ClipboardBlockIsABitmapWithoutItsFileHeader)
{
    // Cut inside its rows, it loads like a cut bitmap file: the missing top rows stay 0.
    TPixelGraphic g;
    g.SetSize(2, 2, bc8Bit);
    g.SetPaletteIdent(pGray256);
    g.SetPixel(0, 0, 7);
    g.SetPixel(0, 1, 9);
    TClipboardData clip = g.SaveToClipboardFormat();
    TPixelGraphic back;
    back.LoadFromClipboardFormat(8, clip.Data.data(), clip.Data.size() - 4);
    EXPECT_EQ(back.GetPixel(0, 1), 9u);
    EXPECT_EQ(back.GetPixel(0, 0), 0u);
    // The depths a bitmap may have are taken, 16 bits with its 5-5-5 layout among them.
    const std::uint8_t sixteen[] = {40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0,    0,    1, 0, 16,
                                    0,  0, 0, 0, 0, 4, 0, 0, 0, 0, 0,    0,    0, 0, 0,
                                    0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0x1F, 0x7C, 0, 0};
    back.LoadFromClipboardFormat(8, sixteen, sizeof sixteen);
    EXPECT_EQ(back.BitCount(), bc24Bit);
    EXPECT_EQ(GetRValue(back.GetPixelColor(0, 0)), 255);
    EXPECT_EQ(GetBValue(back.GetPixelColor(0, 0)), 255);
}

TEST(PixelGraphicTest, ClipboardReadsTopDownRows)
{
    TPixelGraphic g;
    g.SetSize(1, 2, bc8Bit);
    g.SetPaletteIdent(pGray256);
    g.SetPixel(0, 0, 10); // top
    g.SetPixel(0, 1, 20);
    TClipboardData clip = g.SaveToClipboardFormat();
    // Make it top-down: negative height and the rows exchanged.
    const std::uint32_t minusTwo = static_cast<std::uint32_t>(-2);
    for (int i = 0; i < 4; ++i)
        clip.Data[8 + i] = static_cast<std::uint8_t>(minusTwo >> (8 * i));
    const std::size_t pixels = 40 + 4 * 256;
    std::swap(clip.Data[pixels], clip.Data[pixels + 4]);
    TPixelGraphic back;
    back.LoadFromClipboardFormat(8, clip.Data.data(), clip.Data.size());
    EXPECT_EQ(back.GetPixel(0, 0), 10u);
    EXPECT_EQ(back.GetPixel(0, 1), 20u);
}

} // namespace
} // namespace scenaria
