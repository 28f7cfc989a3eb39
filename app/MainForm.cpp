#include "app/MainForm.h"

#include "core/Settings.h"
#include "core/Wallpaper.h"
#include "platform/Platform.h"

#include <QApplication>

namespace scenaria {

TfmMain::TfmMain(IPlatform& platform, const QStringList& arguments, QWidget* parent)
    : QWidget(parent), platform_(platform)
{
    setWindowTitle(QStringLiteral("Scenaria"));
    LoadSettings(SettingsPlaceOf(platform_));
    FormCreate(arguments);
}

TfmMain::~TfmMain()
{
    FormDestroy();
}

void TfmMain::FormCreate(const QStringList& arguments)
{
    move(-5000, y());
    hide();
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive)
                    AppDeactivate();
            });
    ComReady = platform_.InitializeDesktop();
    // Hints follow ShowHints once the windows that carry them exist.
    CurrentIndex = Settings.LastIndex;
    WallpaperShown = false;
    LastShown.clear();
    EnableMenus();
    if (!arguments.isEmpty())
        GifPreview = arguments.first() == QStringLiteral("/gif");
    Catalogue.clear();
    if (FolderExists(Settings.Directory))
        RebuildCatalogue(Catalogue, Settings);
    MinuteCount = 0;
}

void TfmMain::FormDestroy()
{
    platform_.FinalizeDesktop();
    Catalogue.clear();
}

void TfmMain::AppDeactivate()
{
    if (Busy)
        return;
    hide();
}

void TfmMain::EnableMenus()
{
    Busy = false;
}

} // namespace scenaria
