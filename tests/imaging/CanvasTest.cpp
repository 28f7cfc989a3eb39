#include "imaging/Canvas.h"
#include "imaging/PixelGraphic.h"

#include <gtest/gtest.h>

namespace scenaria {
namespace {

void Quadrants(TPixelGraphic& g)
{
    g.SetSize(2, 2, bc24Bit);
    g.SetPixel(0, 0, RGB(255, 0, 0));
    g.SetPixel(1, 0, RGB(0, 255, 0));
    g.SetPixel(0, 1, RGB(0, 0, 255));
    g.SetPixel(1, 1, RGB(255, 255, 255));
}

TEST(CanvasTest, FillRectIsClippedAndMatchesThePalette)
{
    TPixelGraphic g;
    g.SetSize(4, 4, bc24Bit);
    g.Canvas().FillRect({-5, 1, 2, 100}, RGB(9, 8, 7));
    EXPECT_EQ(g.GetPixel(0, 1), RGB(9, 8, 7));
    EXPECT_EQ(g.GetPixel(1, 3), RGB(9, 8, 7));
    EXPECT_EQ(g.GetPixel(2, 1), 0u);
    EXPECT_EQ(g.GetPixel(0, 0), 0u);

    TPixelGraphic p;
    p.SetSize(4, 4, bc4Bit);
    p.SetPaletteIdent(pSys16);
    p.Canvas().FillRect({0, 0, 4, 4}, RGB(250, 10, 10));
    EXPECT_EQ(p.GetPixel(3, 3), 9u);
    p.Canvas().FillRect({3, 3, 1, 1}, RGB(0, 0, 0)); // inverted: nothing
    EXPECT_EQ(p.GetPixel(2, 2), 9u);
}

TEST(CanvasTest, StretchDrawTakesTheNearestPixel)
{
    TPixelGraphic source, target;
    Quadrants(source);
    target.SetSize(4, 4, bc24Bit);
    target.Canvas().StretchDraw({0, 0, 4, 4}, source);
    EXPECT_EQ(target.GetPixel(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(target.GetPixel(1, 1), RGB(255, 0, 0));
    EXPECT_EQ(target.GetPixel(2, 1), RGB(0, 255, 0));
    EXPECT_EQ(target.GetPixel(1, 2), RGB(0, 0, 255));
    EXPECT_EQ(target.GetPixel(3, 3), RGB(255, 255, 255));

    // Shrinking drops pixels; nothing is blended.
    TPixelGraphic small;
    small.SetSize(1, 1, bc24Bit);
    small.Canvas().StretchDraw({0, 0, 1, 1}, target);
    EXPECT_EQ(small.GetPixel(0, 0), RGB(255, 255, 255)); // the centre pixel (2, 2)
}

TEST(CanvasTest, ReversedEdgesMirror)
{
    TPixelGraphic source, target;
    Quadrants(source);
    target.SetSize(2, 2, bc24Bit);
    // The rectangle (0, 0, 2, 2) mirrored horizontally: edges exchanged, each less 1.
    target.Canvas().StretchDraw({1, 0, -1, 2}, source);
    EXPECT_EQ(target.GetPixel(0, 0), RGB(0, 255, 0));
    EXPECT_EQ(target.GetPixel(1, 0), RGB(255, 0, 0));
    target.Canvas().StretchDraw({0, 1, 2, -1}, source);
    EXPECT_EQ(target.GetPixel(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(target.GetPixel(1, 1), RGB(0, 255, 0));
}

TEST(CanvasTest, DrawsAnyDepthOntoAnyTarget)
{
    TPixelGraphic mono;
    mono.SetSize(3, 1, bc1Bit);
    mono.SetPaletteIdent(pBlackWhite);
    mono.SetPixel(1, 0, 1);

    TPixelGraphic rgb;
    rgb.SetSize(6, 2, bc24Bit);
    rgb.Canvas().StretchDraw({0, 0, 6, 2}, mono);
    EXPECT_EQ(rgb.GetPixel(2, 1), RGB(255, 255, 255));
    EXPECT_EQ(rgb.GetPixel(4, 0), 0u);

    TPixelGraphic grey;
    grey.SetSize(2, 2, bc8Bit);
    grey.SetPaletteIdent(pGray256);
    TPixelGraphic colour;
    Quadrants(colour);
    grey.Canvas().Draw(0, 0, colour);
    EXPECT_EQ(grey.GetPixel(0, 0), 76u); // luminance of red: 228 / 3
    EXPECT_EQ(grey.GetPixel(1, 1), 255u);

    TPixelGraphic four;
    four.SetSize(3, 1, bc4Bit);
    four.SetPaletteIdent(pSys16);
    four.Canvas().Draw(0, 0, mono);
    EXPECT_EQ(four.GetPixel(0, 0), 0u);
    EXPECT_EQ(four.GetPixel(1, 0), 15u);

    // Off the target and empty images draw nothing.
    TPixelGraphic empty;
    four.Canvas().Draw(0, 0, empty);
    four.Canvas().Draw(-100, 0, mono);
    four.Canvas().StretchDraw({0, 0, 0x7FFFFFFF, 0x7FFFFFFF}, mono);
    EXPECT_EQ(four.GetPixel(0, 0), 0u);
}

TEST(CanvasTest, DrawingAnImageOntoItself)
{
    TPixelGraphic g;
    Quadrants(g);
    g.Canvas().StretchDraw({1, 0, 2, 2}, g); // the whole picture squeezed into column 1
    EXPECT_EQ(g.GetPixel(1, 0), RGB(0, 255, 0));
    EXPECT_EQ(g.GetPixel(1, 1), RGB(255, 255, 255));
    EXPECT_EQ(g.GetPixel(0, 0), RGB(255, 0, 0));
}

} // namespace
} // namespace scenaria
