#pragma once
// TRangeControl: a control that picks a whole number between Min and Max with the mouse and
// shows it in a linked control; TRotaryKnob: the round knob of that kind, drawn in three
// dimensions with a shading that seems to turn while it is dragged.

#include <QColor>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>

class QPainter;

namespace scenaria {

class TRangeControl : public QWidget {
    Q_OBJECT
public:
    explicit TRangeControl(QWidget* parent = nullptr);

    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    // Each setter does nothing for the value already held; otherwise it keeps Min < Max and
    // Min <= Position <= Max, fires OnChange and updates the linked control only when the
    // position really moved, and repaints.
    void SetMin(int value);
    void SetMax(int value);
    void SetPosition(int value);

    // The control whose text shows Position in decimal (anything with a "text" property: a
    // label, a line edit, a button).
    QWidget* Control() const { return control_; }
    void SetControl(QWidget* control);

    QColor Color() const { return color_; }
    void SetColor(const QColor& color);

    std::function<void(TRangeControl* sender)> OnChange;

    // Turns a point of the client area into a value and sets Position.
    virtual void SetPositionAt(QPoint point) = 0;
    // Draws the whole control.
    virtual void DrawOn(QPainter& painter) = 0;
    // True when a point hits the part of the control that reacts to a press.
    virtual bool IsInside(QPoint point) const = 0;

    // The handlers of the control's own mouse events.
    virtual void DoMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    virtual void DoMouseMove(Qt::KeyboardModifiers shift, int x, int y);

    // True from a left press on the control until the button is let go: the drag goes on
    // outside the control.
    bool Captured() const { return captured_; }

signals:
    void PositionChanged(int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Validate(int positionBefore);
    void ShowPositionInControl();

    int min_ = 0;
    int max_ = 10;
    int position_ = 5;
    QPointer<QWidget> control_;
    QColor color_;
    bool captured_ = false;
};

// Where the knob sits in a control of a given size: 3 pixels at the right and the bottom are
// left for the shadow.
struct TKnobGeometry {
    int D = 0;  // diameter
    int X0 = 0; // face rectangle's left
    int Y0 = 0; // and top
    int R = 0;  // radius
    int Cx = 0; // centre
    int Cy = 0;

    static TKnobGeometry Of(int width, int height);
};

class TRotaryKnob : public TRangeControl {
    Q_OBJECT
public:
    static constexpr int DefaultSize = 30;

    explicit TRotaryKnob(QWidget* parent = nullptr);

    QColor IndicatorColor() const { return indicatorColor_; }
    void SetIndicatorColor(const QColor& color);

    void SetPositionAt(QPoint point) override;
    void DrawOn(QPainter& painter) override;
    bool IsInside(QPoint point) const override;

    TKnobGeometry Geometry() const { return TKnobGeometry::Of(width(), height()); }
    // The value a point stands for, before it is stored.
    int ValueAt(QPoint point) const;
    // Centre of the pointer dot for the present position, and its radius.
    QPoint DotCentre() const;
    int DotRadius() const;

    // Shading offset in degrees used by the next repaint, and its change after it.
    int Phase() const { return phase_; }
    int PhaseStep() const { return phaseStep_; }

    QSize sizeHint() const override { return {DefaultSize, DefaultSize}; }

private:
    QColor indicatorColor_{255, 0, 0};
    std::int16_t phase_ = 0;
    std::int16_t phaseStep_ = 2;
};

// A colour moved p percent toward black (p > 0 darkens), channel by channel in integers.
QColor DarkenColor(const QColor& color, int percent);

} // namespace scenaria
