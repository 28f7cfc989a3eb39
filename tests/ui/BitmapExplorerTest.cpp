// The Bitmap Explorer window, offscreen: its lists, preview, hints and buttons.

#include "ui/BitmapExplorer.h"

#include "MessageBoxes.h"
#include "OrientedPictures.h"
#include "RunProgram.h"
#include "TempDir.h"
#include "core/Settings.h"
#include "fakes/FakePlatform.h"
#include "imaging/PixelGraphic.h"
#include "ui/ExplorerModel.h"
#include "widgets/FolderList.h"
#include "widgets/HelpContext.h"
#include "widgets/PGImage.h"

#include <QApplication>
#include <QLabel>
#include <QSplitter>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace scenaria {
namespace {

namespace fs = std::filesystem;
using testing::TFakePlatform;
using testing::TTempDir;

// Left column red, the rest blue: a tiled picture shows red again one width further on.
void WriteBmp(const std::string& path, int width, int height)
{
    TPixelGraphic picture;
    picture.SetSize(width, height, bc24Bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.SetPixelColor(x, y, x < 4 ? RGB(255, 0, 0) : RGB(0, 0, 255));
    picture.SaveToFile(path);
}

// The label as a plain-text label of the same size, font and frame draws its text.
QImage AsPlainText(const QLabel& label)
{
    QLabel plain(label.parentWidget());
    plain.setTextFormat(Qt::PlainText);
    plain.setFrameShape(label.frameShape());
    plain.setFrameShadow(label.frameShadow());
    plain.setAlignment(label.alignment());
    plain.setFont(label.font());
    plain.setText(label.text());
    plain.resize(label.size());
    return plain.grab().toImage();
}

class BitmapExplorer : public ::testing::Test {
protected:
    BitmapExplorer()
    {
        fs::create_directories(dir / "pics/sub");
        fs::create_directories(dir / "keep");
        Settings = TSettings{};
        Settings.Directory = dir / "pics";
        Settings.FilesType = 0;
        Settings.Tile = 2;
        Settings.MinWidth = 320;
        Settings.MinHeight = 240;
    }
    std::unique_ptr<TfmBitmap> Open(bool gifPreview = false)
    {
        auto form =
            std::make_unique<TfmBitmap>(platform, gifPreview, [this](int c) { help.push_back(c); });
        form->ReportError = [this](const QString& text) { errors << text; };
        form->show();
        return form;
    }
    QStringList Listed(const TfmBitmap& form) const
    {
        QStringList names;
        for (int i = 0; i < form.lbFile->count(); ++i)
            names << form.lbFile->item(i)->text();
        return names;
    }
    void Pick(TfmBitmap& form, const QString& name)
    {
        const auto items = form.lbFile->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        QTest::mouseClick(form.lbFile->viewport(), Qt::LeftButton, {},
                          form.lbFile->visualItemRect(items[0]).center());
    }

    TTempDir dir;
    TFakePlatform platform;
    std::vector<int> help;
    QStringList errors;
};

TEST_F(BitmapExplorer, OpensAtThePictureFolderWithItsButtonsAndLimits)
{
    auto form = Open();
    EXPECT_EQ(form->windowTitle(), "Orlamby Bitmap Explorer");
    EXPECT_EQ(form->size(), QSize(585, 370));
    form->resize(300, 200);
    EXPECT_EQ(form->size(), QSize(585, 370));
    const std::vector<std::tuple<QToolButton*, QString, bool, int>> buttons = {
        {form->btSelect, "&Select", true, 201},  {form->btGoto, "&Goto", false, 202},
        {form->btSwap, "&Swap", true, 203},      {form->btWallpaper, " &Wallpaper", false, 204},
        {form->btStretch, "&Fit", true, 205},    {form->btRename, "&Rename", false, 206},
        {form->btDelete, "&Delete", false, 207}, {form->btCopy, "&Copy", false, 208},
        {form->btMove, "&Move", false, 209},     {form->btBMP, "&BMP", false, 210},
        {form->btJPG, "&JPG", false, 211},       {form->btQuality, "&Quality", false, 212},
        {form->btConfig, "C&onfig", false, 218}, {form->btExit, "E&xit", false, 213}};
    int left = -1;
    for (const auto& [button, caption, toggle, context] : buttons) {
        EXPECT_EQ(button->text(), caption);
        EXPECT_EQ(button->isCheckable(), toggle) << caption.toStdString();
        EXPECT_EQ(HelpContextOf(button), context);
        EXPECT_FALSE(button->toolTip().isEmpty());
        EXPECT_GT(button->x(), left) << caption.toStdString();
        left = button->x();
    }
    EXPECT_EQ(form->State().HomeDir, dir / "pics");
    EXPECT_EQ(form->State().ReturnDir, dir / "pics");
    EXPECT_EQ(form->State().Quality, 80);
    EXPECT_EQ(form->State().CurrentFile, "");
    EXPECT_EQ(form->lbDir->Folder().toStdString(), dir / "pics");

    // F1 on the file list, which has the focus when the window opens, opens its topic.
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), form->lbFile);
    QTest::keyClick(form->lbFile, Qt::Key_F1);
    EXPECT_EQ(help, std::vector<int>{216});

