// The display copy on screens with fewer colours: the framed rectangle with clocks first, then
// the copy the worker built; stopping the worker; and a true-colour screen that never needs one.

#include "PGImageTestSupport.h"

#include "imaging/Palettes.h"
#include "platform/Platform.h"
#include "widgets/CreatePaintPGThread.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace scenaria {
namespace {

using namespace testing;

class PGImageWorkerTest : public ::testing::Test {
protected:
    std::string Jpeg(int width, int height)
    {
        return WritePicture(
            dir_, "ramps-" + std::to_string(width) + "x" + std::to_string(height) + ".jpg",
            [&](TPixelGraphic& g) { MakeRamps(g, width, height); });
    }

    TTempDir dir_;
};

std::set<QRgb> ColoursIn(const QImage& shot, const QRect& rect)
{
    std::set<QRgb> colours;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            colours.insert(shot.pixel(x, y));
    return colours;
}

double MeanError(const QImage& shot, const QRect& box, const TPixelGraphic& picture)
{
    double total = 0;
    for (int y = 0; y < box.height(); ++y)
        for (int x = 0; x < box.width(); ++x) {
            const QRgb p = shot.pixel(box.left() + x, box.top() + y);
            const TColor c = picture.GetPixelColor(x, y);
            total += std::abs(qRed(p) - GetRValue(c)) + std::abs(qGreen(p) - GetGValue(c)) +
                     std::abs(qBlue(p) - GetBValue(c));
        }
    return total / (3.0 * box.width() * box.height());
}

TEST_F(PGImageWorkerTest, EightBitScreenShowsClocksFirstThenA252ColourCopy)
{
    TPGImage viewer;
    viewer.SetScreenDepthSource([] { return 8; });
    viewer.SetCenter(true);
    viewer.SetFileName(Jpeg(160, 120));
    ShowViewer(viewer, 300, 250);
    const QRect box = viewer.PicBoxRect();
    ASSERT_EQ(box, QRect(70, 65, 160, 120));

    // The first paint starts the worker; its result can only arrive through the event loop.
    const QImage first = Shot(viewer);
    EXPECT_TRUE(viewer.DisplayImageUnderWay());
    EXPECT_EQ(viewer.DisplayImage(), nullptr);
    const QRgb frame = viewer.PicBoxFrameColor().rgb(), face = viewer.PicBoxColor().rgb();
    const QRgb line = viewer.ProgressClockLineColor().rgb();
    EXPECT_EQ(first.pixel(box.left(), box.top()), frame);
    EXPECT_EQ(first.pixel(box.right(), box.bottom()), frame);
    EXPECT_EQ(first.pixel(box.left() + 100, box.top()), frame);
    EXPECT_EQ(first.pixel(box.left() + 30, box.top() + 50), face);
    // The middle clock's rim at twelve o'clock and its hands from the centre upwards (0 %).
    const QPoint centre(box.left() + box.width() / 2, box.top() + box.height() / 2);
    EXPECT_EQ(first.pixel(centre.x(), centre.y() - 7), line);
    EXPECT_EQ(first.pixel(centre.x(), centre.y() - 3), line);
    EXPECT_EQ(first.pixel(centre.x() + 3, centre.y() + 3), viewer.ProgressClockBkColor().rgb());
    // Four more in the corners, 5 pixels in from the left and top.
    EXPECT_EQ(first.pixel(box.left() + 5 + 7, box.top() + 5), line);
    EXPECT_EQ(first.pixel(box.right() - 19 + 7, box.bottom() - 19), line);
    EXPECT_LE(ColoursIn(first, box).size(), 4u);

    ASSERT_TRUE(SpinUntil([&] { return viewer.DisplayImage() != nullptr; }));
    EXPECT_FALSE(viewer.DisplayImageUnderWay());
    const TPixelGraphic& copy = *viewer.DisplayImage();
    EXPECT_EQ(copy.BitCount(), bc8Bit);
    EXPECT_LE(copy.PaletteCount(), 252);
    const QImage second = Shot(viewer);
    const std::set<QRgb> colours = ColoursIn(second, box);
    EXPECT_LE(colours.size(), 252u);
    EXPECT_GT(colours.size(), 64u);
    EXPECT_LT(MeanError(second, box, *viewer.PixelGraphic()), 8.0);
    EXPECT_EQ(second.pixel(box.left() - 1, box.top()), viewer.Color().rgb());
}

TEST_F(PGImageWorkerTest, WithoutAThreadTheCopyIsReadyAtTheFirstPaint)
{
    TPGImage viewer;
    viewer.SetScreenDepthSource([] { return 8; });
    viewer.SetUseThread(false);
    viewer.SetFileName(Jpeg(64, 48));
    ShowViewer(viewer, 100, 80);
    const QImage shot = Shot(viewer);
    ASSERT_NE(viewer.DisplayImage(), nullptr);
    EXPECT_FALSE(viewer.DisplayImageUnderWay());
    EXPECT_LE(ColoursIn(shot, QRect(0, 0, 64, 48)).size(), 252u);
    EXPECT_LT(MeanError(shot, QRect(0, 0, 64, 48), *viewer.PixelGraphic()), 8.0);
}

TEST_F(PGImageWorkerTest, FourBitScreenShowsOnlyTheSystemColours)
{
    TPGImage viewer;
    viewer.SetScreenDepthSource([] { return 4; });
    viewer.SetFileName(Jpeg(64, 48));
    ShowViewer(viewer, 100, 80);
    Shot(viewer);
    ASSERT_TRUE(SpinUntil([&] { return viewer.DisplayImage() != nullptr; }));
    EXPECT_EQ(viewer.DisplayImage()->BitCount(), bc4Bit);
    std::set<QRgb> system;
    for (const TColor c : SystemColors16)
        system.insert(ToQRgb(c));
    const QImage shot = Shot(viewer);
    for (const QRgb c : ColoursIn(shot, QRect(0, 0, 64, 48)))
        EXPECT_TRUE(system.count(c)) << std::hex << c;
}

TEST_F(PGImageWorkerTest, AnotherFileStopsTheWorkerAndNoStaleResultArrives)
{
    const std::string large = Jpeg(1600, 1200), small = Jpeg(64, 48);
    TPGImage viewer;
    viewer.SetScreenDepthSource([] { return 8; });
    viewer.SetFileName(large);
    ShowViewer(viewer, 200, 150);
    Shot(viewer);
    ASSERT_TRUE(viewer.DisplayImageUnderWay());
    viewer.SetFileName(small);
    EXPECT_FALSE(viewer.DisplayImageUnderWay()) << "loading stops the worker and waits for it";
    Shot(viewer);
    ASSERT_TRUE(SpinUntil([&] { return viewer.DisplayImage() != nullptr; }));
    const TPixelGraphic* copy = viewer.DisplayImage();
    EXPECT_EQ(copy->Width(), 64);
    EXPECT_EQ(copy->Height(), 48);
    // Whatever the first worker might still have posted is dropped.
    SpinUntil([] { return false; }, 300);
    EXPECT_EQ(viewer.DisplayImage(), copy);

    // The same while the view is cleared, and on destruction with a worker running.
    viewer.SetFileName(large);
    Shot(viewer);
    viewer.SetFileName("");
    SpinUntil([] { return false; }, 100);
    EXPECT_EQ(viewer.DisplayImage(), nullptr);
    auto doomed = std::make_unique<TPGImage>();
    doomed->SetScreenDepthSource([] { return 8; });
    doomed->SetFileName(large);
    ShowViewer(*doomed, 200, 150);
    Shot(*doomed);
    EXPECT_TRUE(doomed->DisplayImageUnderWay());
    doomed.reset();
    SpinUntil([] { return false; }, 50);
}

TEST_F(PGImageWorkerTest, LayoutAndThreadChangesStopTheWorker)
{
    TPGImage viewer;
    viewer.SetScreenDepthSource([] { return 8; });
    viewer.SetFileName(Jpeg(1600, 1200));
    ShowViewer(viewer, 200, 150);
    Shot(viewer);
    ASSERT_TRUE(viewer.DisplayImageUnderWay());
    viewer.SetStretch(sAlwaysKAR);
    EXPECT_FALSE(viewer.DisplayImageUnderWay());
    Shot(viewer);
    ASSERT_TRUE(viewer.DisplayImageUnderWay()) << "the next paint starts again";
    viewer.SetUseThread(false);
    EXPECT_FALSE(viewer.DisplayImageUnderWay());
    // Without a thread the copy is made during the paint itself.
    Shot(viewer);
    EXPECT_NE(viewer.DisplayImage(), nullptr);
    EXPECT_FALSE(viewer.DisplayImageUnderWay());
}

TEST_F(PGImageWorkerTest, KeptOldCopyAndReductionOnLoad)
{
    TPGImage viewer;
    viewer.SetScreenDepthSource([] { return 8; });
    viewer.SetKeepOldPaintPixelGraphic(true);
    viewer.SetFileName(Jpeg(64, 48));
    ShowViewer(viewer, 100, 80);
    Shot(viewer);
    ASSERT_TRUE(SpinUntil([&] { return viewer.DisplayImage() != nullptr; }));
    viewer.SetFileName(Jpeg(40, 30));
    ASSERT_NE(viewer.DisplayImage(), nullptr) << "the old copy stays on screen meanwhile";
    const QImage meanwhile = Shot(viewer);
    EXPECT_NE(meanwhile.pixel(5, 5), viewer.PicBoxFrameColor().rgb()) << "no empty frame";
    ASSERT_TRUE(SpinUntil([&] { return viewer.DisplayImage()->Width() == 40; }));

    // Reduced on load: the copy replaces the loaded picture.
    TPGImage reducing;
    reducing.SetScreenDepthSource([] { return 8; });
    reducing.SetReduceOnLoad(true);
    reducing.SetFileName(Jpeg(64, 48));
    ShowViewer(reducing, 100, 80);
    Shot(reducing);
    ASSERT_TRUE(SpinUntil([&] { return reducing.PixelGraphic()->BitCount() == bc8Bit; }));
    EXPECT_EQ(reducing.DisplayImage(), nullptr);
    Shot(reducing);
    EXPECT_FALSE(reducing.DisplayImageUnderWay()) << "a reduced picture needs no further copy";
}

TEST_F(PGImageWorkerTest, AWorkerToldToStopPostsNothing)
{
    TPixelGraphic source;
    MakeRamps(source, 1200, 900);
    TDisplayJobInput in;
    in.DisplayBits = 8;
    in.SourceWidth = in.BoxWidth = 1200;
    in.SourceHeight = in.BoxHeight = 900;
    const TDisplayJobPlan plan = PlanDisplayJob(in);

    TCreatePaintPGThread stopped(source, plan, {}, 7);
    QSignalSpy done(&stopped, &TCreatePaintPGThread::JobDone);
    stopped.start();
    stopped.Stop();
    SpinUntil([] { return false; }, 50);
    EXPECT_EQ(done.count(), 0);
    EXPECT_EQ(stopped.TakeResult(), nullptr);

    TCreatePaintPGThread finished(source, plan, {}, 8);
    QSignalSpy doneToo(&finished, &TCreatePaintPGThread::JobDone);
    finished.start();
    ASSERT_TRUE(SpinUntil([&] { return doneToo.count() == 1; }));
    EXPECT_EQ(doneToo.at(0).at(0).toULongLong(), 8u);
    finished.wait();
    const auto result = finished.TakeResult();
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->Width(), 1200);
}

