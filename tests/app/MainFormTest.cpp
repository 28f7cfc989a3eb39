#include "app/MainForm.h"
#include "app/TrayIcon.h"
#include "core/Settings.h"
#include "core/Wallpaper.h"
#include "imaging/PixelGraphic.h"
#include "ui/AboutBox.h"
#include "ui/BitmapExplorer.h"
#include "ui/ConfigDialog.h"
#include "widgets/Balloon.h"
#include "widgets/Button3D.h"
#include "widgets/RotaryKnob.h"
#include <QToolButton>

#include "TempDir.h"
#include "fakes/FakePlatform.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <gtest/gtest.h>

#include <memory>

namespace scenaria {
namespace {

using testing::TFakePlatform;
using testing::TTempDir;

void WritePicture(const std::string& path, int width = 8, int height = 8)
{
    TPixelGraphic image;
    image.SetSize(width, height, bc24Bit);
    image.Clear();
    image.SaveToFile(path);
}

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform.SettingsFile = dir / "scenarix.INI";
        platform.PictureFolder = dir / "pics";
        platform.SaveFolder = dir / "save";
        std::filesystem::create_directories(dir / "pics");
        std::filesystem::create_directories(dir / "save");
    }
    void WriteSettings(const std::string& keys)
    {
        dir.Write("scenarix.INI", "[Diduzavizo]\nDirectory=" + (dir / "pics") +
                                      "\nSave Folder=" + (dir / "save") + "\n" + keys);
    }
    std::unique_ptr<TfmMain> Start(const QStringList& arguments = {})
    {
        auto form = std::make_unique<TfmMain>(platform, arguments);
        form->ShowMessage = [this](QMessageBox::Icon icon, const QString& text) {
            messages.emplace_back(icon, text);
        };
        form->ShowModal = [this](QDialog& dialog) { modal.push_back(&dialog); };
        return form;
    }
    // The installed files, in order.
    std::vector<std::string> Installed() const
    {
        std::vector<std::string> files;
        for (const auto& install : platform.Installs)
            files.push_back(install.File);
        return files;
    }

    TTempDir dir;
    TFakePlatform platform;
    std::vector<std::pair<QMessageBox::Icon, QString>> messages;
    std::vector<QDialog*> modal;
};

TEST_F(MainFormTest, FormCreateRestoresThePositionAndBuildsTheCatalogue)
{
    dir.Write("pics/a.bmp");
    dir.Write("pics/b.txt");
    WriteSettings("LastIndex=4\n");
    platform.DesktopReady = false;
    const auto form = Start();
    EXPECT_EQ(form->CurrentIndex, 4);
    EXPECT_EQ(form->Catalogue, TCatalogue{dir / "pics/a.bmp"});
    EXPECT_FALSE(ComReady);
    EXPECT_FALSE(form->Busy);
    EXPECT_FALSE(form->GifPreview);
    EXPECT_FALSE(WallpaperShown);
    EXPECT_EQ(form->MinuteCount, 0);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->Timer1->interval(), 60000);
    EXPECT_TRUE(platform.Installs.empty()) << "no change without RunOnStart";
    EXPECT_EQ(form->TrayIcon1->ToolTip(), "Scenaria (30 minutes left) ");
}

TEST_F(MainFormTest, GifSwitchMustMatchExactly)
{
    WriteSettings("");
    EXPECT_TRUE(Start({"/gif"})->GifPreview);
    EXPECT_TRUE(Start({"/gif", "more"})->GifPreview);
    EXPECT_FALSE(Start({"/GIF"})->GifPreview);
    EXPECT_FALSE(Start({"-gif"})->GifPreview);
    EXPECT_FALSE(Start({"x", "/gif"})->GifPreview);
    Start();
    EXPECT_TRUE(ComReady);
}

TEST_F(MainFormTest, DestroyReleasesTheDesktop)
{
    WriteSettings("");
    Start().reset();
    EXPECT_EQ(platform.FinalizeCalls, 1);
}

TEST_F(MainFormTest, MenuItemsInOrder)
{
    WriteSettings("");
    const auto form = Start();
    QStringList captions;
    for (const QAction* action : form->oxPopupMenu1->actions())
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(captions, (QStringList{"&Configure Scenaria", "E&xplore Bitmaps...",
                                     "Change Wallpaper &now", "&Delete currently shown bitmap", "-",
                                     "&Help", "&About...", "-", "Auto &Start", "&Exit Scenaria"}));
    EXPECT_TRUE(form->ExploreBitmaps1->isEnabled());
    EXPECT_FALSE(form->Deletecurrent1->isEnabled()) << "nothing shown yet";
    for (QAction* action : {form->Configurar1, form->ChangeWallpapernow1, form->Help1, form->About1,
                            form->AutoStart1, form->Close1})
        EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
}

