// scenarix: the tray-resident wallpaper changer.

#include "app/MainForm.h"
#include "imaging/MessageBox.h"
#include "platform/Folders.h"
#include "platform/Platform.h"
#include "platform/SingleInstance.h"
#include "widgets/PGImage.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace {

// The image library asks its questions (a save that would lose colours, a damaged picture)
// through this hook. Only the interface thread may show a box; a question from another thread
// gets the answer nobody-to-ask gets.
scenaria::TPGMessageAnswer AskUser(const std::string& caption, const std::string& text,
                                   scenaria::TPGMessageButtons buttons,
                                   scenaria::TPGMessageIcon icon)
{
    using namespace scenaria;
    const bool okCancel = buttons == pgmbOKCancel;
    if (QThread::currentThread() != qApp->thread())
        return okCancel ? pgmaCancel : pgmaOK;
    const QMessageBox::Icon boxIcon = icon == pgmiError         ? QMessageBox::Critical
                                      : icon == pgmiInformation ? QMessageBox::Information
                                                                : QMessageBox::Warning;
    // The library's texts break lines the old way, with bare carriage returns.
    QString body = QString::fromStdString(text);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(boxIcon, QString::fromStdString(caption), body,
                    okCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? pgmaOK : pgmaCancel;
}

} // namespace

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
    // No display name: the window system would add it to every caption ("Wallpaper
    // Diduzavizo — Scenaria"), and the captions are the program's own.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/scenaria/scenaria.png")));
    SetPGMessageBoxHook(AskUser);

    const auto platform = CreatePlatform();
    // The picture viewer adapts pictures to the screen's colours, as the platform reports them.
    TPGImage::SetDefaultScreenDepthSource(
        [&platform] { return platform->ScreenFacts().BitsPerPixel; });
    {
        TfmMain fmMain(*platform, QApplication::arguments().mid(1));
        application.exec();
    }
    TPGImage::SetDefaultScreenDepthSource({});
    SetPGMessageBoxHook({});
    return 0;
}
