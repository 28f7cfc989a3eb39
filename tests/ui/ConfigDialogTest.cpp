#include "ui/ConfigDialog.h"
#include "core/Settings.h"
#include "ui/ConfigModel.h"
#include "ui/MoreSettingsDialog.h"
#include "widgets/Button3D.h"
#include "widgets/FolderList.h"
#include "widgets/HelpContext.h"
#include "widgets/RadioGroup.h"
#include "widgets/RotaryKnob.h"
#include "widgets/SpinEdit.h"

#include "MessageBoxes.h"
#include "TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace scenaria {
namespace {

using testing::TTempDir;

// Runs the action on the modal dialog of type T once it is up (from within its exec()). A
// dialog that did not come up fails the test, and whatever is modal instead is closed so that
// the test does not hang.
template <typename T> void WhenModal(std::function<void(T&)> action)
{
    QTimer::singleShot(0, [action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<T*>(modal)) {
            action(*dialog);
            return;
        }
        ADD_FAILURE() << "the dialog did not come up";
        if (auto* other = qobject_cast<QDialog*>(modal))
            other->reject();
    });
}

// The colour a widget shows in its middle.
QColor MiddleColour(QWidget* widget)
{
    const QImage image = widget->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

// The dialog against the real settings code and a settings file of its own.
class ConfigDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir / "pics/sub");
        std::filesystem::create_directories(dir / "other");
    }
    // The settings are the process's own: what a test loaded (a letterbox colour, several
    // monitors) must not change how the next test file's windows put up a wallpaper.
    void TearDown() override { Settings = settingsBefore_; }
    // Writes the file with the given keys (after Directory) and loads it.
    void Load(const std::string& keys, const std::string& directory = {})
    {
        dir.Write("scenarix.INI",
                  "[Diduzavizo]\nDirectory=" + (directory.empty() ? dir / "pics" : directory) +
                      "\n" + keys + "Save Folder=" + (dir / "save") + "\n");
        LoadSettings({dir / "scenarix.INI", dir / "default", dir / "save", false}, 1);
    }
    std::unique_ptr<TfmConfig> Open(bool comReady = true)
    {
        auto form = std::make_unique<TfmConfig>(
            comReady, [this](int context) { helpOpened.push_back(context); });
        form->ReportError = [this](const QString& text) { errors << text; };
        return form;
    }
    std::string File() const { return testing::ReadFile(dir / "scenarix.INI"); }
    // The value of a key in the file as written.
    std::string Key(const std::string& key) const
    {
        const std::string text = File();
        const std::string start = "\n" + key + "=";
        const auto at = text.find(start);
        if (at == std::string::npos)
            return "<missing>";
        const auto from = at + start.size();
        return text.substr(from, text.find('\n', from) - from);
    }
    bool SizeFieldsShown(const TfmConfig& form) const
    {
        return form.paSelSize->isVisibleTo(form.paSize);
    }

    TTempDir dir;
    std::vector<int> helpOpened;
    QStringList errors;

private:
    const TSettings settingsBefore_ = Settings;
};