TEST_F(MainFormTest, TooltipAfterAChange)
{
    WritePicture(dir / "pics/sea.jpg");
    WriteSettings("Delay=30\nHint on Tray=2\n");
    const auto form = Start();
    form->ChangeIt();
    EXPECT_EQ(Installed().size(), 1u);
    EXPECT_EQ(form->TrayIcon1->ToolTip(), "Scenaria (30 minutes left) -> sea.jpg ");
    EXPECT_TRUE(form->Deletecurrent1->isEnabled());
    for (int minute = 1; minute <= 3; ++minute)
        form->Timer1Timer();
    EXPECT_EQ(form->TrayHint(), "Scenaria (27 minutes left) -> sea.jpg ");
    EXPECT_EQ(form->TrayIcon1->ToolTip(), "Scenaria (30 minutes left) -> sea.jpg ")
        << "the tick does not compose the tooltip";
}

TEST_F(MainFormTest, TooltipPieces)
{
    WritePicture(dir / "pics/sea.bmp");
    WriteSettings("Hint on Tray=1\n");
    auto form = Start();
    EXPECT_EQ(form->TrayIcon1->ToolTip(), "Scenaria ") << "no picture shown yet";
    form->ChangeIt();
    EXPECT_EQ(form->TrayIcon1->ToolTip(), "Scenaria -> sea.bmp ");

    WriteSettings("Delay=1\n");
    form = Start();
    form->ChangeIt();
    EXPECT_EQ(form->TrayIcon1->ToolTip(), "Scenaria (1 minute left) ");
}

TEST_F(MainFormTest, TooltipIsCutToSixtyTwoCharacters)
{
    const std::string name = std::string(70, 'x') + ".bmp";
    WritePicture(dir / ("pics/" + name));
    WriteSettings("Hint on Tray=2\n");
    const auto form = Start();
    form->ChangeIt();
    const QString full = "Scenaria (30 minutes left) -> " + QString::fromStdString(name) + " ";
    EXPECT_EQ(form->TrayHint(), full);
    EXPECT_EQ(form->TrayIcon1->ToolTip(), full.left(62));
    EXPECT_EQ(form->TrayIcon1->ToolTip().size(), 62);
}

TEST_F(MainFormTest, IntervalOneChangesEveryTick)
{
    WritePicture(dir / "pics/a.bmp");
    WritePicture(dir / "pics/b.bmp");
    WriteSettings("Delay=1\n");
    const auto form = Start();
    form->Timer1Timer();
    form->Timer1Timer();
    EXPECT_EQ(Installed().size(), 2u);
    EXPECT_EQ(form->MinuteCount, 0);
    EXPECT_EQ(form->TrayIcon1->ToolTip(), "Scenaria (1 minute left) ");
}

TEST_F(MainFormTest, IntervalZeroNeverChanges)
{
    WritePicture(dir / "pics/a.bmp");
    WriteSettings("Delay=0\n");
    const auto form = Start();
    form->MinuteCount = 3;
    for (int i = 0; i < 5; ++i)
        form->Timer1Timer();
    EXPECT_EQ(form->MinuteCount, 3) << "no counting";
    EXPECT_TRUE(platform.Installs.empty());
    form->ChangeIt();
    EXPECT_EQ(form->TrayIcon1->ToolTip(), "Scenaria (0 minutes left) ");
}

TEST_F(MainFormTest, NegativeIntervalChangesEveryTick)
{
    WritePicture(dir / "pics/a.bmp");
    WriteSettings("Delay=-5\n");
    const auto form = Start();
    for (int i = 0; i < 3; ++i)
        form->Timer1Timer();
    EXPECT_EQ(Installed().size(), 3u);
    EXPECT_EQ(form->TrayHint(), "Scenaria (-5 minutes left) ");
}

TEST_F(MainFormTest, CountsUpToTheInterval)
{
    WritePicture(dir / "pics/a.bmp");
    WriteSettings("Delay=3\n");
    const auto form = Start();
    form->Timer1Timer();
    form->Timer1Timer();
    EXPECT_TRUE(platform.Installs.empty());
    EXPECT_EQ(form->TrayHint(), "Scenaria (1 minute left) ");
    form->Timer1Timer();
    EXPECT_EQ(Installed().size(), 1u);
}

