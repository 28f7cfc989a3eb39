#include "widgets/RotaryKnob.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace scenaria {
namespace {

// A mouse event with an explicit button state, as the window system sends it during a drag.
void Mouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
           Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(at), widget.mapToGlobal(QPointF(at)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

void Press(QWidget& widget, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    Mouse(widget, QEvent::MouseButtonPress, at, button, button);
}

void Release(QWidget& widget, QPoint at)
{
    Mouse(widget, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

void DragTo(QWidget& widget, QPoint at)
{
    Mouse(widget, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
}

// A 30 x 30 knob: centre (13, 13), radius 13.
struct TKnob {
    explicit TKnob(int max)
    {
        knob.SetMax(max);
        knob.SetPosition(max / 3);
    }
    int PressAt(QPoint at)
    {
        Press(knob, at);
        Release(knob, at);
        return knob.Position();
    }
    TRotaryKnob knob;
};

TEST(RotaryKnob, DefaultsAndGeometry)
{
    TRotaryKnob knob;
    EXPECT_EQ(knob.size(), QSize(30, 30));
    EXPECT_EQ(knob.Min(), 0);
    EXPECT_EQ(knob.Max(), 10);
    EXPECT_EQ(knob.Position(), 5);
    EXPECT_EQ(knob.Control(), nullptr);
    EXPECT_EQ(knob.IndicatorColor(), QColor(255, 0, 0));
    const TKnobGeometry g = knob.Geometry();
    EXPECT_EQ(g.D, 27);
    EXPECT_EQ(g.R, 13);
    EXPECT_EQ(g.X0, 0);
    EXPECT_EQ(g.Cx, 13);
    EXPECT_EQ(g.Cy, 13);
    EXPECT_EQ(knob.DotRadius(), 2);

    // A wide control keeps the knob round and centred in what the shadow leaves.
    const TKnobGeometry wide = TKnobGeometry::Of(53, 30);
    EXPECT_EQ(wide.D, 27);
    EXPECT_EQ(wide.X0, 11);
    EXPECT_EQ(wide.Cx, 24);
    EXPECT_EQ(TKnobGeometry::Of(8, 8).R, 2);
    knob.resize(8, 8);
    EXPECT_EQ(knob.DotRadius(), 1) << "never below one pixel";
}

TEST(RotaryKnob, PressesAroundTheFace)
{
    TKnob hours(12);
    EXPECT_EQ(hours.PressAt({13, 2}), 6) << "straight above";
    EXPECT_EQ(hours.PressAt({2, 13}), 2) << "straight left";
    EXPECT_EQ(hours.PressAt({24, 13}), 9) << "straight right";
    EXPECT_EQ(hours.PressAt({10, 26}), 0) << "bottom gap, left half";
    EXPECT_EQ(hours.PressAt({16, 26}), 12) << "bottom gap, right half";
    EXPECT_EQ(hours.PressAt({13, 24}), 0) << "straight below is the left end";

    TKnob minutes(59);
    EXPECT_EQ(minutes.PressAt({13, 2}), 29);
    EXPECT_EQ(minutes.PressAt({24, 13}), 47);
    EXPECT_EQ(minutes.PressAt({2, 13}), 11);
    EXPECT_EQ(minutes.PressAt({4, 4}), 20) << "upper left, 135 degrees";

    TKnob shifted(20);
    shifted.knob.SetMin(10);
    EXPECT_EQ(shifted.PressAt({13, 2}), 15) << "the scale starts at Min";
}

TEST(RotaryKnob, OnlyTheFaceTakesAPressButADragGoesOnOutside)
{
    TKnob knob(12);
    knob.knob.SetPosition(4);
    EXPECT_EQ(knob.PressAt({0, 0}), 4) << "corner, outside the circle";
    EXPECT_EQ(knob.PressAt({29, 29}), 4);
    EXPECT_EQ(knob.PressAt({25, 4}), 4) << "distance 15 from the centre";
    EXPECT_TRUE(knob.knob.IsInside({13, 0}));
    EXPECT_FALSE(knob.knob.IsInside({-1, 13}));

    Press(knob.knob, {13, 2});
    EXPECT_EQ(knob.knob.Position(), 6);
    DragTo(knob.knob, {29, 29});
    EXPECT_EQ(knob.knob.Position(), 11) << "315 degrees, outside the circle";
    DragTo(knob.knob, {200, 13});
    EXPECT_EQ(knob.knob.Position(), 9) << "far outside the control, to the right";
    Release(knob.knob, {200, 13});
    Mouse(knob.knob, QEvent::MouseMove, {2, 13}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(knob.knob.Position(), 9) << "after the release a move changes nothing";

    Press(knob.knob, {13, 2}, Qt::RightButton);
    EXPECT_EQ(knob.knob.Position(), 9) << "only the left button turns it";
    DragTo(knob.knob, {2, 13});
    EXPECT_EQ(knob.knob.Position(), 9);
}

TEST(RotaryKnob, SetterRulesAndEvents)
{
    TRotaryKnob knob;
    QLabel label;
    int changes = 0;
    knob.OnChange = [&changes](TRangeControl*) { ++changes; };
    knob.SetControl(&label);
    EXPECT_EQ(label.text(), "5") << "linking shows the position at once";

    knob.SetPosition(5);
    EXPECT_EQ(changes, 0);
    knob.SetPosition(7);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(label.text(), "7");
    knob.SetPosition(99);
    EXPECT_EQ(knob.Position(), 10);
    EXPECT_EQ(changes, 2);
    knob.SetPosition(50);
    EXPECT_EQ(changes, 2) << "clamped to the value it already held";

    label.setText("untouched");
    knob.SetMax(3);
    EXPECT_EQ(knob.Position(), 3);
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(label.text(), "3");
    knob.SetMax(-4);
    EXPECT_EQ(knob.Min(), -5) << "Max at or below Min moves Min";
    EXPECT_EQ(knob.Max(), -4);
    EXPECT_EQ(knob.Position(), -4);
    EXPECT_EQ(changes, 4);

    knob.SetMax(40);
    knob.SetMin(-4);
    EXPECT_EQ(changes, 4) << "the range moved, the position did not";
    EXPECT_EQ(label.text(), "-4");
    knob.SetMin(100);
    EXPECT_EQ(knob.Min(), 39);
    EXPECT_EQ(knob.Position(), 39);
    EXPECT_EQ(changes, 5);
}

TEST(RotaryKnob, KeysMoveByOneAndByATenth)
{
    TRotaryKnob knob;
    knob.SetMax(59);
    knob.SetPosition(30);
    int changes = 0;
    knob.OnChange = [&changes](TRangeControl*) { ++changes; };
    QTest::keyClick(&knob, Qt::Key_Up);
    EXPECT_EQ(knob.Position(), 31);
    QTest::keyClick(&knob, Qt::Key_Left);
    QTest::keyClick(&knob, Qt::Key_Down);
    EXPECT_EQ(knob.Position(), 29);
    QTest::keyClick(&knob, Qt::Key_PageUp);
    EXPECT_EQ(knob.Position(), 34);
    QTest::keyClick(&knob, Qt::Key_End);
    EXPECT_EQ(knob.Position(), 59);
    EXPECT_EQ(changes, 5);
    QTest::keyClick(&knob, Qt::Key_PageUp);
    QTest::keyClick(&knob, Qt::Key_Right);
    EXPECT_EQ(knob.Position(), 59);
    EXPECT_EQ(changes, 5) << "no event at the end of the range";
    QTest::keyClick(&knob, Qt::Key_Home);
    QTest::keyClick(&knob, Qt::Key_PageDown);
    EXPECT_EQ(knob.Position(), 0);
}

TEST(RotaryKnob, ShadingPhaseSwingsToAndFro)
{
    TRotaryKnob knob;
    QImage image(30, 30, QImage::Format_RGB32);
    std::vector<int> phases;
    for (int i = 0; i < 10; ++i) {
        phases.push_back(knob.Phase());
        QPainter painter(&image);
        knob.DrawOn(painter);
    }
    EXPECT_EQ(phases, (std::vector<int>{0, 2, 4, 6, 8, 6, 4, 2, 0, 2}));
    EXPECT_EQ(knob.Phase(), 4);
    EXPECT_EQ(knob.PhaseStep(), 2);
}

TEST(RotaryKnob, RepaintsOnlyForARealChange)
{
    TRotaryKnob knob;
    knob.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&knob));
    QApplication::processEvents();
    const int phase = knob.Phase();
    knob.SetPosition(5);
    QApplication::processEvents();
    EXPECT_EQ(knob.Phase(), phase) << "no repaint for the position it already had";
    knob.SetPosition(6);
    QApplication::processEvents();
    EXPECT_NE(knob.Phase(), phase);
}

QColor Pixel(const QImage& image, QPoint at)
{
    return QColor(image.pixel(at));
}

TEST(RotaryKnob, DrawsShadowFaceOutlineAndPointer)
{
    TRotaryKnob knob;
    knob.resize(60, 60);
    knob.SetColor(QColor(0, 128, 0));
    knob.SetIndicatorColor(QColor(0, 0, 255));
    knob.SetPosition(0);
    const TKnobGeometry g = knob.Geometry();
    ASSERT_EQ(g.D, 57);
    QImage image = knob.grab().toImage();

    EXPECT_EQ(Pixel(image, {0, 0}), QColor(0, 128, 0)) << "the corners show Color";
    EXPECT_EQ(Pixel(image, {59, 0}), QColor(0, 128, 0));
    const QColor shadow = DarkenColor(knob.palette().color(QPalette::Dark), 25);
    EXPECT_EQ(Pixel(image, {g.X0 + g.D + 1, g.Cy + 3}), shadow) << "the shadow right of the face";
    EXPECT_EQ(Pixel(image, {g.Cx + 3, g.Y0 + g.D + 1}), shadow) << "and below it";
    EXPECT_EQ(Pixel(image, {g.X0, g.Cy}), DarkenColor(knob.palette().color(QPalette::Dark), 50))
        << "the outline";
    EXPECT_EQ(Pixel(image, {g.Cx - 4, g.Cy - 9}), knob.palette().color(QPalette::Button))
        << "the face between the shaded sectors, at 112 degrees";

    // At Min the dot is at 125 degrees: lower left of the centre, 0.7 of the radius out.
    const QPoint low = knob.DotCentre();
    EXPECT_EQ(low, QPoint(g.Cx - 11, g.Cy + 16));
    EXPECT_EQ(Pixel(image, low), QColor(0, 0, 255));
    knob.SetPosition(10);
    image = knob.grab().toImage();
    const QPoint high = knob.DotCentre();
    EXPECT_EQ(high, QPoint(g.Cx + 11, g.Cy + 16)) << "at Max, lower right";
    EXPECT_EQ(Pixel(image, high), QColor(0, 0, 255));
    EXPECT_NE(Pixel(image, low), QColor(0, 0, 255)) << "the dot has left its old place";
    knob.SetPosition(5);
    EXPECT_EQ(knob.DotCentre(), QPoint(g.Cx, g.Cy - 20)) << "half way, straight up";
}

TEST(RotaryKnob, Darkening)
{
    EXPECT_EQ(DarkenColor(QColor(128, 200, 7), 25), QColor(96, 150, 6));
    EXPECT_EQ(DarkenColor(QColor(128, 200, 7), 50), QColor(64, 100, 4));
    EXPECT_EQ(DarkenColor(QColor(255, 255, 255), 0), QColor(255, 255, 255));
}

} // namespace
} // namespace scenaria
