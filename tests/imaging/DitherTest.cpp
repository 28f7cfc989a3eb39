#include "imaging/Palettes.h"
#include "imaging/PixelGraphic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace scenaria {
namespace {

void GreyRamp(TPixelGraphic& g, int width, int height)
{
    g.SetSize(width, height, bc24Bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int v = x * 255 / (width - 1);
            g.SetPixel(x, y, RGB(v, v, v));
        }
}

// Smooth colour gradients with a little noise and a few hard edges, like a photograph.
void PhotoLike(TPixelGraphic& g, int width, int height)
{
    std::mt19937 random(99);
    g.SetSize(width, height, bc24Bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / width, fy = double(y) / height;
            int r = int(40 + 180 * fx * fy + 20 * std::sin(fx * 9));
            int gg = int(60 + 120 * (1 - fx) + 50 * std::cos(fy * 7));
            int b = int(200 * fy + (x > width / 2 && y < height / 3 ? 40 : 0));
            const int n = static_cast<int>(random() % 9) - 4;
            g.SetPixel(x, y,
                       RGB(std::clamp(r + n, 0, 255), std::clamp(gg + n, 0, 255),
                           std::clamp(b + n, 0, 255)));
        }
}

struct TMean {
    double R = 0, G = 0, B = 0;
};

TMean MeanColor(const TPixelGraphic& g, int x0, int y0, int x1, int y1)
{
    TMean m;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const TColor c = g.GetPixelColor(x, y);
            m.R += GetRValue(c);
            m.G += GetGValue(c);
            m.B += GetBValue(c);
        }
    const double n = double(x1 - x0) * (y1 - y0);
    m.R /= n;
    m.G /= n;
    m.B /= n;
    return m;
}

TEST(DitherTest, GreyRampToBlackAndWhiteKeepsTheLocalBrightness)
{
    TPixelGraphic ramp, bw;
    GreyRamp(ramp, 256, 64);
    bw.SetSize(256, 64, bc1Bit);
    bw.SetPaletteIdent(pBlackWhite);
    bw.CopyFrom(ramp);
    for (int band = 0; band < 8; ++band) {
        const TMean want = MeanColor(ramp, band * 32, 0, band * 32 + 32, 64);
        const TMean got = MeanColor(bw, band * 32, 0, band * 32 + 32, 64);
        EXPECT_NEAR(got.G, want.G, 10) << "band " << band;
    }
    // Without dithering it is a plain threshold.
    TPixelGraphic hard;
    hard.SetSize(256, 64, bc1Bit);
    hard.SetPaletteIdent(pBlackWhite);
    hard.Dither = false;
    hard.CopyFrom(ramp);
    EXPECT_EQ(hard.GetPixel(127, 10), 0u);
    EXPECT_EQ(hard.GetPixel(128, 10), 1u);
    EXPECT_NEAR(MeanColor(hard, 0, 0, 64, 64).G, 0, 0.01);
}

TEST(DitherTest, PhotographToOptimisedPaletteKeepsTheMeanColour)
{
    TPixelGraphic photo, reduced;
    PhotoLike(photo, 320, 240);
    reduced.SetSize(320, 240, bc8Bit);
    MakeOptimizedPalette(reduced, photo, 232, true);
    reduced.CopyFrom(photo);
    const TMean want = MeanColor(photo, 0, 0, 320, 240);
    const TMean got = MeanColor(reduced, 0, 0, 320, 240);
    EXPECT_NEAR(got.R, want.R, 1.0);
    EXPECT_NEAR(got.G, want.G, 1.0);
    EXPECT_NEAR(got.B, want.B, 1.0);
    // Locally too: 16 x 16 blocks stay closer to the original's than without dithering.
    TPixelGraphic plain;
    plain.SetSize(320, 240, bc8Bit);
    plain.CopyPalette(reduced);
    plain.Dither = false;
    plain.CopyFrom(photo);
    auto worstBlock = [&](const TPixelGraphic& g) {
        double worst = 0;
        for (int by = 0; by < 240; by += 16)
            for (int bx = 0; bx < 320; bx += 16) {
                const TMean a = MeanColor(photo, bx, by, bx + 16, by + 16);
                const TMean b = MeanColor(g, bx, by, bx + 16, by + 16);
                worst = std::max(
                    {worst, std::fabs(a.R - b.R), std::fabs(a.G - b.G), std::fabs(a.B - b.B)});
            }
        return worst;
    };
    const double dithered = worstBlock(reduced), undithered = worstBlock(plain);
    EXPECT_LT(dithered, 7.0);
    EXPECT_LT(dithered, undithered);
}