class FailingPictures : public MainFormTest {
protected:
    // count pictures; after the catalogue is known, the first `bad` of them are made unreadable.
    std::unique_ptr<TfmMain> StartWith(int count, int bad)
    {
        for (int i = 0; i < count; ++i)
            dir.Write("pics/p" + std::to_string(i) + ".bmp", "placeholder");
        WriteSettings("Mode=0\n");
        auto form = Start();
        for (int i = 0; i < count; ++i) {
            const std::string& path = form->Catalogue.at(static_cast<std::size_t>(i));
            if (i < bad)
                dir.Write(path.substr(dir.Path().string().size() + 1), "not a picture");
            else
                WritePicture(path);
        }
        return form;
    }
};

TEST_F(FailingPictures, FiveUnreadableThenAGoodOne)
{
    const auto form = StartWith(7, 5);
    form->ChangeIt();
    ASSERT_EQ(Installed(), std::vector<std::string>{form->Catalogue[5]});
    EXPECT_EQ(Settings.LastIndex, 5);
    LoadSettings(SettingsPlaceOf(platform), 1);
    EXPECT_EQ(Settings.LastIndex, 5) << "the position is in the file";
}

TEST_F(FailingPictures, SevenUnreadableInARow)
{
    const auto form = StartWith(8, 7);
    WriteSettings("Mode=0\nHint on Tray=2\n");
    LoadSettings(SettingsPlaceOf(platform), 1);
    form->ChangeIt();
    EXPECT_TRUE(platform.Installs.empty());
    EXPECT_EQ(Settings.LastIndex, 5) << "six attempts, the last one stored";
    EXPECT_FALSE(WallpaperShown);
    EXPECT_FALSE(form->Deletecurrent1->isEnabled());
    EXPECT_EQ(form->TrayIcon1->ToolTip(), "Scenaria (30 minutes left) ");
    form->ChangeIt();
    EXPECT_EQ(Installed(), std::vector<std::string>{form->Catalogue[7]})
        << "the next change starts at the seventh";
}

TEST_F(MainFormTest, UnwritableTemporaryBitmapTriesTheNextPicture)
{
    WritePicture(dir / "pics/a.jpg");
    WritePicture(dir / "pics/b.bmp");
    WriteSettings("Mode=0\nLastIndex=-1\n");
    // The temporary name is taken by a folder: the JPEG's conversion cannot be saved there.
    std::filesystem::create_directory(dir / "save/~scxtmp.bmp");
    const auto form = Start();
    ASSERT_EQ(form->Catalogue.size(), 2u);
    ASSERT_EQ(form->Catalogue[0], dir / "pics/a.jpg");
    ::testing::internal::CaptureStderr();
    form->ChangeIt();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(Installed(), std::vector<std::string>{dir / "pics/b.bmp"});
    EXPECT_EQ(LastShown, dir / "pics/b.bmp");
    EXPECT_NE(said.find("~scxtmp.bmp"), std::string::npos) << said;
}

TEST_F(MainFormTest, EachMonitorItsOwnPictureMovesTheCycleOnceForEachMonitor)
{
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
        WritePicture(dir / (std::string("pics/") + name), 16, 16);
    WriteSettings("Mode=0\nLastIndex=-1\nMonitors=1\nTile=1\n");
    platform.MonitorList = {{"A", 0, 0, 64, 48, true, 0}, {"B", 64, 0, 48, 64, false, 0}};
    const auto form = Start();
    const auto shownOn = [&](std::size_t change, std::size_t monitor) {
        TPixelGraphic bitmap;
        bitmap.LoadFromFile(platform.MonitorInstalls.at(change).Pictures.at(monitor).File);
        return std::make_pair(bitmap.Width(), bitmap.Height());
    };
    form->ChangeIt();
    ASSERT_EQ(platform.MonitorInstalls.size(), 1u);
    EXPECT_EQ(Settings.LastIndex, 1) << "two monitors: two steps";
    EXPECT_EQ(LastShown, form->Catalogue[1]);
    EXPECT_EQ(shownOn(0, 1), std::make_pair(48, 64));
    form->ChangeIt();
    EXPECT_EQ(Settings.LastIndex, 0) << "the third, then round to the first";
    LoadSettings(SettingsPlaceOf(platform), 1);
    EXPECT_EQ(Settings.LastIndex, 0) << "the position is in the file";
    EXPECT_TRUE(platform.Installs.empty());
}

