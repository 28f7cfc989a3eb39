#include "widgets/RotaryKnob.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace scenaria {

namespace {

// Rounding to nearest with halves to even, as the knob always rounded (the default rounding
// mode of the floating-point unit).
int RoundEven(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

// Angle of a point seen from a centre, in degrees counter-clockwise from the right, on a
// screen whose y grows downward.
double ScreenAngle(double cx, double cy, double x, double y)
{
    return std::atan2(cy - y, x - cx) * 180.0 / M_PI;
}

// A pie of the circle in box, counter-clockwise from the ray through `from` to the ray
// through `to`.
void DrawPie(QPainter& painter, const QRect& box, QPointF centre, QPointF from, QPointF to)
{
    const double start = ScreenAngle(centre.x(), centre.y(), from.x(), from.y());
    double span = ScreenAngle(centre.x(), centre.y(), to.x(), to.y()) - start;
    while (span < 0)
        span += 360;
    while (span >= 360)
        span -= 360;
    painter.drawPie(box, RoundEven(start * 16), RoundEven(span * 16));
}

} // namespace

QColor DarkenColor(const QColor& color, int percent)
{
    const auto channel = [percent](int c) { return c + percent * (0 - c) / 100; };
    return QColor(channel(color.red()), channel(color.green()), channel(color.blue()));
}

// --- TRangeControl --------------------------------------------------------------------------

TRangeControl::TRangeControl(QWidget* parent)
    : QWidget(parent), color_(palette().color(QPalette::Button))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void TRangeControl::SetMin(int value)
{
    if (value == min_)
        return;
    const int before = position_;
    min_ = value;
    Validate(before);
}

void TRangeControl::SetMax(int value)
{
    if (value == max_)
        return;
    const int before = position_;
    max_ = value;
    Validate(before);
}

void TRangeControl::SetPosition(int value)
{
    if (value == position_)
        return;
    const int before = position_;
    position_ = value;
    Validate(before);
}

void TRangeControl::Validate(int positionBefore)
{
    if (min_ >= max_)
        min_ = max_ - 1;
    position_ = std::clamp(position_, min_, max_);
    if (position_ != positionBefore) {
        if (OnChange)
            OnChange(this);
        ShowPositionInControl();
        emit PositionChanged(position_);
    }
    update();
}

void TRangeControl::SetControl(QWidget* control)
{
    if (control == control_)
        return;
    control_ = control;
    ShowPositionInControl();
}

void TRangeControl::ShowPositionInControl()
{
    if (control_)
        control_->setProperty("text", QString::number(position_));
}

void TRangeControl::SetColor(const QColor& color)
{
    if (color == color_)
        return;
    color_ = color;
    update();
}

void TRangeControl::DoMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y)
{
    if (button != Qt::LeftButton)
        return;
    if (IsInside({x, y}))
        SetPositionAt({x, y});
}

void TRangeControl::DoMouseMove(Qt::KeyboardModifiers, int x, int y)
{
    if (captured_)
        SetPositionAt({x, y});
}

void TRangeControl::paintEvent(QPaintEvent*)
{
    // Drawn off screen first so that a knob being turned never flickers; without the memory
    // for that it is drawn straight onto the control.
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    if (image.isNull()) {
        QPainter direct(this);
        DrawOn(direct);
        return;
    }
    {
        QPainter offscreen(&image);
        DrawOn(offscreen);
    }
    QPainter(this).drawImage(0, 0, image);
}

void TRangeControl::mousePressEvent(QMouseEvent* event)
{
    // Qt keeps sending the moves to the control that took the press until the button is let
    // go, which is the capture the drag needs.
    if (event->button() == Qt::LeftButton)
        captured_ = true;
    const QPoint at = event->position().toPoint();
    DoMouseDown(event->button(), event->modifiers(), at.x(), at.y());
}

void TRangeControl::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        captured_ = false;
    const QPoint at = event->position().toPoint();
    DoMouseMove(event->modifiers(), at.x(), at.y());
}

void TRangeControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        captured_ = false;
}

void TRangeControl::keyPressEvent(QKeyEvent* event)
{
    const int page = std::max(1, (max_ - min_) / 10);
    // In 64 bits: a step past the ends of int must clamp, not wrap.
    long long target = position_;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
        target += 1;
        break;
    case Qt::Key_Down:
    case Qt::Key_Left:
        target -= 1;
        break;
    case Qt::Key_PageUp:
        target += page;
        break;
    case Qt::Key_PageDown:
        target -= page;
        break;
    case Qt::Key_Home:
        target = min_;
        break;
    case Qt::Key_End:
        target = max_;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    SetPosition(static_cast<int>(std::clamp<long long>(target, min_, max_)));
    event->accept();
}

// --- TRotaryKnob ----------------------------------------------------------------------------

TKnobGeometry TKnobGeometry::Of(int width, int height)
{
    TKnobGeometry g;
    const int w = width - 3;
    const int h = height - 3;
    g.D = std::min(w, h);
    g.X0 = (w - g.D) / 2;
    g.Y0 = (h - g.D) / 2;
    g.R = g.D / 2;
    g.Cx = g.X0 + g.R;
    g.Cy = g.Y0 + g.R;
    return g;
}