    // Every topic a control of the window opens is on the help page.
    const std::string page =
        testing::ReadFile(scenaria::testing::SourceFolder() + "/docs/help/scenarix.html");
    std::set<int> contexts;
    for (QWidget* control : form->findChildren<QWidget*>())
        if (const int context = HelpContextOf(control))
            contexts.insert(context);
    EXPECT_GE(contexts.size(), 19u);
    for (const int context : contexts)
        EXPECT_NE(page.find("id=\"context-" + std::to_string(context) + "\""), std::string::npos)
            << context;
}

TEST_F(BitmapExplorer, AFolderThatCannotBeOpenedIsToldOnceThenHomeIsTheFolderAbove)
{
    Settings.Directory = dir / "pics/gone/deeper";
    auto form = Open();
    QTest::qWait(20);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].toStdString(),
              "Cannot open folder \"" + Settings.Directory + "\". No such file or directory");
    EXPECT_EQ(form->lbDir->Folder().toStdString(), dir / "pics");
    EXPECT_EQ(form->State().HomeDir, dir / "pics");
    EXPECT_EQ(form->State().ReturnDir, dir / "pics");
    form->hide();
    form->show();
    QTest::qWait(20);
    EXPECT_EQ(errors.size(), 1) << "once";

    Settings.Directory = dir / "pics";
    errors.clear();
    form = Open();
    QTest::qWait(20);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(BitmapExplorer, PathsAreShownAsTheyAreSpelt)
{
    const std::string folder = dir / "pics/<i>x&lt;";
    fs::create_directories(folder);
    WriteBmp(folder + "/<b>bold&amp;.bmp", 8, 8);
    Settings.Directory = folder;
    auto form = Open();
    Pick(*form, "<b>bold&amp;.bmp");
    EXPECT_EQ(form->StatusText(0).toStdString(), folder + "/<b>bold&amp;.bmp");
    QTest::mouseClick(form->btBMP, Qt::LeftButton);
    EXPECT_EQ(form->StatusText(1).toStdString(),
              "Succesfully  saved as " + folder + "/<b>bold&amp; (1).bmp");
    for (QLabel* panel : {form->Status0, form->Status1}) {
        panel->setMinimumWidth(500); // the whole text in sight
        QApplication::processEvents();
        EXPECT_TRUE(panel->grab().toImage() == AsPlainText(*panel)) << panel->text().toStdString();
        EXPECT_TRUE(Qt::mightBeRichText(panel->text()))
            << "a label left to guess would take it for markup";
    }

    // The program's own error report says the folder as it is spelt too.
    Settings.Directory = folder + "/<b>gone";
    std::unique_ptr<TfmBitmap> unopened;
    const auto [text, format] = testing::MessageBoxDuring([&] {
        unopened = std::make_unique<TfmBitmap>(platform, false, nullptr);
        unopened->show();
        QTest::qWait(100);
    });
    EXPECT_EQ(text.toStdString(),
              "Cannot open folder \"" + Settings.Directory + "\". No such file or directory");
    EXPECT_EQ(format, Qt::PlainText);
}