TEST_F(ConfigDialog, WindowPanelsAndButtons)
{
    Load("");
    const auto form = Open();
    EXPECT_EQ(form->windowTitle(), "Wallpaper Diduzavizo");
    EXPECT_EQ(form->size(), QSize(592, 373));
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form->laTitle->text(), "To set your wallpaper randomizer fill the required "
                                     "information in the sections provided below:");

    struct TPanel {
        QFrame* Panel;
        QRect Bounds;
        int Help;
        const char* Heading;
    };
    for (const TPanel& p :
         {TPanel{form->paDir,
                 {5, 43, 180, 290},
                 101,
                 "Select the folder that contains the wallpaper files"},
          TPanel{form->paMethod,
                 {187, 43, 180, 118},
                 102,
                 "Select the method of choosing your bitmaps"},
          TPanel{form->paDelay, {187, 163, 180, 102}, 103, "Select the interval"},
          TPanel{form->paKind, {187, 268, 180, 65}, 104, "Select the files to process"},
          TPanel{form->paSize, {369, 43, 220, 186}, 0, "Select the way bitmaps are shown"},
          TPanel{form->Panel1, {369, 232, 220, 101}, 0, "Select miscellaneous settings"}}) {
        const std::string name = p.Panel->objectName().toStdString();
        EXPECT_EQ(p.Panel->geometry(), p.Bounds) << name;
        EXPECT_EQ(HelpContextOf(p.Panel), p.Help) << name;
        const auto* heading = p.Panel->findChild<QLabel*>(p.Panel->objectName() + "Heading");
        ASSERT_NE(heading, nullptr) << name;
        EXPECT_EQ(heading->text(), p.Heading);
    }
    for (T3DButton* button : {form->btOk, form->btBrowse}) {
        EXPECT_EQ(button->size(), QSize(145, 32));
        EXPECT_EQ(button->font().pixelSize(), 19);
        EXPECT_TRUE(button->font().bold());
    }
    EXPECT_LT(form->btOk->x(), form->btBrowse->x());
    EXPECT_EQ(form->btOk->geometry().bottom(), form->btBrowse->geometry().bottom());
    EXPECT_GT(form->btOk->y(), 333) << "below the panels";
    EXPECT_EQ(form->rkHours->Max(), 12);
    EXPECT_EQ(form->rkMinutes->Max(), 59);
    EXPECT_EQ(form->seMinW->MinValue(), 1);
    EXPECT_EQ(form->seMinH->MaxValue(), 1024);
    EXPECT_EQ(form->cbFilter->Count(), 17);
    EXPECT_EQ(form->rgTileorCenter->Items(),
              (QStringList{"Always tiled", "Always centered (or stretched)",
                           "Depends on size (see below)"}));
    EXPECT_EQ(form->rgTrayHint->Items(), (QStringList{"Time left", "Filename", "Both"}));
}

TEST_F(ConfigDialog, CaptionsHintsAndHelpContexts)
{
    Load("");
    const auto form = Open();
    struct TRow {
        QWidget* Control;
        const char* Caption;
        const char* Hint;
        int Help;
    };
    const char* sizeHint = "Select the size of bitmaps to determine whether to\ncenter or tile "
                           "bitmaps. Bitmaps greater than this size \nwill be centered on your "
                           "desktop, bitmaps smaller \nwill be tiled.";
    const auto caption = [](QWidget* w) -> QString {
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            return b->text();
        return {};
    };
    for (const TRow& row : {
             TRow{form->Dirs, "", "", 101},
             TRow{form->cbDrive, "", "", 101},
             TRow{form->cbSubfolders, "Use subfolders",
                  "If checked Scenaria will look for wallpaper files on the selected folder and "
                  "all its subfolders",
                  113},
             TRow{form->rbSecuential, "Secuential", "Select bitmaps secuentally", 102},
             TRow{form->rbRandom, "Random", "Select bitmaps at random", 102},
             TRow{form->cbRunOnStart, "Run on starup", "Change the wallpaper on start-up", 102},
             TRow{form->rkHours, "", "", 103},
             TRow{form->rkMinutes, "", "", 103},
             TRow{form->cbRandom, "Random",
                  "Check to randomize the interval between wallpaper changes", 114},
             TRow{form->cbFilter, "", "Select the kind of bitmap files to use", 104},
             TRow{form->rgTileorCenter, "",
                  "Select the method used to decide whether to tile or center bitmaps", 105},
             TRow{form->seMinW, "", sizeHint, 105},
             TRow{form->seMinH, "", sizeHint, 105},
             TRow{form->cbStretch, "Stretch to Desktop size",
                  "Select whether you want bitmaps not exactly covering your desktop to be "
                  "stretched to desktop size",
                  106},
             TRow{form->cbProportional, "Proportional Stretch",
                  "Select whether you want to maintain the proportions of the graphics when "
                  "stretching them",
                  110},
             TRow{form->cbActive, "Use Active Desktop",
                  "Select whether you want Scenaria to set up the normal Windows Wallpaper or "
                  "the Active Desktop Wallpaper",
                  111},
             TRow{form->cbHints, "Show Hints",
                  "Select whether you want the program to show the Balloon Hints", 107},
             TRow{form->rgTrayHint, "", "Select what to show on the tray icon", 112},
             TRow{form->btOk, "Press OK", "Close the dialog saving all changes made", 108},
             TRow{form->btBrowse, "Explore", "Open the Bitmap Explorer", 109},
         }) {
        const std::string name = row.Control->objectName().toStdString();
        EXPECT_EQ(caption(row.Control), row.Caption) << name;
        EXPECT_EQ(row.Control->toolTip(), row.Hint) << name;
        EXPECT_EQ(HelpContextOf(row.Control), row.Help) << name;
    }
    EXPECT_EQ(form->paDir->toolTip(),
              "This is the directory where Scenaria will look for graphic files to be used as "
              "wallpaper");
    EXPECT_EQ(form->paDelay->toolTip(), "Select the interval in hours and minutes");

    // F1 on a control opens its topic.
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->cbHints->setFocus();
    QTest::keyClick(form->cbHints, Qt::Key_F1);
    form->rkMinutes->setFocus();
    QTest::keyClick(form->rkMinutes, Qt::Key_F1);
    EXPECT_EQ(helpOpened, (std::vector<int>{107, 103}));
}

