// Balloon hints on the offscreen platform: the components, the application's switch, and the
// pictures the window paints.

#include "widgets/Balloon.h"

#include <QApplication>
#include <QCursor>
#include <QHelpEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <memory>

namespace scenaria {
namespace {

class BalloonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.setGeometry(200, 300, 300, 80);
        auto* layout = new QVBoxLayout(&window);
        button = new QPushButton(QStringLiteral("Show Hints"), &window);
        button->setToolTip(QStringLiteral("Select whether you want the program to show the "
                                          "Balloon Hints"));
        plain = new QPushButton(QStringLiteral("No hint"), &window);
        layout->addWidget(button);
        layout->addWidget(plain);
        window.show();
        window.activateWindow();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        hint.reset();
        Hints().SetShowHint(true);
        Hints().HintHidePause = 2500;
    }
    static TApplicationHints& Hints() { return TApplicationHints::Instance(); }

    // The program's own balloon settings.
    void StartProgramBalloon()
    {
        hint = std::make_unique<TBalloonHint>();
        hint->BorderColor = Qt::black;
        hint->Color = QColor(255, 255, 157);
        hint->Font = QFont(QStringLiteral("Arial"));
        hint->Font.setPixelSize(11);
        hint->SetMaxWidth(-4);
        hint->Position = bpAboveRight;
        hint->SetShadowDepth(8);
        hint->Shape = bsRoundRect;
        hint->Style = hsCustom;
    }
    // What the framework sends when the pointer rests on a control.
    bool SendToolTip(QWidget* control)
    {
        QCursor::setPos(control->mapToGlobal(QPoint(10, 5)));
        // The pointer's arrival reaches the window as an event of its own.
        QApplication::processEvents();
        QHelpEvent event(QEvent::ToolTip, QPoint(10, 5), control->mapToGlobal(QPoint(10, 5)));
        QApplication::sendEvent(control, &event);
        return event.isAccepted();
    }
    bool BalloonShown() const { return Hints().HintWindow() && Hints().HintWindow()->isVisible(); }

    QWidget window;
    QPushButton* button = nullptr;
    QPushButton* plain = nullptr;
    std::unique_ptr<TBalloonHint> hint;
};

TEST_F(BalloonTest, StartValues)
{
    const TBalloonBase base;
    EXPECT_EQ(base.BorderColor, QColor(Qt::black));
    EXPECT_EQ(base.Color, QToolTip::palette().color(QPalette::Inactive, QPalette::ToolTipBase));
    EXPECT_EQ(base.Font, QApplication::font());
    EXPECT_EQ(base.MaxWidth(), -4);
    EXPECT_EQ(base.MaxWidthPixels(), QGuiApplication::primaryScreen()->geometry().width() / 4);
    EXPECT_EQ(base.Behavior, (TBalloonBehaviors{bbNoShowMouseDown, bbUseRegions, bbHideOnPaint}));
    EXPECT_EQ(base.Position, bpAboveRight);
    EXPECT_EQ(base.ShadowDepth(), 8);
    EXPECT_EQ(base.ShadowStyle, ssShaded);
    EXPECT_EQ(base.Shape, bsRoundRect);
    EXPECT_EQ(base.Style, hsDefault);

    TBalloonBase edited;
    edited.SetShadowDepth(40);
    EXPECT_EQ(edited.ShadowDepth(), 16);
    edited.SetShadowDepth(-1);
    EXPECT_EQ(edited.ShadowDepth(), 0);
    edited.SetMaxWidth(100000);
    EXPECT_EQ(edited.MaxWidth(), 100000);
    EXPECT_EQ(edited.MaxWidthPixels(), QGuiApplication::primaryScreen()->geometry().width());
}