TEST(DitherTest, GreyPaletteTakesTheLuminance)
{
    TPixelGraphic photo, grey;
    PhotoLike(photo, 64, 64);
    grey.SetSize(64, 64, bc4Bit);
    grey.SetPaletteIdent(pGray16);
    grey.CopyFrom(photo);
    EXPECT_TRUE(grey.IsGray());
    double want = 0, got = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            want += Luminance(photo.GetPixel(x, y), true) / 3;
            got += GetGValue(grey.GetPixelColor(x, y));
        }
    EXPECT_NEAR(got / 4096, want / 4096, 1.5);
}

TEST(DitherTest, ErrorLimitZeroDiffusesNothing)
{
    TPixelGraphic photo;
    PhotoLike(photo, 50, 40);
    TPixelGraphic limited, plain;
    for (TPixelGraphic* g : {&limited, &plain}) {
        g->SetSize(50, 40, bc8Bit);
        g->SetPaletteIdent(pSpecial216);
    }
    limited.DitherErrorLimitAuto = false;
    limited.DitherErrorLimit = 0;
    plain.Dither = false;
    limited.CopyFrom(photo);
    plain.CopyFrom(photo);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x)
            ASSERT_EQ(limited.GetPixel(x, y), plain.GetPixel(x, y));
    // A generous limit does diffuse.
    limited.DitherErrorLimit = 255;
    limited.CopyFrom(photo);
    int differ = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x)
            differ += limited.GetPixel(x, y) != plain.GetPixel(x, y);
    EXPECT_GT(differ, 100);
}

TEST(DitherTest, OddRowsRunRightToLeft)
{
    // A row after an exactly matched row starts without error, so it dithers like a fresh
    // first row, only from the other end.
    TPixelGraphic one, two;
    one.SetSize(16, 1, bc24Bit);
    two.SetSize(16, 2, bc24Bit);
    for (int x = 0; x < 16; ++x) {
        one.SetPixel(x, 0, RGB(100, 100, 100));
        two.SetPixel(x, 0, RGB(0, 0, 0));
        two.SetPixel(15 - x, 1, RGB(100, 100, 100));
    }
    TPixelGraphic a, b;
    a.SetSize(16, 1, bc1Bit);
    b.SetSize(16, 2, bc1Bit);
    a.SetPaletteIdent(pBlackWhite);
    b.SetPaletteIdent(pBlackWhite);
    a.CopyFrom(one);
    b.CopyFrom(two);
    int whites = 0;
    for (int x = 0; x < 16; ++x) {
        EXPECT_EQ(b.GetPixel(15 - x, 1), a.GetPixel(x, 0)) << x;
        whites += a.GetPixel(x, 0);
    }
    EXPECT_GT(whites, 2);
    EXPECT_EQ(a.GetPixel(0, 0), 0u);
}

TEST(DitherTest, ResampledCopyIntoPaletteIsDitheredToo)
{
    TPixelGraphic ramp, bw;
    GreyRamp(ramp, 64, 16);
    bw.SetSize(128, 32, bc8Bit);
    bw.SetPaletteIdent(pBlackWhite);
    bw.CopyFrom(ramp);
    const TMean got = MeanColor(bw, 32, 0, 96, 32);
    EXPECT_NEAR(got.G, 127.5, 12);
}

} // namespace
} // namespace scenaria
