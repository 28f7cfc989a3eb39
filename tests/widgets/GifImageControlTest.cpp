// The GIF codec on Qt: worker requests served by the Qt event loop, frames drawn with QPainter,
// and the picture control animating the About banner, read back from the screen it paints.

#include "widgets/GifImageControl.h"
#include "TempDir.h"
#include "imaging/gif/GifPainter.h"
#include "imaging/gif/GifThreads.h"

#include <QApplication>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace scenaria {
namespace {

// Real waits, twenty times shorter: the banner's frames come every 25 to 100 ms.
class TQuickClock : public IGIFClock {
public:
    std::uint32_t TickCount() override { return 0; }
    void Sleep(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms / 20)); }
    bool Wait(TGIFEvent& event, int ms) override { return event.WaitFor(ms / 20); }
};

struct TQuickClockScope {
    TQuickClock Clock;
    TQuickClockScope() { SetGIFClock(&Clock); }
    ~TQuickClockScope() { SetGIFClock(nullptr); }
};

// Runs the event loop until done() holds, at most about ten seconds.
template <class TDone> bool ProcessUntil(TDone done)
{
    for (int i = 0; i < 2000 && !done(); ++i) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

QByteArray Banner()
{
    QFile file(QString::fromStdString(scenaria::testing::SourceFolder() +
                                      "/ui/resources/about-banner.gif"));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("the banner is missing");
    return file.readAll();
}

TEST(GifEventLoop, WorkerRequestsRunOnTheUserInterfaceThreadFromTheEventLoop)
{
    InstallGIFEventLoop();
    std::atomic<bool> done{false};
    bool onMainThread = false;
    std::thread worker([&] {
        GIFSynchronize([&] { onMainThread = QThread::currentThread() == qApp->thread(); });
        done = true;
    });
    // Only the event loop runs here: the queued call it was woken with serves the request.
    EXPECT_TRUE(ProcessUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_TRUE(onMainThread);
}

TEST(GifQImageCanvas, MaskedPixelsKeepWhatTheImageShowed)
{
    TPixelGraphic frame;
    frame.SetSize(2, 1, bc8Bit);
    frame.SetPaletteCount(2);
    frame.SetPaletteEntry(0, RGB(200, 0, 0));
    frame.SetPaletteEntry(1, RGB(0, 0, 200));
    frame.SetPixel(0, 0, 0);
    frame.SetPixel(1, 0, 1);
    const TGIFMask mask(2, 1, {0x80, 0});
    QImage image(4, 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    TGIFQImageCanvas canvas(image);
    canvas.MaskedStretchDraw({0, 0, 4, 2}, frame, mask);
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(1, 1), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(2, 0), qRgb(0, 0, 200));
    EXPECT_EQ(image.pixel(3, 1), qRgb(0, 0, 200));
    canvas.StretchDraw({0, 0, 4, 2}, frame);
    EXPECT_EQ(image.pixel(1, 1), qRgb(200, 0, 0));

    TPixelGraphic copy;
    copy.SetSize(2, 1, bc24Bit);
    canvas.CopyTo({0, 0, 4, 2}, copy);
    EXPECT_EQ(copy.GetPixelColor(0, 0), RGB(200, 0, 0));
    EXPECT_EQ(copy.GetPixelColor(1, 0), RGB(0, 0, 200));
}

TEST(GifImageControl, AnimatesTheBannerAndStopsItsPainterWhenItGoes)
{
    TQuickClockScope clock;
    auto control = std::make_unique<TGIFImageControl>();
    control->resize(320, 80);
    ASSERT_TRUE(control->LoadFromData(Banner()));
    TGIFImage& banner = control->Picture();
    std::vector<int> frames;
    banner.OnPainterFrame = [&](int frame) { frames.push_back(frame); };
    control->show();
    ASSERT_TRUE(ProcessUntil([&] { return !frames.empty(); }));
    const QImage dawn = control->grab().toImage();
    ASSERT_TRUE(ProcessUntil([&] { return frames.size() >= 2; }));
    const QImage noon = control->grab().toImage();
    EXPECT_EQ(frames[0], 0);
    EXPECT_EQ(frames[1], 1);

    // The noon sun stands at 160,18, where the dawn sky was: the pixel shows what the second
    // frame's data says there.
    const TGIFSubImage& second = banner.Images()[1];
    const std::uint8_t index = second.Pixel(160, 18);
    ASSERT_NE(index, second.GraphicControlExtension()->TransparentColorIndex);
    const TGIFColor sun = banner.Header().ColorMap().Colors(index);
    EXPECT_EQ(noon.pixel(160, 18), qRgb(sun.Red, sun.Green, sun.Blue));
    EXPECT_NE(dawn.pixel(160, 18), noon.pixel(160, 18));
    // A pixel the second frame leaves transparent still shows the first frame.
    int kept = 0;
    for (int x = 0; x < 320; ++x)
        if (second.Pixel(x, 79) == second.GraphicControlExtension()->TransparentColorIndex) {
            EXPECT_EQ(noon.pixel(x, 79), dawn.pixel(x, 79));
            ++kept;
        }
    EXPECT_GT(kept, 0);

    const auto painter = banner.OwnPainter();
    ASSERT_NE(painter, nullptr);
    EXPECT_TRUE(painter->Threaded());
    control.reset();
    EXPECT_TRUE(painter->Finished());
    EXPECT_EQ(painter.use_count(), 1) << "its worker has been joined";
}

} // namespace
} // namespace scenaria