TEST_F(ConfigDialog, DefaultIntervalGoesBackUnchanged)
{
    Load("Delay=30\n");
    const auto form = Open();
    EXPECT_EQ(form->rkHours->Position(), 0);
    EXPECT_EQ(form->rkMinutes->Position(), 30);
    EXPECT_EQ(form->laHours->text(), "0");
    EXPECT_EQ(form->laMinutes->text(), "30");
    form->btOk->click();
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(Key("Delay"), "30");
    EXPECT_EQ(Settings.Delay, 30);
}

TEST_F(ConfigDialog, LongIntervalIsClampedToTwelveHours)
{
    Load("Delay=900\n");
    const auto form = Open();
    EXPECT_EQ(form->rkHours->Position(), 12);
    EXPECT_EQ(form->rkMinutes->Position(), 0);
    EXPECT_EQ(form->laHours->text(), "12");
    form->btOk->click();
    EXPECT_EQ(Key("Delay"), "720");

    Load("Delay=-75\n");
    EXPECT_EQ(Open()->rkMinutes->Position(), 0) << "a negative interval opens at 0 and 0";
    Load("Delay=779\n");
    const auto longest = Open();
    EXPECT_EQ(longest->rkHours->Position(), 12);
    EXPECT_EQ(longest->rkMinutes->Position(), 59);
}

TEST_F(ConfigDialog, SizeFieldsOnlyForTheThirdWay)
{
    for (const auto& [tile, shown] :
         {std::pair{0, false}, std::pair{1, false}, std::pair{2, true}, std::pair{5, true}}) {
        Load("Tile=" + std::to_string(tile) + "\n");
        const auto form = Open();
        EXPECT_EQ(SizeFieldsShown(*form), shown) << tile;
    }
    Load("Tile=0\n");
    const auto form = Open();
    form->rgTileorCenter->Button(2)->click();
    EXPECT_TRUE(SizeFieldsShown(*form)) << "at once";
    form->rgTileorCenter->Button(1)->click();
    EXPECT_FALSE(SizeFieldsShown(*form));
    form->btOk->click();
    EXPECT_EQ(Key("Tile"), "1");
}