TEST_F(MainFormTest, TickWhileBusyResetsTheCountAndChangesNothing)
{
    WritePicture(dir / "pics/a.bmp");
    WriteSettings("Delay=2\n");
    const auto form = Start();
    form->DisableMenus();
    EXPECT_TRUE(form->Busy);
    EXPECT_FALSE(form->ChangeWallpapernow1->isEnabled());
    EXPECT_FALSE(form->Close1->isEnabled());
    form->Timer1Timer();
    form->Timer1Timer();
    EXPECT_EQ(form->MinuteCount, 0);
    form->ChangeIt();
    EXPECT_TRUE(platform.Installs.empty());
    form->EnableMenus();
    EXPECT_FALSE(form->Busy);
    EXPECT_TRUE(form->Close1->isEnabled());
}

TEST_F(MainFormTest, DeletingTheShownPictureShowsTheNextOne)
{
    WritePicture(dir / "pics/a.bmp");
    WritePicture(dir / "pics/b.bmp");
    WritePicture(dir / "pics/c.bmp");
    WriteSettings("Mode=0\nLastIndex=0\n");
    const auto form = Start();
    const TCatalogue before = form->Catalogue;
    form->ChangeIt();
    ASSERT_EQ(Installed(), std::vector<std::string>{before[1]});
    form->Deletecurrent1Click();
    EXPECT_EQ(platform.Trashed, std::vector<std::string>{before[1]});
    EXPECT_EQ(Installed(), (std::vector<std::string>{before[1], before[2]}));

    platform.TrashResult = TPlatformStatus::Failure("the trash is full");
    form->Deletecurrent1Click();
    EXPECT_EQ(Installed().size(), 2u) << "a failed deletion changes nothing";
}

TEST_F(MainFormTest, AutoStartReportsEachTime)
{
    WriteSettings("");
    const auto form = Start();
    form->AutoStart1Click();
    form->AutoStart1Click();
    EXPECT_EQ(platform.ShortcutCalls, 2);
    ASSERT_EQ(messages.size(), 2u);
    for (const auto& [icon, text] : messages) {
        EXPECT_EQ(icon, QMessageBox::Information);
        EXPECT_EQ(text, "A shortcut has been successfully created on the StartUp folder");
    }
    platform.ShortcutResult = TPlatformStatus::Failure("autostart: no such folder");
    form->AutoStart1Click();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2].first, QMessageBox::Critical);
    EXPECT_EQ(messages[2].second, "ERROR creating a shortcut to Scenaria on the StartUp folder");
}

TEST_F(MainFormTest, HelpAndAbout)
{
    WriteSettings("");
    const auto form = Start();
    form->Help1Click();
    EXPECT_EQ(platform.HelpContexts, std::vector<int>{0});
    form->About1Click();
    ASSERT_EQ(modal.size(), 1u);
    EXPECT_FALSE(form->Busy) << "the menu stays enabled";
}

TEST(AboutBox, ShowsTheVersion)
{
    TfmAbout about;
    EXPECT_EQ(about.windowTitle(), "About Scenaria");
    EXPECT_EQ(about.Label3d2->text(), "Scenaria");
    EXPECT_EQ(about.laVersion->text(), "Version 1.3 RC1");
}

TEST_F(MainFormTest, RunOnStartChangesAtOnce)
{
    WritePicture(dir / "pics/a.bmp");
    WriteSettings("RunOnStart=1\n");
    const auto form = Start();
    EXPECT_EQ(Installed().size(), 1u);
    EXPECT_TRUE(form->Deletecurrent1->isEnabled());
}

TEST_F(MainFormTest, UnwritableSettingsAbandonTheChange)
{
    WritePicture(dir / "pics/a.bmp");
    WriteSettings("");
    const auto form = Start();
    std::filesystem::remove(dir / "scenarix.INI");
    std::filesystem::create_directory(dir / "scenarix.INI");
    form->MinuteCount = 7;
    form->ChangeIt();
    EXPECT_TRUE(platform.Installs.empty()) << "the position is written before the picture is tried";
    EXPECT_EQ(form->MinuteCount, 0);
}

