// scenarix: the tray-resident wallpaper changer.

#include "app/MainForm.h"
#include "app/RemoteCommands.h"
#include "app/TrayIcon.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "imaging/MessageBox.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/Platform.h"
#include "platform/RemoteControl.h"
#include "platform/SingleInstance.h"
#include "widgets/PGImage.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <cstdio>

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
    const std::string programName = FileNameOf(programPath);
    const TSingleInstance justOne(programName);
    if (justOne.Previous()) {
        // The running copy has no window of its own to bring forward: it shows the dialog it
        // has open, or else its configuration. Unreachable or not, this copy ends quietly.
        CallRunningCopy(programName, "Configure", 5000);
        return 0;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Scenaria"));
    // No display name: the window system would add it to every caption ("Wallpaper
    // Diduzavizo — Scenaria"), and the captions are the program's own.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(ProgramIcon());
    SetPGMessageBoxHook(AskUser);

    const auto platform = CreatePlatform();
    // The picture viewer adapts pictures to the screen's colours, as the platform reports them.
    TPGImage::SetDefaultScreenDepthSource(
        [&platform] { return platform->ScreenFacts().BitsPerPixel; });
    // A kill between writing the settings file's temporary copy and renaming it leaves the copy
    // behind for ever. With the lock held no other copy of the program can be writing now.
    TIniFile::RemoveInterruptedWrites(SettingsPlaceOf(*platform).FileName);
    // Offered before the main window is built (a change at start can take a while), so that a
    // second start meanwhile finds this copy; the calls wait in the event queue until then.
    TfmMain* running = nullptr;
    const TRemoteServer remote(programName, [&running](const std::string& command) {
        return running
                   ? RunRemoteCommand(*running, command)
                   : TRemoteAnswer{roBusy, {"Scenaria is starting or ending, so nothing was done"}};
    });
    if (!remote.Listening())
        std::fprintf(stderr, "scenarix: other programs cannot reach this copy: %s\n",
                     remote.Error().c_str());
    {
        TfmMain fmMain(*platform, QApplication::arguments().mid(1));
        running = &fmMain;
        application.exec();
        running = nullptr;
    }
    TPGImage::SetDefaultScreenDepthSource({});
    SetPGMessageBoxHook({});
    return 0;
}
