#include "app/RemoteCommands.h"
#include "app/MainForm.h"
#include "core/Settings.h"
#include "core/Wallpaper.h"
#include "imaging/PixelGraphic.h"

#include "TempDir.h"
#include "fakes/FakePlatform.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <gtest/gtest.h>

#include <memory>

namespace scenaria {
namespace {

using testing::TFakePlatform;
using testing::TTempDir;

class RemoteCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform.SettingsFile = dir / "scenarix.INI";
        platform.PictureFolder = dir / "pics";
        platform.SaveFolder = dir / "save";
        std::filesystem::create_directories(dir / "pics");
        std::filesystem::create_directories(dir / "save");
        settings = "[Diduzavizo]\nDirectory=" + (dir / "pics") + "\nSave Folder=" + (dir / "save") +
                   "\nMode=0\nDelay=30\nLastIndex=-1\n";
        dir.Write("scenarix.INI", settings);
    }

    void Picture(const std::string& name)
    {
        TPixelGraphic image;
        image.SetSize(8, 8, bc24Bit);
        image.Clear();
        image.SaveToFile(dir / ("pics/" + name));
    }

    std::unique_ptr<TfmMain> Start()
    {
        auto form = std::make_unique<TfmMain>(platform, QStringList{});
        form->ShowMessage = [](QMessageBox::Icon, const QString&) {};
        form->ShowModal = [this](QDialog& dialog) { opened.push_back(dialog.windowTitle()); };
        return form;
    }

    TTempDir dir;
    TFakePlatform platform;
    std::string settings;
    QStringList opened;
};

TEST_F(RemoteCommandsTest, EveryCommandThatActsIsRefusedWhileADialogIsOpen)
{
    Picture("a.bmp");
    Picture("b.bmp");
    const auto form = Start();
    ASSERT_EQ(RunRemoteCommand(*form, "Next").Outcome, roDone);
    const std::string written = testing::ReadFile(dir / "scenarix.INI");
    const auto installs = platform.Installs.size();
    form->MinuteCount = 4;
    form->DisableMenus(); // what opening the configuration dialog or the Explorer does

    for (const char* command : {"Next", "DeleteShown", "Explore", "About", "Quit", "Configure"}) {
        const TRemoteAnswer answer = RunRemoteCommand(*form, command);
        EXPECT_EQ(answer.Outcome, roBusy) << command;
        ASSERT_EQ(answer.Lines.size(), 1u) << command;
        EXPECT_NE(answer.Lines[0].find("busy"), std::string::npos) << answer.Lines[0];
    }
    QApplication::processEvents();
    EXPECT_TRUE(opened.isEmpty()) << "nothing was opened afterwards either";
    EXPECT_EQ(platform.Installs.size(), installs);
    EXPECT_TRUE(platform.Trashed.empty());
    EXPECT_EQ(form->MinuteCount, 4) << "a refused change does not restart the count";
    EXPECT_EQ(testing::ReadFile(dir / "scenarix.INI"), written);

    // Status still answers, and tells that a dialog is open.
    const TRemoteAnswer status = RunRemoteCommand(*form, "Status");
    EXPECT_EQ(status.Outcome, roDone);
    EXPECT_EQ(status.Lines.size(), 4u);
}

TEST_F(RemoteCommandsTest, NextSaysWhyNoPictureCameUp)
{
    auto form = Start();
    form->MinuteCount = 5;
    TRemoteAnswer answer = RunRemoteCommand(*form, "Next");
    EXPECT_EQ(answer.Outcome, roFailed);
    EXPECT_NE(answer.Lines.at(0).find("holds no picture"), std::string::npos) << answer.Lines.at(0);
    EXPECT_EQ(form->MinuteCount, 0) << "as a click on the icon, the count starts again";

    dir.Write("pics/broken.bmp", "BM not really");
    answer = RunRemoteCommand(*form, "Next");
    EXPECT_EQ(answer.Outcome, roFailed);
    EXPECT_NE(answer.Lines.at(0).find("could be loaded"), std::string::npos) << answer.Lines.at(0);

    std::filesystem::remove_all(dir / "pics");
    answer = RunRemoteCommand(*form, "Next");
    EXPECT_EQ(answer.Outcome, roFailed);
    EXPECT_NE(answer.Lines.at(0).find("does not exist"), std::string::npos) << answer.Lines.at(0);
    EXPECT_TRUE(platform.Installs.empty());
}

