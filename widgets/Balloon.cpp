#include "widgets/Balloon.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QScreen>
#include <QTimerEvent>
#include <QToolTip>

#include <algorithm>

namespace scenaria {

namespace {

QScreen* ScreenAt(const QPoint& point)
{
    QScreen* screen = QGuiApplication::screenAt(point);
    return screen ? screen : QGuiApplication::primaryScreen();
}

QColor ApplicationHintColor()
{
    return QToolTip::palette().color(QPalette::Inactive, QPalette::ToolTipBase);
}

QColor WindowFrameColor()
{
    return QApplication::palette().color(QPalette::Shadow);
}

// The balloon's own font when it takes neither the component's nor the system's.
QFont DefaultBalloonFont()
{
    return QFont(QStringLiteral("MS Sans Serif"), 8);
}

constexpr Qt::MouseButtons HintButtons = Qt::LeftButton | Qt::RightButton | Qt::MiddleButton;

constexpr int TextFlags = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop;

} // namespace

// --- TBalloonBase -------------------------------------------------------------------------------

TBalloonBase::TBalloonBase(QObject* owner)
    : QObject(owner), Color(ApplicationHintColor()), Font(QApplication::font()),
      FontColor(QApplication::palette().color(QPalette::WindowText))
{
    SetMaxWidth(-4);
}

void TBalloonBase::SetMaxWidth(int value)
{
    maxWidth_ = value;
    const QScreen* screen = QGuiApplication::primaryScreen();
    maxWidthPixels_ =
        screen ? EffectiveMaxWidth(value, screen->geometry().width()) : std::max(value, 0);
}

void TBalloonBase::SetShadowDepth(int value)
{
    shadowDepth_ = std::clamp(value, 0, BalloonMaxShadowDepth);
}

// --- TBalloonHint -------------------------------------------------------------------------------

TBalloonHint::TBalloonHint(QObject* owner) : TBalloonBase(owner)
{
    TApplicationHints::Instance().RegisterSettings(this);
    SetActive(true);
}

TBalloonHint::~TBalloonHint()
{
    if (!qApp || QCoreApplication::closingDown())
        return;
    TApplicationHints& hints = TApplicationHints::Instance();
    // Only the component in effect hands the application back to plain hints: an older one
    // going away leaves the newer one's balloons alone.
    const bool inEffect = hints.BalloonSettings() == this;
    hints.UnregisterSettings(this);
    if (inEffect)
        SetActive(false);
}

void TBalloonHint::SetActive(bool value)
{
    active_ = value;
    if (!qApp || QCoreApplication::closingDown())
        return;
    TApplicationHints& hints = TApplicationHints::Instance();
    const bool showHint = hints.ShowHint();
    hints.SetShowHint(false);
    hints.SetHintWindowClass(value ? hwcBalloon : hwcPlain);
    hints.SetShowHint(showHint);
}

// --- TBalloonWindow -----------------------------------------------------------------------------

TBalloonWindow::TBalloonWindow(const TBalloonBase* settings)
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus),
      settings_(settings)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    // The window starts from the image below it, never from an erased background.
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

const TBalloonBase& TBalloonWindow::Settings() const
{
    if (settings_)
        return *settings_;
    static const TBalloonBase* const defaults = new TBalloonBase;
    return *defaults;
}

void TBalloonWindow::SetText(const QString& text)
{
    text_ = text;
    // The balloon's name is its text, so that tools that list windows can tell which it is.
    setWindowTitle(text);
    CalcSize();
}

QSize TBalloonWindow::TextSize(int limit) const
{
    const QFontMetrics metrics(font_);
    return metrics.boundingRect(QRect(0, 0, limit, 1 << 20), TextFlags, text_).size();
}

void TBalloonWindow::CalcSize()
{
    const TBalloonBase& s = Settings();
    const QPoint pointer = QCursor::pos();
    const QScreen* screen = ScreenAt(pointer);
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 640, 480);
    const int limit = TextWidthLimit(s.MaxWidthPixels(), area.width(), pointer.x() - area.left(),
                                     s.ShadowDepth());
    const QSize text = TextSize(limit);
    const TBalloonSize size = BalloonWindowSize({text.width(), text.height()}, s.ShadowDepth());
    resize(size.Width, size.Height);
    layout_ = BalloonLayout(size, s.ShadowDepth(), orientation_);
}