TEST_F(ConfigDialog, OutOfRangeListsStoreTheNearestValidValue)
{
    Load("Tile=5\nHint on Tray=7\nFilesType=17\n");
    auto form = Open();
    EXPECT_EQ(form->rgTileorCenter->ItemIndex(), 2);
    EXPECT_EQ(form->rgTrayHint->ItemIndex(), 2);
    EXPECT_EQ(form->cbFilter->ItemIndex(), -1) << "no choice";
    form->btOk->click();
    EXPECT_EQ(Key("Tile"), "2");
    EXPECT_EQ(Key("Hint on Tray"), "2");
    EXPECT_EQ(Key("FilesType"), "0");

    Load("Tile=-1\nHint on Tray=-3\nFilesType=-2\n");
    form = Open();
    EXPECT_EQ(form->rgTileorCenter->ItemIndex(), -1);
    EXPECT_FALSE(SizeFieldsShown(*form));
    EXPECT_EQ(form->rgTrayHint->ItemIndex(), -1);
    EXPECT_EQ(form->cbFilter->ItemIndex(), -1);
    form->btOk->click();
    EXPECT_EQ(Key("Tile"), "0");
    EXPECT_EQ(Key("Hint on Tray"), "0");
    EXPECT_EQ(Key("FilesType"), "0");

    Load("FilesType=16\n");
    form = Open();
    EXPECT_EQ(form->cbFilter->ItemIndex(), 16) << "the last of the newer formats' rows";
    form->cbFilter->SetItemIndex(5);
    form->btOk->click();
    EXPECT_EQ(Key("FilesType"), "5");
}

TEST_F(ConfigDialog, ProportionalKeepsItsMarkWhileDisabled)
{
    Load("Stretch=0\nProportional=1\n");
    const auto form = Open();
    EXPECT_FALSE(form->cbProportional->isEnabled());
    EXPECT_TRUE(form->cbProportional->isChecked());
    form->cbStretch->click();
    EXPECT_TRUE(form->cbProportional->isEnabled());
    form->cbStretch->click();
    EXPECT_FALSE(form->cbProportional->isEnabled());
    EXPECT_TRUE(form->cbProportional->isChecked());
    form->btOk->click();
    EXPECT_EQ(Key("Stretch"), "0");
    EXPECT_EQ(Key("Proportional"), "1");
}

TEST_F(ConfigDialog, ActiveDesktopOnlyWhereTheDesktopTakesFiles)
{
    Load("ActiveDesktop=1\n");
    auto form = Open(false);
    EXPECT_FALSE(form->cbActive->isEnabled());
    EXPECT_TRUE(form->cbActive->isChecked());
    form->cbActive->setChecked(false);
    form->btOk->click();
    EXPECT_EQ(Key("ActiveDesktop"), "1") << "kept as it was";

    form = Open(true);
    EXPECT_TRUE(form->cbActive->isEnabled());
    form->cbActive->click();
    form->btOk->click();
    EXPECT_EQ(Key("ActiveDesktop"), "0");
}

TEST_F(ConfigDialog, AnyOtherModeOpensOnRandom)
{
    Load("Mode=2\n");
    auto form = Open();
    EXPECT_TRUE(form->rbRandom->isChecked());
    EXPECT_FALSE(form->rbSecuential->isChecked());
    form->btOk->click();
    EXPECT_EQ(Key("Mode"), "1");

    form = Open();
    form->rbSecuential->click();
    form->btBrowse->click();
    EXPECT_EQ(form->result(), DialogResultExplore);
    EXPECT_EQ(Key("Mode"), "0") << "Explore stores as OK does";
}

TEST_F(ConfigDialog, SizeFieldsReadWhatIsTyped)
{
    Load("MinWidth=640\nMinHeight=5000\n");
    const auto form = Open();
    EXPECT_EQ(form->seMinW->Value(), 640);
    EXPECT_EQ(form->seMinH->Value(), 1024) << "the field holds only its range";
    form->seMinW->findChild<QLineEdit*>()->setText("wide");
    form->seMinH->findChild<QLineEdit*>()->setText("0777");
    form->btOk->click();
    EXPECT_EQ(Key("MinWidth"), "1");
    EXPECT_EQ(Key("MinHeight"), "777");
}