TEST_F(BalloonTest, TheLastHintComponentIsInEffect)
{
    EXPECT_EQ(Hints().HintWindowClass(), hwcPlain);
    EXPECT_EQ(Hints().HintWindow(), nullptr);
    auto first = std::make_unique<TBalloonHint>();
    EXPECT_TRUE(first->Active());
    EXPECT_EQ(Hints().HintWindowClass(), hwcBalloon);
    EXPECT_EQ(Hints().BalloonSettings(), first.get());
    ASSERT_NE(Hints().HintWindow(), nullptr);

    auto second = std::make_unique<TBalloonHint>();
    second->Color = Qt::green;
    EXPECT_EQ(Hints().BalloonSettings(), second.get());
    EXPECT_EQ(&Hints().HintWindow()->Settings(), second.get());

    // The older one going leaves the newer in effect.
    first.reset();
    EXPECT_EQ(Hints().HintWindowClass(), hwcBalloon);
    EXPECT_EQ(Hints().BalloonSettings(), second.get());

    // Switched off and on again, the hint window is a new one of the class in effect.
    second->SetActive(false);
    EXPECT_EQ(Hints().HintWindowClass(), hwcPlain);
    EXPECT_EQ(Hints().HintWindow(), nullptr);
    EXPECT_TRUE(Hints().ShowHint()) << "the switch is kept";
    second->SetActive(true);
    EXPECT_NE(Hints().HintWindow(), nullptr);

    // Destroying the one in effect restores the plain tooltips.
    second.reset();
    EXPECT_EQ(Hints().HintWindowClass(), hwcPlain);
    EXPECT_EQ(Hints().BalloonSettings(), nullptr);
    EXPECT_EQ(Hints().HintWindow(), nullptr);
    EXPECT_FALSE(SendToolTip(plain)) << "a control without a hint is left to the framework";
}

TEST_F(BalloonTest, ControlHintShowsAsShapedBalloonAtThePointer)
{
    StartProgramBalloon();
    EXPECT_TRUE(SendToolTip(button));
    ASSERT_TRUE(BalloonShown());
    const TBalloonHintWindow& balloon = *Hints().HintWindow();
    EXPECT_EQ(balloon.Text(), button->toolTip());
    EXPECT_EQ(balloon.FillColor(), QColor(255, 255, 157));
    EXPECT_EQ(balloon.BorderColor(), QColor(Qt::black));
    EXPECT_EQ(balloon.TextFont().pixelSize(), 11);
    EXPECT_FALSE(QToolTip::isVisible());

    // Above right of the pointer, the tail's tip on it; wrapped to a quarter of the screen.
    const QPoint pointer = QCursor::pos();
    EXPECT_EQ(balloon.Orientation(), bpAboveRight);
    EXPECT_EQ(balloon.geometry().bottomLeft() + QPoint(0, 1), pointer);
    const int screen = QGuiApplication::primaryScreen()->geometry().width();
    EXPECT_LE(balloon.width(), screen / 4);
    EXPECT_GT(balloon.height(), 8 + 38 + 2 * QFontMetrics(balloon.TextFont()).height() - 1)
        << "the sentence takes more than one line";

    // The window's shape is the balloon with its shadow.
    const QRegion mask = balloon.mask();
    const TBalloonLayout& l = balloon.Layout();
    EXPECT_TRUE(mask.contains(QPoint(l.Body.Left + 20, l.Body.Top + 20)));
    EXPECT_TRUE(mask.contains(QPoint(l.Width - 2, l.Body.Top + 20))) << "the shadow";
    EXPECT_FALSE(mask.contains(QPoint(2, 2)));
    EXPECT_FALSE(mask.contains(QPoint(l.Width - 1, 0)));

    // Resting on the same control again keeps it; a click ends it.
    EXPECT_TRUE(SendToolTip(button));
    EXPECT_TRUE(BalloonShown());
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, plain->geometry().center());
    EXPECT_FALSE(BalloonShown());
}

