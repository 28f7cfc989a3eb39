// The About box: its texts and places, and the banner its painter animates while it is open.

#include "ui/AboutBox.h"
#include "imaging/gif/GifPainter.h"
#include "widgets/GifImageControl.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace scenaria {
namespace {

TEST(AboutBox, ShowsNameVersionAndTheAnimatedBanner)
{
    std::shared_ptr<TGIFPainter> painter;
    {
        TfmAbout about;
        EXPECT_EQ(about.objectName(), "fmAbout");
        EXPECT_EQ(about.windowTitle(), "About Scenaria");
        EXPECT_EQ(about.size(), QSize(349, 294));
        EXPECT_EQ(about.Label3d2->text(), "Scenaria");
        EXPECT_EQ(about.laVersion->text(), "Version 1.3 RC1");
        EXPECT_EQ(about.Panel1->geometry(), QRect(8, 76, 332, 92));
        EXPECT_EQ(about.Image1->size(), QSize(320, 80));
        auto* ok = about.findChild<QPushButton*>(QStringLiteral("oxButton1"));
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), "&Ok");

        TGIFImage& banner = about.Image1->Picture();
        ASSERT_EQ(banner.Images().Count(), 4) << "the banner stored with the program";
        EXPECT_EQ(banner.Width(), 320);
        bool drawn = false;
        banner.OnPainterFrame = [&](int) { drawn = true; };
        about.show();
        for (int i = 0; i < 2000 && !drawn; ++i) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_TRUE(drawn);
        painter = banner.OwnPainter();
        ASSERT_NE(painter, nullptr);

        // The box shows the first frame inside the panel: compare a stretch of its pixels with
        // the frame's colours.
        const QImage shown = about.grab().toImage();
        const QPoint origin = about.Image1->mapTo(&about, QPoint(0, 0));
        const TGIFSubImage& dawn = banner.Images()[0];
        int same = 0;
        for (int x = 0; x < 320; x += 8) {
            const TGIFColor c = banner.Header().ColorMap().Colors(dawn.Pixel(x, 40));
            same += shown.pixel(origin + QPoint(x, 40)) == qRgb(c.Red, c.Green, c.Blue);
        }
        EXPECT_EQ(same, 40);
        about.accept();
    }
    EXPECT_TRUE(painter->Finished()) << "closing the box stops the banner's painter";
    EXPECT_EQ(painter.use_count(), 1);
}

} // namespace
} // namespace scenaria
