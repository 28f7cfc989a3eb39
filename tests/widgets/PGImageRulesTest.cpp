// The viewer's decisions, asked directly: picture box size and place, scroll bars, the display
// copy, tiles and clocks.

#include "widgets/PGImageRules.h"

#include <gtest/gtest.h>

namespace scenaria {
namespace {

constexpr int Bar = 17; // a scroll bar's width and height in these cases

struct TSizeCase {
    TStretch Stretch;
    int W, H, A, B;
    int BoxWidth, BoxHeight;
    double Zoom;
};

TEST(PicBoxSizeTest, EveryStretchModeOnAFewSizes)
{
    const TSizeCase cases[] = {
        {sNeverKAR, 300, 200, 400, 400, 300, 200, 1.0},
        {sNeverKAR, 900, 700, 400, 400, 900, 700, 1.0},
        {sAlways, 300, 200, 400, 300, 400, 300, -1.0},
        {sAlways, 900, 200, 400, 300, 400, 300, -1.0},
        {sAlwaysKAR, 1000, 500, 400, 400, 400, 200, 0.4},
        {sAlwaysKAR, 300, 200, 400, 400, 400, 266, 400.0 / 300},
        {sAlwaysKAR, 200, 400, 400, 300, 150, 300, 0.75},
        {sShrink, 500, 200, 400, 400, 400, 200, -1.0},
        {sShrink, 300, 200, 400, 400, 300, 200, 1.0},
        {sShrink, 300, 500, 400, 400, 300, 400, -1.0},
        {sShrinkKAR, 300, 200, 400, 400, 300, 200, 1.0},
        {sShrinkKAR, 800, 400, 400, 400, 400, 200, 0.5},
        {sEnlarge, 300, 200, 400, 400, 400, 400, -1.0},
        // Taller than the window: the width it grows to leaves room for the vertical bar.
        {sEnlarge, 300, 500, 400, 400, 400 - Bar, 500, -1.0},
        {sEnlarge, 500, 300, 400, 400, 500, 400 - Bar, -1.0},
        {sEnlarge, 500, 500, 400, 400, 500, 500, 1.0},
        {sEnlargeKAR, 100, 50, 400, 400, 400, 200, 4.0},
        {sEnlargeKAR, 500, 50, 400, 400, 500, 50, 1.0},
        // The shorter edge fills the window less a scroll bar; the picture scrolls lengthwise.
        {sAlwaysLongerEdgeKAR, 1000, 500, 400, 400, 766, 400 - Bar, 383.0 / 500},
        {sAlwaysLongerEdgeKAR, 500, 1000, 400, 400, 400 - Bar, 766, 383.0 / 500},
        {sAlwaysLongerEdgeKAR, 400, 400, 400, 400, 400, 400, 1.0},
        {sShrinkLongerEdgeKAR, 300, 200, 400, 400, 300, 200, 1.0},
        {sShrinkLongerEdgeKAR, 390, 200, 400, 400, 390, 200, 1.0},
        {sShrinkLongerEdgeKAR, 1000, 500, 400, 400, 766, 400 - Bar, 383.0 / 500},
        {sEnlargeShrinkLongerEdgeKAR, 100, 50, 400, 400, 400, 200, 4.0},
        {sEnlargeShrinkLongerEdgeKAR, 1000, 500, 400, 400, 766, 400 - Bar, 383.0 / 500},
        {sEnlargeLongerEdgeKAR, 100, 50, 400, 400, 766, 400 - Bar, 383.0 / 50},
        {sEnlargeLongerEdgeKAR, 1000, 500, 400, 400, 1000, 500, 1.0},
    };
    for (const TSizeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "stretch " << c.Stretch << ", " << c.W << "x" << c.H
                                        << " in " << c.A << "x" << c.B);
        const TBoxSize box = PicBoxSize(c.W, c.H, c.A, c.B, c.Stretch, 1.0, Bar, Bar);
        EXPECT_EQ(box.Width, c.BoxWidth);
        EXPECT_EQ(box.Height, c.BoxHeight);
        EXPECT_DOUBLE_EQ(box.Zoom, c.Zoom);
    }
}

TEST(PicBoxSizeTest, ZoomRoundsAndRefusesSillyFactors)
{
    TBoxSize box = PicBoxSize(301, 201, 400, 400, sZoomKAR, 1.5, Bar, Bar);
    EXPECT_EQ(box.Width, 452);
    EXPECT_EQ(box.Height, 302);
    EXPECT_DOUBLE_EQ(box.Zoom, 1.5);
    box = PicBoxSize(301, 201, 400, 400, sZoomKAR, 0.0, Bar, Bar);
    EXPECT_EQ(box.Width, 301);
    EXPECT_DOUBLE_EQ(box.Zoom, 1.0);
    box = PicBoxSize(301, 201, 400, 400, sZoomKAR, -2.0, Bar, Bar);
    EXPECT_EQ(box.Height, 201);
    // A factor no window could scroll through is cut, not turned into a negative size.
    box = PicBoxSize(3000, 2000, 400, 400, sZoomKAR, 1e12, Bar, Bar);
    EXPECT_EQ(box.Width, MaxPicBoxExtent);
    EXPECT_EQ(box.Height, MaxPicBoxExtent);
    box = PicBoxSize(3000, 2000, 400, 400, sZoomKAR, 1e-9, Bar, Bar);
    EXPECT_EQ(box.Width, 1);
    EXPECT_EQ(box.Height, 1);
}

TEST(PicBoxSizeTest, NothingToFitKeepsThePictureSizeAndAThinPictureStaysVisible)
{
    EXPECT_EQ(PicBoxSize(0, 0, 400, 400, sAlwaysKAR, 1.0, Bar, Bar).Width, 0);
    const TBoxSize none = PicBoxSize(300, 200, 0, 400, sAlwaysKAR, 1.0, Bar, Bar);
    EXPECT_EQ(none.Width, 300);
    EXPECT_EQ(none.Height, 200);
    const TBoxSize thin = PicBoxSize(1, 10000, 400, 400, sAlwaysKAR, 1.0, Bar, Bar);
    EXPECT_EQ(thin.Width, 1);
    EXPECT_EQ(thin.Height, 400);
}

TEST(PictureLayoutTest, AlwaysKARCentresAWidePictureVertically)
{
    const TPictureLayout layout =
        PictureLayout(1000, 500, 400, 400, sAlwaysKAR, 1.0, true, Bar, Bar);
    EXPECT_EQ(layout.BoxWidth, 400);
    EXPECT_EQ(layout.BoxHeight, 200);
    EXPECT_EQ(layout.BoxLeft, 0);
    EXPECT_EQ(layout.BoxTop, 100);
    EXPECT_FALSE(layout.Bars.Horizontal);
    EXPECT_FALSE(layout.Bars.Vertical);
    EXPECT_DOUBLE_EQ(layout.Zoom, 0.4);
}

TEST(PictureLayoutTest, CentredSmallerPictureHasEqualMarginsTheOddPixelRightAndBelow)
{
    const TPictureLayout layout = PictureLayout(301, 200, 400, 401, sNeverKAR, 1.0, true, Bar, Bar);
    EXPECT_EQ(layout.BoxLeft, 49);
    EXPECT_EQ(400 - layout.BoxLeft - layout.BoxWidth, 50);
    EXPECT_EQ(layout.BoxTop, 100);
    EXPECT_EQ(401 - layout.BoxTop - layout.BoxHeight, 101);
    EXPECT_EQ(layout.ScrollX, 0);
    EXPECT_EQ(layout.ScrollY, 0);

    const TPictureLayout left = PictureLayout(301, 200, 400, 401, sNeverKAR, 1.0, false, Bar, Bar);
    EXPECT_EQ(left.BoxLeft, 0);
    EXPECT_EQ(left.BoxTop, 0);
}

TEST(PictureLayoutTest, ScrollBarsTakeTheirRoomTwiceOver)
{
    // Wider than the window: a horizontal bar, which leaves 383 rows, too few for 390.
    TPictureLayout layout = PictureLayout(500, 390, 400, 400, sNeverKAR, 1.0, true, Bar, Bar);
    EXPECT_TRUE(layout.Bars.Horizontal);
    EXPECT_TRUE(layout.Bars.Vertical);
    EXPECT_EQ(layout.Bars.ClientWidth, 383);
    EXPECT_EQ(layout.Bars.ClientHeight, 383);
    EXPECT_EQ(layout.BoxLeft, 0);
    EXPECT_EQ(layout.BoxTop, 0);
    // A larger picture opens scrolled to its middle.
    EXPECT_EQ(layout.ScrollX, (500 - 383) / 2);
    EXPECT_EQ(layout.ScrollY, (390 - 383) / 2);

    // Only wider: centred vertically in what the horizontal bar leaves.
    layout = PictureLayout(410, 300, 400, 400, sNeverKAR, 1.0, true, Bar, Bar);
    EXPECT_TRUE(layout.Bars.Horizontal);
    EXPECT_FALSE(layout.Bars.Vertical);
    EXPECT_EQ(layout.BoxTop, (383 - 300) / 2);
    EXPECT_EQ(layout.ScrollX, 5);
    EXPECT_EQ(layout.ScrollY, 0);

    layout = PictureLayout(390, 300, 400, 400, sNeverKAR, 1.0, true, Bar, Bar);
    EXPECT_FALSE(layout.Bars.Horizontal);
    EXPECT_FALSE(layout.Bars.Vertical);
    EXPECT_EQ(layout.BoxLeft, 5);

    // Without centring a larger picture opens at its top-left corner.
    layout = PictureLayout(500, 390, 400, 400, sNeverKAR, 1.0, false, Bar, Bar);
    EXPECT_EQ(layout.ScrollX, 0);
    EXPECT_EQ(layout.ScrollY, 0);

    const TScrollBars bars = ScrollBarsFor(395, 405, 400, 400, Bar, Bar);
    EXPECT_TRUE(bars.Vertical);
    EXPECT_TRUE(bars.Horizontal) << "the vertical bar leaves 383 columns for 395";
    const TScrollBars none = ScrollBarsFor(400, 400, 400, 400, Bar, Bar);
    EXPECT_FALSE(none.Horizontal);
    EXPECT_FALSE(none.Vertical);
}

TEST(AutoSizeTest, PictureBorderScrollBarsAndLimits)
{
    TBoxSize size = AutoSizeFor(300, 200, 2, {}, Bar, Bar);
    EXPECT_EQ(size.Width, 304);
    EXPECT_EQ(size.Height, 204);
    TAutoSizeLimits limits;
    limits.MaxWidth = 250;
    size = AutoSizeFor(300, 200, 2, limits, Bar, Bar);
    EXPECT_EQ(size.Width, 250);
    EXPECT_EQ(size.Height, 204 + Bar);
    limits.MaxHeight = 210;
    size = AutoSizeFor(300, 200, 2, limits, Bar, Bar);
    EXPECT_EQ(size.Width, 250);
    EXPECT_EQ(size.Height, 210);
    limits = {};
    limits.MinWidth = 500;
    limits.MinHeight = 50;
    size = AutoSizeFor(300, 20, 0, limits, Bar, Bar);
    EXPECT_EQ(size.Width, 500);
    EXPECT_EQ(size.Height, 50);
}

TDisplayImageState TrueColourPicture(int depth)
{
    TDisplayImageState s;
    s.DisplayBits = depth;
    s.GraphicBits = 24;
    s.GraphicPalette = pTrueColor;
    s.BoxWidth = s.GraphicWidth = 300;
    s.BoxHeight = s.GraphicHeight = 200;
    return s;
}

TEST(DisplayImageDecisionTest, TrueColourDisplayWithFastStretchingNeverNeedsOne)
{
    for (const bool stale : {false, true}) {
        TDisplayImageState s = TrueColourPicture(24);
        s.MarkedStale = stale;
        s.BoxWidth = 123; // stretched by the canvas
        const TDisplayImageDecision d = DecideDisplayImage(s);
        EXPECT_FALSE(d.Needed);
        EXPECT_FALSE(d.Build);
        EXPECT_TRUE(d.Drop);
    }
    TDisplayImageState s = TrueColourPicture(32);
    s.StretchMode = smPrecise;
    s.BoxWidth = 150;
    TDisplayImageDecision d = DecideDisplayImage(s);
    EXPECT_TRUE(d.Needed) << "a resampled copy for the box";
    EXPECT_TRUE(d.Build);
    s.BoxWidth = 300;
    EXPECT_FALSE(DecideDisplayImage(s).Needed);
}

TEST(DisplayImageDecisionTest, EightBitDisplayBuildsOnceAndAgainWhenStale)
{
    TDisplayImageState s = TrueColourPicture(8);
    TDisplayImageDecision d = DecideDisplayImage(s);
    EXPECT_TRUE(d.Needed);
    EXPECT_TRUE(d.Build);
    s.UnderWay = true;
    d = DecideDisplayImage(s);
    EXPECT_FALSE(d.Build) << "one under way is enough";
    EXPECT_FALSE(d.Drop);
    s.UnderWay = false;
    s.Present = true;
    s.MadeWidth = 300;
    s.MadeHeight = 200;
    d = DecideDisplayImage(s);
    EXPECT_FALSE(d.Build);
    EXPECT_FALSE(d.Drop);
    s.MarkedStale = true;
    d = DecideDisplayImage(s);
    EXPECT_TRUE(d.Drop);
    EXPECT_TRUE(d.Build);
    s.KeepOld = true;
    d = DecideDisplayImage(s);
    EXPECT_FALSE(d.Drop) << "kept on screen while the new one is built";
    EXPECT_TRUE(d.Build);
    s.UseThread = false;
    EXPECT_TRUE(DecideDisplayImage(s).Drop) << "only a worker lets the old one stay";

    // Precise stretching: the copy follows the box.
    s = TrueColourPicture(8);
    s.StretchMode = smPrecise;
    s.Present = true;
    s.MadeWidth = 300;
    s.MadeHeight = 200;
    s.BoxWidth = 250;
    d = DecideDisplayImage(s);
    EXPECT_TRUE(d.Stale);
    EXPECT_TRUE(d.Build);
    s.ReduceOnLoad = true;
    EXPECT_FALSE(DecideDisplayImage(s).Stale);
}

TEST(DisplayImageDecisionTest, PalettedPicturesOnPalettedDisplays)
{
    TDisplayImageState s;
    s.DisplayBits = 8;
    s.GraphicBits = 8;
    s.BoxWidth = s.GraphicWidth = 10;
    s.BoxHeight = s.GraphicHeight = 10;
    s.GraphicPalette = pUnknown;
    EXPECT_TRUE(DecideDisplayImage(s).Needed);
    s.ReduceOnLoad = true;
    EXPECT_FALSE(DecideDisplayImage(s).Needed) << "reduced already when it was loaded";
    s.ReduceOnLoad = false;
    s.Palette8Bit8Bit = pSource;
    EXPECT_FALSE(DecideDisplayImage(s).Needed);
    s.Palette8Bit8Bit = pGray256;
    s.GraphicPalette = pGray256;
    EXPECT_FALSE(DecideDisplayImage(s).Needed);

    // A 4-bit display shows the 16 system colours and nothing else.
    s.DisplayBits = 4;
    s.GraphicBits = 4;
    s.GraphicPalette = pSys16;
    EXPECT_FALSE(DecideDisplayImage(s).Needed);
    s.GraphicPalette = pGray16;
    EXPECT_TRUE(DecideDisplayImage(s).Needed);
    s.GraphicBits = 8;
    s.GraphicPalette = pSys16;
    EXPECT_TRUE(DecideDisplayImage(s).Needed) << "more bits than the display";
    s.GraphicBits = 0;
    EXPECT_FALSE(DecideDisplayImage(s).Needed) << "no picture";
}

TEST(DisplayJobPlanTest, TargetFollowsTheDisplay)
{
    TDisplayJobInput in;
    in.SourceWidth = 300;
    in.SourceHeight = 200;
    in.BoxWidth = 150;
    in.BoxHeight = 100;
    in.DisplayBits = 8;
    TDisplayJobPlan plan = PlanDisplayJob(in);
    EXPECT_EQ(plan.TargetBits, bc8Bit);
    EXPECT_EQ(plan.Palette, tpOptimized);
    EXPECT_EQ(plan.Phases, 2);
    EXPECT_FALSE(plan.Intermediate);
    EXPECT_EQ(plan.TargetWidth, 300) << "fast stretching leaves the size to the canvas";

    in.StretchMode = smPrecise;
    in.Allow24BitStretch = true;
    plan = PlanDisplayJob(in);
    EXPECT_TRUE(plan.Intermediate);
    EXPECT_EQ(plan.Phases, 3);
    EXPECT_EQ(plan.TargetWidth, 150);
    EXPECT_EQ(plan.TargetHeight, 100);

    in.Palette8Bit24Bit = pSpecial216;
    plan = PlanDisplayJob(in);
    EXPECT_FALSE(plan.Intermediate);
    EXPECT_EQ(plan.Palette, tpStandard);
    EXPECT_EQ(plan.TargetPaletteKind, pSpecial216);
    EXPECT_EQ(plan.Phases, 1);

    in.Palette8Bit24Bit = pTrueColor; // names no palette an 8-bit image could have
    EXPECT_EQ(PlanDisplayJob(in).Palette, tpOptimized);

    in.SourceBits = bc8Bit;
    in.Palette8Bit8Bit = pSource;
    EXPECT_EQ(PlanDisplayJob(in).Palette, tpSource);
    in.Palette8Bit8Bit = pGray256;
    plan = PlanDisplayJob(in);
    EXPECT_EQ(plan.Palette, tpStandard);
    EXPECT_EQ(plan.TargetPaletteKind, pGray256);

    in.DisplayBits = 4;
    plan = PlanDisplayJob(in);
    EXPECT_EQ(plan.TargetBits, bc4Bit);
    EXPECT_EQ(plan.TargetPaletteKind, pSys16);
    in.DisplayBits = 32;
    plan = PlanDisplayJob(in);
    EXPECT_EQ(plan.TargetBits, bc24Bit);
    EXPECT_EQ(plan.Palette, tpNone);

    in.BoxWidth = 0;
    plan = PlanDisplayJob(in);
    EXPECT_EQ(plan.TargetWidth, 1);
    EXPECT_EQ(plan.TargetHeight, 1);
}

TEST(ProgressTest, PercentOfRowsAndThrottle)
{
    EXPECT_EQ(RowPercent(0, 1), 100);
    EXPECT_EQ(RowPercent(0, 201), 0);
    EXPECT_EQ(RowPercent(100, 201), 50);
    EXPECT_EQ(RowPercent(200, 201), 100);

    TProgressThrottle throttle;
    EXPECT_TRUE(throttle.Report(0, 0));
    EXPECT_FALSE(throttle.Report(1, 49)) << "same 50 ms period";
    EXPECT_TRUE(throttle.Report(1, 50));
    EXPECT_FALSE(throttle.Report(1, 200)) << "same per cent";
    EXPECT_TRUE(throttle.Report(2, 200));
}

TEST(TilePlanTest, TilesCoverTheWindowAroundTheBox)
{
    const TRect box{50, 50, 150, 150};
    const TRect all{0, 0, 400, 300};
    TTilePlan plan = PlanTiles(box, 400, 300, all, tNone, false, false);
    ASSERT_EQ(plan.Tiles.size(), 1u);
    EXPECT_EQ(plan.Tiles[0].Rect.Left, 50);

    plan = PlanTiles(box, 400, 300, all, tRepeat, false, false);
    // Columns -1 .. 3, rows -1 .. 2.
    EXPECT_EQ(plan.Tiles.size(), 5u * 4u);
    int minLeft = 1000, maxRight = -1000;
    for (const TTile& t : plan.Tiles) {
        minLeft = std::min(minLeft, t.Rect.Left);
        maxRight = std::max(maxRight, t.Rect.Right);
        EXPECT_FALSE(t.MirrorHorizontal || t.MirrorVertical);
    }
    EXPECT_EQ(minLeft, -50);
    EXPECT_EQ(maxRight, 450);

    // A box starting at the edge needs no tile before it.
    plan = PlanTiles({0, 0, 100, 100}, 250, 100, {0, 0, 250, 100}, tRepeat, false, false);
    EXPECT_EQ(plan.Tiles.size(), 3u);

    // Only the tiles inside the clip are drawn.
    plan = PlanTiles(box, 400, 300, {60, 60, 70, 70}, tRepeat, false, false);
    EXPECT_EQ(plan.Tiles.size(), 1u);
}

TEST(TilePlanTest, MirroringAndWhenACopyPaysOff)
{
    const TRect box{50, 50, 150, 150};
    const TRect all{0, 0, 400, 300};
    TTilePlan plan = PlanTiles(box, 400, 300, all, tMirrorHorizontal, false, false);
    for (const TTile& t : plan.Tiles) {
        const int column = (t.Rect.Left - box.Left) / 100;
        EXPECT_EQ(t.MirrorHorizontal, column % 2 != 0);
        EXPECT_FALSE(t.MirrorVertical);
    }
    EXPECT_TRUE(plan.CopyHorizontal) << "three mirrored columns of four rows";
    EXPECT_FALSE(plan.CopyVertical);

    plan = PlanTiles(box, 400, 300, all, tMirror, true, false);
    for (const TTile& t : plan.Tiles) {
        const int column = (t.Rect.Left - box.Left) / 100, row = (t.Rect.Top - box.Top) / 100;
        EXPECT_EQ(t.MirrorHorizontal, column % 2 == 0) << "the flip turns the pattern round";
        EXPECT_EQ(t.MirrorVertical, row % 2 != 0);
    }

    // Two mirrored tiles in view: each is drawn mirrored, no copy is made.
    plan = PlanTiles(box, 400, 300, {0, 60, 260, 70}, tMirrorHorizontal, false, false);
    EXPECT_EQ(plan.Tiles.size(), 4u);
    EXPECT_FALSE(plan.CopyHorizontal) << "columns -1 and 1";
    plan = PlanTiles(box, 400, 300, {0, 60, 400, 70}, tMirrorHorizontal, false, false);
    EXPECT_EQ(plan.Tiles.size(), 5u);
    EXPECT_TRUE(plan.CopyHorizontal) << "columns -1, 1 and 3";

    // A one-pixel picture over a large window: no list of millions of tiles.
    plan = PlanTiles({500, 500, 501, 501}, 4000, 3000, {0, 0, 4000, 3000}, tRepeat, false, false);
    EXPECT_TRUE(plan.Pattern);
    EXPECT_TRUE(plan.Tiles.empty());
    EXPECT_FALSE(PlanTiles(box, 400, 300, all, tRepeat, false, false).Pattern);

    // An empty box has nothing to tile (and nothing to divide by).
    EXPECT_TRUE(PlanTiles({10, 10, 10, 10}, 400, 300, all, tRepeat, false, false).Tiles.empty());
}

TEST(MarginsTest, FourStripsAroundTheBox)
{
    const std::vector<TRect> margins = Margins({50, 60, 150, 160}, 200, 200);
    ASSERT_EQ(margins.size(), 4u);
    long area = 0;
    for (const TRect& m : margins)
        area += long(m.Right - m.Left) * (m.Bottom - m.Top);
    EXPECT_EQ(area, 200 * 200 - 100 * 100);
    EXPECT_TRUE(Margins({0, 0, 200, 200}, 200, 200).empty());
    ASSERT_EQ(Margins({0, 0, 0, 0}, 200, 100).size(), 1u) << "no picture: the whole window";
}

TEST(ClockTest, HandsAndPlaces)
{
    TClockHands h = ClockHands(1, 0);
    EXPECT_EQ(h.LongX, 0);
    EXPECT_EQ(h.LongY, -7);
    EXPECT_EQ(h.ShortX, 0);
    EXPECT_EQ(h.ShortY, -6);
    h = ClockHands(1, 25);
    EXPECT_EQ(h.LongX, 7);
    EXPECT_EQ(h.LongY, 0);
    EXPECT_EQ(h.ShortX, 1);
    EXPECT_EQ(h.ShortY, -6);
    h = ClockHands(2, 50);
    EXPECT_EQ(h.LongX, 0);
    EXPECT_EQ(h.LongY, 7);
    EXPECT_EQ(h.ShortX, 4);
    EXPECT_EQ(h.ShortY, -4);

    EXPECT_TRUE(ClockRects({0, 0, 20, 20}, true).empty());
    std::vector<TRect> clocks = ClockRects({0, 0, 21, 21}, true);
    ASSERT_EQ(clocks.size(), 1u);
    EXPECT_EQ(clocks[0].Left, 10 - 7);
    clocks = ClockRects({10, 20, 111, 121}, true);
    ASSERT_EQ(clocks.size(), 5u);
    EXPECT_EQ(clocks[1].Left, 15);
    EXPECT_EQ(clocks[1].Top, 25);
    EXPECT_EQ(clocks[4].Left, 111 - 20);
    EXPECT_EQ(clocks[4].Top, 121 - 20);
    EXPECT_EQ(ClockRects({10, 20, 111, 121}, false).size(), 1u);
    EXPECT_EQ(ClockRects({10, 20, 110, 121}, true).size(), 1u);
}

} // namespace
} // namespace scenaria