TEST_F(BalloonTest, ShortHintKeepsTheMinimumWidthAndFlipsAtTheEdges)
{
    StartProgramBalloon();
    button->setToolTip(QStringLiteral("Hi"));
    window.move(0, 0);
    QApplication::processEvents();
    ASSERT_TRUE(SendToolTip(button));
    const TBalloonHintWindow& balloon = *Hints().HintWindow();
    EXPECT_EQ(balloon.width(), BalloonMinWidth);
    EXPECT_EQ(balloon.Orientation(), bpBelowRight) << "no room above the pointer";
    EXPECT_EQ(balloon.pos(), QCursor::pos() + QPoint(1, 1));

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    window.move(screen.width() - window.width(), screen.height() / 2);
    QApplication::processEvents();
    button->setToolTip(QStringLiteral("Hi there"));
    ASSERT_TRUE(SendToolTip(button));
    EXPECT_EQ(balloon.Orientation(), bpAboveRight);
    const QPoint pointer = QCursor::pos();
    QCursor::setPos(screen.width() - 5, pointer.y());
    Hints().CancelHint();
    ASSERT_TRUE(Hints().ActivateHint(button));
    EXPECT_EQ(balloon.Orientation(), bpAboveLeft);
    EXPECT_EQ(balloon.geometry().right() + 1, screen.width() - 5);
}

TEST_F(BalloonTest, NoBalloonWhileAMouseButtonIsHeld)
{
    StartProgramBalloon();
    for (const Qt::MouseButton held : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        QTest::mousePress(window.windowHandle(), held, {}, QPoint(5, 75));
        ASSERT_TRUE(QGuiApplication::mouseButtons() & held);
        SendToolTip(button);
        EXPECT_FALSE(BalloonShown()) << held;
        QTest::mouseRelease(window.windowHandle(), held, {}, QPoint(5, 75));
        SendToolTip(button);
        EXPECT_TRUE(BalloonShown()) << held;
        Hints().CancelHint();
    }
    // Without bbNoShowMouseDown it shows anyway.
    hint->Behavior = {bbUseRegions};
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, QPoint(5, 75));
    SendToolTip(button);
    EXPECT_TRUE(BalloonShown());
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, QPoint(5, 75));
}

TEST_F(BalloonTest, HintsOffShowNothing)
{
    StartProgramBalloon();
    Hints().SetShowHint(false);
    EXPECT_EQ(Hints().HintWindow(), nullptr);
    EXPECT_TRUE(SendToolTip(button)) << "the event is taken so that no plain tooltip shows";
    EXPECT_FALSE(BalloonShown());
    EXPECT_FALSE(QToolTip::isVisible());
    // A component switched on meanwhile does not switch the hints on.
    hint->SetActive(true);
    EXPECT_FALSE(Hints().ShowHint());
    SendToolTip(button);
    EXPECT_FALSE(BalloonShown());
    Hints().SetShowHint(true);
    SendToolTip(button);
    EXPECT_TRUE(BalloonShown());
}

TEST_F(BalloonTest, PointerRestingOnAControlShowsItsBalloon)
{
    StartProgramBalloon();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const QPoint spot = button->mapTo(&window, QPoint(10, 5));
    QCursor::setPos(window.mapToGlobal(spot));
    QTest::mouseMove(window.windowHandle(), spot);
    QTest::mouseMove(window.windowHandle(), spot + QPoint(1, 0));
    EXPECT_TRUE(QTest::qWaitFor([this] { return BalloonShown(); }, 10000));
    ASSERT_TRUE(BalloonShown());
    EXPECT_EQ(Hints().HintWindow()->Text(), button->toolTip());
    // It goes when nothing else ends it.
    Hints().HintHidePause = 50;
    Hints().CancelHint();
    ASSERT_TRUE(Hints().ActivateHint(button));
    EXPECT_TRUE(QTest::qWaitFor([this] { return !BalloonShown(); }, 5000));
}

