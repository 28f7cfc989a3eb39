#include "app/RemoteCommands.h"

#include "app/MainForm.h"
#include "core/Catalogue.h"
#include "core/Settings.h"
#include "core/Wallpaper.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <filesystem>

namespace scenaria {

namespace {

TRemoteAnswer Done(std::vector<std::string> lines)
{
    return {roDone, std::move(lines)};
}

TRemoteAnswer Failed(const std::string& why)
{
    return {roFailed, {why}};
}

// The menu is disabled while a dialog from it is open; so is every command from outside.
TRemoteAnswer BusyAnswer()
{
    const QWidget* modal = QApplication::activeModalWidget();
    const std::string what = modal && !modal->windowTitle().isEmpty()
                                 ? "the window \"" + modal->windowTitle().toStdString() + "\""
                                 : "a dialog";
    return {roBusy, {"Scenaria is busy: " + what + " is open, so nothing was done"}};
}

// Brings the dialog the copy has open (whichever it is) to the front; false when none is.
bool RaiseOpenDialog(std::string& title)
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal)
        return false;
    modal->setWindowState(modal->windowState() & ~Qt::WindowMinimized);
    modal->show();
    modal->raise();
    modal->activateWindow();
    title = modal->windowTitle().toStdString();
    return true;
}

// Runs a command that opens a window after the answer has gone out: the caller would
// otherwise wait until the window closes. A dialog opened meanwhile (by a command queued just
// before) holds it back, as it holds back the menu.
void Later(TfmMain& fmMain, void (TfmMain::*command)())
{
    QTimer::singleShot(0, &fmMain, [main = QPointer<TfmMain>(&fmMain), command] {
        if (main && !main->Busy)
            (main->*command)();
    });
}

std::string PictureLine()
{
    return "Picture: " +
           (LastShown.empty() ? std::string("none shown since the start") : LastShown);
}

TRemoteAnswer Status(const TfmMain& fmMain)
{
    std::string minutes = "Minutes left: ";
    if (Settings.Interval <= 0) {
        minutes += "none, the picture changes only on request";
    } else {
        // 64-bit, as the tooltip: a hand-edited interval must not overflow.
        const std::int64_t left = std::int64_t{Settings.Interval} - fmMain.MinuteCount;
        minutes += std::to_string(left < 0 ? 0 : left);
    }
    std::vector<std::string> lines{PictureLine(), minutes, "Settings file: " + Settings.FileName};
    if (fmMain.Busy) {
        const QWidget* modal = QApplication::activeModalWidget();
        lines.push_back("Dialog open: " +
                        (modal ? modal->windowTitle().toStdString() : std::string("yes")));
    }
    return Done(std::move(lines));
}

} // namespace

TRemoteAnswer RunRemoteCommand(TfmMain& fmMain, const std::string& command)
{
    if (command == "Status")
        return Status(fmMain);
    if (command == "Configure") {
        // A second start lands here: whatever the copy has open comes forward instead.
        std::string title;
        if (RaiseOpenDialog(title))
            return Done({"Brought the open window \"" + title + "\" to the front"});
        if (fmMain.Busy)
            return BusyAnswer();
        Later(fmMain, &TfmMain::ShowConfig);
        return Done({"Opening the configuration dialog"});
    }
    if (fmMain.Busy)
        return BusyAnswer();
    if (command == "Next") {
        // The change itself says nothing when it stops early; its reasons are read here.
        const bool folderThere = FolderExists(Settings.Directory);
        fmMain.ChangeIt();
        if (!folderThere)
            return Failed("No picture was shown: the folder \"" + Settings.Directory +
                          "\" does not exist");
        if (fmMain.Catalogue.empty())
            return Failed("No picture was shown: the folder \"" + Settings.Directory +
                          "\" holds no picture of the chosen types");
        if (!WallpaperShown)
            return Failed("No picture was shown: none of the pictures tried could be loaded");
        return Done({PictureLine()});
    }
    if (command == "DeleteShown") {
        if (!fmMain.Deletecurrent1->isEnabled())
            return Failed("No picture shown by this run to delete");
        const std::string deleted = LastShown;
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(deleted, error)))
            return Failed("The picture shown, \"" + deleted + "\", is gone already");
        fmMain.Deletecurrent1Click();
        // The menu's command says nothing when the trash refuses; the file still there does.
        if (std::filesystem::exists(std::filesystem::symlink_status(deleted, error)))
            return Failed("Could not move \"" + deleted + "\" to the trash");
        std::vector<std::string> lines{"Deleted: " + deleted};
        if (WallpaperShown)
            lines.push_back(PictureLine());
        return Done(std::move(lines));
    }
    if (command == "Explore") {
        // The menu's own rule: a greyed item does nothing.
        if (!fmMain.ExploreBitmaps1->isEnabled())
            return Failed("The Bitmap Explorer cannot be opened now");
        Later(fmMain, &TfmMain::ExploreBitmaps1Click);
        return Done({"Opening the Bitmap Explorer"});
    }
    if (command == "About") {
        std::string title;
        if (RaiseOpenDialog(title))
            return Done({"Brought the open window \"" + title + "\" to the front"});
        Later(fmMain, &TfmMain::About1Click);
        return Done({"Opening the About box"});
    }
    if (command == "Quit") {
        Later(fmMain, &TfmMain::Close1Click);
        return Done({"Scenaria is ending"});
    }
    return Failed("Unknown command \"" + command + "\"");
}

} // namespace scenaria
