// The animation painter: which frames it shows in which order, how long it waits, how it stops,
// and the picture lock it shares with the user-interface thread (this test's main thread).

#include "GifTestSupport.h"

#include "TempDir.h"
#include "imaging/gif/GifCanvas.h"
#include "imaging/gif/GifImage.h"
#include "imaging/gif/GifPainter.h"
#include "imaging/gif/GifThreads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace scenaria {
namespace {

using testing::LoadGif;
using testing::TBytes;
using testing::TGifBuilder;

// A clock that never sleeps and writes down every wait it is asked for. Each tick count read
// is `step` milliseconds after the one before, which stands for the time preparing a frame.
class TRecordingClock : public IGIFClock {
public:
    explicit TRecordingClock(int step = 0) : step_(step) {}

    std::uint32_t TickCount() override
    {
        std::lock_guard guard(mutex_);
        return now_ += step_;
    }
    void Sleep(int ms) override
    {
        std::lock_guard guard(mutex_);
        Sleeps.push_back(ms);
    }
    bool Wait(TGIFEvent& event, int ms) override
    {
        {
            std::lock_guard guard(mutex_);
            Waits.push_back(ms);
        }
        return event.WaitFor(0);
    }
    std::vector<int> WaitsSoFar()
    {
        std::lock_guard guard(mutex_);
        return Waits;
    }