TEST_F(BitmapExplorer, EveryButtonShowsAGlyphOfItsOwnAboveItsCaption)
{
    auto form = Open();
    std::set<qint64> seen;
    for (QToolButton* button : form->Panel1->findChildren<QToolButton*>()) {
        if (button == form->btHelp)
            continue;
        const QImage up = button->icon().pixmap(24, 24).toImage();
        ASSERT_FALSE(up.isNull()) << button->objectName().toStdString();
        EXPECT_TRUE(seen.insert(qint64(qHashBits(up.constBits(), up.sizeInBytes()))).second)
            << button->objectName().toStdString() << " looks like another button";
        const QImage down = button->icon().pixmap(24, 24, QIcon::Normal, QIcon::On).toImage();
        EXPECT_EQ(down != up, button == form->btSwap || button == form->btStretch)
            << button->objectName().toStdString();
    }
    EXPECT_EQ(seen.size(), 14u);
    QApplication::processEvents();
    EXPECT_EQ(form->spVert->sizes().value(0), 110);
    if (const char* out = std::getenv("SCENARIA_EXPLORER_SHOT"))
        form->grab().save(QString::fromUtf8(out));
    // The glyph is drawn in the upper part of each button: some pixels there are coloured.
    const QImage shot = form->grab().toImage();
    for (QToolButton* button : {form->btSelect, form->btDelete, form->btExit}) {
        const QRect glyph(button->mapTo(form.get(), QPoint(0, 0)), QSize(button->width(), 28));
        int coloured = 0;
        for (int y = glyph.top(); y <= glyph.bottom(); ++y)
            for (int x = glyph.left(); x <= glyph.right(); ++x)
                coloured += QColor(shot.pixel(x, y)).hsvSaturation() > 120;
        EXPECT_GT(coloured, 20) << button->objectName().toStdString();
    }
}

TEST_F(BitmapExplorer, GifsAreListedByTheirTypeAndShownOnlyWithTheSwitch)
{
    dir.Write("pics/a.gif", "GIF89a not really");
    dir.Write("pics/PHOTO.Gif", "GIF89a");
    dir.Write("pics/photo.gifx", "x");
    WriteBmp(dir / "pics/b.bmp", 8, 8);
    Settings.FilesType = 5;
    for (const bool gifPreview : {false, true}) {
        auto form = Open(gifPreview);
        EXPECT_EQ(Listed(*form), (QStringList{"a.gif", "PHOTO.Gif"}));
        Pick(*form, "PHOTO.Gif");
        EXPECT_EQ(form->StatusText(0).toStdString(), dir / "pics/PHOTO.Gif");
        EXPECT_EQ(form->laError->isVisible(), !gifPreview);
        EXPECT_EQ(form->btBMP->isEnabled(), gifPreview);
        EXPECT_EQ(form->btJPG->isEnabled(), gifPreview);
        // With the switch the library is asked, and refuses this file.
        EXPECT_EQ(form->StatusText(1), gifPreview ? "Format of file not supported!!" : "");
        if (!gifPreview) {
            // The red words are drawn over the preview.
            const QImage shot = form->grab().toImage();
            const QRect area(form->Img->mapTo(form.get(), QPoint(0, 0)), form->Img->size());
            int red = 0;
            for (int y = area.top(); y < area.bottom(); ++y)
                for (int x = area.left(); x < area.right(); ++x) {
                    const QColor c(shot.pixel(x, y));
                    red += c.red() > 200 && c.green() < 80 && c.blue() < 80;
                }
            EXPECT_GT(red, 100);
        }
    }
}