TEST_F(BalloonTest, WithoutRegionsTheFirstMovePassesAndTheNextEndsTheHint)
{
    StartProgramBalloon();
    // Moving onto the button repaints it, which would end the hint before the move does.
    hint->Behavior = {bbNoShowMouseDown};
    ASSERT_TRUE(SendToolTip(button));
    const TBalloonHintWindow& balloon = *Hints().HintWindow();
    EXPECT_TRUE(balloon.mask().isEmpty()) << "a plain rectangle";
    // Moves within the control, which would not end a hint with regions.
    const QPoint spot = button->mapTo(&window, QPoint(12, 6));
    QTest::mouseMove(window.windowHandle(), spot);
    EXPECT_TRUE(balloon.isVisible());
    QTest::mouseMove(window.windowHandle(), spot + QPoint(1, 0));
    EXPECT_FALSE(balloon.isVisible());

    // With bbHideOnPaint a paint below the balloon ends it; a paint elsewhere does not.
    hint->Behavior = {bbNoShowMouseDown, bbHideOnPaint};
    QApplication::processEvents(); // the repaints the moves asked for
    ASSERT_TRUE(SendToolTip(button));
    ASSERT_TRUE(balloon.isVisible());
    plain->repaint();
    EXPECT_TRUE(balloon.isVisible()) << "the other button lies below the pointer";
    ASSERT_TRUE(
        QRect(button->mapToGlobal(QPoint(0, 0)), button->size()).intersects(balloon.geometry()));
    button->repaint();
    EXPECT_FALSE(balloon.isVisible());
}

// Pictures the window paints, over a known background.
class BalloonPaintTest : public BalloonTest {
protected:
    QImage Paint(const QImage& below)
    {
        Hints().CancelHint();
        EXPECT_TRUE(SendToolTip(button));
        return Hints().HintWindow()->Render(below);
    }
    static QImage Background(QSize size)
    {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(40, 90, 160));
        return image;
    }
};

TEST_F(BalloonPaintTest, BodyBorderTextAndShadedShadow)
{
    StartProgramBalloon();
    ASSERT_TRUE(SendToolTip(button));
    const TBalloonHintWindow& balloon = *Hints().HintWindow();
    const QImage below = Background(balloon.size());
    const QImage image = Paint(below);
    const TBalloonLayout& l = balloon.Layout();
    const QRgb desk = qRgb(40, 90, 160), fill = qRgb(255, 255, 157), black = qRgb(0, 0, 0);
    const int midY = (l.Body.Top + l.Body.Bottom) / 2;
    EXPECT_EQ(image.pixel(l.Body.Left + 4, midY), fill);
    EXPECT_EQ(image.pixel(l.Body.Left, midY), black) << "the border";
    EXPECT_EQ(image.pixel(2, 2), desk);
    // Every second pixel of the shadow is black, the others keep what lies below.
    for (int y = midY; y < midY + 2; ++y)
        for (int x = l.Width - 4; x < l.Width; ++x)
            EXPECT_EQ(image.pixel(x, y), (x + y) % 2 == 0 ? black : desk) << x << "," << y;
    // The text is drawn in the font's colour inside the text rectangle.
    int dark = 0;
    for (int y = l.Text.Top; y < l.Text.Bottom; ++y)
        for (int x = l.Text.Left; x < l.Text.Right; ++x)
            dark += qGray(image.pixel(x, y)) < 100;
    EXPECT_GT(dark, 50);

    hint->ShadowStyle = ssSolid;
    const QImage solid = Paint(below);
    for (int x = l.Width - 4; x < l.Width; ++x)
        EXPECT_EQ(solid.pixel(x, midY), black);

    // No shadow depth: no shadow, and the window's shape is the balloon alone.
    hint->SetShadowDepth(0);
    hint->ShadowStyle = ssShaded;
    hint->CompositingActive = nullptr;
    const QImage flat = Paint(Background(balloon.size()));
    const TBalloonLayout& f = balloon.Layout();
    ASSERT_EQ(f.ShadowDepth, 0);
    // Below the body, right of the tail, where the shadow would be.
    for (int y = f.Body.Bottom; y < f.Height; ++y)
        for (int x = 50; x < f.Width; ++x)
            ASSERT_EQ(flat.pixel(x, y), desk) << "shadow at " << x << "," << y;
    EXPECT_EQ(flat.pixel(f.Width - 1, f.Body.Top + 20), black) << "the border at the edge";
    EXPECT_EQ(flat.pixel(f.Width - 2, f.Body.Top + 20), fill);
    EXPECT_TRUE(balloon.mask().contains(QPoint(f.Width - 1, f.Body.Top + 20)));
    EXPECT_FALSE(balloon.mask().contains(QPoint(f.Width - 1, f.Body.Bottom)));
}

