// The viewer painted offscreen and read back: layout, margins, tiles, mirroring, clearing,
// loading and panning.

#include "PGImageTestSupport.h"

#include "widgets/PanCursors.h"

#include <QMouseEvent>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace scenaria {
namespace {

using namespace testing;

int FloorDiv(int a, int b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// What a tiled view shows at (x, y): the tile's column and row decide the mirroring.
QRgb TiledPixel(int x, int y, const QRect& box, bool mirrorColumns, bool mirrorRows)
{
    const int c = FloorDiv(x - box.left(), box.width()), r = FloorDiv(y - box.top(), box.height());
    int lx = x - box.left() - c * box.width(), ly = y - box.top() - r * box.height();
    if (mirrorColumns && c % 2 != 0)
        lx = box.width() - 1 - lx;
    if (mirrorRows && r % 2 != 0)
        ly = box.height() - 1 - ly;
    return ToQRgb(CodedColor(lx, ly));
}

class PGImageTest : public ::testing::Test {
protected:
    std::string Coded(int width, int height)
    {
        return WritePicture(
            dir_, "coded-" + std::to_string(width) + "x" + std::to_string(height) + ".bmp",
            [&](TPixelGraphic& g) { MakeCoded(g, width, height); });
    }

    TTempDir dir_;
};

TEST_F(PGImageTest, DefaultsAreThoseOfTheLibrary)
{
    TPGImage viewer;
    EXPECT_EQ(viewer.width(), 100);
    EXPECT_EQ(viewer.height(), 100);
    EXPECT_EQ(viewer.Stretch(), sNeverKAR);
    EXPECT_EQ(viewer.StretchMode(), smFast);
    EXPECT_EQ(viewer.Tiling(), tNone);
    EXPECT_FALSE(viewer.Center());
    EXPECT_DOUBLE_EQ(viewer.ZoomFactor(), 1.0);
    EXPECT_TRUE(viewer.UseThread());
    EXPECT_TRUE(viewer.ShowHourGlass());
    EXPECT_TRUE(viewer.ProgressClockVisible());
    EXPECT_TRUE(viewer.Progress5Clocks());
    EXPECT_EQ(viewer.ReadWarningAction(), pgwaOKCancelBox);
    EXPECT_EQ(viewer.SaveColorResWarningAction(), pgwaOKCancelBox);
    EXPECT_EQ(viewer.DitherErrorLimit(), 32);
    EXPECT_EQ(viewer.Palette8BitSys24BitGraphic(), pOptimized252Sys16);
    EXPECT_EQ(viewer.Palette8BitSys8BitGraphic(), pOptimized252Sys16);
    EXPECT_FALSE(viewer.ReduceOnLoad());
    EXPECT_FALSE(viewer.AutoSize());
    EXPECT_EQ(viewer.ActionMode(), amMoveImage);
    EXPECT_EQ(viewer.PicBoxRect().size(), QSize(0, 0));
    EXPECT_EQ(viewer.FileName(), "");
    EXPECT_EQ(viewer.PixelGraphic(), nullptr);
    EXPECT_THROW(viewer.SaveToFile(dir_ / "x.bmp"), EPGEmpty);
}

TEST_F(PGImageTest, RepeatedTilesFillTheWholeWindowMarginsIncluded)
{
    TPGImage viewer;
    viewer.SetCenter(true);
    viewer.SetTiling(tRepeat);
    viewer.SetFileName(Coded(30, 20));
    ShowViewer(viewer, 200, 150);
    const QRect box = viewer.PicBoxRect();
    ASSERT_EQ(box, QRect(85, 65, 30, 20));
    const QImage shot = Shot(viewer);
    ASSERT_EQ(shot.size(), QSize(200, 150));
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(shot.pixel(x, y), TiledPixel(x, y, box, false, false)) << x << "," << y;
}

TEST_F(PGImageTest, EachMirroredTilingAndTheFlips)
{
    TPGImage viewer;
    viewer.SetCenter(true);
    viewer.SetFileName(Coded(30, 20));
    ShowViewer(viewer, 200, 150);
    const QRect box = viewer.PicBoxRect();
    struct TCase {
        TTiling Tiling;
        bool Columns, Rows;
    };
    for (const TCase c : {TCase{tMirrorHorizontal, true, false},
                          TCase{tMirrorVertical, false, true}, TCase{tMirror, true, true}}) {
        SCOPED_TRACE(c.Tiling);
        viewer.SetTiling(c.Tiling);
        QImage shot = Shot(viewer);
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 200; ++x)
                ASSERT_EQ(shot.pixel(x, y), TiledPixel(x, y, box, c.Columns, c.Rows))
                    << x << "," << y;
    }
    // A flipped picture turns the pattern round: the box itself shows it mirrored.
    viewer.SetTiling(tMirror);
    viewer.SetFlipHorizontal(true);
    const QImage shot = Shot(viewer);
    EXPECT_EQ(shot.pixel(box.left(), box.top()), ToQRgb(CodedColor(29, 0)));
    EXPECT_EQ(shot.pixel(box.left() - 1, box.top()), ToQRgb(CodedColor(29, 0)))
        << "the tile on the left is now the unmirrored one";
    // Only one mirrored tile in view: it is drawn mirrored on its own, with the same result.
    const QImage narrow = viewer.viewport()->grab(QRect(80, 66, 40, 10)).toImage();
    EXPECT_EQ(narrow.pixel(box.left() - 80, 0), ToQRgb(CodedColor(29, 1)));
    EXPECT_EQ(narrow.pixel(box.left() - 81, 0), ToQRgb(CodedColor(29, 1)));
    EXPECT_EQ(narrow.pixel(box.left() - 80 + 29, 0), ToQRgb(CodedColor(0, 1)));
}

TEST_F(PGImageTest, ATinyPictureTiledOverTheWindowIsPaintedAsAPattern)
{
    TPGImage viewer;
    viewer.SetCenter(true);
    viewer.SetFileName(Coded(3, 2));
    ShowViewer(viewer, 200, 150);
    const QRect box = viewer.PicBoxRect();
    ASSERT_EQ(box, QRect(98, 74, 3, 2));
    struct TCase {
        TTiling Tiling;
        bool Columns, Rows;
    };
    for (const TCase c : {TCase{tRepeat, false, false}, TCase{tMirrorHorizontal, true, false},
                          TCase{tMirror, true, true}}) {
        SCOPED_TRACE(c.Tiling);
        viewer.SetTiling(c.Tiling);
        const QImage shot = Shot(viewer);
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 200; ++x)
                ASSERT_EQ(shot.pixel(x, y), TiledPixel(x, y, box, c.Columns, c.Rows))
                    << x << "," << y;
    }
}