TEST_F(BitmapExplorer, PickingShowsSizeAndFitImitatesTheWallpaper)
{
    WriteBmp(dir / "pics/tall.bmp", 320, 480);
    WriteBmp(dir / "pics/wide.bmp", 321, 241);
    dir.Write("pics/broken.bmp", "BM not a bitmap");
    auto form = Open();
    Pick(*form, "tall.bmp");
    const auto kb = [&](const char* name) {
        return std::to_string(KilobytesOf(fs::file_size(dir / name)));
    };
    EXPECT_EQ(form->StatusText(1).toStdString(),
              "Viewing file [320x480 | " + kb("pics/tall.bmp") + " Kb]");
    EXPECT_EQ(form->State().CurrentFile, dir / "pics/tall.bmp");
    EXPECT_EQ(form->Img->Tiling(), tNone);

    QTest::mouseClick(form->btStretch, Qt::LeftButton);
    EXPECT_EQ(form->Img->Tiling(), tRepeat);
    EXPECT_EQ(form->Img->Stretch(), sNeverKAR);
    // The picture is seen again one picture width on either side: its red left edge repeats
    // every 320 pixels from where the centred picture starts.
    form->resize(800, 600);
    QApplication::processEvents();
    const QImage shot = form->Img->viewport()->grab().toImage();
    const int origin = form->Img->PicBoxRect().x();
    ASSERT_GT(shot.width(), 320);
    int redColumns = 0;
    for (int x = 0; x < shot.width(); ++x) {
        const bool red = QColor(shot.pixel(x, 10)).red() > 200;
        redColumns += red;
        EXPECT_EQ(red, ((x - origin) % 320 + 320) % 320 < 4) << "column " << x;
    }
    EXPECT_GE(redColumns, 8);

    Pick(*form, "wide.bmp");
    EXPECT_EQ(form->Img->Tiling(), tNone);
    Settings.Stretch = true;
    QTest::mouseClick(form->btStretch, Qt::LeftButton); // up
    EXPECT_EQ(form->Img->Stretch(), sNeverKAR);
    QTest::mouseClick(form->btStretch, Qt::LeftButton); // down
    EXPECT_EQ(form->Img->Stretch(), sAlways);

    Pick(*form, "broken.bmp");
    EXPECT_EQ(form->StatusText(1), "Format of file not supported!!");
    EXPECT_EQ(form->State().CurrentFile, dir / "pics/wide.bmp");
}

// The share of the preview's picture pixels that are neither near black nor near white.
double MidGreyShare(TfmBitmap& form)
{
    const QImage shot = form.Img->viewport()->grab().toImage();
    const QRect box = form.Img->PicBoxRect().intersected(shot.rect()).adjusted(2, 2, -2, -2);
    int grey = 0, all = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) {
            const int level = qGray(shot.pixel(x, y));
            grey += level > 64 && level < 192;
            ++all;
        }
    return all > 0 ? static_cast<double>(grey) / all : 0;
}

TEST_F(BitmapExplorer, FitDownShrinksAFineCheckerboardToGreyAsTheSmoothWallpaperDoes)
{
    TPixelGraphic board;
    board.SetSize(1001, 801, bc24Bit);
    for (int y = 0; y < 801; ++y)
        for (int x = 0; x < 1001; ++x)
            board.SetPixelColor(x, y, (x + y) % 2 ? RGB(255, 255, 255) : RGB(0, 0, 0));
    board.SaveToFile(dir / "pics/board.bmp");
    Settings.Tile = 1;
    Settings.Stretch = true;
    auto form = Open();
    Pick(*form, "board.bmp");
    QTest::mouseClick(form->btStretch, Qt::LeftButton);
    ASSERT_EQ(form->Img->Stretch(), sAlways);
    ASSERT_LT(form->Img->PicBoxRect().width(), 1001);
    // The smooth preview is made on a worker: wait until what is drawn settles on grey.
    EXPECT_TRUE(QTest::qWaitFor([&] { return MidGreyShare(*form) > 0.95; }, 5000))
        << MidGreyShare(*form);

    Settings.Smooth = false;
    QTest::mouseClick(form->btStretch, Qt::LeftButton); // up
    QTest::mouseClick(form->btStretch, Qt::LeftButton); // down, nearest pixels
    QTest::qWait(100);
    EXPECT_LT(MidGreyShare(*form), 0.05);
}