TEST_F(PGImageWorkerTest, TrueColourScreenWithFastStretchingNeverBuildsACopy)
{
    TPGImage viewer;
    viewer.SetScreenDepthSource([] { return 24; });
    viewer.SetStretch(sAlwaysKAR);
    viewer.SetFileName(Jpeg(160, 120));
    ShowViewer(viewer, 200, 150);
    const QImage shot = Shot(viewer);
    EXPECT_FALSE(viewer.DisplayImageUnderWay());
    SpinUntil([] { return false; }, 100);
    EXPECT_EQ(viewer.DisplayImage(), nullptr);
    const TPixelGraphic& picture = *viewer.PixelGraphic();
    const QRect box = viewer.PicBoxRect();
    ASSERT_EQ(box, QRect(0, 0, 200, 150));
    for (int y = 0; y < 150; y += 7)
        for (int x = 0; x < 200; x += 5)
            ASSERT_EQ(shot.pixel(x, y),
                      ToQRgb(picture.GetPixelColor(x * 160 / 200, y * 120 / 150)));
    viewer.resize(120, 150);
    Shot(viewer);
    EXPECT_EQ(viewer.DisplayImage(), nullptr);
    EXPECT_FALSE(viewer.DisplayImageUnderWay());
}

TEST_F(PGImageWorkerTest, ScreenDepthComesFromThePlatformsScreenFacts)
{
    qputenv("SCENARIA_SCREEN", "640x480x8");
    const auto platform = CreatePlatform();
    TPGImage::SetDefaultScreenDepthSource(
        [&platform] { return platform->ScreenFacts().BitsPerPixel; });
    {
        TPGImage viewer;
        EXPECT_EQ(viewer.ScreenDepth(), 8);
        viewer.SetFileName(Jpeg(64, 48));
        ShowViewer(viewer, 100, 80);
        Shot(viewer);
        EXPECT_TRUE(viewer.DisplayImageUnderWay());
        qputenv("SCENARIA_SCREEN", "640x480x24");
        viewer.DisplayChanged();
        EXPECT_EQ(viewer.ScreenDepth(), 24);
        Shot(viewer);
        EXPECT_FALSE(viewer.DisplayImageUnderWay());
        EXPECT_EQ(viewer.DisplayImage(), nullptr);
    }
    TPGImage::SetDefaultScreenDepthSource({});
    qunsetenv("SCENARIA_SCREEN");
    TPGImage plain;
    EXPECT_EQ(plain.ScreenDepth(), 24) << "without a source the screen counts as true colour";
}

} // namespace
} // namespace scenaria
