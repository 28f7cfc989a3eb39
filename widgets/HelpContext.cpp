#include "widgets/HelpContext.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QShortcut>
#include <QVariant>

namespace scenaria {

namespace {
constexpr const char* HelpContextProperty = "scenariaHelpContext";
}

void SetHelpContext(QWidget* control, int helpContext)
{
    control->setProperty(HelpContextProperty, helpContext);
}

int HelpContextOf(const QWidget* control)
{
    for (; control; control = control->parentWidget()) {
        const int context = control->property(HelpContextProperty).toInt();
        if (context > 0)
            return context;
    }
    return 0;
}

THelpButton::THelpButton(QWidget* parent) : QToolButton(parent)
{
    setText(QStringLiteral("?"));
    setToolTip(QStringLiteral("Click here, then on a control, to read about it"));
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QToolButton::clicked, this, &THelpButton::StartPicking);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), parent->window());
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, &THelpButton::HelpForFocus);
}

THelpButton::~THelpButton()
{
    StopPicking();
}

void THelpButton::StartPicking()
{
    if (picking_)
        return;
    picking_ = true;
    QApplication::setOverrideCursor(Qt::WhatsThisCursor);
    qApp->installEventFilter(this);
}

void THelpButton::StopPicking()
{
    if (!picking_)
        return;
    picking_ = false;
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
}

void THelpButton::PickAt(QPoint globalPosition)
{
    StopPicking();
    const QWidget* control = QApplication::widgetAt(globalPosition);
    if (control && control->window() == window())
        Open(control);
}

void THelpButton::HelpForFocus()
{
    const QWidget* focus = QApplication::focusWidget();
    Open(focus && focus->window() == window() ? focus : window());
}

void THelpButton::Open(const QWidget* control)
{
    if (OnHelp)
        OnHelp(HelpContextOf(control));
}

bool THelpButton::eventFilter(QObject* watched, QEvent* event)
{
    if (!picking_)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        // The click only picks: the control under it is not pressed.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        PickAt(mouse->globalPosition().toPoint());
        return true;
    }
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return true;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            StopPicking();
            return true;
        }
        return false;
    case QEvent::WindowDeactivate:
        if (watched == window())
            StopPicking();
        return false;
    default:
        return false;
    }
}

} // namespace scenaria
