// The balloon hints of the real program: scenarix in the notification area, its configuration
// window opened from the tray menu as a user opens it, the pointer resting on a control, and the
// screen read back where the balloon came up.

#include "widgets/BalloonGeometry.h"

#include "DesktopSession.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gtest/gtest.h>

#include <thread>

namespace scenaria {
namespace {

using namespace std::chrono_literals;
using testing::TRgb;
using testing::TWindowSeen;

constexpr int ScreenWidth = 1024, ScreenHeight = 768;
constexpr int Shadow = 8;
const TRgb Desk{40, 90, 160};
const TRgb OtherDesk{200, 60, 30};
const TRgb Fill{255, 255, 157}; // the main window's balloon colour
const TRgb Black{0, 0, 0};
const char* const ConfigCaption = "Wallpaper Diduzavizo";

// A control of the configuration window, where the window lays it out, and its hint.
struct TControl {
    int X, Y, Width, Height;
    const char* Hint;
};
const TControl UseSubfolders{15, 305, 164, 20,
                             "If checked Scenaria will look for wallpaper files on the selected "
                             "folder and all its subfolders"};
const TControl Secuential{201, 79, 156, 20, "Select bitmaps secuentally"};
const TControl HelpButton{564, 8, 22, 22, "Click here, then on a control, to read about it"};

struct TBalloonOptions {
    bool WindowManager;
    bool Compositor;
};

class BalloonDesktop : public testing::TIsolatedTest,
                       public ::testing::WithParamInterface<TBalloonOptions> {
protected:
    void SetUp() override
    {
        testing::TDesktopOptions options;
        options.Width = ScreenWidth;
        options.Height = ScreenHeight;
        options.WindowManager = GetParam().WindowManager;
        options.Compositor = GetParam().Compositor;
        options.Tray = true;
        session_ = std::make_unique<testing::TDesktopSession>(env_, options);
        ASSERT_TRUE(session_->Ready()) << session_->Error();
        SetDesktop(Desk);
        // A folder with no picture to change to: the desktop stays the test's own colour.
        std::filesystem::create_directories(Home() / "Pictures");
        program_.WriteSettings("[Diduzavizo]\nDirectory=" + (Home() / "Pictures").string() +
                               "\nRunOnStart=0\nShowHints=1\nHint on Tray=0\n");
        running_ = program_.Start();
    }

    void TearDown() override
    {
        running_.reset();
        if (tile_)
            XFreePixmap(session_->X(), tile_);
        session_.reset();
    }

    // The desktop in one colour, as the server paints it and as a compositing manager does
    // (from the root pixmap that desktop-setters publish).
    void SetDesktop(const TRgb& c)
    {
        Display* x = session_->X();
        const Window root = DefaultRootWindow(x);
        const unsigned long pixel = static_cast<unsigned long>(c.R) << 16 |
                                    static_cast<unsigned long>(c.G) << 8 |
                                    static_cast<unsigned long>(c.B);
        const Pixmap tile = XCreatePixmap(x, root, 8, 8, DefaultDepth(x, DefaultScreen(x)));
        GC gc = XCreateGC(x, tile, 0, nullptr);
        XSetForeground(x, gc, pixel);
        XFillRectangle(x, tile, gc, 0, 0, 8, 8);
        XFreeGC(x, gc);
        XChangeProperty(x, root, XInternAtom(x, "_XROOTPMAP_ID", False), XA_PIXMAP, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&tile), 1);
        if (tile_)
            XFreePixmap(x, tile_);
        tile_ = tile;
        XSetWindowBackground(x, root, pixel);
        XClearWindow(x, root);
        XSync(x, False);
    }

    // Right click on the icon in the notification area, then the menu's Configure.
    std::optional<TWindowSeen> OpenConfiguration()
    {
        const auto icon = session_->WaitForTrayIcon("scenarix");
        if (!icon) {
            ADD_FAILURE() << "no icon in the notification area";
            return std::nullopt;
        }
        session_->Click(icon->X + icon->Width / 2, icon->Y + icon->Height / 2, 3);
        std::this_thread::sleep_for(500ms);
        session_->Xdotool({"key", "c"});
        auto dialog = session_->WaitForWindow("scenarix", ConfigCaption);
        if (!dialog)
            ADD_FAILURE() << "the configuration window did not open from the tray menu";
        // A window manager may still be placing it.
        std::this_thread::sleep_for(500ms);
        return session_->WaitForWindow("scenarix", ConfigCaption);
    }