TEST_F(PGImageTest, AlwaysKARFitsAWidePictureCentredVertically)
{
    TPGImage viewer;
    viewer.SetCenter(true);
    viewer.SetStretch(sAlwaysKAR);
    std::vector<double> zooms;
    viewer.OnZoomFactorChange = [&](TPGImage& sender) { zooms.push_back(sender.ZoomInEffect()); };
    viewer.SetFileName(WritePicture(dir_, "wide.bmp", [](TPixelGraphic& g) {
        g.SetSize(1000, 500, bc24Bit);
        for (int y = 0; y < 500; ++y)
            for (int x = 0; x < 1000; ++x)
                g.SetPixelColor(x, y, RGB(x / 4, y / 2, (x / 100) * 20));
    }));
    ShowViewer(viewer, 400, 400);
    EXPECT_EQ(viewer.PicBoxRect(), QRect(0, 100, 400, 200));
    ASSERT_FALSE(zooms.empty());
    EXPECT_DOUBLE_EQ(zooms.back(), 0.4);
    const QImage shot = Shot(viewer);
    const QRgb window = viewer.Color().rgb();
    const TPixelGraphic& picture = *viewer.PixelGraphic();
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x) {
            const QRgb expected =
                y < 100 || y >= 300
                    ? window
                    : ToQRgb(picture.GetPixelColor(x * 1000 / 400, (y - 100) * 500 / 200));
            ASSERT_EQ(shot.pixel(x, y), expected) << x << "," << y;
        }
    // Back to the picture's own size: the zoom in effect changes back.
    viewer.SetStretch(sNeverKAR);
    EXPECT_DOUBLE_EQ(zooms.back(), 1.0);
    EXPECT_EQ(viewer.PicBoxRect().size(), QSize(1000, 500));
}

