// Composing for several monitors: every fit mode placed, cropped and letterboxed pixel for pixel
// against a model, per monitor and spanned, on a desktop of a landscape and a portrait monitor
// and on one whose monitors differ in height; a round picture stays round and centred on each
// monitor; bad layouts are refused; palette pictures keep their colours.

#include "core/MonitorLayout.h"
#include "core/Wallpaper.h"
#include "imaging/Canvas.h"
#include "imaging/PixelGraphic.h"
#include "imaging/Resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace scenaria {
namespace {

constexpr TColor Letterbox = RGB(20, 240, 255); // blue 255: no picture pixel has it

TMonitor Monitor(const char* name, int x, int y, int width, int height)
{
    return TMonitor{name, x, y, width, height, false, 0};
}

// The two desktops at an eighth of their size: 1920x1080 beside a portrait 1080x1920, and
// 2560x1440 beside 1280x1024 placed 300 pixels lower.
std::vector<TMonitor> Layout(char name)
{
    if (name == 'A')
        return {Monitor("A1", 0, 0, 240, 135), Monitor("A2", 240, 0, 135, 240)};
    return {Monitor("B1", 0, 0, 320, 180), Monitor("B2", 320, 37, 160, 128)};
}

// A colour of its own for every pixel: red and green the low bits of x and y, blue their high
// bits and a mix, always below 128.
TColor Distinct(int x, int y)
{
    return RGB(x & 255, y & 255, (x >> 8) * 64 + (y >> 8) * 32 + ((3 * x + 5 * y) & 31));
}

void PaintDistinct(TPixelGraphic& g, int width, int height)
{
    g.SetSize(width, height, bc24Bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            g.SetPixelColor(x, y, Distinct(x, y));
}

// The picture at the size it is drawn at, by the library's own resampling.
std::shared_ptr<TPixelGraphic> Scaled(const TPixelGraphic& picture, int width, int height,
                                      bool smooth)
{
    auto s = std::make_shared<TPixelGraphic>();
    if (width == picture.Width() && height == picture.Height()) {
        s->Assign(&picture);
    } else if (smooth) {
        s->SetSize(width, height, bc24Bit);
        s->StretchMode = smPrecise;
        ResampleWhole(*s, picture, rrNearest);
    } else {
        s->SetSize(width, height, bc24Bit);
        s->Canvas().StretchDraw(TRect{0, 0, width, height}, picture);
    }
    return s;
}

// What each pixel of a picture fitted to width x height shows: a pixel of the drawn image
// placed at Left, Top (repeated when tiled), or the background.
struct TModel {
    std::shared_ptr<TPixelGraphic> Drawn;
    int Left = 0, Top = 0;
    bool Tiled = false;

    TColor At(int x, int y) const
    {
        const int w = Drawn->Width(), h = Drawn->Height();
        if (Tiled)
            return Drawn->GetPixelColor(x % w, y % h);
        const int sx = x - Left, sy = y - Top;
        return sx >= 0 && sy >= 0 && sx < w && sy < h ? Drawn->GetPixelColor(sx, sy) : Letterbox;
    }
};

TModel Model(const TPixelGraphic& picture, int width, int height, TFitMode mode, bool smooth)
{
    const int pw = picture.Width(), ph = picture.Height();
    int sw = pw, sh = ph;
    if (mode == fmStretch) {
        sw = width;
        sh = height;
    } else if (mode == fmProportional) {
        const long double scale = ProportionalScale(width, height, pw, ph);
        sw = std::max(1, static_cast<int>(pw * scale));
        sh = std::max(1, static_cast<int>(ph * scale));
    } else if (mode == fmFill) {
        const long double scale = std::max(RoundToReal48(static_cast<long double>(width) / pw),
                                           RoundToReal48(static_cast<long double>(height) / ph));
        sw = std::max(width, static_cast<int>(pw * scale));
        sh = std::max(height, static_cast<int>(ph * scale));
    }
    return {Scaled(picture, sw, sh, smooth), (width - sw) / 2, (height - sh) / 2, mode == fmTile};
}

// The last monitor holding a layout pixel, or -1.
int MonitorAt(const std::vector<TMonitor>& monitors, const TRect& bounds, int x, int y)
{
    int found = -1;
    for (int i = 0; i < static_cast<int>(monitors.size()); ++i) {
        const TMonitor& m = monitors[i];
        const int lx = x + bounds.Left - m.X, ly = y + bounds.Top - m.Y;
        if (lx >= 0 && ly >= 0 && lx < m.Width && ly < m.Height)
            found = i;
    }
    return found;
}

::testing::AssertionResult SameColor(const TPixelGraphic& image, int x, int y, TColor expected)
{
    const TColor actual = image.GetPixelColor(x, y);
    if (actual == expected)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << std::hex
                                         << actual << ", expected " << expected;
}

// Fit rows: layout, mode, spanned, large picture, smooth.
using TFitRow = std::tuple<char, TFitMode, bool, bool, bool>;

std::string FitRowName(const ::testing::TestParamInfo<TFitRow>& info)
{
    static const char* const modes[] = {"Tile", "Centre", "Stretch", "Proportional", "Fill"};
    const auto& [layout, mode, spanned, large, smooth] = info.param;
    return std::string(1, layout) + "_" + modes[mode] + (spanned ? "_Spanned" : "_PerMonitor") +
           (large ? "_Large" : "_Small") + (smooth ? "_Smooth" : "_Nearest");
}

class FitLayoutTest : public ::testing::TestWithParam<TFitRow> {};

TEST_P(FitLayoutTest, EveryPixelIsWhereTheModelPutsIt)
{
    const auto& [layoutName, mode, spanned, large, smooth] = GetParam();
    const std::vector<TMonitor> monitors = Layout(layoutName);
    const TRect bounds = LayoutBounds(monitors);
    TPixelGraphic picture;
    // Smaller than the monitors, or larger in some side than each (odd sizes: odd leftovers).
    PaintDistinct(picture, large ? 301 : 50, large ? 157 : 31);
    const TFitStyle style{mode, Letterbox, smooth};

    TPixelGraphic layout;
    std::vector<TModel> models;
    if (spanned) {
        ComposeSpanned(layout, monitors, picture, style);
        models.push_back(
            Model(picture, bounds.Right - bounds.Left, bounds.Bottom - bounds.Top, mode, smooth));
    } else {
        std::vector<std::unique_ptr<TPixelGraphic>> bitmaps;
        std::vector<const TPixelGraphic*> pointers;
        for (const TMonitor& m : monitors) {
            bitmaps.push_back(std::make_unique<TPixelGraphic>());
            ComposeForMonitor(*bitmaps.back(), picture, m.Width, m.Height, style);
            pointers.push_back(bitmaps.back().get());
            models.push_back(Model(picture, m.Width, m.Height, mode, smooth));
        }
        ComposeLayout(layout, monitors, pointers);
    }
    ASSERT_EQ(layout.BitCount(), bc24Bit);
    ASSERT_EQ(layout.Width(), bounds.Right - bounds.Left);
    ASSERT_EQ(layout.Height(), bounds.Bottom - bounds.Top);

    int wrong = 0;
    for (int y = 0; y < layout.Height(); ++y)
        for (int x = 0; x < layout.Width() && wrong < 5; ++x) {
            const int i = MonitorAt(monitors, bounds, x, y);
            TColor expected = 0;
            if (i >= 0 && spanned)
                expected = models[0].At(x, y);
            else if (i >= 0)
                expected =
                    models[i].At(x + bounds.Left - monitors[i].X, y + bounds.Top - monitors[i].Y);
            const auto same = SameColor(layout, x, y, expected);
            EXPECT_TRUE(same);
            wrong += !same;
        }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FitLayoutTest,
    ::testing::Combine(::testing::Values('A', 'B'),
                       ::testing::Values(fmTile, fmCentre, fmStretch, fmProportional, fmFill),
                       ::testing::Bool(), ::testing::Bool(), ::testing::Bool()),
    FitRowName);

// The centring's arithmetic pinned to numbers: leftovers and overflows of an odd pixel put it
// right and below, also when the picture is cropped.
TEST(MonitorLayoutTest, CentringTruncatesTowardZero)
{
    TPixelGraphic picture, out;
    PaintDistinct(picture, 301, 157);
    ComposeForMonitor(out, picture, 240, 135, TFitStyle{fmCentre, Letterbox, true});
    EXPECT_TRUE(SameColor(out, 0, 0, Distinct(30, 11))); // 61 and 22 columns/rows too many
    ComposeForMonitor(out, picture, 135, 240, TFitStyle{fmCentre, Letterbox, true});
    EXPECT_TRUE(SameColor(out, 0, 40, Letterbox)); // 83 too wide, 83 rows to spare: 41 above
    EXPECT_TRUE(SameColor(out, 0, 41, Distinct(83, 0)));
    EXPECT_TRUE(SameColor(out, 0, 198, Letterbox));
    ComposeForMonitor(out, picture, 304, 160, TFitStyle{fmCentre, Letterbox, true});
    EXPECT_TRUE(SameColor(out, 0, 1, Letterbox));
    EXPECT_TRUE(SameColor(out, 1, 1, Distinct(0, 0)));
    EXPECT_TRUE(SameColor(out, 302, 1, Letterbox)); // 3 spare: 1 left, 2 right
    EXPECT_TRUE(SameColor(out, 301, 157, Distinct(300, 156)));
    EXPECT_TRUE(SameColor(out, 301, 158, Letterbox));
}

// Proportional on every monitor: a disc stays a disc of the expected size at the centre.
using TCircleRow = std::tuple<char, bool>;

class CircleLayoutTest : public ::testing::TestWithParam<TCircleRow> {};

TEST_P(CircleLayoutTest, StaysRoundAndCentredOnEachMonitor)
{
    const auto& [layoutName, smooth] = GetParam();
    const std::vector<TMonitor> monitors = Layout(layoutName);
    TPixelGraphic picture;
    picture.SetSize(121, 121, bc24Bit);
    for (int y = 0; y < 121; ++y)
        for (int x = 0; x < 121; ++x)
            picture.SetPixelColor(x, y,
                                  (x - 60) * (x - 60) + (y - 60) * (y - 60) <= 50 * 50
                                      ? RGB(255, 0, 0)
                                      : RGB(255, 255, 255));
    std::vector<std::unique_ptr<TPixelGraphic>> bitmaps;
    std::vector<const TPixelGraphic*> pointers;
    for (const TMonitor& m : monitors) {
        bitmaps.push_back(std::make_unique<TPixelGraphic>());
        ComposeForMonitor(*bitmaps.back(), picture, m.Width, m.Height,
                          TFitStyle{fmProportional, RGB(0, 0, 255), smooth});
        pointers.push_back(bitmaps.back().get());
    }
    TPixelGraphic layout;
    ComposeLayout(layout, monitors, pointers);
    const TRect bounds = LayoutBounds(monitors);

    for (const TMonitor& m : monitors) {
        SCOPED_TRACE(m.Name);
        TPixelGraphic crop;
        CropMonitor(crop, layout, bounds, m);
        ASSERT_EQ(crop.Width(), m.Width);
        ASSERT_EQ(crop.Height(), m.Height);
        int left = INT_MAX, right = -1, top = INT_MAX, bottom = -1;
        for (int y = 0; y < m.Height; ++y)
            for (int x = 0; x < m.Width; ++x) {
                const TColor c = crop.GetPixelColor(x, y);
                if (GetRValue(c) > 127 && GetGValue(c) < 128 && GetBValue(c) < 128) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
            }
        const double diameter = 101.0 * std::min(m.Width, m.Height) / 121;
        EXPECT_NEAR(right - left + 1, diameter, 2);
        EXPECT_NEAR(bottom - top + 1, diameter, 2);
        EXPECT_NEAR((left + right) / 2.0, (m.Width - 1) / 2.0, 1);
        EXPECT_NEAR((top + bottom) / 2.0, (m.Height - 1) / 2.0, 1);
    }
}

std::string CircleRowName(const ::testing::TestParamInfo<TCircleRow>& info)
{
    return std::string(1, std::get<0>(info.param)) +
           (std::get<1>(info.param) ? "_Smooth" : "_Nearest");
}

INSTANTIATE_TEST_SUITE_P(Layouts, CircleLayoutTest,
                         ::testing::Combine(::testing::Values('A', 'B'), ::testing::Bool()),
                         CircleRowName);

// Monitors left of and above the primary one, overlapping: the later one is seen.
TEST(MonitorLayoutTest, OverlapsGoToTheLaterMonitorAndGapsAreBlack)
{
    const std::vector<TMonitor> monitors = {
        Monitor("L", -100, 20, 100, 50), Monitor("R", 0, 0, 80, 60), Monitor("M", -30, 10, 40, 30)};
    const TColor colors[] = {RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200)};
    std::vector<std::unique_ptr<TPixelGraphic>> bitmaps;
    std::vector<const TPixelGraphic*> pointers;
    for (int i = 0; i < 3; ++i) {
        bitmaps.push_back(std::make_unique<TPixelGraphic>());
        bitmaps.back()->SetSize(monitors[i].Width, monitors[i].Height, bc24Bit);
        bitmaps.back()->Canvas().FillRect(TRect{0, 0, 100, 100}, colors[i]);
        pointers.push_back(bitmaps.back().get());
    }
    const TRect bounds = LayoutBounds(monitors);
    EXPECT_EQ(bounds.Left, -100);
    EXPECT_EQ(bounds.Top, 0);
    EXPECT_EQ(bounds.Right, 80);
    EXPECT_EQ(bounds.Bottom, 70);
    TPixelGraphic layout;
    layout.SetSize(180, 70, bc24Bit);
    layout.SetFillValue(RGB(9, 9, 9)); // a reused bitmap's fill must not show in the gaps
    ComposeLayout(layout, monitors, pointers);
    int wrong = 0;
    for (int y = 0; y < layout.Height(); ++y)
        for (int x = 0; x < layout.Width() && wrong < 5; ++x) {
            const int i = MonitorAt(monitors, bounds, x, y);
            const auto same = SameColor(layout, x, y, i < 0 ? 0 : colors[i]);
            EXPECT_TRUE(same);
            wrong += !same;
        }
}

TEST(MonitorLayoutTest, RefusesLayoutsThatDisagreeOrCannotBeHeld)
{
    const std::vector<TMonitor> monitors = Layout('A');
    TPixelGraphic a, b, narrow, picture, target;
    a.SetSize(240, 135, bc24Bit);
    b.SetSize(135, 240, bc24Bit);
    narrow.SetSize(134, 240, bc24Bit);
    PaintDistinct(picture, 8, 8);
    target.SetSize(3, 2, bc24Bit);
    const TFitStyle style;

    EXPECT_THROW(ComposeLayout(target, monitors, {&a}), std::invalid_argument);
    EXPECT_THROW(ComposeLayout(target, monitors, {&a, &b, &b}), std::invalid_argument);
    EXPECT_THROW(ComposeLayout(target, monitors, {&a, &narrow}), std::invalid_argument);
    EXPECT_THROW(ComposeLayout(target, monitors, {&b, &a}), std::invalid_argument);
    EXPECT_THROW(ComposeLayout(target, monitors, {&a, nullptr}), std::invalid_argument);
    EXPECT_THROW(ComposeLayout(target, {}, {}), std::invalid_argument);
    EXPECT_THROW(ComposeSpanned(target, {}, picture, style), std::invalid_argument);
    EXPECT_THROW(LayoutBounds({}), std::invalid_argument);
    EXPECT_THROW(LayoutBounds({Monitor("", 0, 0, 0, 100)}), std::invalid_argument);

    // A monitor a million pixels away: refused before anything is allocated.
    const std::vector<TMonitor> far = {Monitor("", 0, 0, 1920, 1080),
                                       Monitor("", 1000000, 1000000, 1, 1)};
    TPixelGraphic full, one;
    full.SetSize(1920, 1080, bc24Bit);
    one.SetSize(1, 1, bc24Bit);
    EXPECT_THROW(ComposeLayout(target, far, {&full, &one}), std::invalid_argument);
    EXPECT_THROW(ComposeSpanned(target, far, picture, style), std::invalid_argument);
    EXPECT_THROW(LayoutBounds({Monitor("", INT_MAX - 5, 0, 100, 10)}), std::invalid_argument);
    EXPECT_THROW(
        LayoutBounds({Monitor("", INT_MAX - 20, 0, 10, 10), Monitor("", INT_MIN, 0, 10, 10)}),
        std::invalid_argument);
    EXPECT_EQ(target.Width(), 3); // a refused layout leaves the target alone
    EXPECT_EQ(target.Height(), 2);

    // A monitor outside the layout, or a bitmap not of the layout's size.
    const TRect bounds = LayoutBounds(monitors);
    TPixelGraphic layout;
    layout.SetSize(375, 240, bc24Bit);
    EXPECT_THROW(CropMonitor(target, layout, bounds, Monitor("", 300, 0, 100, 100)),
                 std::invalid_argument);
    EXPECT_THROW(CropMonitor(target, layout, bounds, Monitor("", -1, 0, 10, 10)),
                 std::invalid_argument);
    EXPECT_THROW(CropMonitor(target, a, bounds, monitors[0]), std::invalid_argument);
}

TEST(MonitorLayoutTest, RefusesFitsThatCannotBeDrawn)
{
    TPixelGraphic picture, empty, target;
    PaintDistinct(picture, 8, 8);
    EXPECT_THROW(ComposeForMonitor(target, picture, 0, 10, TFitStyle{}), std::runtime_error);
    EXPECT_THROW(ComposeForMonitor(target, picture, 10, -1, TFitStyle{}), std::runtime_error);
    EXPECT_THROW(ComposeForMonitor(target, empty, 10, 10, TFitStyle{}), std::runtime_error);
    EXPECT_THROW(ComposeForMonitor(target, picture, 10, 10, TFitStyle{TFitMode(9), 0, true}),
                 std::invalid_argument);
    // Filling with a sliver would scale it to millions of pixels across.
    TPixelGraphic sliver;
    PaintDistinct(sliver, 4000, 1);
    for (const bool smooth : {true, false})
        EXPECT_THROW(ComposeForMonitor(target, sliver, 1000, 1000, TFitStyle{fmFill, 0, smooth}),
                     std::runtime_error);
    // The same sliver fits proportionally, at least one pixel high.
    ComposeForMonitor(target, sliver, 1000, 1000, TFitStyle{fmProportional, Letterbox, true});
    EXPECT_TRUE(SameColor(target, 500, 498, Letterbox));
    EXPECT_NE(target.GetPixelColor(500, 499), Letterbox);
    EXPECT_TRUE(SameColor(target, 500, 500, Letterbox));
}

TEST(MonitorLayoutTest, TargetMayBeThePicture)
{
    TPixelGraphic picture, copy, expected;
    PaintDistinct(picture, 50, 31);
    copy.Assign(&picture);
    for (const TFitMode mode : {fmTile, fmCentre, fmStretch, fmProportional, fmFill}) {
        SCOPED_TRACE(mode);
        TPixelGraphic self;
        self.Assign(&picture);
        ComposeForMonitor(expected, copy, 70, 45, TFitStyle{mode, Letterbox, true});
        ComposeForMonitor(self, self, 70, 45, TFitStyle{mode, Letterbox, true});
        ASSERT_EQ(self.Width(), 70);
        EXPECT_EQ(std::memcmp(self.PixelData(), expected.PixelData(), expected.ImageSize()), 0);
    }
}

// Palette and gray pictures: every mode gives exactly what their true-colour twin gives.
struct TPaletteRow {
    const char* Name;
    TBitCount Bits;
    TPaletteIdent Standard; // pNone: a palette of the test's own
};

void PrintTo(const TPaletteRow& row, std::ostream* out)
{
    *out << row.Name;
}

class PaletteLayoutTest : public ::testing::TestWithParam<TPaletteRow> {};

TEST_P(PaletteLayoutTest, ColoursComeOutAsTheTrueColourTwin)
{
    const TPaletteRow& row = GetParam();
    TPixelGraphic picture, twin;
    picture.SetSize(23, 17, row.Bits);
    if (row.Standard == pNone) {
        picture.SetPaletteCount(picture.PaletteCapacity());
        for (int i = 0; i < picture.PaletteCount(); ++i)
            picture.SetPaletteEntry(i, RGB(250 - i, (i * 37) & 255, (i * 91 + 13) & 255));
    } else {
        picture.SetPaletteIdent(row.Standard);
    }
    picture.IdentifyPalette();
    twin.SetSize(23, 17, bc24Bit);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 23; ++x) {
            const int index = (x * 7 + y * 3) % picture.PaletteCount();
            picture.SetPixel(x, y, static_cast<std::uint32_t>(index));
            twin.SetPixelColor(x, y, picture.PaletteEntry(index));
        }
    for (const TFitMode mode : {fmTile, fmCentre, fmStretch, fmProportional, fmFill})
        for (const bool smooth : {true, false}) {
            SCOPED_TRACE(std::to_string(mode) + (smooth ? " smooth" : " nearest"));
            TPixelGraphic out, expected;
            ComposeForMonitor(out, picture, 61, 30, TFitStyle{mode, Letterbox, smooth});
            ComposeForMonitor(expected, twin, 61, 30, TFitStyle{mode, Letterbox, smooth});
            EXPECT_EQ(std::memcmp(out.PixelData(), expected.PixelData(), expected.ImageSize()), 0);
        }
    // A monitor's bitmap may itself hold a palette.
    TPixelGraphic layout;
    ComposeLayout(layout, {Monitor("", 5, 5, 23, 17)}, {&picture});
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 23; ++x)
            ASSERT_TRUE(SameColor(layout, x, y, twin.GetPixelColor(x, y)));
}