    // The pointer comes to rest on the control, as a user's would; returns where it rests.
    std::pair<int, int> RestOn(const TWindowSeen& window, const TControl& control)
    {
        const int x = window.X + control.X + std::min(30, control.Width / 2);
        const int y = window.Y + control.Y + control.Height / 2;
        session_->Xdotool({"mousemove", std::to_string(x - 20), std::to_string(y)});
        std::this_thread::sleep_for(100ms);
        session_->Xdotool({"mousemove", std::to_string(x), std::to_string(y)});
        return {x, y};
    }

    // The balloon: the program's window named after the hint it shows.
    std::optional<TWindowSeen> WaitForBalloon(const std::string& hint)
    {
        return session_->WaitForWindow("scenarix", hint, 8000);
    }

    // What a balloon shows, read at once: the program takes it down again after two seconds.
    struct TLook {
        int BodyFill = 0, BodyPixels = 0, Dark = 0, BorderBlack = 0, BorderPixels = 0;
        std::vector<TRgb> Shown;
    };
    TLook Look(const TWindowSeen& seen, const TBalloonLayout& l)
    {
        TLook look;
        look.Shown = session_->Pixels(seen.X, seen.Y, seen.Width, seen.Height);
        const auto kinds = BalloonPixels(l, bsRoundRect);
        if (look.Shown.size() != kinds.size())
            return look;
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            const int x = static_cast<int>(i) % seen.Width, y = static_cast<int>(i) / seen.Width;
            const TRgb& c = look.Shown[i];
            const bool inText =
                x >= l.Text.Left && x < l.Text.Right && y >= l.Text.Top && y < l.Text.Bottom;
            if (kinds[i] == bxBody && !inText) {
                ++look.BodyPixels;
                look.BodyFill += c == Fill;
            } else if (kinds[i] == bxBorder) {
                ++look.BorderPixels;
                look.BorderBlack += c == Black;
            }
            if (inText)
                look.Dark += c.R + c.G + c.B < 300;
        }
        return look;
    }

    std::unique_ptr<testing::TDesktopSession> session_;
    testing::TProgramCopy program_;
    std::unique_ptr<testing::TBackgroundProgram> running_;
    Pixmap tile_ = 0;
};

// Over the window: the body in its colour framed in black, the hint's text in it, and the
// tail's tip at the pointer.
TEST_P(BalloonDesktop, ARestingPointerShowsTheControlsHintInAYellowBalloonWithText)
{
    const auto dialog = OpenConfiguration();
    ASSERT_TRUE(dialog);
    const auto [px, py] = RestOn(*dialog, UseSubfolders);
    const auto seen = WaitForBalloon(UseSubfolders.Hint);
    ASSERT_TRUE(seen) << "no balloon with the control's hint";
    const TBalloonSize size{seen->Width, seen->Height};
    const TBalloonPlacement place =
        PlaceBalloonOnScreen(bpAboveRight, {px, py}, size, {ScreenWidth, ScreenHeight});
    const TBalloonLayout l = BalloonLayout(size, Shadow, place.Orientation);
    // Painting follows the window's mapping by a moment.
    const int midY = seen->Y + (l.Body.Top + l.Body.Bottom) / 2;
    session_->WaitForPixel(seen->X + l.Body.Left + 4, midY, Fill, 1000);

    const TLook look = Look(*seen, l);
    ASSERT_GT(look.BodyPixels, 200);
    EXPECT_EQ(look.BodyFill, look.BodyPixels) << "the body is not the balloon's colour";
    EXPECT_EQ(look.BorderBlack, look.BorderPixels) << "the outline is not black";
    EXPECT_GT(look.Dark, 40) << "no text in the balloon";
    EXPECT_EQ(place.Orientation, bpAboveRight);
    EXPECT_EQ(seen->X, place.TopLeft.X);
    EXPECT_EQ(seen->Y, place.TopLeft.Y);
    EXPECT_LE(seen->Width, ScreenWidth / 4) << "wrapped at a quarter of the screen";

    // Onto the next control: its own balloon, whose picture of what lies below it was taken
    // without the first balloon.
    RestOn(*dialog, Secuential);
    const auto second = WaitForBalloon(Secuential.Hint);
    ASSERT_TRUE(second) << "no balloon for the second control";
    EXPECT_TRUE(session_->WaitForWindowGone("scenarix", UseSubfolders.Hint, 1000));
    const TBalloonLayout l2 = BalloonLayout({second->Width, second->Height}, Shadow, bpAboveRight);
    session_->WaitForPixel(second->X + l2.Body.Left + 4,
                           second->Y + (l2.Body.Top + l2.Body.Bottom) / 2, Fill, 1000);
    const TLook look2 = Look(*second, l2);
    EXPECT_EQ(look2.BodyFill, look2.BodyPixels);
    EXPECT_GT(look2.Dark, 20) << "no text in the second balloon";
    const auto kinds = BalloonPixels(l2, bsRoundRect);
    ASSERT_EQ(look2.Shown.size(), kinds.size());
    int firstInShadow = 0;
    for (std::size_t i = 0; i < kinds.size(); ++i)
        firstInShadow += kinds[i] == bxShadow && look2.Shown[i] == Fill;
    EXPECT_EQ(firstInShadow, 0) << "the first balloon shows in the second's shadow";

    // The program takes it down by itself after its pause.
    EXPECT_TRUE(session_->WaitForWindowGone("scenarix", Secuential.Hint, 6000));
}

