#pragma once
// Balloon hints: the application's pop-up hints drawn as speech balloons, a rounded body with a
// tail whose tip sits at the pointer and a drop shadow. A TBalloonHint on a window switches the
// whole application to them; the last one created is in effect.

#include "widgets/BalloonGeometry.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <initializer_list>

namespace scenaria {

enum TBalloonBehavior : int { bbNoShowMouseDown, bbUseRegions, bbHideOnPaint };

class TBalloonBehaviors {
public:
    constexpr TBalloonBehaviors() = default;
    constexpr TBalloonBehaviors(std::initializer_list<TBalloonBehavior> members)
    {
        for (const TBalloonBehavior m : members)
            bits_ |= 1u << m;
    }
    constexpr bool Contains(TBalloonBehavior m) const { return bits_ & (1u << m); }
    bool operator==(const TBalloonBehaviors&) const = default;

private:
    unsigned bits_ = 0;
};

enum TBalloonShadowStyle : int { ssShaded, ssSolid };
enum THintStyle : int { hsDefault, hsCustom, hsSystem };

// The balloon settings.
class TBalloonBase : public QObject {
    Q_OBJECT
public:
    explicit TBalloonBase(QObject* owner = nullptr);

    QColor BorderColor = Qt::black;
    QColor Color;     // the application's hint colour
    QFont Font;       // the application's default font
    QColor FontColor; // the text's colour, which a Qt font does not carry
    TBalloonBehaviors Behavior{bbNoShowMouseDown, bbUseRegions, bbHideOnPaint};
    TBalloonPosition Position = bpAboveRight;
    TBalloonShadowStyle ShadowStyle = ssShaded;
    TBalloonShape Shape = bsRoundRect;
    THintStyle Style = hsDefault;

    int MaxWidth() const { return maxWidth_; }
    // Works out the width in pixels on the primary screen at once.
    void SetMaxWidth(int value);
    int MaxWidthPixels() const { return maxWidthPixels_; }
    int ShadowDepth() const { return shadowDepth_; }
    void SetShadowDepth(int value); // kept within 0 to 16

    // Whether a compositing manager draws the screen: then the window is translucent and paints
    // only the shadow's black pixels; otherwise it starts from a grab of the screen below it.
    std::function<bool()> CompositingActive;

private:
    int maxWidth_ = -4;
    int maxWidthPixels_ = 0;
    int shadowDepth_ = 8;
};

// The component: its settings become the application's balloon settings.
class TBalloonHint : public TBalloonBase {
    Q_OBJECT
public:
    explicit TBalloonHint(QObject* owner = nullptr);
    ~TBalloonHint() override;

    bool Active() const { return active_; }
    void SetActive(bool value);

private:
    bool active_ = false;
};

// Draws and shapes one balloon.
class TBalloonWindow : public QWidget {
    Q_OBJECT
public:
    explicit TBalloonWindow(const TBalloonBase* settings);

    // Shows the balloon with this text at the pointer; the hint is cancelled instead while a
    // mouse button is down (with bbNoShowMouseDown). Returns whether it shows.
    bool ActivateHint(const QString& text);
    void CancelHint();

    QString Text() const { return text_; }
    void SetText(const QString& text);
    TBalloonPosition Orientation() const { return orientation_; }
    const TBalloonLayout& Layout() const { return layout_; }
    QColor FillColor() const { return fillColor_; }
    QColor BorderColor() const { return borderColor_; }
    QFont TextFont() const { return font_; }
    bool Translucent() const { return translucent_; }

    // The window's picture for the given image of what lies below it (transparent with a
    // compositor).
    QImage Render(const QImage& below) const;

    // The settings in use; the defaults when there are none.
    virtual const TBalloonBase& Settings() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Without bbUseRegions: what ends the hint while it is up.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ChooseLook();
    void CalcSize();
    QSize TextSize(int limit) const;

    QPointer<const TBalloonBase> settings_;
    QString text_;
    QFont font_;
    QColor fontColor_, fillColor_, borderColor_;
    TBalloonPosition orientation_ = bpAboveRight;
    TBalloonLayout layout_;
    QImage below_;
    bool translucent_ = false;
    bool hooked_ = false;
    bool firstMovePassed_ = false;
    QPoint lastMove_;
};

// The hint window class installed in the application: knows the registered settings.
class TBalloonHintWindow : public TBalloonWindow {
    Q_OBJECT
public:
    TBalloonHintWindow();
    const TBalloonBase& Settings() const override;
};

// The application's hint machinery: whether hints show at all, and whether they show as
// balloons or as the platform's plain tooltips.
enum THintWindowClass : int { hwcPlain, hwcBalloon };

class TApplicationHints : public QObject {
    Q_OBJECT
public:
    static TApplicationHints& Instance();

    bool ShowHint() const { return showHint_; }
    // Off discards the hint window and no hint shows; on creates one of the current class.
    void SetShowHint(bool value);
    THintWindowClass HintWindowClass() const { return class_; }
    void SetHintWindowClass(THintWindowClass value) { class_ = value; }
    // How long a balloon stays when nothing else ends it.
    int HintHidePause = 2500;

    // The registered balloon settings (the last TBalloonHint created).
    const TBalloonBase* BalloonSettings() const { return settings_; }
    void RegisterSettings(const TBalloonBase* settings) { settings_ = settings; }
    void UnregisterSettings(const TBalloonBase* settings);

    // The balloon window of the application, when hints show as balloons.
    TBalloonHintWindow* HintWindow() const { return window_; }
    // Shows the hint of a control (or of the nearest parent that has one) as a balloon.
    bool ActivateHint(QWidget* control);
    void CancelHint();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    explicit TApplicationHints(QObject* parent);
    ~TApplicationHints() override;
    bool EndsHint(QObject* watched, QEvent* event) const;

    bool showHint_ = true;
    THintWindowClass class_ = hwcPlain;
    QPointer<const TBalloonBase> settings_;
    QPointer<TBalloonHintWindow> window_;
    QPointer<QWidget> control_;
    int hideTimer_ = 0;
};

} // namespace scenaria