void TBalloonWindow::ChooseLook()
{
    const TBalloonBase& s = Settings();
    switch (s.Style) {
    case hsCustom:
        font_ = s.Font;
        fontColor_ = s.FontColor;
        fillColor_ = s.Color;
        borderColor_ = s.BorderColor;
        break;
    case hsSystem: {
        // The desktop's own tooltip font and colours.
        const QPalette palette = QToolTip::palette();
        font_ = QToolTip::font();
        fontColor_ = palette.color(QPalette::Inactive, QPalette::ToolTipText);
        fillColor_ = palette.color(QPalette::Inactive, QPalette::ToolTipBase);
        borderColor_ = WindowFrameColor();
        break;
    }
    case hsDefault:
    default:
        font_ = DefaultBalloonFont();
        fontColor_ = Qt::black;
        fillColor_ = ApplicationHintColor();
        borderColor_ = WindowFrameColor();
        break;
    }
}

bool TBalloonWindow::ActivateHint(const QString& text)
{
    const TBalloonBase& s = Settings();
    if (s.Behavior.Contains(bbNoShowMouseDown) && (QGuiApplication::mouseButtons() & HintButtons)) {
        CancelHint();
        return false;
    }
    ChooseLook();
    SetText(text);

    const QPoint pointer = QCursor::pos();
    QScreen* screen = ScreenAt(pointer);
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 640, 480);
    const TBalloonSize size{width(), height()};
    const TBalloonPlacement place =
        PlaceBalloonOnScreen(s.Position, {pointer.x() - area.left(), pointer.y() - area.top()},
                             size, {area.width(), area.height()});
    orientation_ = place.Orientation;
    layout_ = BalloonLayout(size, s.ShadowDepth(), orientation_);
    const QPoint topLeft(area.left() + place.TopLeft.X, area.top() + place.TopLeft.Y);

    // The image below must not hold the previous balloon.
    hide();
    // Without word from the system, a Wayland session is the one known to compose.
    const bool translucent =
        s.CompositingActive ? s.CompositingActive()
                            : QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (translucent != translucent_) {
        translucent_ = translucent;
        setAttribute(Qt::WA_TranslucentBackground, translucent);
        setAttribute(Qt::WA_NoSystemBackground, true);
        // The window's visual is chosen when it is created.
        if (testAttribute(Qt::WA_WState_Created))
            destroy();
    }
    below_ = QImage();
    if (!translucent && screen)
        below_ = screen->grabWindow(0, place.TopLeft.X, place.TopLeft.Y, size.Width, size.Height)
                     .toImage();

    move(topLeft);
    if (s.Behavior.Contains(bbUseRegions)) {
        const std::vector<TBalloonPixel> pixels = BalloonPixels(layout_, s.Shape);
        std::vector<QRect> spans;
        for (int y = 0; y < size.Height; ++y)
            for (int x = 0; x < size.Width;) {
                if (pixels[static_cast<std::size_t>(y) * size.Width + x] == bxOutside) {
                    ++x;
                    continue;
                }
                const int start = x;
                while (x < size.Width &&
                       pixels[static_cast<std::size_t>(y) * size.Width + x] != bxOutside)
                    ++x;
                spans.emplace_back(start, y, x - start, 1);
            }
        QRegion region;
        region.setRects(spans.data(), static_cast<int>(spans.size()));
        setMask(region);
    } else {
        clearMask();
        if (!hooked_) {
            qApp->installEventFilter(this);
            hooked_ = true;
        }
        firstMovePassed_ = false;
        lastMove_ = pointer;
    }
    show();
    raise();
    update();
    return true;
}

void TBalloonWindow::CancelHint()
{
    hide();
}

void TBalloonWindow::hideEvent(QHideEvent* event)
{
    if (hooked_) {
        qApp->removeEventFilter(this);
        hooked_ = false;
    }
    QWidget::hideEvent(event);
}

bool TBalloonWindow::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() & HintButtons)
            CancelHint();
        break;
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseMove: {
        // Each move reaches a window first and then its widgets, and the framework repeats a
        // move where the pointer already is when windows change below it: count each new place
        // once.
        if (!watched->isWindowType())
            break;
        const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        if (at == lastMove_)
            break;
        lastMove_ = at;
        if (firstMovePassed_)
            CancelHint();
        firstMovePassed_ = true;
        break;
    }
    case QEvent::Paint:
        if (watched != this && Settings().Behavior.Contains(bbHideOnPaint) &&
            watched->isWidgetType()) {
            const auto* widget = static_cast<QWidget*>(watched);
            const QRect area = static_cast<QPaintEvent*>(event)->rect();
            if (QRect(widget->mapToGlobal(area.topLeft()), area.size()).intersects(geometry()))
                CancelHint();
        }
        break;
    default:
        break;
    }
    return false;
}