TEST_F(PGImageTest, RepaintsReuseTheScaledPixelsUntilTheBoxChanges)
{
    TPGImage viewer;
    viewer.SetStretch(sAlwaysKAR);
    viewer.SetFileName(Coded(64, 48));
    ShowViewer(viewer, 200, 150);
    Shot(viewer);
    const qint64 first = viewer.ScaledPixels().cacheKey();
    EXPECT_EQ(viewer.ScaledPixels().size(), QSize(200, 150));
    Shot(viewer);
    viewer.SetTiling(tRepeat);
    Shot(viewer);
    EXPECT_EQ(viewer.ScaledPixels().cacheKey(), first) << "no rescaling at an unchanged size";
    viewer.resize(100, 150);
    const QImage shot = Shot(viewer);
    EXPECT_EQ(viewer.ScaledPixels().size(), QSize(100, 75));
    EXPECT_EQ(shot.pixel(99, 74), ToQRgb(CodedColor(63, 47)));
    viewer.SetFileName(Coded(32, 24));
    Shot(viewer);
    EXPECT_EQ(viewer.ScaledPixels().size(), QSize(100, 75));
    EXPECT_EQ(viewer.ScaledPixels().pixel(99, 74), ToQRgb(CodedColor(31, 23)))
        << "a new picture of the same box size is scaled afresh";
}

TEST_F(PGImageTest, CentredPictureHasEqualMarginsTheOddPixelRightAndBelow)
{
    TPGImage viewer;
    viewer.SetCenter(true);
    viewer.SetFileName(Coded(31, 20));
    ShowViewer(viewer, 200, 151);
    const QRect box = viewer.PicBoxRect();
    EXPECT_EQ(box.left(), 84);
    EXPECT_EQ(200 - box.right() - 1, 85);
    EXPECT_EQ(box.top(), 65);
    EXPECT_EQ(151 - box.bottom() - 1, 66);
    const QImage shot = Shot(viewer);
    const QRgb window = viewer.Color().rgb();
    EXPECT_EQ(shot.pixel(83, 70), window);
    EXPECT_EQ(shot.pixel(84, 70), ToQRgb(CodedColor(0, 5)));
    EXPECT_EQ(shot.pixel(114, 70), ToQRgb(CodedColor(30, 5)));
    EXPECT_EQ(shot.pixel(115, 70), window);

    // A window that grows keeps the picture in its middle.
    viewer.resize(300, 151);
    QApplication::processEvents();
    EXPECT_EQ(viewer.PicBoxRect().left(), (300 - 31) / 2);
}