    std::vector<int> Waits;
    std::vector<int> Sleeps;

private:
    std::mutex mutex_;
    std::uint32_t now_ = 0;
    int step_;
};

struct TClockScope {
    explicit TClockScope(IGIFClock& clock) { SetGIFClock(&clock); }
    ~TClockScope() { SetGIFClock(nullptr); }
};

struct TSurface {
    TPixelGraphic Image;
    TGIFBitmapCanvas Canvas{Image};
    TSurface(int width, int height)
    {
        Image.SetSize(width, height, bc24Bit);
        Canvas.FillRect({0, 0, width, height}, RGB(0, 0, 0));
    }
};

// The frames a picture's painters show, in order (written on this thread while it serves).
struct TShown {
    std::vector<int> Frames;
    void Attach(TGIFImage& image)
    {
        image.OnPainterFrame = [this](int frame) { Frames.push_back(frame); };
    }
};

// Serves the painters' requests until done() holds; false when that never came.
template <class TDone> bool ServeUntil(TDone done, int rounds = 20000)
{
    for (int i = 0; i < rounds; ++i) {
        if (done())
            return true;
        ServeGIFSynchronization(1 << 30, 1);
    }
    return done();
}

// Frames of 2x1 pixels in colours 0..count-1, each after the extensions given by extras(n).
template <class TExtras> TBytes Animation(int count, TExtras extras)
{
    TGifBuilder gif;
    gif.Header(2, 1, 3);
    for (int n = 0; n < count; ++n) {
        extras(gif, n);
        gif.Descriptor(0, 0, 2, 1).LiteralData({std::uint8_t(n), std::uint8_t(n)});
    }
    gif.Trailer();
    return gif.Bytes;
}

TEST(GifPainter, OneFrameNeverStartsAPainter)
{
    TGifBuilder gif;
    gif.Header(2, 1, 1).Descriptor(0, 0, 2, 1).LiteralData({1, 1}).Trailer();
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    TSurface surface(2, 1);
    image.Draw(surface.Canvas, {0, 0, 2, 1});
    EXPECT_EQ(image.PainterCount(), 0);
    EXPECT_EQ(image.OwnPainter(), nullptr);
    EXPECT_EQ(surface.Image.GetPixelColor(1, 0), RGB(1, 254, 0)) << "drawn at once";
    // Asked for one all the same, it plays on the caller's thread and is gone at once.
    EXPECT_EQ(image.StartPainter(surface.Canvas, {0, 0, 2, 1}, image.DrawOptions), nullptr);
    EXPECT_EQ(image.PainterCount(), 0);
}

// The About box's banner as stored with the program.
void LoadAboutBanner(TGIFImage& banner)
{
    banner.LoadFromFile(scenaria::testing::SourceFolder() + "/ui/resources/about-banner.gif");
}

TEST(GifPainter, BannerLoopsForeverThreadedAndPlaysOncePerDrawWithoutThreads)
{
    TRecordingClock clock;
    TClockScope scope(clock);
    {
        TGIFImage banner;
        LoadAboutBanner(banner);
        TShown shown;
        shown.Attach(banner);
        TSurface surface(320, 80);
        banner.Draw(surface.Canvas, {0, 0, 320, 80});
        const auto painter = banner.OwnPainter();
        ASSERT_NE(painter, nullptr);
        EXPECT_TRUE(painter->Threaded());
        ASSERT_TRUE(ServeUntil([&] { return shown.Frames.size() >= 11; }));
        EXPECT_EQ(std::vector<int>(shown.Frames.begin(), shown.Frames.begin() + 11),
                  (std::vector<int>{0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2}));
        EXPECT_FALSE(painter->Finished());
        // The waits follow the delays: 50, 100, 100 and 200 hundredths.
        const auto waits = clock.WaitsSoFar();
        ASSERT_GE(waits.size(), 5u);
        EXPECT_EQ(std::vector<int>(waits.begin(), waits.begin() + 5),
                  (std::vector<int>{500, 1000, 1000, 2000, 500}));
    }
    TGIFImage banner;
    LoadAboutBanner(banner);
    banner.DrawOptions &= ~doThreaded;
    TShown shown;
    shown.Attach(banner);
    TSurface surface(320, 80);
    banner.Draw(surface.Canvas, {0, 0, 320, 80});
    EXPECT_EQ(shown.Frames, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(banner.PainterCount(), 0);
    // What is left on show is the last frame over the ones before it: a pixel the fourth
    // frame covers opaquely shows its colour.
    const TGIFSubImage& last = banner.Images()[3];
    const std::uint8_t index = last.Pixel(0, 0);
    ASSERT_NE(index, 255);
    const TGIFColor c = banner.Header().ColorMap().Colors(index);
    ASSERT_NE(banner.Bitmap(), nullptr);
    EXPECT_EQ(banner.Bitmap()->GetPixelColor(last.Left(), last.Top()), RGB(c.Red, c.Green, c.Blue));
}

TEST(GifPainter, LoopCountPlaysThatManyPassesFromTheFrameThatCarriesIt)
{
    const TBytes bytes = Animation(3, [](TGifBuilder& gif, int n) {
        if (n == 1)
            gif.Loop(2);
    });
    TRecordingClock clock;
    TClockScope scope(clock);
    for (bool threaded : {true, false}) {
        SCOPED_TRACE(threaded);
        TGIFImage image;
        ASSERT_EQ(LoadGif(image, bytes), "");
        if (!threaded)
            image.DrawOptions &= ~doThreaded;
        TShown shown;
        shown.Attach(image);
        TSurface surface(2, 1);
        auto painter = image.StartPainter(surface.Canvas, {0, 0, 2, 1}, image.DrawOptions);
        if (threaded) {
            ASSERT_NE(painter, nullptr);
            painter->Resume();
            ASSERT_TRUE(ServeUntil([&] { return painter->Finished(); }));
        }
        EXPECT_EQ(shown.Frames, (std::vector<int>{0, 1, 2, 1, 2}));
        EXPECT_EQ(image.PainterCount(), 0);
    }
}

TEST(GifPainter, FrameWithoutDelayWaitsTenHundredthsLessItsPreparation)
{
    // Frame 0 has no graphic control extension, frame 1 a delay of 0, frame 2 one of 5000.
    const TBytes bytes = Animation(4, [](TGifBuilder& gif, int n) {
        if (n == 1)
            gif.GraphicControl(1, 0);
        if (n == 2)
            gif.GraphicControl(1, 5000);
    });
    {
        TRecordingClock clock(7);
        TClockScope scope(clock);
        TGIFImage image;
        ASSERT_EQ(LoadGif(image, bytes), "");
        image.DrawOptions &= ~doLoop;
        TSurface surface(2, 1);
        auto painter = image.StartPainter(surface.Canvas, {0, 0, 2, 1}, image.DrawOptions);
        painter->Resume();
        ASSERT_TRUE(ServeUntil([&] { return painter->Finished(); }));
        // Threaded: the first frame comes at once, the others after their whole delay, less
        // the 7 ms the clock says preparing the frame took.
        EXPECT_EQ(clock.Waits, (std::vector<int>{93, 93, 49993}));
    }
    TRecordingClock clock;
    TClockScope scope(clock);
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, bytes), "");
    image.DrawOptions &= ~(doLoop | doThreaded);
    TSurface surface(2, 1);
    image.StartPainter(surface.Canvas, {0, 0, 2, 1}, image.DrawOptions);
    // Without a thread the wait goes in steps of 100 ms and never beyond 10 s.
    EXPECT_TRUE(clock.Waits.empty());
    EXPECT_EQ(clock.Sleeps.size(), 1u + 1 + 1 + 100);
}

