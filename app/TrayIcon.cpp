#include "app/TrayIcon.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

// The pictures are compiled into the static app library. Nothing refers to the object that
// registers them, so the linker leaves it out of the program unless it is asked for by name
// (which only works from the global namespace).
static void RegisterProgramResources()
{
    Q_INIT_RESOURCE(scenaria);
}

namespace scenaria {

namespace {
// How often to look for a notification area that is not there yet. Only while there is none:
// once the icon is shown, the program wakes for nothing but its minute timer.
constexpr int WatchIntervalMs = 5000;
bool saidMissing = false; // the missing notification area is mentioned once per run
} // namespace

QIcon ProgramIcon()
{
    static const bool registered = (RegisterProgramResources(), true);
    (void)registered;
    const QString name = QStringLiteral("scenaria");
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    return QIcon(QStringLiteral(":/scenaria/scenaria.png"));
}

TTrayIcon::TTrayIcon(QObject* parent) : QObject(parent), icon_(new QSystemTrayIcon(this))
{
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && OnClick)
                    OnClick();
            });
}

TTrayIcon::~TTrayIcon()
{
    icon_->hide();
}

void TTrayIcon::SetActive(bool active)
{
    active_ = active;
    if (!active) {
        if (watch_)
            watch_->stop();
        icon_->hide();
        return;
    }
    if (QSystemTrayIcon::isSystemTrayAvailable())
        Show();
    else
        WatchForNotificationArea();
}

void TTrayIcon::Show()
{
    if (watch_)
        watch_->stop();
    icon_->show();
}

void TTrayIcon::WatchForNotificationArea()
{
    if (!saidMissing) {
        std::fputs("scenarix: the desktop has no notification area yet; the icon will appear "
                   "when one starts\n",
                   stderr);
        saidMissing = true;
    }
    if (!watch_) {
        watch_ = new QTimer(this);
        watch_->setInterval(WatchIntervalMs);
        connect(watch_, &QTimer::timeout, this, [this] {
            if (active_ && QSystemTrayIcon::isSystemTrayAvailable())
                Show();
        });
    }
    watch_->start();
}

void TTrayIcon::SetIcon(const QIcon& icon)
{
    icon_->setIcon(icon);
}

void TTrayIcon::SetToolTip(const QString& text)
{
    toolTip_ = text.left(MaxToolTip);
    if (toolTip_.size() == MaxToolTip && toolTip_.back().isHighSurrogate())
        toolTip_.chop(1); // never half a character
    icon_->setToolTip(toolTip_);
}

void TTrayIcon::SetPopupMenu(QMenu* menu)
{
    icon_->setContextMenu(menu);
}

} // namespace scenaria
