// The balloon's arithmetic, without a display.

#include "widgets/BalloonGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace scenaria {
namespace {

int Count(const std::vector<TBalloonPixel>& pixels, TBalloonPixel kind)
{
    return static_cast<int>(std::count(pixels.begin(), pixels.end(), kind));
}

TBalloonPixel At(const TBalloonLayout& l, const std::vector<TBalloonPixel>& pixels, int x, int y)
{
    return pixels[static_cast<std::size_t>(y) * l.Width + x];
}

TEST(BalloonGeometry, MaxWidthInPixels)
{
    EXPECT_EQ(EffectiveMaxWidth(-4, 1024), 256);
    EXPECT_EQ(EffectiveMaxWidth(-3, 1000), 333);
    EXPECT_EQ(EffectiveMaxWidth(300, 1024), 300);
    EXPECT_EQ(EffectiveMaxWidth(1024, 1024), 1024);
    EXPECT_EQ(EffectiveMaxWidth(5000, 1024), 1024) << "never wider than the screen";
    EXPECT_EQ(EffectiveMaxWidth(-1, 1024), 1024);
    EXPECT_EQ(EffectiveMaxWidth(INT_MIN, 1024), 0);
}

TEST(BalloonGeometry, TextWrapsAtAQuarterOfTheScreenWhereverThePointerIs)
{
    const int maxWidth = EffectiveMaxWidth(-4, 1024);
    for (int x = 0; x <= 1024; x += 8)
        ASSERT_EQ(TextWidthLimit(maxWidth, 1024, x, 8), 256 - 8 - 33) << "pointer at " << x;
    // A wide maximum is cut to the room on the wider side of the pointer.
    EXPECT_EQ(TextWidthLimit(1024, 1024, 100, 8), 924 - 8 - 33);
    EXPECT_EQ(TextWidthLimit(1024, 1024, 1000, 0), 1000 - 33);
    EXPECT_EQ(TextWidthLimit(1024, 1024, 512, 16), 512 - 16 - 33);
    // No room at all still leaves a width to wrap in.
    EXPECT_EQ(TextWidthLimit(0, 1024, 512, 8), 1);
}

TEST(BalloonGeometry, WindowSizeAroundTheText)
{
    EXPECT_EQ(BalloonWindowSize({200, 26}, 8), (TBalloonSize{200 + 8 + 33, 26 + 8 + 38}));
    EXPECT_EQ(BalloonWindowSize({200, 13}, 0), (TBalloonSize{233, 51}));
    // One short word: the tail needs the minimum width whatever the shadow.
    for (const int s : {0, 8, 16}) {
        EXPECT_EQ(BalloonWindowSize({26 - s, 13}, s).Width, BalloonMinWidth);
        EXPECT_EQ(BalloonWindowSize({0, 0}, s).Width, BalloonMinWidth);
    }
    EXPECT_EQ(BalloonWindowSize({26, 13}, 0).Width, 59);
    EXPECT_EQ(BalloonWindowSize({27, 13}, 0).Width, 60);
}

TEST(BalloonGeometry, LayoutOfTheFourOrientations)
{
    const TBalloonSize window{241, 72};
    const int s = 8;
    const TBalloonLayout aboveLeft = BalloonLayout(window, s, bpAboveLeft);
    EXPECT_EQ(aboveLeft.Body, (TBalloonRect{0, 0, 241 - 8 - 15, 72 - 8 - 19}));
    EXPECT_EQ(aboveLeft.Tip, (TBalloonPoint{233, 64}));
    EXPECT_EQ(aboveLeft.Base1, (TBalloonPoint{233 - 21, 44}));
    EXPECT_EQ(aboveLeft.Base2, (TBalloonPoint{233 - 41, 44}));

    const TBalloonLayout aboveRight = BalloonLayout(window, s, bpAboveRight);
    EXPECT_EQ(aboveRight.Body, (TBalloonRect{15, 0, 233, 45}));
    EXPECT_EQ(aboveRight.Tip, (TBalloonPoint{0, 64}));
    EXPECT_EQ(aboveRight.Base1, (TBalloonPoint{21, 44}));
    EXPECT_EQ(aboveRight.Base2, (TBalloonPoint{41, 44}));

    const TBalloonLayout belowLeft = BalloonLayout(window, s, bpBelowLeft);
    EXPECT_EQ(belowLeft.Body, (TBalloonRect{0, 19, 218, 64}));
    EXPECT_EQ(belowLeft.Tip, (TBalloonPoint{233, 0}));
    EXPECT_EQ(belowLeft.Base1, (TBalloonPoint{212, 19}));
    EXPECT_EQ(belowLeft.Base2, (TBalloonPoint{192, 19}));

    const TBalloonLayout belowRight = BalloonLayout(window, s, bpBelowRight);
    EXPECT_EQ(belowRight.Body, (TBalloonRect{15, 19, 233, 64}));
    EXPECT_EQ(belowRight.Tip, (TBalloonPoint{0, 0}));
    EXPECT_EQ(belowRight.Base1, (TBalloonPoint{21, 19}));
    EXPECT_EQ(belowRight.Base2, (TBalloonPoint{41, 19}));

    // The text keeps 9 pixels from the body's edges, and has the room the size rule measured.
    const TBalloonSize text{200, 26};
    for (const TBalloonPosition o : {bpAboveLeft, bpAboveRight, bpBelowLeft, bpBelowRight}) {
        const TBalloonLayout l = BalloonLayout(BalloonWindowSize(text, s), s, o);
        EXPECT_EQ(l.Text.Left, l.Body.Left + 9);
        EXPECT_EQ(l.Text.Bottom, l.Body.Bottom - 9);
        EXPECT_EQ(l.Text.Width(), text.Width);
        EXPECT_GE(l.Text.Height(), text.Height);
    }
}

TEST(BalloonGeometry, TheTipSitsAtThePointer)
{
    const TBalloonSize window{100, 60};
    const TBalloonPoint pointer{500, 400};
    for (const TBalloonPosition o : {bpAboveLeft, bpAboveRight, bpBelowLeft, bpBelowRight}) {
        const TBalloonPoint topLeft = PlaceBalloon(o, pointer, window);
        const TBalloonLayout l = BalloonLayout(window, 0, o);
        // Within a pixel: the window below-right starts one pixel off the pointer so that it
        // does not sit under it.
        EXPECT_NEAR(topLeft.X + l.Tip.X, pointer.X, 1) << o;
        EXPECT_NEAR(topLeft.Y + l.Tip.Y, pointer.Y, 1) << o;
    }
    EXPECT_EQ(PlaceBalloon(bpAboveRight, pointer, window), (TBalloonPoint{500, 340}));
    EXPECT_EQ(PlaceBalloon(bpBelowRight, pointer, window), (TBalloonPoint{501, 401}));
}

TEST(BalloonGeometry, FlipsAtTheScreenEdges)
{
    const TBalloonSize screen{1024, 768}, window{200, 60};
    // Room everywhere: the preferred side.
    EXPECT_EQ(PlaceBalloonOnScreen(bpAboveRight, {500, 400}, window, screen).Orientation,
              bpAboveRight);
    // Near the right edge, above-right turns to the left of the pointer.
    const TBalloonPlacement right = PlaceBalloonOnScreen(bpAboveRight, {950, 400}, window, screen);
    EXPECT_EQ(right.Orientation, bpAboveLeft);
    EXPECT_EQ(right.TopLeft, (TBalloonPoint{750, 340}));
    // Near the top, it goes below.
    const TBalloonPlacement top = PlaceBalloonOnScreen(bpAboveRight, {500, 20}, window, screen);
    EXPECT_EQ(top.Orientation, bpBelowRight);
    EXPECT_EQ(top.TopLeft, (TBalloonPoint{501, 21}));
    // In the top right corner both.
    EXPECT_EQ(PlaceBalloonOnScreen(bpAboveRight, {1000, 10}, window, screen).Orientation,
              bpBelowLeft);
    // The other way round from the other corners.
    EXPECT_EQ(PlaceBalloonOnScreen(bpBelowLeft, {10, 760}, window, screen).Orientation,
              bpAboveRight);
    EXPECT_EQ(PlaceBalloonOnScreen(bpBelowRight, {1000, 740}, window, screen).Orientation,
              bpAboveLeft);
    // Exactly fitting is not leaving.
    EXPECT_EQ(PlaceBalloonOnScreen(bpAboveRight, {824, 60}, window, screen).Orientation,
              bpAboveRight);
    EXPECT_EQ(PlaceBalloonOnScreen(bpAboveRight, {825, 59}, window, screen).Orientation,
              bpBelowLeft);
    // Wider than the screen: the later test (off the left edge) wins, back to the right.
    EXPECT_EQ(PlaceBalloonOnScreen(bpAboveLeft, {100, 400}, {1100, 60}, screen).Orientation,
              bpAboveRight);
}

TEST(BalloonGeometry, PixelsOfBalloonAndShadow)
{
    const TBalloonLayout l = BalloonLayout({120, 70}, 8, bpAboveRight);
    const auto pixels = BalloonPixels(l, bsRoundRect);
    ASSERT_EQ(pixels.size(), 120u * 70u);
    // Body inside, its edge framed, the rounded corner cut away, the shadow beside and below.
    EXPECT_EQ(At(l, pixels, 60, 20), bxBody);
    EXPECT_EQ(At(l, pixels, 15, 20), bxBorder);
    EXPECT_EQ(At(l, pixels, 60, 0), bxBorder);
    EXPECT_EQ(At(l, pixels, 15, 0), bxOutside) << "corner of the rounded body";
    EXPECT_EQ(At(l, pixels, 2, 2), bxOutside);
    EXPECT_EQ(At(l, pixels, 119, 20), bxShadow);
    EXPECT_EQ(At(l, pixels, 60, l.Body.Bottom + 3), bxShadow);
    EXPECT_EQ(At(l, pixels, 119, 0), bxOutside);
    // The tail reaches down to its tip at the bottom left, its shadow beside it.
    EXPECT_NE(At(l, pixels, 5, l.Tip.Y - 4), bxOutside);
    EXPECT_EQ(At(l, pixels, 1, 69), bxOutside);
    EXPECT_EQ(At(l, pixels, 45, l.Tip.Y - 2), bxOutside) << "beside the tail";
    // The square shape keeps its corners.
    EXPECT_EQ(At(l, BalloonPixels(l, bsRectangle), 15, 0), bxBorder);
}

TEST(BalloonGeometry, NoShadowDepthNoShadow)
{
    for (const TBalloonPosition o : {bpAboveLeft, bpAboveRight, bpBelowLeft, bpBelowRight}) {
        const TBalloonLayout flat = BalloonLayout({120, 62}, 0, o);
        const auto pixels = BalloonPixels(flat, bsRoundRect);
        EXPECT_EQ(Count(pixels, bxShadow), 0);
        // The same balloon with a shadow covers the same balloon pixels and more.
        const TBalloonLayout deep = BalloonLayout({128, 70}, 8, o);
        const auto shaded = BalloonPixels(deep, bsRoundRect);
        EXPECT_EQ(Count(shaded, bxBody) + Count(shaded, bxBorder),
                  Count(pixels, bxBody) + Count(pixels, bxBorder));
        EXPECT_GT(Count(shaded, bxShadow), 0);
        // The outline with no shadow reaches the window's edges: nothing of it is wasted.
        int right = 0, bottom = 0;
        for (int y = 0; y < flat.Height; ++y)
            for (int x = 0; x < flat.Width; ++x)
                if (At(flat, pixels, x, y) != bxOutside) {
                    right = std::max(right, x);
                    bottom = std::max(bottom, y);
                }
        EXPECT_GE(right, flat.Width - 4) << o;
        EXPECT_GE(bottom, flat.Height - 4) << o;
    }
}

TEST(BalloonGeometry, CheckerboardDarkensEverySecondPixel)
{
    EXPECT_TRUE(ShadedPixelDarkened(0, 0));
    EXPECT_FALSE(ShadedPixelDarkened(1, 0));
    EXPECT_FALSE(ShadedPixelDarkened(0, 1));
    EXPECT_TRUE(ShadedPixelDarkened(7, 7));
}

TEST(BalloonGeometry, DegenerateWindowsDoNotFault)
{
    EXPECT_TRUE(BalloonPixels(BalloonLayout({0, 0}, 8, bpAboveRight), bsRoundRect).empty());
    const auto tiny = BalloonPixels(BalloonLayout({3, 2}, 16, bpBelowLeft), bsRoundRect);
    EXPECT_EQ(tiny.size(), 6u);
}

} // namespace
} // namespace scenaria