// Over the desktop: outside the outline the window is not there, and the shaded shadow darkens
// every second pixel of what lies below it.
TEST_P(BalloonDesktop, OutsideItsOutlineTheDesktopShowsAndTheShadowIsShaded)
{
    const auto opened = OpenConfiguration();
    ASSERT_TRUE(opened);
    // To the left edge, so that the help button's balloon reaches past the window's right side
    // over the desktop.
    ASSERT_TRUE(session_->Xdotool({"windowmove", std::to_string(opened->Id), "0", "240"}));
    std::optional<TWindowSeen> dialog;
    for (int i = 0; i < 100 && !(dialog && dialog->X < 40); ++i) {
        std::this_thread::sleep_for(20ms);
        dialog = session_->WaitForWindow("scenarix", ConfigCaption);
    }
    ASSERT_TRUE(dialog && dialog->X < 40) << "the window did not move";
    RestOn(*dialog, HelpButton);
    const auto seen = WaitForBalloon(HelpButton.Hint);
    ASSERT_TRUE(seen) << "no balloon for the help button";
    const TBalloonLayout l = BalloonLayout({seen->Width, seen->Height}, Shadow, bpAboveRight);
    const int x0 = seen->X, y0 = seen->Y;
    const int midY = y0 + (l.Body.Top + l.Body.Bottom) / 2;
    ASSERT_TRUE(session_->WaitForPixel(x0 + l.Body.Left + 4, midY, Fill, 1000))
        << session_->Pixel(x0 + l.Body.Left + 4, midY);
    // Above right of the button its right part lies over the desktop, clear of the window and
    // of any frame a window manager draws around it.
    ASSERT_GT(x0 + seen->Width - 4, dialog->X + dialog->Width + 8)
        << "the balloon does not reach over the desktop";
    for (int x = x0 + seen->Width - 4; x < x0 + seen->Width; ++x)
        EXPECT_EQ(session_->Pixel(x, midY), (x - x0 + midY - y0) % 2 == 0 ? Black : Desk) << x;
    SetDesktop(OtherDesk);
    const int cornerX = x0 + seen->Width - 1;
    EXPECT_TRUE(session_->WaitForPixel(cornerX, y0, OtherDesk, 1000))
        << session_->Pixel(cornerX, y0);
    EXPECT_EQ(session_->Pixel(x0 + l.Body.Left + 4, midY), Fill);
}

INSTANTIATE_TEST_SUITE_P(Desktops, BalloonDesktop,
                         ::testing::Values(TBalloonOptions{false, false},
                                           TBalloonOptions{true, false},
                                           TBalloonOptions{true, true}),
                         [](const ::testing::TestParamInfo<TBalloonOptions>& p) {
                             std::string name = p.param.WindowManager ? "Openbox" : "NoWm";
                             return name + (p.param.Compositor ? "Compositor" : "");
                         });

} // namespace
} // namespace scenaria