// On several monitors Fit shows what the primary monitor would: a wide picture filled onto a
// landscape monitor covers its whole box, in the monitor's proportions, with grey around it.
TEST_F(BitmapExplorer, FitOnSeveralMonitorsShowsThePrimaryMonitorsBitmap)
{
    TPixelGraphic wide;
    wide.SetSize(400, 100, bc24Bit);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 400; ++x)
            wide.SetPixelColor(x, y, x < 150 || x >= 250 ? RGB(255, 0, 0) : RGB(0, 0, 255));
    wide.SaveToFile(dir / "pics/wide.bmp");
    platform.MonitorList = {{"A", 0, 0, 160, 90, true, 0}, {"B", 160, 0, 90, 160, false, 0}};
    Settings.Tile = 1;
    Settings.Fill = true;
    auto form = Open();
    form->resize(800, 600);
    Pick(*form, "wide.bmp");
    EXPECT_FALSE(form->MonitorPreview->isVisible());
    QTest::mouseClick(form->btStretch, Qt::LeftButton);
    ASSERT_TRUE(form->MonitorPreview->isVisible());
    const QImage& bitmap = form->MonitorPreview->Image();
    ASSERT_EQ(bitmap.size(), QSize(160, 90)) << "the primary monitor's size";
    // Filled: the blue middle fifth of the picture widens to 160 * 100 / 400 * 100 / 90...
    // the whole height is picture, red at the sides and blue in the middle.
    EXPECT_EQ(QColor(bitmap.pixel(80, 0)), QColor(0, 0, 255));
    EXPECT_EQ(QColor(bitmap.pixel(80, 89)), QColor(0, 0, 255));
    EXPECT_EQ(QColor(bitmap.pixel(2, 45)), QColor(255, 0, 0));

    const QImage shot = form->MonitorPreview->grab().toImage();
    const QPoint middle(shot.width() / 2, shot.height() / 2);
    EXPECT_EQ(QColor(shot.pixel(middle)), QColor(0, 0, 255));
    EXPECT_EQ(QColor(shot.pixel(2, 2)), QColor(0x80, 0x80, 0x80)) << "the pane beside the box";

    QTest::mouseClick(form->btStretch, Qt::LeftButton); // up: the picture itself
    EXPECT_FALSE(form->MonitorPreview->isVisible());
}

TEST_F(BitmapExplorer, ASecondClickOnThePicturePicksItAgainAndReadsItAnew)
{
    WriteBmp(dir / "pics/a.bmp", 16, 16);
    WriteBmp(dir / "pics/b.bmp", 8, 8);
    auto form = Open();
    QTest::mouseClick(form->btSelect, Qt::LeftButton);
    form->lbDir->SetFolder(QString::fromStdString(dir / "keep"));
    QTest::mouseClick(form->btSelect, Qt::LeftButton); // Home is keep, the list back at pics
    ASSERT_EQ(form->State().HomeDir, dir / "keep");
    const auto viewing = [&](int width, int height, const char* name) {
        return "Viewing file [" + std::to_string(width) + "x" + std::to_string(height) + " | " +
               std::to_string(KilobytesOf(fs::file_size(dir / (std::string("pics/") + name)))) +
               " Kb]";
    };

    Pick(*form, "a.bmp");
    EXPECT_EQ(form->StatusText(1).toStdString(), viewing(16, 16, "a.bmp"));
    QTest::mouseClick(form->btCopy, Qt::LeftButton);
    EXPECT_EQ(form->StatusText(1).toStdString(), "Succesfully copied to " + (dir / "keep/a.bmp"));
    Pick(*form, "a.bmp");
    EXPECT_EQ(form->StatusText(1).toStdString(), viewing(16, 16, "a.bmp"));

    // Changed on disk meanwhile: the click reads it again.
    WriteBmp(dir / "pics/a.bmp", 40, 10);
    Pick(*form, "a.bmp");
    EXPECT_EQ(form->StatusText(1).toStdString(), viewing(40, 10, "a.bmp"));
    ASSERT_NE(form->Img->PixelGraphic(), nullptr);
    EXPECT_EQ(form->Img->PixelGraphic()->Width(), 40);

    // Reached by the keyboard, then clicked after a save: picked again too.
    QTest::keyClick(form->lbFile, Qt::Key_Down);
    EXPECT_EQ(form->State().CurrentFile, dir / "pics/b.bmp");
    QTest::mouseClick(form->btBMP, Qt::LeftButton);
    EXPECT_EQ(form->StatusText(1).toStdString(), "Succesfully  saved as " + (dir / "keep/b.bmp"));
    Pick(*form, "b.bmp");
    EXPECT_EQ(form->StatusText(1).toStdString(), viewing(8, 8, "b.bmp"));
}