TEST_F(ConfigDialog, EveryControlGoesBack)
{
    Load("Subfolders=0\nRunOnStart=0\nRandom=0\nShowHints=1\nHint on Tray=0\nDelay=45\n");
    const auto form = Open();
    form->cbSubfolders->click();
    form->cbRunOnStart->click();
    form->cbRandom->click();
    form->cbHints->click();
    form->rgTrayHint->Button(1)->click();
    form->rkHours->SetPosition(3);
    form->rkMinutes->SetPosition(0);
    ASSERT_TRUE(form->Dirs->SetFolder(QString::fromStdString(dir / "other")));
    form->btOk->click();
    EXPECT_EQ(Key("Subfolders"), "1");
    EXPECT_EQ(Key("RunOnStart"), "1");
    EXPECT_EQ(Key("Random"), "1");
    EXPECT_EQ(Key("ShowHints"), "0");
    EXPECT_EQ(Key("Hint on Tray"), "1");
    EXPECT_EQ(Key("Delay"), "180");
    EXPECT_EQ(Key("Directory"), dir / "other");
    EXPECT_EQ(Key("Save Folder"), dir / "save") << "not edited here";
    EXPECT_EQ(Key("LastIndex"), "-1");
    EXPECT_EQ(Settings.Interval, 45) << "the main window, not the dialog, works out the interval";

    Load("Delay=0\n");
    Open()->btOk->click();
    EXPECT_EQ(Key("Delay"), "0") << "0 hours and 0 minutes is 0";
}

TEST_F(ConfigDialog, CloseAndEscapeStoreNothing)
{
    Load("Delay=30\nStretch=1\n");
    const std::string before = File();
    const TSettings settingsBefore = Settings;
    for (int way = 0; way < 2; ++way) {
        const auto form = Open();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->cbStretch->click();
        form->rkMinutes->SetPosition(10);
        form->cbSubfolders->click();
        ASSERT_TRUE(form->Dirs->SetFolder(QString::fromStdString(dir / "other")));
        if (way == 0)
            QTest::keyClick(form.get(), Qt::Key_Escape);
        else
            form->close();
        EXPECT_EQ(form->result(), QDialog::Rejected);
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(File(), before) << "byte for byte";
        EXPECT_EQ(Settings.Delay, settingsBefore.Delay);
        EXPECT_EQ(Settings.Stretch, settingsBefore.Stretch);
        EXPECT_EQ(Settings.Directory, settingsBefore.Directory);
    }
}

TEST_F(ConfigDialog, AMissingFolderStillLoadsEverythingElse)
{
    const std::string missing = dir / "pics/gone/deeper";
    Load("Subfolders=1\nDelay=125\nTile=1\nMode=1\nFilesType=7\n", missing);
    auto form = Open();
    EXPECT_EQ(form->Dirs->Folder().toStdString(), dir / "pics") << "the nearest existing parent";
    EXPECT_EQ(form->laDir->Path(), form->Dirs->Folder());
    EXPECT_TRUE(form->cbSubfolders->isChecked());
    EXPECT_EQ(form->rkHours->Position(), 2);
    EXPECT_EQ(form->rkMinutes->Position(), 5);
    EXPECT_EQ(form->rgTileorCenter->ItemIndex(), 1);
    EXPECT_TRUE(form->rbRandom->isChecked());
    EXPECT_EQ(form->cbFilter->ItemIndex(), 7);
    form->btOk->click();
    EXPECT_EQ(Key("Directory"), missing) << "where the list fell back to is not stored";
    EXPECT_EQ(Key("Delay"), "125");

    // Once the user opens a folder, that one is stored.
    form = Open();
    emit form->Dirs->itemActivated(form->Dirs->item(form->Dirs->count() - 1));
    EXPECT_EQ(form->Dirs->Folder().toStdString(), dir / "pics/sub");
    form->btOk->click();
    EXPECT_EQ(Key("Directory"), dir / "pics/sub");

    Load("");
    Settings.Directory.clear();
    form = Open();
    EXPECT_FALSE(form->Dirs->Folder().isEmpty()) << "the home folder";
    form->btOk->click();
    EXPECT_EQ(Key("Directory"), "");
}