TEST_F(PGImageTest, LargerPictureOpensScrolledToItsMiddle)
{
    TPGImage viewer;
    viewer.SetCenter(true);
    ShowViewer(viewer, 200, 150);
    viewer.SetFileName(WritePicture(dir_, "large.bmp", [](TPixelGraphic& g) {
        g.SetSize(300, 250, bc24Bit);
        for (int y = 0; y < 250; ++y)
            for (int x = 0; x < 300; ++x)
                g.SetPixelColor(x, y, RGB(x % 256, y, x / 256 * 100));
    }));
    QApplication::processEvents();
    const QScrollBar* h = viewer.horizontalScrollBar();
    const QScrollBar* v = viewer.verticalScrollBar();
    ASSERT_TRUE(h->isVisible());
    ASSERT_TRUE(v->isVisible());
    const QSize client = viewer.viewport()->size();
    EXPECT_EQ(client, QSize(200 - v->sizeHint().width(), 150 - h->sizeHint().height()))
        << "the layout's scroll bar allowances are the scroll bars the window shows";
    EXPECT_EQ(h->value(), (300 - client.width()) / 2);
    EXPECT_EQ(v->value(), (250 - client.height()) / 2);
    EXPECT_EQ(h->maximum(), 300 - client.width());
    const QImage shot = Shot(viewer);
    EXPECT_EQ(shot.pixel(0, 0), qRgb(h->value(), v->value(), 0));
    EXPECT_EQ(shot.pixel(client.width() - 1, client.height() - 1),
              qRgb(h->value() + client.width() - 1, v->value() + client.height() - 1, 0));
}

TEST_F(PGImageTest, ScrollBarAllowancesHoldWithABorderToo)
{
    TPGImage viewer; // the default sunken frame
    viewer.SetCenter(true);
    viewer.resize(200, 150);
    viewer.show();
    viewer.SetFileName(Coded(64, 64));
    viewer.SetStretch(sZoomKAR);
    viewer.SetZoomFactor(3.0); // 192 x 192
    QApplication::processEvents();
    const int frame = viewer.frameWidth();
    const QScrollBar* h = viewer.horizontalScrollBar();
    const QScrollBar* v = viewer.verticalScrollBar();
    ASSERT_TRUE(v->isVisible());
    // 192 fits across only without the vertical bar, which 192 rows need: both bars.
    ASSERT_TRUE(h->isVisible());
    const QSize client = viewer.viewport()->size();
    EXPECT_EQ(client, QSize(200 - 2 * frame - v->sizeHint().width(),
                            150 - 2 * frame - h->sizeHint().height()));
    EXPECT_EQ(h->maximum(), 192 - client.width());
    EXPECT_EQ(h->value(), (192 - client.width()) / 2);
    EXPECT_EQ(v->value(), (192 - client.height()) / 2);
}

TEST_F(PGImageTest, EmptyFileNameClearsToTheWindowColour)
{
    TPGImage viewer;
    viewer.SetCenter(true);
    viewer.SetTiling(tRepeat);
    viewer.SetFileName(Coded(30, 20));
    ShowViewer(viewer, 120, 90);
    EXPECT_NE(Shot(viewer).pixel(0, 0), viewer.Color().rgb());
    viewer.SetFileName("");
    EXPECT_EQ(viewer.FileName(), "");
    EXPECT_EQ(viewer.PixelGraphic(), nullptr);
    const QImage shot = Shot(viewer);
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            ASSERT_EQ(shot.pixel(x, y), viewer.Color().rgb()) << x << "," << y;
}