std::string PaletteRowName(const ::testing::TestParamInfo<TPaletteRow>& info)
{
    return info.param.Name;
}

INSTANTIATE_TEST_SUITE_P(Kinds, PaletteLayoutTest,
                         ::testing::Values(TPaletteRow{"Palette8", bc8Bit, pNone},
                                           TPaletteRow{"Gray8", bc8Bit, pGray256},
                                           TPaletteRow{"Palette4", bc4Bit, pNone},
                                           TPaletteRow{"Gray4", bc4Bit, pGray16},
                                           TPaletteRow{"BlackWhite1", bc1Bit, pBlackWhite}),
                         PaletteRowName);

// Monitors left of and above the primary one: the tile repeated from 0,0 shows each monitor
// what the layout holds at its place; a layout from 0,0 is left alone.
TEST(AlignToOrigin, TheTileFromTheOriginShowsEachMonitorItsPart)
{
    const std::vector<TMonitor> monitors = {{"P", 0, 0, 40, 30, true, 0},
                                            {"L", -25, -12, 25, 20, false, 0}};
    const TRect bounds = LayoutBounds(monitors);
    TPixelGraphic layout;
    layout.SetSize(bounds.Right - bounds.Left, bounds.Bottom - bounds.Top, bc24Bit);
    for (int y = 0; y < layout.Height(); ++y)
        for (int x = 0; x < layout.Width(); ++x)
            layout.SetPixelColor(x, y, RGB(x, y, 99));
    TPixelGraphic tile;
    tile.Assign(&layout);
    AlignToOrigin(tile, bounds);
    const int w = tile.Width(), h = tile.Height();
    for (const TMonitor& m : monitors)
        for (int sy = m.Y; sy < m.Y + m.Height; ++sy)
            for (int sx = m.X; sx < m.X + m.Width; ++sx)
                ASSERT_EQ(tile.GetPixelColor(((sx % w) + w) % w, ((sy % h) + h) % h),
                          layout.GetPixelColor(sx - bounds.Left, sy - bounds.Top))
                    << m.Name << " at " << sx << "," << sy;

    TPixelGraphic fromOrigin;
    fromOrigin.Assign(&layout);
    AlignToOrigin(fromOrigin, {0, 0, layout.Width(), layout.Height()});
    EXPECT_EQ(fromOrigin.GetPixelColor(3, 4), RGB(3, 4, 99));
    EXPECT_THROW(AlignToOrigin(fromOrigin, {0, 0, 5, 5}), std::invalid_argument);
}

} // namespace
} // namespace scenaria