TRotaryKnob::TRotaryKnob(QWidget* parent) : TRangeControl(parent)
{
    resize(DefaultSize, DefaultSize);
}

void TRotaryKnob::SetIndicatorColor(const QColor& color)
{
    if (color == indicatorColor_)
        return;
    indicatorColor_ = color;
    update();
}

bool TRotaryKnob::IsInside(QPoint point) const
{
    const TKnobGeometry g = Geometry();
    const double dx = point.x() - g.Cx;
    const double dy = point.y() - g.Cy;
    return RoundEven(std::sqrt(dx * dx + dy * dy)) <= g.R;
}

int TRotaryKnob::ValueAt(QPoint point) const
{
    const TKnobGeometry g = Geometry();
    const int dx = point.x() - g.Cx;
    const int dy = point.y() - g.Cy;
    // 57.3 rather than 180/pi: the scale has always been read with it.
    const int a = dx == 0 ? 90 : std::abs(RoundEven(std::atan(double(dy) / dx) * 57.3));
    // Clockwise from straight below the centre.
    int angle = 0;
    if (dx > 0)
        angle = dy > 0 ? a + 270 : 270 - a;
    else if (dx < 0)
        angle = dy < 0 ? a + 90 : 90 - a;
    else
        angle = dy < 0 ? 180 : 0;
    // The scale runs over 290 degrees from 35 (lower left) to 325 (lower right); 64 bits keep
    // a wide range from overflowing.
    const long long span = static_cast<long long>(Max()) - Min();
    const long long value = Min() + (angle - 35) * span / 290;
    return static_cast<int>(std::clamp<long long>(value, Min(), Max()));
}

void TRotaryKnob::SetPositionAt(QPoint point)
{
    SetPosition(ValueAt(point));
}

int TRotaryKnob::DotRadius() const
{
    return std::max(1, Geometry().R / 6);
}

QPoint TRotaryKnob::DotCentre() const
{
    const TKnobGeometry g = Geometry();
    const float g0 = static_cast<float>(static_cast<double>(Position() - Min()) * 290 /
                                        (static_cast<double>(Max()) - Min())) +
                     35.0f;
    const float h = g0 > 270 ? g0 - 270 : g0 + 90;
    const double radians = h * M_PI / 180.0;
    return {RoundEven(std::cos(radians) * g.R * 0.7) + g.Cx,
            RoundEven(std::sin(radians) * g.R * 0.7) + g.Cy};
}

void TRotaryKnob::DrawOn(QPainter& painter)
{
    const TKnobGeometry g = Geometry();
    const QPalette& colours = palette();
    const QColor shadow = colours.color(QPalette::Dark);
    const QColor face = colours.color(QPalette::Button);
    const QColor highlight = colours.color(QPalette::Light);
    painter.setRenderHint(QPainter::Antialiasing, false);

    painter.fillRect(rect(), Color());

    painter.setPen(Qt::NoPen);
    painter.setBrush(DarkenColor(shadow, 25));
    painter.drawEllipse(QRect(g.X0 + 3, g.Y0 + 3, g.D, g.D));
    const QRect box(g.X0, g.Y0, g.D, g.D);
    painter.setBrush(face);
    painter.drawEllipse(box);

    const double t = (45 - phase_) * M_PI / 180.0;
    const int c = std::abs(RoundEven(std::cos(t) * g.R));
    const int s = std::abs(RoundEven(std::sin(t) * g.R));
    const QPointF centre(g.Cx, g.Cy);
    painter.setBrush(shadow);
    DrawPie(painter, box, centre, QPointF(g.Cx + c, g.Cy - s), QPointF(g.Cx, g.Y0));
    DrawPie(painter, box, centre, QPointF(g.Cx - c, g.Cy + s), QPointF(g.Cx, g.Y0 + g.D));
    painter.setBrush(highlight);
    DrawPie(painter, box, centre, QPointF(g.Cx - c, g.Cy - s), QPointF(g.X0, g.Cy));
    DrawPie(painter, box, centre, QPointF(g.Cx + c, g.Cy + s), QPointF(g.X0 + g.D, g.Cy));

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(DarkenColor(shadow, 50), 1));
    painter.drawEllipse(box.adjusted(0, 0, -1, -1));

    const QPoint dot = DotCentre();
    const int u = DotRadius();
    painter.setPen(Qt::NoPen);
    painter.setBrush(indicatorColor_);
    painter.drawEllipse(QRect(dot.x() - u, dot.y() - u, 2 * u + 1, 2 * u + 1));

    // The face seems to turn while the knob is dragged: each repaint shifts the shading, to and
    // fro between 0 and 8 degrees.
    phase_ = static_cast<std::int16_t>(phase_ + phaseStep_);
    if (phase_ > 9) {
        phase_ = 6;
        phaseStep_ = -2;
    } else if (phase_ < 0) {
        phase_ = 2;
        phaseStep_ = 2;
    }
}

} // namespace scenaria