TEST_F(RemoteCommandsTest, NextAndStatusNameThePictureShown)
{
    Picture("only.bmp");
    const auto form = Start();
    TRemoteAnswer status = RunRemoteCommand(*form, "Status");
    EXPECT_EQ(status.Lines,
              (std::vector<std::string>{"Picture: none shown since the start", "Minutes left: 30",
                                        "Settings file: " + (dir / "scenarix.INI")}));

    const TRemoteAnswer next = RunRemoteCommand(*form, "Next");
    EXPECT_EQ(next.Outcome, roDone);
    EXPECT_EQ(next.Lines, std::vector<std::string>{"Picture: " + (dir / "pics/only.bmp")});
    EXPECT_EQ(platform.Installs.size(), 1u);
    EXPECT_EQ(Settings.LastIndex, 0);
    form->MinuteCount = 7;
    status = RunRemoteCommand(*form, "Status");
    EXPECT_EQ(status.Lines.at(0), "Picture: " + (dir / "pics/only.bmp"));
    EXPECT_EQ(status.Lines.at(1), "Minutes left: 23");
}

TEST_F(RemoteCommandsTest, DeleteShownReportsWhatTheTrashDid)
{
    Picture("a.bmp");
    Picture("b.bmp");
    const auto form = Start();
    TRemoteAnswer answer = RunRemoteCommand(*form, "DeleteShown");
    EXPECT_EQ(answer.Outcome, roFailed) << "nothing shown yet: the menu item is greyed";
    EXPECT_TRUE(platform.Trashed.empty());

    ASSERT_EQ(RunRemoteCommand(*form, "Next").Outcome, roDone);
    const std::string shown = LastShown;
    platform.TrashResult = TPlatformStatus::Failure("the trash refused it");
    answer = RunRemoteCommand(*form, "DeleteShown");
    EXPECT_EQ(answer.Outcome, roFailed);
    EXPECT_NE(answer.Lines.at(0).find("Could not move"), std::string::npos);
    EXPECT_EQ(LastShown, shown) << "no change follows a refused deletion";

    platform.TrashResult = TPlatformStatus::Success();
    answer = RunRemoteCommand(*form, "DeleteShown");
    EXPECT_EQ(answer.Outcome, roDone);
    EXPECT_EQ(platform.Trashed, (std::vector<std::string>{shown, shown}));
    ASSERT_EQ(answer.Lines.size(), 2u);
    EXPECT_EQ(answer.Lines[0], "Deleted: " + shown);
    EXPECT_EQ(answer.Lines[1], "Picture: " + LastShown);
    EXPECT_NE(LastShown, shown);
}

TEST_F(RemoteCommandsTest, ExploreFollowsItsMenuItem)
{
    const auto form = Start();
    form->ExploreBitmaps1->setEnabled(false);
    TRemoteAnswer answer = RunRemoteCommand(*form, "Explore");
    EXPECT_EQ(answer.Outcome, roFailed);
    EXPECT_EQ(answer.Lines, std::vector<std::string>{"The Bitmap Explorer cannot be opened now"});
    form->ExploreBitmaps1->setEnabled(true);
    answer = RunRemoteCommand(*form, "Explore");
    EXPECT_EQ(answer.Outcome, roDone);
    QApplication::processEvents();
    EXPECT_FALSE(form->Busy);
}

TEST_F(RemoteCommandsTest, ConfigureOpensAfterAnsweringOrBringsTheOpenDialogForward)
{
    const auto form = Start();
    TRemoteAnswer answer = RunRemoteCommand(*form, "Configure");
    EXPECT_EQ(answer.Outcome, roDone);
    EXPECT_TRUE(opened.isEmpty()) << "the answer goes out before the dialog opens";
    QApplication::processEvents();
    EXPECT_EQ(opened, QStringList{"Wallpaper Diduzavizo"});
    EXPECT_FALSE(form->Busy);

    // Any modal window the copy has open comes forward instead of a new dialog.
    QDialog open;
    open.setWindowTitle(QStringLiteral("Something open"));
    open.setWindowModality(Qt::ApplicationModal);
    open.show();
    answer = RunRemoteCommand(*form, "Configure");
    EXPECT_EQ(answer.Outcome, roDone);
    EXPECT_EQ(answer.Lines,
              std::vector<std::string>{"Brought the open window \"Something open\" to the front"});
    QApplication::processEvents();
    EXPECT_EQ(opened.size(), 1);
    open.hide();
}

} // namespace
} // namespace scenaria
