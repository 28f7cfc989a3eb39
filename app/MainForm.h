#pragma once
// TfmMain: the main window that is never shown. It owns the catalogue and the minute count,
// and (once the tray lands) the tray icon and its menu.

#include "core/Catalogue.h"

#include <QStringList>
#include <QWidget>

namespace scenaria {

class IPlatform;

class TfmMain : public QWidget {
    Q_OBJECT
public:
    // Loads the settings and runs FormCreate. arguments are the command-line arguments after
    // the program name.
    TfmMain(IPlatform& platform, const QStringList& arguments, QWidget* parent = nullptr);
    ~TfmMain() override;

    // State of the resident program (ComReady, WallpaperShown and LastShown are
    // process-wide, in core/Wallpaper.h).
    bool GifPreview = false;
    TCatalogue Catalogue;
    int CurrentIndex = -1;
    int MinuteCount = 0;
    bool Busy = false;

    IPlatform& Platform() const { return platform_; }

    void EnableMenus();

private:
    void FormCreate(const QStringList& arguments);
    void FormDestroy();
    void AppDeactivate();

    IPlatform& platform_;
};

} // namespace scenaria