TEST_F(BalloonPaintTest, WithACompositorOnlyTheShadowsBlackIsPainted)
{
    StartProgramBalloon();
    hint->CompositingActive = [] { return true; };
    const QImage image = Paint(QImage());
    const TBalloonHintWindow& balloon = *Hints().HintWindow();
    EXPECT_TRUE(balloon.Translucent());
    const TBalloonLayout& l = balloon.Layout();
    const int midY = (l.Body.Top + l.Body.Bottom) / 2;
    EXPECT_EQ(qAlpha(image.pixel(2, 2)), 0);
    for (int x = l.Width - 4; x < l.Width; ++x)
        EXPECT_EQ(image.pixel(x, midY),
                  (x + midY) % 2 == 0 ? qRgba(0, 0, 0, 255) : qRgba(0, 0, 0, 0));
    EXPECT_EQ(image.pixel(l.Body.Left + 4, midY), qRgb(255, 255, 157));
    hint->CompositingActive = nullptr;
    Paint(QImage());
    EXPECT_FALSE(balloon.Translucent());
}

TEST_F(BalloonPaintTest, TextIsWordWrappedWithoutPrefixes)
{
    StartProgramBalloon();
    button->setToolTip(QStringLiteral("x"));
    Paint(Background({1, 1}));
    const int bareWidth = Hints().HintWindow()->Layout().Width;
    button->setToolTip(QStringLiteral("&&&&&&&&&&&&x"));
    Paint(Background({1, 1}));
    EXPECT_GT(Hints().HintWindow()->Layout().Width, bareWidth + 40)
        << "every ampersand is a character of its own";

    // Long text wraps to a quarter of the screen, at word boundaries.
    button->setToolTip(QString(QStringLiteral("word ")).repeated(40).trimmed());
    Paint(QImage());
    const TBalloonHintWindow& balloon = *Hints().HintWindow();
    const int quarter = QGuiApplication::primaryScreen()->geometry().width() / 4;
    EXPECT_LE(balloon.width(), quarter);
    EXPECT_GT(balloon.width(),
              quarter -
                  QFontMetrics(balloon.TextFont()).horizontalAdvance(QStringLiteral("word ")) - 1);
    EXPECT_GT(balloon.height(), 5 * QFontMetrics(balloon.TextFont()).height());
}

TEST_F(BalloonPaintTest, StylesChooseFontAndColours)
{
    StartProgramBalloon();
    hint->Style = hsSystem;
    Paint(QImage());
    const TBalloonHintWindow& balloon = *Hints().HintWindow();
    const QPalette palette = QToolTip::palette();
    EXPECT_EQ(balloon.FillColor(), palette.color(QPalette::Inactive, QPalette::ToolTipBase));
    EXPECT_EQ(balloon.TextFont(), QToolTip::font());

    hint->Style = hsDefault;
    Paint(QImage());
    EXPECT_EQ(balloon.FillColor(), palette.color(QPalette::Inactive, QPalette::ToolTipBase));
    EXPECT_EQ(balloon.TextFont().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(balloon.TextFont().pointSize(), 8);

    hint->Style = hsCustom;
    hint->Color = QColor(10, 20, 30);
    hint->BorderColor = QColor(200, 0, 0);
    Paint(QImage());
    EXPECT_EQ(balloon.FillColor(), QColor(10, 20, 30));
    EXPECT_EQ(balloon.BorderColor(), QColor(200, 0, 0));
}

} // namespace
} // namespace scenaria
