#pragma once
// TfmMain: the main window that is never shown. It owns the tray icon with its menu, the
// minute timer, the catalogue and the change cycle.

#include "core/Catalogue.h"

#include <QMessageBox>
#include <QStringList>
#include <QWidget>

#include <functional>

class QAction;
class QDialog;
class QMenu;
class QTimer;

namespace scenaria {

class IPlatform;
class TBalloonHint;
class TTrayIcon;

class TfmMain : public QWidget {
    Q_OBJECT
public:
    // Loads the settings and runs FormCreate. arguments are the command-line arguments after
    // the program name.
    TfmMain(IPlatform& platform, const QStringList& arguments, QWidget* parent = nullptr);
    ~TfmMain() override;

    // State of the resident program (ComReady, WallpaperShown and LastShown are process-wide,
    // in core/Wallpaper.h).
    bool GifPreview = false;
    TCatalogue Catalogue;
    int CurrentIndex = -1;
    int MinuteCount = 0;
    bool Busy = false;

    // Components.
    TTrayIcon* TrayIcon1 = nullptr;
    QTimer* Timer1 = nullptr;
    TBalloonHint* BalloonHint1 = nullptr;
    QMenu* oxPopupMenu1 = nullptr;
    QAction* Configurar1 = nullptr;
    QAction* ExploreBitmaps1 = nullptr;
    QAction* ChangeWallpapernow1 = nullptr;
    QAction* Deletecurrent1 = nullptr;
    QAction* Help1 = nullptr;
    QAction* About1 = nullptr;
    QAction* AutoStart1 = nullptr;
    QAction* Close1 = nullptr;

    // The change cycle.
    void Timer1Timer();
    // Moves the cycle on, saving LastIndex, and gives the picture it reached.
    std::string NextPicture();
    void ChangeWallpaper();
    void UpdateTrayHint();
    // The tooltip UpdateTrayHint hands to the tray icon (before the icon's cut to 62).
    QString TrayHint() const;

    // Tray commands.
    void ChangeIt();
    void ShowConfig();
    void ExploreBitmaps1Click();
    void Deletecurrent1Click();
    void AutoStart1Click();
    void Help1Click();
    void About1Click();
    void Close1Click();
    void DisableMenus();
    void EnableMenus();
    // Hints of every window on or off by ShowHints: at start and after the configuration dialog.
    void ApplyShowHints();

    // How messages and modal dialogs are shown; tests replace them so that nothing waits for
    // a user.
    std::function<void(QMessageBox::Icon icon, const QString& text)> ShowMessage;
    std::function<void(QDialog& dialog)> ShowModal;

    IPlatform& Platform() const { return platform_; }

private:
    void CreateComponents();
    void FormCreate(const QStringList& arguments);
    void FormDestroy();
    void AppDeactivate();

    IPlatform& platform_;
};

} // namespace scenaria
