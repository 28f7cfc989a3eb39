// The balloon on a real (virtual) X display: xdotool moves the mouse onto a control, and the
// screen is read back where the balloon came up.

#include "widgets/BalloonGeometry.h"

#include "RunProgram.h"
#include "platform/PlatformTestSupport.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <thread>

namespace scenaria {
namespace {

using namespace std::chrono_literals;
using testing::TChild;

struct TRgb {
    int R, G, B;
    bool operator==(const TRgb&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TRgb& c)
{
    return out << "(" << c.R << "," << c.G << "," << c.B << ")";
}

// A control on the screen and the hint it carries.
struct THoverTarget {
    int X = 0, Y = 0, Width = 0, Height = 0;
    std::string Hint;
};

// A balloon window found on the screen.
struct TBalloonSeen {
    Window Id = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
};

class BalloonDesktop : public testing::TIsolatedTest {
protected:
    static constexpr int ScreenWidth = 1024, ScreenHeight = 768;
    const TRgb Desk{40, 90, 160};
    const TRgb OtherDesk{200, 60, 30};
    const TRgb Fill{255, 255, 157}; // the main window's balloon colour
    const TRgb Black{0, 0, 0};
    static constexpr int Shadow = 8;

    void SetUp() override
    {
        ASSERT_TRUE(testing::RequireProgram("Xvfb", "xvfb"));
        ASSERT_TRUE(testing::RequireProgram("xdotool", "xdotool"));
        server_ = std::make_unique<TChild>(std::vector<std::string>{
            "Xvfb", "-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0",
            std::to_string(ScreenWidth) + "x" + std::to_string(ScreenHeight) + "x24"});
        ASSERT_TRUE(server_->Started()) << server_->Error();
        const auto number = server_->ReadLine(20000);
        ASSERT_TRUE(number && !number->empty()) << "Xvfb did not start";
        display_ = ":" + *number;
        env_.Set("DISPLAY", display_);
        env_.Set("QT_QPA_PLATFORM", "xcb");
        x_ = XOpenDisplay(display_.c_str());
        ASSERT_NE(x_, nullptr);
        SetDesktop(Desk);
    }

    void TearDown() override
    {
        program_.reset();
        compositor_.reset();
        if (x_)
            XCloseDisplay(x_);
        server_.reset();
    }

    // The desktop in one colour, as the server paints it and as a compositing manager does
    // (from the root pixmap that desktop-setters publish).
    void SetDesktop(const TRgb& c)
    {
        const Window root = DefaultRootWindow(x_);
        const unsigned long pixel = static_cast<unsigned long>(c.R) << 16 |
                                    static_cast<unsigned long>(c.G) << 8 |
                                    static_cast<unsigned long>(c.B);
        const Pixmap tile = XCreatePixmap(x_, root, 8, 8, DefaultDepth(x_, DefaultScreen(x_)));
        GC gc = XCreateGC(x_, tile, 0, nullptr);
        XSetForeground(x_, gc, pixel);
        XFillRectangle(x_, tile, gc, 0, 0, 8, 8);
        XFreeGC(x_, gc);
        XChangeProperty(x_, root, XInternAtom(x_, "_XROOTPMAP_ID", False), XA_PIXMAP, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&tile), 1);
        if (tile_)
            XFreePixmap(x_, tile_);
        tile_ = tile;
        XSetWindowBackground(x_, root, pixel);
        XClearWindow(x_, root);
        XSync(x_, False);
    }

    void StartCompositor()
    {
        ASSERT_TRUE(testing::RequireProgram("xcompmgr", "xcompmgr"));
        compositor_ = std::make_unique<TChild>(std::vector<std::string>{"xcompmgr"}, false);
        ASSERT_TRUE(compositor_->Started()) << compositor_->Error();
        const Atom selection = XInternAtom(x_, "_NET_WM_CM_S0", False);
        for (int i = 0; i < 250 && XGetSelectionOwner(x_, selection) == None; ++i)
            std::this_thread::sleep_for(20ms);
        ASSERT_NE(XGetSelectionOwner(x_, selection), None) << "xcompmgr did not start";
    }

    // The small window of the build whose controls carry hints. Pointing the test at another
    // window takes another function like this one: start it, and say where its controls are.
    std::vector<THoverTarget> OpenDemoWindow()
    {
        std::vector<THoverTarget> targets;
        program_ = std::make_unique<TChild>(
            std::vector<std::string>{testing::BuiltProgram("balloon-demo")});
        if (!program_->Started())
            return targets;
        for (int i = 0; i < 2; ++i) {
            const auto place = program_->ReadLine(20000);
            const auto hint = program_->ReadLine(2000);
            if (!place || !hint)
                break;
            THoverTarget target;
            std::istringstream in(*place);
            std::string word;
            in >> word >> target.X >> target.Y >> target.Width >> target.Height;
            if (word != "control")
                break;
            target.Hint = *hint;
            targets.push_back(target);
        }
        return targets;
    }

