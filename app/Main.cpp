// scenarix: the tray-resident wallpaper changer.

#include "app/MainForm.h"
#include "platform/Folders.h"
#include "platform/Platform.h"
#include "platform/SingleInstance.h"

#include <QApplication>

int main(int argc, char** argv)
{
    using namespace scenaria;
    // The guard comes before anything else, the settings file included: a second copy ends at
    // once and quietly.
    const std::string programPath = CurrentProgramPath();
    const TSingleInstance justOne(programPath.substr(programPath.rfind('/') + 1));
    if (justOne.Previous())
        return 0;

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Scenaria"));
    QApplication::setApplicationDisplayName(QStringLiteral("Scenaria"));
    QApplication::setQuitOnLastWindowClosed(false);

    const auto platform = CreatePlatform();
    TfmMain fmMain(*platform, QApplication::arguments().mid(1));
    application.exec();
    return 0;
}