TEST_F(PGImageTest, AFileThatCannotBeLoadedLeavesTheViewEmptyAndRaises)
{
    TPGImage viewer;
    viewer.SetFileName(Coded(30, 20));
    ShowViewer(viewer, 120, 90);
    const std::string junk = dir_.Write("junk.bmp", "BM this is not a bitmap at all");
    EXPECT_THROW(viewer.SetFileName(junk), EPixelGraphic);
    EXPECT_EQ(viewer.FileName(), "");
    EXPECT_EQ(viewer.PixelGraphic(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the hour-glass is taken back";
    EXPECT_THROW(viewer.SetFileName(dir_ / "missing.jpg"), std::exception);
    const QImage shot = Shot(viewer);
    EXPECT_EQ(shot.pixel(10, 10), viewer.Color().rgb());
    EXPECT_EQ(shot.pixel(119, 89), viewer.Color().rgb());
}

TEST_F(PGImageTest, LoadingShowsTheHourGlassAndReportsProgress)
{
    TPGImage viewer;
    int starts = 0, steps = 0, ends = 0, changes = 0;
    bool hourGlass = false;
    viewer.OnPixelGraphicProgressStart = [&](TPGImage&) {
        ++starts;
        hourGlass = QApplication::overrideCursor() &&
                    QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    };
    viewer.OnPixelGraphicProgress = [&](TPGImage&, int, int, bool&) { ++steps; };
    viewer.OnPixelGraphicProgressEnd = [&](TPGImage&) { ++ends; };
    viewer.OnPixelGraphicChange = [&](TPGImage&) { ++changes; };
    const std::string file = Coded(40, 30);
    viewer.SetFileName(file);
    EXPECT_EQ(viewer.FileName(), file);
    ASSERT_NE(viewer.PixelGraphic(), nullptr);
    EXPECT_EQ(viewer.PixelGraphic()->Width(), 40);
    EXPECT_GE(starts, 1);
    EXPECT_EQ(starts, ends);
    EXPECT_GT(steps, 0);
    EXPECT_TRUE(hourGlass);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(changes, 1);

    viewer.SetShowHourGlass(false);
    viewer.SetFileName(file);
    EXPECT_FALSE(hourGlass);

    // The loaded image can be saved (what the Explorer's BMP and JPEG buttons do).
    viewer.SaveToFile(dir_ / "again.bmp");
    TPixelGraphic again;
    again.LoadFromFile(dir_ / "again.bmp");
    EXPECT_EQ(again.GetPixelColor(39, 29), CodedColor(39, 29));
}

TEST_F(PGImageTest, AutoSizeAsksForThePictureSize)
{
    TPGImage viewer;
    viewer.setFrameShape(QFrame::NoFrame);
    int wantedWidth = 0, wantedHeight = 0;
    viewer.OnNewAutoSize = [&](TPGImage&, int w, int h) {
        wantedWidth = w;
        wantedHeight = h;
    };
    viewer.SetAutoSizeMaxWidth(50);
    viewer.SetAutoSize(true);
    viewer.SetFileName(Coded(60, 20));
    EXPECT_EQ(wantedWidth, 50);
    EXPECT_EQ(wantedHeight, 20 + viewer.horizontalScrollBar()->sizeHint().height());
    EXPECT_EQ(viewer.size(), QSize(wantedWidth, wantedHeight));
}

// ---- Panning ----------------------------------------------------------------------------

void Send(TPGImage& viewer, QEvent::Type type, QPoint at, Qt::MouseButton button,
          Qt::MouseButtons buttons)
{
    TPicBox* box = viewer.PicBox();
    const QPoint local = at - box->pos();
    const QPoint global = viewer.viewport()->mapToGlobal(at);
    QMouseEvent event(type, local, global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(box, &event);
}

bool SameCursor(const QCursor& a, const QCursor& b)
{
    return a.hotSpot() == b.hotSpot() && a.pixmap().toImage() == b.pixmap().toImage();
}

TEST_F(PGImageTest, LeftDragScrollsALargerPicture)
{
    TPGImage viewer;
    viewer.SetFileName(Coded(64, 64));
    viewer.SetStretch(sZoomKAR);
    viewer.SetZoomFactor(8.0); // 512 x 512
    ShowViewer(viewer, 200, 150);
    QScrollBar* h = viewer.horizontalScrollBar();
    QScrollBar* v = viewer.verticalScrollBar();
    ASSERT_TRUE(viewer.CanPan());
    EXPECT_TRUE(SameCursor(viewer.PicBox()->cursor(), viewer.PanHoverCursor()));

    Send(viewer, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(viewer.Panning());
    EXPECT_TRUE(SameCursor(viewer.PicBox()->cursor(), viewer.PanGrabCursor()));
    Send(viewer, QEvent::MouseMove, {60, 80}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(h->value(), 40);
    EXPECT_EQ(v->value(), 20);
    Send(viewer, QEvent::MouseMove, {50, 80}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(h->value(), 50);
    EXPECT_EQ(v->value(), 20);
    // Against the edge the picture stops; coming back, the grabbed point is where it was.
    Send(viewer, QEvent::MouseMove, {50, 120}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(v->value(), 0);
    Send(viewer, QEvent::MouseMove, {50, 110}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(v->value(), 0);
    Send(viewer, QEvent::MouseMove, {50, 90}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(v->value(), 10);
    Send(viewer, QEvent::MouseButtonRelease, {50, 90}, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(viewer.Panning());
    EXPECT_TRUE(SameCursor(viewer.PicBox()->cursor(), viewer.PanHoverCursor()));

    // The picture moved with the scroll bars: the viewport's corner shows picture pixel
    // (50, 10) of the 8-fold zoom.
    EXPECT_EQ(Shot(viewer).pixel(0, 0), ToQRgb(CodedColor(50 / 8, 10 / 8)));

    Send(viewer, QEvent::MouseMove, {10, 10}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(h->value(), 50) << "moving without a press does nothing";
}

TEST_F(PGImageTest, RightButtonAndSmallPicturesDoNotPan)
{
    TPGImage viewer;
    viewer.SetFileName(Coded(64, 64));
    viewer.SetStretch(sZoomKAR);
    viewer.SetZoomFactor(8.0);
    ShowViewer(viewer, 200, 150);
    QScrollBar* h = viewer.horizontalScrollBar();
    int downs = 0;
    viewer.PicBoxOnMouseDown = [&](TPGImage&, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        ++downs;
    };
    Send(viewer, QEvent::MouseButtonPress, {100, 100}, Qt::RightButton, Qt::RightButton);
    EXPECT_FALSE(viewer.Panning());
    Send(viewer, QEvent::MouseMove, {40, 40}, Qt::NoButton, Qt::RightButton);
    Send(viewer, QEvent::MouseButtonRelease, {40, 40}, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(h->value(), 0);
    EXPECT_EQ(downs, 1) << "the user's handler still hears of it";

    viewer.SetZoomFactor(1.0); // 64 x 64 in 200 x 150
    EXPECT_FALSE(viewer.CanPan());
    EXPECT_FALSE(SameCursor(viewer.PicBox()->cursor(), viewer.PanHoverCursor()));
    Send(viewer, QEvent::MouseButtonPress, {30, 30}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(viewer.Panning());
    Send(viewer, QEvent::MouseMove, {10, 10}, Qt::NoButton, Qt::LeftButton);
    Send(viewer, QEvent::MouseButtonRelease, {10, 10}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(h->value(), 0);
    EXPECT_EQ(viewer.verticalScrollBar()->value(), 0);
}

TEST(PanCursorsTest, OpenAndClosedHandsWithTheirHotSpots)
{
    const QCursor hover = MakePanHoverCursor(), grab = MakePanGrabCursor();
    for (const QCursor* cursor : {&hover, &grab}) {
        EXPECT_EQ(cursor->hotSpot(), QPoint(16, 12));
        const QImage image = cursor->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(32, 32));
        int black = 0, white = 0, clear = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const QRgb p = image.pixel(x, y);
                if (qAlpha(p) == 0)
                    ++clear;
                else if (qGray(p) < 64)
                    ++black;
                else if (qGray(p) > 192)
                    ++white;
            }
        EXPECT_GT(black, 40) << "an outline";
        EXPECT_GT(white, 60) << "a filled hand";
        EXPECT_GT(clear, 500) << "transparent around it";
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    }
    EXPECT_NE(hover.pixmap().toImage(), grab.pixmap().toImage());
}

} // namespace
} // namespace scenaria