QImage TBalloonWindow::Render(const QImage& below) const
{
    const int w = layout_.Width, h = layout_.Height;
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (!below.isNull()) {
        QPainter copy(&image);
        copy.setCompositionMode(QPainter::CompositionMode_Source);
        copy.drawImage(0, 0, below);
    }
    const TBalloonBase& s = Settings();
    const std::vector<TBalloonPixel> pixels = BalloonPixels(layout_, s.Shape);
    const QRgb black = qRgb(0, 0, 0), fill = fillColor_.rgb(), border = borderColor_.rgb();
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            switch (pixels[static_cast<std::size_t>(y) * w + x]) {
            case bxShadow:
                if (s.ShadowStyle == ssSolid || ShadedPixelDarkened(x, y))
                    line[x] = black;
                break;
            case bxBody:
                line[x] = fill;
                break;
            case bxBorder:
                line[x] = border;
                break;
            case bxOutside:
                break;
            }
        }
    }
    QPainter painter(&image);
    painter.setFont(font_);
    painter.setPen(fontColor_);
    const TBalloonRect& t = layout_.Text;
    painter.drawText(QRect(t.Left, t.Top, t.Width(), t.Height()), TextFlags, text_);
    return image;
}

void TBalloonWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, Render(below_));
}

// --- TBalloonHintWindow -------------------------------------------------------------------------

TBalloonHintWindow::TBalloonHintWindow() : TBalloonWindow(nullptr)
{
}

const TBalloonBase& TBalloonHintWindow::Settings() const
{
    if (const TBalloonBase* registered = TApplicationHints::Instance().BalloonSettings())
        return *registered;
    return TBalloonWindow::Settings();
}

// --- TApplicationHints --------------------------------------------------------------------------

TApplicationHints& TApplicationHints::Instance()
{
    // A child of the application, so that its hint window goes before the application does.
    static QPointer<TApplicationHints> instance;
    if (!instance)
        instance = new TApplicationHints(qApp);
    return *instance;
}

TApplicationHints::TApplicationHints(QObject* parent) : QObject(parent)
{
    if (parent)
        parent->installEventFilter(this);
}

TApplicationHints::~TApplicationHints()
{
    delete window_;
}

void TApplicationHints::SetShowHint(bool value)
{
    if (value == showHint_)
        return;
    showHint_ = value;
    if (!value) {
        QToolTip::hideText();
        CancelHint();
        delete window_;
    } else if (class_ == hwcBalloon) {
        window_ = new TBalloonHintWindow;
    }
}

void TApplicationHints::UnregisterSettings(const TBalloonBase* settings)
{
    if (settings_ == settings)
        settings_ = nullptr;
}

bool TApplicationHints::ActivateHint(QWidget* control)
{
    while (control && control->toolTip().isEmpty())
        control = control->parentWidget();
    if (!control || !showHint_ || class_ != hwcBalloon)
        return false;
    if (!window_)
        window_ = new TBalloonHintWindow;
    const QString text = control->toolTip();
    // Resting on the same control again keeps the balloon where it is.
    if (window_->isVisible() && control_ == control && window_->Text() == text)
        return true;
    control_ = control;
    if (hideTimer_)
        killTimer(hideTimer_);
    hideTimer_ = 0;
    if (!window_->ActivateHint(text))
        return false;
    hideTimer_ = startTimer(HintHidePause);
    return true;
}

void TApplicationHints::CancelHint()
{
    if (hideTimer_)
        killTimer(hideTimer_);
    hideTimer_ = 0;
    control_ = nullptr;
    if (window_)
        window_->CancelHint();
}

void TApplicationHints::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == hideTimer_)
        CancelHint();
}

bool TApplicationHints::EndsHint(QObject* watched, QEvent* event) const
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::KeyPress:
    case QEvent::Wheel:
        return true;
    case QEvent::Leave:
        return watched == control_;
    case QEvent::MouseMove: {
        // Onto another control: its own hint, if any, comes with the next tooltip event. A
        // move reaches the window first, then the control below it and, when that ignores it,
        // its parents; the window's copy is the one to judge by.
        if (!watched->isWindowType())
            return false;
        const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        const QWidget* w = QApplication::widgetAt(at);
        while (w && w != control_)
            w = w->parentWidget();
        return !w;
    }
    case QEvent::ApplicationStateChange:
        return QGuiApplication::applicationState() != Qt::ApplicationActive;
    default:
        return false;
    }
}

bool TApplicationHints::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        if (!showHint_)
            return true;
        if (class_ != hwcBalloon || !watched->isWidgetType())
            return false;
        auto* control = static_cast<QWidget*>(watched);
        // A control without a hint of its own passes the event on to its parent.
        if (control->toolTip().isEmpty())
            return false;
        ActivateHint(control);
        return true;
    }
    if (window_ && window_->isVisible() && EndsHint(watched, event))
        CancelHint();
    return false;
}

} // namespace scenaria