TEST_F(BitmapExplorer, ListsTheNewerFormatsAndPreviewsPhotosUpright)
{
    TPixelGraphic upright;
    testing::PaintUpright(upright, 30, 20);
    TPixelGraphic stored;
    testing::StoredFor(upright, 6, stored);
    dir.Write("pics/sideways.png", testing::PngWithOrientation(stored, 6));
    for (const char* name : {"a.heic", "b.heif", "c.avif", "d.jxl", "notes.txt"})
        dir.Write(std::string("pics/") + name, "not a picture");
    upright.SaveToFile(dir / "pics/plain.bmp");
#if SCENARIA_HAVE_WEBP
    upright.SaveToFile(dir / "keep/plain.png");
    ASSERT_EQ(testing::RunProgram({"cwebp", "-quiet", "-lossless", dir / "keep/plain.png", "-o",
                                   dir / "pics/web.webp"})
                  .ExitCode,
              0);
#else
    dir.Write("pics/web.webp", "not a picture");
#endif
    auto form = Open();
    EXPECT_EQ(Listed(*form), (QStringList{"a.heic", "b.heif", "c.avif", "d.jxl", "plain.bmp",
                                          "sideways.png", "web.webp"}))
        << Listed(*form).join(",").toStdString();

    Pick(*form, "sideways.png");
    const TPixelGraphic* shown = form->Img->PixelGraphic();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->Width(), 30) << "stored 20 x 30, taken 30 x 20";
    EXPECT_EQ(shown->Height(), 20);
    EXPECT_EQ(shown->GetPixel(29, 0), upright.GetPixel(29, 0));
    EXPECT_EQ(form->StatusText(1).toStdString().rfind("Viewing file [30x20 | ", 0), 0u);
#if SCENARIA_HAVE_WEBP
    Pick(*form, "web.webp");
    TPixelGraphic direct;
    direct.LoadFromFile(dir / "pics/web.webp");
    ASSERT_NE(form->Img->PixelGraphic(), nullptr);
    EXPECT_EQ(form->Img->PixelGraphic()->Width(), 30);
    EXPECT_EQ(form->Img->PixelGraphic()->GetPixel(3, 7), direct.GetPixel(3, 7));
#endif
}