TEST_F(MainFormTest, MissingFolderOrEmptyCatalogueSkipsTheChange)
{
    WriteSettings("");
    const auto form = Start();
    dir.Write("pics/readme.txt");
    form->ChangeIt();
    EXPECT_TRUE(platform.Installs.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "scenarix.INI") &&
                 testing::ReadFile(dir / "scenarix.INI").find("LastIndex") != std::string::npos)
        << "nothing chosen, nothing written";
    std::filesystem::remove_all(dir / "pics");
    form->MinuteCount = 4;
    form->ChangeIt();
    EXPECT_EQ(form->MinuteCount, 0);
    EXPECT_TRUE(platform.Installs.empty());
}

// The dialog as the user meets it from the tray: the menu and the timer are held while it is
// open, and the new settings are in force as soon as it closes.
class ShowConfigTest : public MainFormTest {
protected:
    // Runs ShowConfig with `user` acting in the dialog in place of a person.
    void RunConfig(TfmMain& form, const std::function<void(TfmConfig&)>& user)
    {
        form.ShowModal = [&](QDialog& dialog) {
            auto* config = qobject_cast<TfmConfig*>(&dialog);
            ASSERT_NE(config, nullptr);
            opened.push_back({form.Busy, form.Timer1->isActive()});
            for (QAction* action : form.oxPopupMenu1->actions())
                if (!action->isSeparator()) {
                    EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
                }
            user(*config);
        };
        form.ShowConfig();
    }
    struct TWhileOpen {
        bool Busy;
        bool TimerActive;
    };
    std::vector<TWhileOpen> opened;
};

TEST_F(ShowConfigTest, NewSettingsTakeEffectAtOnce)
{
    WritePicture(dir / "pics/sea.bmp");
    WriteSettings("Delay=30\nHint on Tray=2\nShowHints=1\n");
    const auto form = Start();
    form->ChangeIt();
    ASSERT_TRUE(WallpaperShown);
    form->MinuteCount = 4;
    RunConfig(*form, [](TfmConfig& config) {
        config.rkHours->SetPosition(2);
        config.rkMinutes->SetPosition(0);
        config.cbHints->setChecked(false);
        config.btOk->click();
    });
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(opened[0].Busy);
    EXPECT_FALSE(opened[0].TimerActive) << "the timer is stopped while the dialog is open";
    EXPECT_FALSE(form->Busy);
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(Settings.Interval, 120);
    EXPECT_EQ(form->MinuteCount, 4) << "the minutes counted stay counted";
    EXPECT_FALSE(WallpaperShown);
    EXPECT_TRUE(form->Deletecurrent1->isEnabled()) << "the delete item keeps its state";
    EXPECT_EQ(form->TrayIcon1->ToolTip(), "Scenaria (116 minutes left) ")
        << "no picture name until the next change";
    EXPECT_TRUE(form->Configurar1->isEnabled());
    EXPECT_FALSE(form->isVisible());

    EXPECT_FALSE(Settings.ShowHints);
    EXPECT_NE(testing::ReadFile(dir / "scenarix.INI").find("\nDelay=120\n"), std::string::npos);
}

TEST_F(ShowConfigTest, RandomIntervalAndCancel)
{
    WriteSettings("Delay=30\n");
    const auto form = Start();
    const std::string before = testing::ReadFile(dir / "scenarix.INI");
    RunConfig(*form, [](TfmConfig& config) {
        config.cbRandom->setChecked(true);
        config.reject();
    });
    EXPECT_EQ(testing::ReadFile(dir / "scenarix.INI"), before) << "closing stores nothing";
    EXPECT_EQ(Settings.Interval, 30);
    RunConfig(*form, [](TfmConfig& config) {
        config.cbRandom->setChecked(true);
        config.btOk->click();
    });
    EXPECT_EQ(Settings.Interval, Settings.RandomDelay);
    EXPECT_GE(Settings.Interval, 20);
}

