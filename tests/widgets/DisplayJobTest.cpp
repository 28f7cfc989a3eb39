// The display copy's job run directly: what it makes for each display, its progress and how it
// stops.

#include "widgets/DisplayJob.h"
#include "imaging/Palettes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

namespace scenaria {
namespace {

// Smooth colour ramps: many distinct colours, none of them special.
void MakeRamps(TPixelGraphic& g, int width, int height)
{
    g.SetSize(width, height, bc24Bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            g.SetPixelColor(x, y,
                            RGB(x * 255 / (width - 1), y * 255 / (height - 1),
                                (x + y) * 255 / (width + height - 2)));
}

double MeanError(const TPixelGraphic& a, const TPixelGraphic& b)
{
    long total = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) {
            const TColor p = a.GetPixelColor(x, y), q = b.GetPixelColor(x, y);
            total += std::abs(GetRValue(p) - GetRValue(q)) + std::abs(GetGValue(p) - GetGValue(q)) +
                     std::abs(GetBValue(p) - GetBValue(q));
        }
    return double(total) / (3.0 * a.Width() * a.Height());
}

TDisplayJobPlan PlanFor(const TPixelGraphic& source, int depth, TStretchMode mode = smFast,
                        int boxWidth = 0, int boxHeight = 0)
{
    TDisplayJobInput in;
    in.DisplayBits = depth;
    in.SourceBits = source.BitCount();
    in.SourceWidth = source.Width();
    in.SourceHeight = source.Height();
    in.BoxWidth = boxWidth ? boxWidth : source.Width();
    in.BoxHeight = boxHeight ? boxHeight : source.Height();
    in.StretchMode = mode;
    return PlanDisplayJob(in);
}

TEST(DisplayJobTest, EightBitDisplayGetsAnOptimisedPaletteOf252Colours)
{
    TPixelGraphic source;
    MakeRamps(source, 96, 64);
    std::vector<std::pair<int, int>> reports;
    const auto copy =
        RunDisplayJob(source, PlanFor(source, 8), {},
                      [&](int phase, int percent) { reports.emplace_back(phase, percent); }, {});
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->BitCount(), bc8Bit);
    EXPECT_EQ(copy->Width(), 96);
    EXPECT_LE(copy->PaletteCount(), 252);
    EXPECT_GT(copy->PaletteCount(), 64);
    std::set<TColor> used;
    for (int y = 0; y < copy->Height(); ++y)
        for (int x = 0; x < copy->Width(); ++x)
            used.insert(copy->GetPixelColor(x, y));
    EXPECT_LE(used.size(), 252u);
    EXPECT_LT(MeanError(source, *copy), 6.0);

    // Two phases (palette, then pixels); reports are thinned out to 50 ms, so how many come
    // depends on the machine, but the first is of phase 1 and none repeats a per cent.
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front(), std::make_pair(1, 0));
    for (const auto& [phase, percent] : reports) {
        EXPECT_GE(phase, 1);
        EXPECT_LE(phase, 2);
        EXPECT_LE(percent, 100);
    }
    for (std::size_t i = 1; i < reports.size(); ++i)
        if (reports[i].first == reports[i - 1].first) {
            EXPECT_GT(reports[i].second, reports[i - 1].second);
        }
}

TEST(DisplayJobTest, FourBitDisplayGetsTheSystemColours)
{
    TPixelGraphic source;
    MakeRamps(source, 40, 30);
    const auto copy = RunDisplayJob(source, PlanFor(source, 4), {}, {}, {});
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->BitCount(), bc4Bit);
    const std::set<TColor> system(std::begin(SystemColors16), std::end(SystemColors16));
    for (int y = 0; y < copy->Height(); ++y)
        for (int x = 0; x < copy->Width(); ++x)
            ASSERT_TRUE(system.count(copy->GetPixelColor(x, y))) << x << "," << y;
}

TEST(DisplayJobTest, PreciseStretchingResamplesToTheBox)
{
    TPixelGraphic source;
    MakeRamps(source, 80, 60);
    TDisplayJobSettings settings;
    settings.StretchMode = smPrecise;
    const auto copy =
        RunDisplayJob(source, PlanFor(source, 24, smPrecise, 40, 30), settings, {}, {});
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->BitCount(), bc24Bit);
    EXPECT_EQ(copy->Width(), 40);
    EXPECT_EQ(copy->Height(), 30);
    const TColor middle = copy->GetPixelColor(20, 15), original = source.GetPixelColor(40, 30);
    EXPECT_NEAR(GetRValue(middle), GetRValue(original), 8);
    EXPECT_NEAR(GetGValue(middle), GetGValue(original), 8);
}

TEST(DisplayJobTest, PalettedPictureIsMappedThroughItsPalette)
{
    TPixelGraphic source;
    source.SetSize(50, 40, bc8Bit);
    source.SetPaletteCount(256);
    for (int i = 0; i < 256; ++i)
        source.SetPaletteEntry(i, RGB(i, 255 - i, (i * 7) & 255));
    source.IdentifyPalette();
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x)
            source.SetPixel(x, y, (x * 5 + y) & 255);
    const TDisplayJobPlan plan = PlanFor(source, 8);
    ASSERT_EQ(plan.Palette, tpOptimized);
    auto copy = RunDisplayJob(source, plan, {}, {}, {});
    ASSERT_TRUE(copy);
    EXPECT_LE(copy->PaletteCount(), 252);
    // Every pixel is the new palette's nearest colour to the old one: no dithering noise.
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x)
            ASSERT_EQ(copy->GetPixel(x, y), copy->NearestIndex(source.GetPixelColor(x, y)));
}

TEST(DisplayJobTest, AStopRequestDropsTheCopy)
{
    TPixelGraphic source;
    MakeRamps(source, 64, 64);
    int asked = 0;
    const auto copy = RunDisplayJob(source, PlanFor(source, 8), {}, {}, [&] {
        ++asked;
        return true;
    });
    EXPECT_FALSE(copy);
    EXPECT_GT(asked, 0);

    // Stopping late, in the last phase, drops it all the same.
    int calls = 0;
    const auto late =
        RunDisplayJob(source, PlanFor(source, 8), {}, {}, [&] { return ++calls > 70; });
    EXPECT_FALSE(late);
}

} // namespace
} // namespace scenaria