// The real clock, noting whether a wait ended by its stop event.
class TStopWatchingClock : public IGIFClock {
public:
    std::uint32_t TickCount() override { return 0; }
    void Sleep(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    bool Wait(TGIFEvent& event, int ms) override
    {
        Waiting = true;
        const bool set = event.WaitFor(ms);
        if (set)
            Stopped = true;
        return set;
    }
    std::atomic<bool> Waiting{false};
    std::atomic<bool> Stopped{false};
};

TEST(GifPainter, DestroyingThePictureEndsAWaitingPainterThroughItsStopEvent)
{
    TStopWatchingClock clock;
    TClockScope scope(clock);
    // Ten seconds between frames: only the stop event ends the wait before the test's time.
    const TBytes bytes = Animation(2, [](TGifBuilder& gif, int) { gif.GraphicControl(1, 1000); });
    std::shared_ptr<TGIFPainter> painter;
    auto surface = std::make_unique<TSurface>(2, 1);
    {
        TGIFImage image;
        ASSERT_EQ(LoadGif(image, bytes), "");
        image.Draw(surface->Canvas, {0, 0, 2, 1});
        painter = image.OwnPainter();
        ASSERT_NE(painter, nullptr);
        EXPECT_TRUE(painter->FirstFrameDrawn());
        ASSERT_TRUE(ServeUntil([&] { return clock.Waiting.load(); }));
    }
    EXPECT_TRUE(clock.Stopped);
    EXPECT_TRUE(painter->Terminated());
    EXPECT_TRUE(painter->Finished());
    // The picture joined its worker: the painter is the test's alone now.
    EXPECT_EQ(painter.use_count(), 1);
}

TEST(GifPainter, PainterNeverResumedStillEndsWithItsPicture)
{
    TRecordingClock clock;
    TClockScope scope(clock);
    TSurface surface(320, 80);
    std::shared_ptr<TGIFPainter> painter;
    {
        TGIFImage banner;
        testing::MakeBanner(banner);
        painter = banner.StartPainter(surface.Canvas, {0, 0, 320, 80}, banner.DrawOptions);
        ASSERT_NE(painter, nullptr);
        EXPECT_EQ(banner.PainterCount(), 1);
    }
    EXPECT_TRUE(painter->Finished());
    EXPECT_FALSE(painter->FirstFrameDrawn());
    EXPECT_EQ(painter.use_count(), 1);
}

TEST(GifPainter, SameRectangleKeepsThePainterAndAnotherReplacesIt)
{
    TRecordingClock clock;
    TClockScope scope(clock);
    TGIFImage banner;
    testing::MakeBanner(banner);
    TSurface surface(640, 160);
    banner.Draw(surface.Canvas, {0, 0, 320, 80});
    const auto first = banner.OwnPainter();
    ASSERT_NE(first, nullptr);
    banner.Draw(surface.Canvas, {0, 0, 320, 80});
    banner.Draw(surface.Canvas, {0, 0, 640, 160}); // the composed bitmap is stretched
    EXPECT_EQ(banner.OwnPainter(), first);

    // Drawing straight onto the canvas, the same rectangle again starts nothing new, a
    // different one stops the painter and starts another.
    banner.DrawOptions |= doDirect;
    banner.Draw(surface.Canvas, {0, 0, 320, 80});
    const auto direct = banner.OwnPainter();
    ASSERT_NE(direct, nullptr);
    EXPECT_TRUE(first->Terminated());
    banner.Draw(surface.Canvas, {0, 0, 320, 80});
    EXPECT_EQ(banner.OwnPainter(), direct);
    banner.Draw(surface.Canvas, {10, 10, 330, 90});
    EXPECT_TRUE(direct->Terminated());
    EXPECT_NE(banner.OwnPainter(), direct);
    ASSERT_TRUE(ServeUntil([&] { return banner.PainterCount() == 1; }));
}

TEST(GifPainter, DisposalRestoresTheBackgroundAndReservedMethodsLeaveFramesInPlace)
{
    TRecordingClock clock;
    TClockScope scope(clock);
    auto play = [](const TBytes& bytes, bool transparent) {
        TGIFImage image;
        EXPECT_EQ(LoadGif(image, bytes), "");
        image.DrawOptions &= ~(doThreaded | doLoop);
        if (!transparent)
            image.DrawOptions &= ~doTransparent;
        auto surface = std::make_unique<TSurface>(2, 1);
        surface->Canvas.FillRect({0, 0, 2, 1}, RGB(9, 9, 9));
        image.StartPainter(surface->Canvas, {0, 0, 2, 1}, image.DrawOptions);
        return std::pair{surface->Image.GetPixelColor(0, 0), surface->Image.GetPixelColor(1, 0)};
    };
    auto colour = [](int i) { return RGB(i, 255 - i, i / 2); };

    // Disposal 2 then a frame over the right half: the left half goes back to the background
    // colour (index 3), or, leaving transparent colours out, to what lay under the picture.
    TGifBuilder restore;
    restore.Header(2, 1, 2, "GIF89a", 3).GraphicControl(2, 5);
    restore.Descriptor(0, 0, 2, 1).LiteralData({1, 1});
    restore.Descriptor(1, 0, 1, 1).LiteralData({2}).Trailer();
    EXPECT_EQ(play(restore.Bytes, false), std::pair(colour(3), colour(2)));
    EXPECT_EQ(play(restore.Bytes, true), std::pair(RGB(9, 9, 9), colour(2)));

    // Reserved method 6 leaves the first frame in place; disposal 3 of the second takes the
    // right half back to it before the third frame paints the left half.
    TGifBuilder reserved;
    reserved.Header(2, 1, 2).GraphicControl(6, 5).Descriptor(0, 0, 2, 1).LiteralData({1, 1});
    reserved.GraphicControl(3, 5).Descriptor(1, 0, 1, 1).LiteralData({2});
    reserved.Descriptor(0, 0, 1, 1).LiteralData({3}).Trailer();
    EXPECT_EQ(play(reserved.Bytes, true), std::pair(colour(3), colour(1)));
}

class TVanishingCanvas : public TGIFBitmapCanvas {
public:
    using TGIFBitmapCanvas::TGIFBitmapCanvas;
    bool Valid() const override { return !Gone; }
    std::atomic<bool> Gone{false};
};

TEST(GifPainter, CheckCanvasStopsAtTheNextFrameOnceTheTargetHasGone)
{
    TRecordingClock clock;
    TClockScope scope(clock);
    TGIFImage banner;
    testing::MakeBanner(banner);
    TShown shown;
    shown.Attach(banner);
    TPixelGraphic target;
    target.SetSize(320, 80, bc24Bit);
    TVanishingCanvas canvas(target);
    auto painter = banner.StartPainter(canvas, {0, 0, 320, 80}, banner.DrawOptions | doCheckCanvas);
    painter->Resume();
    ASSERT_TRUE(ServeUntil([&] { return shown.Frames.size() >= 2; }));
    canvas.Gone = true;
    const std::size_t before = shown.Frames.size();
    ASSERT_TRUE(ServeUntil([&] { return painter->Finished(); }));
    EXPECT_LE(shown.Frames.size(), before + 1) << "at most the frame already under way";
}

TEST(GifPictureLock, MainThreadServesTheHolderUntilTheLockIsFree)
{
    // A worker takes the lock and then needs the main thread; the main thread wanting the lock
    // must serve it rather than block.
    TGIFImage image;
    std::atomic<bool> locked{false};
    bool served = false;
    std::thread worker([&] {
        std::lock_guard guard(image.PictureLock());
        locked = true;
        GIFSynchronize([&] { served = true; });
    });
    while (!locked)
        std::this_thread::yield();
    {
        std::lock_guard guard(image.PictureLock());
        EXPECT_TRUE(served);
        // Taken again by the same thread.
        std::lock_guard again(image.PictureLock());
    }
    worker.join();

    // A failure in the method reaches the worker that asked for it.
    std::string message;
    std::atomic<bool> caught{false};
    std::thread failing([&] {
        try {
            GIFSynchronize([] { throw GIFException("Invalid GIF data"); });
        } catch (const GIFException& e) {
            message = e.what();
        }
        caught = true;
    });
    ASSERT_TRUE(ServeUntil([&] { return caught.load(); }));
    failing.join();
    EXPECT_EQ(message, "Invalid GIF data");
}

} // namespace
} // namespace scenaria