TEST_F(ShowConfigTest, ConfigAndExplorerHandOverToEachOtherAndBusyBlocksASecondDialog)
{
    WriteSettings("");
    const auto form = Start();
    // Configuration -> Explorer -> Configuration -> Explorer, then Exit: each opens after the
    // other has gone, and the menu is disabled while any of them is up.
    std::vector<std::string> shown;
    form->ShowModal = [&](QDialog& dialog) {
        EXPECT_TRUE(form->Busy);
        for (QAction* action : form->oxPopupMenu1->actions())
            if (!action->isSeparator()) {
                EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
            }
        if (auto* config = qobject_cast<TfmConfig*>(&dialog)) {
            shown.push_back("config");
            config->btBrowse->click();
        } else if (auto* explorer = qobject_cast<TfmBitmap*>(&dialog)) {
            shown.push_back("explorer");
            EXPECT_EQ(explorer->State().HomeDir, Settings.Directory);
            (shown.size() < 4 ? explorer->btConfig : explorer->btExit)->click();
        } else {
            ADD_FAILURE() << "unexpected dialog";
        }
    };
    form->ShowConfig();
    EXPECT_EQ(shown, (std::vector<std::string>{"config", "explorer", "config", "explorer"}));
    EXPECT_FALSE(form->Busy);
    EXPECT_TRUE(form->ExploreBitmaps1->isEnabled());
    EXPECT_TRUE(form->Configurar1->isEnabled());
    EXPECT_TRUE(form->Timer1->isActive());

    form->DisableMenus();
    form->ExploreBitmaps1Click();
    RunConfig(*form, [](TfmConfig&) {});
    EXPECT_EQ(shown.size(), 4u) << "no dialog while another one is open";
    EXPECT_TRUE(opened.empty());
    form->EnableMenus();
}

TEST_F(ShowConfigTest, HelpOpensTheControlsTopic)
{
    WriteSettings("");
    const auto form = Start();
    RunConfig(*form, [](TfmConfig& config) {
        config.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&config));
        config.cbSubfolders->setFocus();
        QTest::keyClick(config.cbSubfolders, Qt::Key_F1);
        config.reject();
    });
    EXPECT_EQ(platform.HelpContexts, std::vector<int>{113});
}

// A hint shown the way the framework asks for one; whether a balloon came up.
bool HintShows(QWidget& control)
{
    const QPoint at = control.mapToGlobal(QPoint(5, 5));
    QCursor::setPos(at);
    QHelpEvent event(QEvent::ToolTip, QPoint(5, 5), at);
    QApplication::sendEvent(&control, &event);
    const TBalloonHintWindow* balloon = TApplicationHints::Instance().HintWindow();
    const bool shown = balloon && balloon->isVisible() && balloon->Text() == control.toolTip();
    TApplicationHints::Instance().CancelHint();
    return shown || QToolTip::isVisible();
}

TEST_F(MainFormTest, HintsAreBalloonsWithTheProgramsSettingsAndFollowShowHints)
{
    QWidget window;
    window.setToolTip(QStringLiteral("Select whether you want the program to show the Balloon "
                                     "Hints"));
    window.setGeometry(100, 300, 200, 50);
    window.show();

    WriteSettings("ShowHints=0\n");
    auto form = Start();
    EXPECT_FALSE(HintShows(window));

    // As after the configuration dialog.
    Settings.ShowHints = true;
    form->ApplyShowHints();
    EXPECT_TRUE(HintShows(window));
    const TBalloonHint& hint = *form->BalloonHint1;
    EXPECT_TRUE(hint.Active());
    EXPECT_EQ(&TApplicationHints::Instance().HintWindow()->Settings(), &hint);
    EXPECT_EQ(hint.Color, QColor(255, 255, 157));
    EXPECT_EQ(hint.BorderColor, QColor(Qt::black));
    EXPECT_EQ(hint.Font.family(), QStringLiteral("Arial"));
    EXPECT_EQ(hint.Font.pixelSize(), 11);
    EXPECT_EQ(hint.MaxWidth(), -4);
    EXPECT_EQ(hint.Behavior, (TBalloonBehaviors{bbNoShowMouseDown, bbUseRegions, bbHideOnPaint}));
    EXPECT_EQ(hint.Position, bpAboveRight);
    EXPECT_EQ(hint.ShadowDepth(), 8);
    EXPECT_EQ(hint.ShadowStyle, ssShaded);
    EXPECT_EQ(hint.Shape, bsRoundRect);
    EXPECT_EQ(hint.Style, hsCustom);

    Settings.ShowHints = false;
    form->ApplyShowHints();
    EXPECT_FALSE(HintShows(window));

    // The main window gone, hints are the plain ones again.
    form.reset();
    TApplicationHints::Instance().SetShowHint(true);
    EXPECT_EQ(TApplicationHints::Instance().HintWindowClass(), hwcPlain);

    WriteSettings("ShowHints=1\n");
    form = Start();
    EXPECT_TRUE(HintShows(window));
}

} // namespace
} // namespace scenaria