    TRgb Pixel(int x, int y)
    {
        XImage* image = XGetImage(x_, DefaultRootWindow(x_), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image)
            return {-1, -1, -1};
        const unsigned long value = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return {static_cast<int>(value >> 16 & 0xFF), static_cast<int>(value >> 8 & 0xFF),
                static_cast<int>(value & 0xFF)};
    }

    // A rectangle of the screen, row by row.
    std::vector<TRgb> Pixels(int x, int y, int width, int height)
    {
        std::vector<TRgb> pixels;
        XImage* image = XGetImage(x_, DefaultRootWindow(x_), x, y, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), AllPlanes, ZPixmap);
        if (!image)
            return pixels;
        for (int row = 0; row < height; ++row)
            for (int column = 0; column < width; ++column) {
                const unsigned long value = XGetPixel(image, column, row);
                pixels.push_back({static_cast<int>(value >> 16 & 0xFF),
                                  static_cast<int>(value >> 8 & 0xFF),
                                  static_cast<int>(value & 0xFF)});
            }
        XDestroyImage(image);
        return pixels;
    }

    bool WaitForPixel(int x, int y, const TRgb& colour)
    {
        for (int i = 0; i < 150; ++i) {
            if (Pixel(x, y) == colour)
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    // A mapped top-level window whose name is the given text.
    std::optional<TBalloonSeen> FindWindowNamed(const std::string& name)
    {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(x_, DefaultRootWindow(x_), &root, &parent, &children, &count))
            return std::nullopt;
        std::optional<TBalloonSeen> found;
        for (unsigned i = 0; i < count && !found; ++i) {
            XWindowAttributes a;
            char* title = nullptr;
            if (XGetWindowAttributes(x_, children[i], &a) && a.map_state == IsViewable &&
                XFetchName(x_, children[i], &title) && title) {
                if (name == title)
                    found = TBalloonSeen{children[i], a.x, a.y, a.width, a.height};
                XFree(title);
            }
        }
        if (children)
            XFree(children);
        return found;
    }

    std::optional<TBalloonSeen> WaitForBalloon(const std::string& hint)
    {
        for (int i = 0; i < 400; ++i) {
            if (auto seen = FindWindowNamed(hint))
                return seen;
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }

    bool WaitForBalloonGone(const std::string& hint)
    {
        for (int i = 0; i < 250; ++i) {
            if (!FindWindowNamed(hint))
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    void Xdotool(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{"xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto r = testing::RunProgram(argv);
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
    }

    // The pointer comes to rest on the control, as a user's would.
    void PointAt(int x, int y)
    {
        Xdotool({"mousemove", std::to_string(x - 20), std::to_string(y)});
        std::this_thread::sleep_for(100ms);
        Xdotool({"mousemove", std::to_string(x), std::to_string(y)});
    }

    std::string display_;
    Display* x_ = nullptr;
    std::unique_ptr<TChild> server_;
    std::unique_ptr<TChild> program_;
    std::unique_ptr<TChild> compositor_;
    Pixmap tile_ = 0;
};

TEST_F(BalloonDesktop, HoveringAControlShowsItsHintInAShapedBalloon)
{
    const auto targets = OpenDemoWindow();
    ASSERT_EQ(targets.size(), 2u) << "the window did not come up";
    const THoverTarget* target = &targets[0];
    const int px = target->X + std::min(30, target->Width / 2), py = target->Y + target->Height / 2;
    PointAt(px, py);
    const auto seen = WaitForBalloon(target->Hint);
    ASSERT_TRUE(seen) << "no balloon with the control's hint";

    // Above right of the pointer as the program prefers, the tail's tip at the pointer.
    const TBalloonSize size{seen->Width, seen->Height};
    const TBalloonPlacement place =
        PlaceBalloonOnScreen(bpAboveRight, {px, py}, size, {ScreenWidth, ScreenHeight});
    ASSERT_EQ(place.Orientation, bpAboveRight);
    EXPECT_EQ(seen->X, place.TopLeft.X);
    EXPECT_EQ(seen->Y, place.TopLeft.Y);
    EXPECT_GE(seen->Width, BalloonMinWidth);
    EXPECT_LE(seen->Width, ScreenWidth / 4) << "wrapped at a quarter of the screen";

    const TBalloonLayout l = BalloonLayout(size, Shadow, place.Orientation);
    const int x0 = seen->X, y0 = seen->Y;
    const int midY = y0 + (l.Body.Top + l.Body.Bottom) / 2;
    // The body's colour inside, framed in black.
    ASSERT_TRUE(WaitForPixel(x0 + l.Body.Left + 4, midY, Fill))
        << Pixel(x0 + l.Body.Left + 4, midY);
    EXPECT_EQ(Pixel(x0 + l.Body.Left, midY), Black);
    // The text, in black (smoothed at its edges), inside the text rectangle.
    int dark = 0;
    for (int y = l.Text.Top; y < l.Text.Bottom; ++y)
        for (int x = l.Text.Left; x < l.Text.Right; x += 2) {
            const TRgb c = Pixel(x0 + x, y0 + y);
            dark += c.R + c.G + c.B < 300;
        }
    EXPECT_GT(dark, 20) << "no text in the balloon";
    // The shadow beside the body darkens every second pixel of the desktop.
    for (int x = x0 + seen->Width - 4; x < x0 + seen->Width; ++x)
        EXPECT_EQ(Pixel(x, midY), (x - x0 + midY - y0) % 2 == 0 ? Black : Desk) << x;

    // Outside the outline the window is not there: the desktop shows through it, even when the
    // desktop changes below the balloon.
    SetDesktop(OtherDesk);
    EXPECT_TRUE(WaitForPixel(x0 + 2, y0 + 2, OtherDesk)) << Pixel(x0 + 2, y0 + 2);
    EXPECT_EQ(Pixel(x0 + seen->Width - 1, y0), OtherDesk);
    EXPECT_EQ(Pixel(x0 + l.Body.Left + 4, midY), Fill);

    // Onto the next control: its own balloon, taken from the screen without the first one.
    SetDesktop(Desk);
    const THoverTarget& next = targets[1];
    PointAt(next.X + std::min(30, next.Width / 2), next.Y + next.Height / 2);
    const auto second = WaitForBalloon(next.Hint);
    ASSERT_TRUE(second) << "no balloon for the second control";
    EXPECT_TRUE(WaitForBalloonGone(target->Hint));
    const TBalloonLayout l2 = BalloonLayout({second->Width, second->Height}, Shadow, bpAboveRight);
    const int midY2 = second->Y + (l2.Body.Top + l2.Body.Bottom) / 2;
    ASSERT_TRUE(WaitForPixel(second->X + l2.Body.Left + 4, midY2, Fill));
    const auto kinds = BalloonPixels(l2, bsRoundRect);
    const auto shown = Pixels(second->X, second->Y, second->Width, second->Height);
    ASSERT_EQ(shown.size(), kinds.size());
    int shadow = 0;
    for (std::size_t i = 0; i < kinds.size(); ++i)
        if (kinds[i] == bxShadow) {
            ++shadow;
            ASSERT_FALSE(shown[i] == Fill) << "the first balloon shows in the second's shadow at "
                                           << i % second->Width << "," << i / second->Width;
        }
    EXPECT_GT(shadow, 100);

    // Leaving the control ends the hint.
    Xdotool({"mousemove", std::to_string(px), std::to_string(next.Y + next.Height + 150)});
    EXPECT_TRUE(WaitForBalloonGone(next.Hint));
}

// With a compositing manager the balloon is a translucent window: its shadow darkens what
// lies below it now, not a copy taken when it appeared.
TEST_F(BalloonDesktop, WithACompositorTheShadowIsTranslucent)
{
    StartCompositor();
    ASSERT_TRUE(WaitForPixel(400, 100, Desk)) << "the compositor does not show the desktop";
    const auto targets = OpenDemoWindow();
    ASSERT_EQ(targets.size(), 2u) << "the window did not come up";
    const THoverTarget* target = &targets[0];
    const int px = target->X + std::min(30, target->Width / 2), py = target->Y + target->Height / 2;
    PointAt(px, py);
    const auto seen = WaitForBalloon(target->Hint);
    ASSERT_TRUE(seen) << "no balloon with the control's hint";
    const TBalloonLayout l = BalloonLayout({seen->Width, seen->Height}, Shadow, bpAboveRight);
    const int x0 = seen->X, y0 = seen->Y;
    const int midY = y0 + (l.Body.Top + l.Body.Bottom) / 2;
    ASSERT_TRUE(WaitForPixel(x0 + l.Body.Left + 4, midY, Fill))
        << Pixel(x0 + l.Body.Left + 4, midY);
    EXPECT_EQ(Pixel(x0 + l.Body.Left, midY), Black);

    // A window of another colour comes up below the balloon: the compositor draws the balloon
    // over it anew, and the shadow's light pixels are that window's.
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = static_cast<unsigned long>(OtherDesk.R) << 16 |
                                  static_cast<unsigned long>(OtherDesk.G) << 8 |
                                  static_cast<unsigned long>(OtherDesk.B);
    const Window below =
        XCreateWindow(x_, DefaultRootWindow(x_), x0, y0, static_cast<unsigned>(seen->Width),
                      static_cast<unsigned>(seen->Height), 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    XMapWindow(x_, below);
    XLowerWindow(x_, below);
    XSync(x_, False);
    EXPECT_TRUE(WaitForPixel(x0 + 2, y0 + 2, OtherDesk)) << Pixel(x0 + 2, y0 + 2);
    for (int x = x0 + seen->Width - 4; x < x0 + seen->Width; ++x)
        EXPECT_EQ(Pixel(x, midY), (x - x0 + midY - y0) % 2 == 0 ? Black : OtherDesk) << x;
    EXPECT_EQ(Pixel(x0 + l.Body.Left + 4, midY), Fill);
}

} // namespace
} // namespace scenaria
