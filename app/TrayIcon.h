#pragma once
// TTrayIcon: the program's icon in the notification area, with its tooltip and menu. A left
// click fires OnClick; a right click opens the menu. When the desktop has no notification area
// (yet), the icon waits for one to appear.

#include <QIcon>
#include <QObject>
#include <QString>

#include <functional>

class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace scenaria {

// The program's icon: the icon theme's "scenaria" when the theme has it (a notification area
// that asks for the icon by its name then finds it too), else the picture built into the
// program.
QIcon ProgramIcon();

class TTrayIcon : public QObject {
    Q_OBJECT
public:
    // The tooltip keeps at most this many characters, as the notification area always did.
    static constexpr int MaxToolTip = 62;

    explicit TTrayIcon(QObject* parent = nullptr);
    ~TTrayIcon() override;

    void SetActive(bool active);
    bool Active() const { return active_; }
    void SetIcon(const QIcon& icon);
    void SetToolTip(const QString& text);
    QString ToolTip() const { return toolTip_; }
    void SetPopupMenu(QMenu* menu);

    std::function<void()> OnClick;

private:
    void Show();
    void WatchForNotificationArea();

    QSystemTrayIcon* icon_ = nullptr;
    QTimer* watch_ = nullptr;
    QString toolTip_;
    bool active_ = false;
};

} // namespace scenaria