TEST_F(ConfigDialog, AFolderThatCannotBeOpenedIsToldOnceWhenTheWindowIsUp)
{
    const std::string missing = dir / "pics/gone";
    Load("Delay=30\n", missing);
    auto form = Open();
    EXPECT_TRUE(errors.isEmpty()) << "not before the window is up";
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QTest::qWait(20);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].toStdString(),
              "Cannot open folder \"" + missing + "\". No such file or directory");
    EXPECT_EQ(form->Dirs->Folder().toStdString(), dir / "pics") << "then the list falls back";
    form->hide();
    form->show();
    QTest::qWait(20);
    EXPECT_EQ(errors.size(), 1) << "once";
    form->btOk->click();
    EXPECT_EQ(Key("Directory"), missing);

    // A folder that opens, and an empty one (the list's own choice), are no news.
    for (const std::string& directory : {dir / "pics", std::string()}) {
        Load("");
        Settings.Directory = directory;
        errors.clear();
        form = Open();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QTest::qWait(20);
        EXPECT_TRUE(errors.isEmpty()) << directory;
    }
}

TEST_F(ConfigDialog, PathsAreShownAsTheyAreSpelt)
{
    const std::string folder = dir / "pics/<b>x&lt;";
    std::filesystem::create_directories(folder + "/<i>sub");
    Load("", folder);
    auto form = Open();
    EXPECT_EQ(form->laDir->Path().toStdString(), folder);
    EXPECT_EQ(form->Dirs->Subfolders(), QStringList{"<i>sub"});

    // The error report says the folder as it is spelt.
    Load("", folder + "/<b>gone");
    const auto [text, format] = testing::MessageBoxDuring([&] {
        form = std::make_unique<TfmConfig>(true, nullptr);
        form->show();
        QTest::qWait(100);
    });
    EXPECT_EQ(text.toStdString(),
              "Cannot open folder \"" + folder + "/<b>gone\". No such file or directory");
    EXPECT_EQ(format, Qt::PlainText);
}

TEST_F(ConfigDialog, KnobsTurnWithTheMouseAndShowTheirDot)
{
    Load("Delay=30\n");
    const auto form = Open();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const TKnobGeometry g = form->rkHours->Geometry();
    QTest::mouseClick(form->rkHours, Qt::LeftButton, {}, QPoint(g.Cx, g.Y0 + 2));
    EXPECT_EQ(form->rkHours->Position(), 6);
    EXPECT_EQ(form->laHours->text(), "6");

    // What the user sees: the red dot of the minutes knob where 30 minutes puts it.
    const QImage image = form->grab().toImage();
    EXPECT_EQ(image.size(), QSize(592, 373));
    const QPoint dot = form->rkMinutes->mapTo(form.get(), form->rkMinutes->DotCentre());
    EXPECT_EQ(QColor(image.pixel(dot)), QColor(255, 0, 0));
    const QPoint hoursDot = form->rkHours->mapTo(form.get(), form->rkHours->DotCentre());
    EXPECT_EQ(QColor(image.pixel(hoursDot)), QColor(255, 0, 0));
    EXPECT_LT(hoursDot.y(), form->rkHours->mapTo(form.get(), QPoint(g.Cx, g.Cy)).y())
        << "6 of 12 points up";
    form->btOk->click();
    EXPECT_EQ(Key("Delay"), "390");
}

TEST_F(ConfigDialog, AFailedWriteIsReportedAndTheDialogStillCloses)
{
    Load("Delay=30\n");
    const auto form = Open();
    std::filesystem::remove(dir / "scenarix.INI");
    std::filesystem::create_directory(dir / "scenarix.INI");
    form->rkMinutes->SetPosition(40);
    form->btOk->click();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith("Unable to write to ")) << errors[0].toStdString();
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(Settings.Delay, 40) << "in force until the program ends";
}