TEST_F(BitmapExplorer, GotoSelectAndTheirHints)
{
    auto form = Open();
    QTest::mouseClick(form->btGoto, Qt::LeftButton);
    EXPECT_EQ(form->lbDir->Folder().toStdString(), dir / "pics");

    // Hovering over Select and leaving puts back exactly what was there: nothing.
    QEvent enter(QEvent::Enter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(form->btSelect, &enter);
    EXPECT_EQ(form->StatusText(1).toStdString(), "Home Dir: " + (dir / "pics"));
    QApplication::sendEvent(form->btSelect, &leave);
    EXPECT_EQ(form->StatusText(1), "");

    WriteBmp(dir / "pics/a.bmp", 8, 8);
    form->lbFile->Reload();
    Pick(*form, "a.bmp");
    QTest::mouseClick(form->btSelect, Qt::LeftButton);
    EXPECT_FALSE(form->btGoto->isEnabled());
    form->lbDir->SetFolder(QString::fromStdString(dir / "keep"));
    // The file list stays where it was while Home is chosen.
    EXPECT_EQ(Listed(*form), QStringList{"a.bmp"});
    EXPECT_EQ(form->State().CurrentFile, dir / "pics/a.bmp");
    QTest::mouseClick(form->btSelect, Qt::LeftButton);
    EXPECT_TRUE(form->btGoto->isEnabled());
    EXPECT_EQ(form->State().HomeDir, dir / "keep");
    EXPECT_EQ(form->lbDir->Folder().toStdString(), dir / "pics");

    // Copy into the new Home through the button.
    Pick(*form, "a.bmp");
    QTest::mouseClick(form->btCopy, Qt::LeftButton);
    EXPECT_EQ(form->StatusText(1).toStdString(), "Succesfully copied to " + (dir / "keep/a.bmp"));
    EXPECT_TRUE(fs::exists(dir / "keep/a.bmp"));

    QApplication::sendEvent(form->btGoto, &enter);
    EXPECT_EQ(form->StatusText(1).toStdString(), "Goto Dir: " + (dir / "keep"));
    QApplication::sendEvent(form->btGoto, &leave);
    QTest::mouseClick(form->btGoto, Qt::LeftButton);
    EXPECT_EQ(form->lbDir->Folder().toStdString(), dir / "keep");
    EXPECT_EQ(Listed(*form), QStringList{"a.bmp"});
    EXPECT_EQ(form->State().CurrentFile, "");
    QTest::mouseClick(form->btGoto, Qt::LeftButton);
    EXPECT_EQ(form->lbDir->Folder().toStdString(), dir / "pics");
}

TEST_F(BitmapExplorer, AFolderThatVanishedIsToldAndBothListsGoAboveIt)
{
    WriteBmp(dir / "pics/a.bmp", 8, 8);
    WriteBmp(dir / "pics/sub/b.bmp", 8, 8);
    auto form = Open();
    const auto inStep = [&] { return form->lbFile->Folder() == form->lbDir->Folder(); };
    const auto told = [](const std::string& folder) {
        return "Cannot open folder \"" + folder + "\". No such file or directory";
    };

    // Select mode began in sub, which is gone when it ends.
    form->lbDir->SetFolder(QString::fromStdString(dir / "pics/sub"));
    QTest::mouseClick(form->btSelect, Qt::LeftButton);
    form->lbDir->SetFolder(QString::fromStdString(dir / "keep"));
    fs::remove_all(dir / "pics/sub");
    QTest::mouseClick(form->btSelect, Qt::LeftButton);
    EXPECT_EQ(form->State().HomeDir, dir / "keep");
    EXPECT_EQ(form->lbDir->Folder().toStdString(), dir / "pics");
    EXPECT_TRUE(inStep());
    EXPECT_EQ(Listed(*form), QStringList{"a.bmp"});
    EXPECT_EQ(form->StatusText(1).toStdString(), told(dir / "pics/sub"));

    // Goto towards a Home that is gone.
    Pick(*form, "a.bmp");
    fs::remove_all(dir / "keep");
    QTest::mouseClick(form->btGoto, Qt::LeftButton);
    EXPECT_EQ(form->lbDir->Folder().toStdString(), dir.Folder());
    EXPECT_TRUE(inStep());
    EXPECT_EQ(form->StatusText(1).toStdString(), told(dir / "keep"));
    EXPECT_EQ(form->StatusText(0), "");
    EXPECT_EQ(form->State().CurrentFile, "");
    EXPECT_EQ(form->State().HomeDir, dir / "keep") << "Home is the user's to choose again";

    // Goto towards the folder browsed last, gone too, while the one shown is still there.
    fs::create_directories(dir / "keep");
    form->lbDir->SetFolder(QString::fromStdString(dir / "keep"));
    fs::remove_all(dir / "pics");
    QTest::mouseClick(form->btGoto, Qt::LeftButton);
    EXPECT_EQ(form->lbDir->Folder().toStdString(), dir.Folder());
    EXPECT_TRUE(inStep());
    EXPECT_EQ(form->StatusText(1).toStdString(), told(form->State().ReturnDir));
}

TEST_F(BitmapExplorer, ButtonsActOnThePictureAndEndTheWindow)
{
    WriteBmp(dir / "pics/a.bmp", 16, 16);
    auto form = Open();
    form->AskName = [](const std::string&, const std::string&, const std::string&) {
        return std::optional<std::string>("b");
    };
    form->AskQuality = [](int) { return std::optional<int>(50); };
    Pick(*form, "a.bmp");
    QTest::mouseClick(form->btRename, Qt::LeftButton);
    EXPECT_EQ(form->StatusText(1), "File renamed to b.bmp");
    EXPECT_EQ(Listed(*form), QStringList{"b.bmp"});
    EXPECT_TRUE(form->lbFile->hasFocus() || !form->isActiveWindow());

    QTest::mouseClick(form->btQuality, Qt::LeftButton);
    QTest::mouseClick(form->btJPG, Qt::LeftButton);
    EXPECT_EQ(form->StatusText(1).toStdString(),
              "Successfully saved as " + (dir / "pics/b.jpg") + " [50%]");
    EXPECT_EQ(Listed(*form), (QStringList{"b.bmp", "b.jpg"}));

    Pick(*form, "b.jpg");
    QTest::mouseClick(form->btDelete, Qt::LeftButton);
    EXPECT_EQ(platform.Trashed, std::vector<std::string>{dir / "pics/b.jpg"});
    EXPECT_EQ(Listed(*form), QStringList{"b.bmp"});
    EXPECT_TRUE(errors.isEmpty());

    QTest::mouseClick(form->btConfig, Qt::LeftButton);
    EXPECT_EQ(form->result(), TfmBitmap::ResultConfig);
    auto again = Open();
    again->setWindowState(Qt::WindowMinimized);
    QTest::qWait(50);
    EXPECT_EQ(again->result(), QDialog::Accepted);
    EXPECT_FALSE(again->isVisible());

    // Escape closes it too (the main window takes that as Exit).
    again = Open();
    QTest::keyClick(again->lbFile, Qt::Key_Escape);
    EXPECT_FALSE(again->isVisible());
    EXPECT_EQ(again->result(), QDialog::Rejected);
}

TEST_F(BitmapExplorer, BrowsingFiftyLargePicturesGivesItsMemoryBack)
{
    for (int i = 0; i < 5; ++i)
        WriteBmp(dir / ("pics/large" + std::to_string(i) + ".bmp"), 1600 + i * 8, 1200);
    // One opening first, so that what Qt sets up once for any window is not counted.
    {
        auto warm = Open();
        Pick(*warm, "large0.bmp");
    }
    QApplication::processEvents();
    const long before = testing::ResidentKilobytes();
    long during = 0;
    {
        auto form = Open();
        for (int i = 0; i < 50; ++i) {
            Pick(*form, QStringLiteral("large%1.bmp").arg(i % 5));
            ASSERT_TRUE(form->StatusText(1).startsWith("Viewing file [")) << i;
            QApplication::processEvents();
        }
        during = testing::ResidentKilobytes();
        form->accept();
    }
    QApplication::processEvents();
    const long after = testing::ResidentKilobytes();
    std::printf("resident: %ld kB before, %ld kB browsing, %ld kB after\n", before, during, after);
    EXPECT_LE(after, before * 12 / 10) << "memory kept after closing the Explorer";
}

} // namespace
} // namespace scenaria
