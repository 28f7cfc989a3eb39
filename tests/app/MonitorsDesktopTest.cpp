// The real program on a bare X11 desktop of two monitors of different shapes: the root window
// read back monitor by monitor after scenarix changes the wallpaper at start.

#include "imaging/PixelGraphic.h"

#include "DesktopSession.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace scenaria {
namespace {

using namespace std::chrono_literals;
using testing::TRgb;

struct THead {
    int X, Width, Height;
};
// Side by side from the left, as the nested server lays out its heads.
const THead Landscape{0, 480, 270}, Portrait{480, 270, 480};
const TRgb Red{255, 0, 0}, White{255, 255, 255}, Letterbox{0x20, 0x40, 0x60};

// The extent of the red disc on one monitor of the root window.
struct TExtent {
    int Left = 1 << 20, Right = -1, Top = 1 << 20, Bottom = -1;
    int Width() const { return Right - Left + 1; }
    int Height() const { return Bottom - Top + 1; }
};

class MonitorsDesktop : public testing::TIsolatedTest {
protected:
    void SetUp() override
    {
        testing::TDesktopOptions options;
        options.Heads = {{Landscape.Width, Landscape.Height}, {Portrait.Width, Portrait.Height}};
        session_ = std::make_unique<testing::TDesktopSession>(env_, options);
        ASSERT_TRUE(session_->Ready()) << session_->Error();
        TPixelGraphic circle;
        circle.SetSize(600, 600, bc24Bit);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 600; ++x)
                circle.SetPixelColor(x, y,
                                     std::hypot(x - 299.5, y - 299.5) < 200 ? RGB(255, 0, 0)
                                                                            : RGB(255, 255, 255));
        std::filesystem::create_directories(InFolder("pics"));
        circle.SaveToFile(InFolder("pics/circle.bmp"));
    }

    void TearDown() override
    {
        running_.reset();
        session_.reset();
    }

    std::string InFolder(const std::string& name) const { return (program_.Dir() / name).string(); }

    void StartWith(const std::string& keys)
    {
        program_.WriteSettings("[Diduzavizo]\nDirectory=" + InFolder("pics") +
                               "\nMode=0\nDelay=30\nTile=1\nRunOnStart=1\nShowHints=0\n"
                               "Save Folder=" +
                               InFolder("save") + "\n" + keys);
        std::filesystem::create_directories(InFolder("save"));
        running_ = program_.Start();
    }

    TExtent Disc(const THead& head) const
    {
        const std::vector<TRgb> pixels = session_->Pixels(head.X, 0, head.Width, head.Height);
        TExtent e;
        for (int y = 0; y < head.Height; ++y)
            for (int x = 0; x < head.Width; ++x)
                if (pixels[static_cast<std::size_t>(y) * head.Width + x] == Red) {
                    e.Left = std::min(e.Left, x);
                    e.Right = std::max(e.Right, x);
                    e.Top = std::min(e.Top, y);
                    e.Bottom = std::max(e.Bottom, y);
                }
        return e;
    }

    std::unique_ptr<testing::TDesktopSession> session_;
    testing::TProgramCopy program_;
    std::unique_ptr<testing::TBackgroundProgram> running_;
};

TEST_F(MonitorsDesktop, TheSamePictureIsARoundDiscCentredOnEachMonitorWithItsLetterbox)
{
    StartWith("Stretch=1\nProportional=1\nBackground=#204060\n");
    ASSERT_TRUE(session_->WaitForPixel(Landscape.Width / 2, Landscape.Height / 2, Red, 10000))
        << "no change on the first monitor: " << session_->Pixel(240, 135);
    for (const THead& head : {Landscape, Portrait}) {
        const TExtent disc = Disc(head);
        const int side = std::min(head.Width, head.Height);
        SCOPED_TRACE(head.Width > head.Height ? "landscape" : "portrait");
        EXPECT_NEAR(disc.Width(), side * 400 / 600, 3);
        EXPECT_NEAR(disc.Width(), disc.Height(), 2) << "not round";
        EXPECT_NEAR((disc.Left + disc.Right) / 2.0, (head.Width - 1) / 2.0, 1.5);
        EXPECT_NEAR((disc.Top + disc.Bottom) / 2.0, (head.Height - 1) / 2.0, 1.5);
        // The picture's own white square, then the letterbox on the long side.
        EXPECT_EQ(session_->Pixel(head.X + head.Width / 2, 2),
                  head.Width > head.Height ? White : Letterbox);
        EXPECT_EQ(session_->Pixel(head.X + 2, head.Height / 2),
                  head.Width > head.Height ? Letterbox : White);
    }
}

TEST_F(MonitorsDesktop, FillCoversEachMonitorAndOnePictureCanSpanThemAll)
{
    StartWith("Stretch=1\nFill=1\n");
    ASSERT_TRUE(session_->WaitForPixel(Landscape.Width / 2, Landscape.Height / 2, Red, 10000));
    // Covered: the disc reaches past the landscape monitor's top and bottom, and the portrait
    // one shows it as wide as the monitor.
    const TExtent wide = Disc(Landscape);
    EXPECT_EQ(wide.Top, 0);
    EXPECT_EQ(wide.Bottom, Landscape.Height - 1);
    const TExtent tall = Disc(Portrait);
    EXPECT_LE(tall.Left, 1);
    EXPECT_GE(tall.Right, Portrait.Width - 2);
    running_.reset();

    // Spanned: one disc for the whole 750 x 480 layout, stretched across both monitors.
    StartWith("Stretch=1\nMonitors=2\n");
    ASSERT_TRUE(session_->WaitForPixel(375, 240, Red, 10000) ||
                session_->WaitForPixel(470, 240, Red, 10000));
    const TExtent left = Disc(Landscape), right = Disc(Portrait);
    EXPECT_GT(left.Width(), 0);
    EXPECT_GT(right.Width(), 0);
    EXPECT_EQ(right.Left, 0) << "the disc goes on across the bezel";
}

} // namespace
} // namespace scenaria