TEST_F(ConfigDialog, TheHelpPagesHaveATopicForEveryControl)
{
    Load("");
    const auto form = Open();
    const std::string page =
        testing::ReadFile(scenaria::testing::SourceFolder() + "/docs/help/scenarix.html");
    std::set<int> contexts;
    for (const QWidget* control : form->findChildren<QWidget*>())
        if (const int context = HelpContextOf(control); context > 0)
            contexts.insert(context);
    EXPECT_EQ(contexts.size(), 14u) << "101 to 114";
    // "More settings" has no topics of its own.
    TfmMoreSettings more(nullptr);
    for (const QWidget* control : more.findChildren<QWidget*>())
        contexts.insert(HelpContextOf(control));
    contexts.erase(0);
    EXPECT_EQ(contexts.size(), 14u);
    for (const int context : contexts)
        EXPECT_NE(page.find("id=\"context-" + std::to_string(context) + "\""), std::string::npos)
            << context;
}

TEST_F(ConfigDialog, MoreButtonTakesFreeSpaceAndNothingMoves)
{
    Load("");
    const auto form = Open();
    EXPECT_EQ(form->btMore->text(), "More…");
    // The panels are checked by WindowPanelsAndButtons.
    for (const auto& [control, bounds] :
         {std::pair<QWidget*, QRect>{form->laTitle, {8, 4, 548, 36}},
          {form->btHelp, {564, 8, 22, 22}},
          {form->btOk, {5, 337, 145, 32}},
          {form->btBrowse, {442, 337, 145, 32}}})
        EXPECT_EQ(control->geometry(), bounds) << control->objectName().toStdString();
    const QRect more = form->btMore->geometry();
    EXPECT_TRUE(form->rect().contains(more));
    for (const QWidget* w : form->findChildren<QWidget*>()) {
        if (w == form->btMore)
            continue;
        EXPECT_FALSE(QRect(w->mapTo(form.get(), QPoint(0, 0)), w->size()).intersects(more))
            << w->objectName().toStdString() << " covered";
    }
}

TEST_F(ConfigDialog, MoreSettingsOpenOnTheSettingsAndOkOfBothWindowsSavesThem)
{
    Load("Monitors=2\nFill=1\nBackground=#336699\n");
    const std::string before = File();
    const auto form = Open();
    bool shown = false;
    WhenModal<TfmMoreSettings>([&](TfmMoreSettings& more) {
        shown = true;
        EXPECT_EQ(more.rgMonitors->ItemIndex(), 2);
        EXPECT_TRUE(more.cbFill->isChecked());
        EXPECT_EQ(MiddleColour(more.paSwatch), QColor(0x33, 0x66, 0x99));
        more.rgMonitors->Button(1)->click();
        more.cbFill->click();
        WhenModal<QColorDialog>([](QColorDialog& colours) {
            EXPECT_EQ(colours.currentColor(), QColor(0x33, 0x66, 0x99)) << "opens on it";
            colours.setCurrentColor(QColor(0xC0, 0xFF, 0xEE));
            colours.accept();
        });
        more.btBackground->click();
        EXPECT_EQ(MiddleColour(more.paSwatch), QColor(0xC0, 0xFF, 0xEE));
        more.btOk->click();
    });
    form->btMore->click();
    ASSERT_TRUE(shown);
    EXPECT_EQ(File(), before) << "only the configuration window's OK stores";
    EXPECT_EQ(Settings.Monitors, 2);

    form->btOk->click();
    EXPECT_EQ(Key("Monitors"), "1");
    EXPECT_EQ(Key("Fill"), "0");
    EXPECT_EQ(Key("Background"), "#C0FFEE");
    LoadSettings({dir / "scenarix.INI", dir / "default", dir / "save", false}, 1);
    EXPECT_EQ(Settings.Monitors, 1) << "read back";
    EXPECT_FALSE(Settings.Fill);
    EXPECT_EQ(Settings.Background, 0xC0FFEEu);
}

TEST_F(ConfigDialog, CancelOfEitherWindowKeepsTheMoreSettings)
{
    Load("Monitors=1\nFill=1\n");
    const std::string before = File();
    const auto changeAnd = [](T3DButton* TfmMoreSettings::*button) {
        WhenModal<TfmMoreSettings>([button](TfmMoreSettings& more) {
            more.rgMonitors->Button(2)->click();
            more.cbFill->click();
            (more.*button)->click();
        });
    };
    auto form = Open();
    changeAnd(&TfmMoreSettings::btOk);
    form->btMore->click();
    form->reject();
    EXPECT_EQ(File(), before);
    EXPECT_EQ(Settings.Monitors, 1);
    EXPECT_TRUE(Settings.Fill);

    form = Open();
    changeAnd(&TfmMoreSettings::btCancel);
    form->btMore->click();
    form->btOk->click();
    EXPECT_EQ(Key("Monitors"), "1");
    EXPECT_EQ(Key("Fill"), "1");
    EXPECT_EQ(Key("Background"), "<missing>") << "a default nobody set stays out";
}

TEST(ConfigModel, LoadingRules)
{
    TSettings s;
    s.Delay = 900;
    s.Tile = 3;
    s.HintOnTray = -1;
    s.FilesType = 12;
    s.Mode = -4;
    s.MinWidth = 0;
    s.MinHeight = 2000;
    TConfigModel m = LoadConfigModel(s, false);
    EXPECT_EQ(m.Hours, 12);
    EXPECT_EQ(m.Minutes, 0);
    EXPECT_EQ(m.TileIndex, 2);
    EXPECT_EQ(m.TrayHintIndex, -1);
    EXPECT_EQ(m.FilesTypeIndex, 12);
    EXPECT_FALSE(m.Sequential);
    EXPECT_EQ(m.MinWidth, 1);
    EXPECT_EQ(m.MinHeight, 1024);
    EXPECT_FALSE(m.ActiveEnabled);
    EXPECT_TRUE(m.SizeFieldsVisible());

    s.Delay = 61;
    s.ActiveDesktop = true;
    m = LoadConfigModel(s, true);
    EXPECT_EQ(m.Hours, 1);
    EXPECT_EQ(m.Minutes, 1);
    m.ActiveDesktop = false;
    m.TrayHintIndex = -1;
    StoreConfigModel(m, s, false);
    EXPECT_TRUE(s.ActiveDesktop);
    EXPECT_EQ(s.HintOnTray, 0);
    StoreConfigModel(m, s, true);
    EXPECT_FALSE(s.ActiveDesktop);
    EXPECT_EQ(s.Delay, 61);
}

TEST(ConfigModel, AFolderThatCannotBeOpenedIsNamedWithTheSystemsReason)
{
    TTempDir dir;
    const std::string file = dir.Write("picture.bmp");
    const auto told = [](const std::string& folder, const std::string& reason) {
        return "Cannot open folder \"" + folder + "\". " + reason;
    };
    EXPECT_EQ(FolderOpenError(dir / "gone/deeper"),
              told(dir / "gone/deeper", "No such file or directory"));
    EXPECT_EQ(FolderOpenError(file), told(file, "Not a directory"));
#ifdef _WIN32 // which names no file below a file as a missing path
    EXPECT_EQ(FolderOpenError(file + "/sub"), told(file + "/sub", "No such file or directory"));
#else
    EXPECT_EQ(FolderOpenError(file + "/sub"), told(file + "/sub", "Not a directory"));
#endif
#ifndef _WIN32 // Windows has no modes that keep a user out of a folder
    EXPECT_TRUE(testing::AsUnprivilegedUser([&] {
        TTempDir own;
        std::filesystem::create_directories(own / "closed/inner");
        std::filesystem::create_directory(own / "unlistable");
        ::chmod((own / "unlistable").c_str(), 0300);
        ::chmod((own / "closed").c_str(), 0600);
        const bool ok =
            FolderOpenError(own / "unlistable") == told(own / "unlistable", "Permission denied") &&
            FolderOpenError(own / "closed") == told(own / "closed", "Permission denied") &&
            FolderOpenError(own / "closed/inner") ==
                told(own / "closed/inner", "Permission denied");
        ::chmod((own / "closed").c_str(), 0700);
        return ok;
    })) << "a folder that may not be listed, entered or reached";
#endif
}

} // namespace
} // namespace scenaria
