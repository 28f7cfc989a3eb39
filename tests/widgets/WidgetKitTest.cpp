#include "core/Catalogue.h"
#include "widgets/FolderList.h"
#include "widgets/HelpContext.h"
#include "widgets/RadioGroup.h"
#include "widgets/SpinEdit.h"

#include "TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <climits>

namespace scenaria {
namespace {

using testing::TTempDir;

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

TEST(SpinEdit, ReadingRule)
{
    EXPECT_EQ(TSpinEdit::ReadValue("320", 1), 320);
    EXPECT_EQ(TSpinEdit::ReadValue(" -7 ", 1), -7);
    EXPECT_EQ(TSpinEdit::ReadValue("+12", 1), 12);
    for (const char* text : {"", "abc", "12a", "1 2", "-", "0x10", "3.5"})
        EXPECT_EQ(TSpinEdit::ReadValue(text, 1), 1) << text;
    EXPECT_EQ(TSpinEdit::ReadValue("99999999999999999999999", 1), INT_MAX);
    EXPECT_EQ(TSpinEdit::ReadValue("-99999999999999999999999", 1), INT_MIN);
}

TEST(SpinEdit, TypedTextStaysUntilTheFocusGoes)
{
    TSpinEdit edit;
    edit.SetRange(1, 1024);
    edit.SetValue(5000);
    EXPECT_EQ(edit.text(), "1024") << "a value given in code is clamped at once";
    edit.SetValue(-3);
    EXPECT_EQ(edit.Value(), 1);

    auto* line = edit.findChild<QLineEdit*>();
    ASSERT_NE(line, nullptr);
    line->setText("2000");
    EXPECT_EQ(edit.Value(), 2000) << "the number typed, until the field loses the focus";
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&edit, &out);
    EXPECT_EQ(edit.text(), "1024");

    line->setText("wide");
    EXPECT_EQ(edit.Value(), 1);
    QApplication::sendEvent(&edit, &out);
    EXPECT_EQ(edit.text(), "1");

    edit.SetValue(1023);
    edit.stepBy(1);
    EXPECT_EQ(edit.Value(), 1024);
    edit.stepBy(10);
    EXPECT_EQ(edit.Value(), 1024) << "the arrows stop at the end of the range";
    edit.stepBy(-24);
    EXPECT_EQ(edit.Value(), 1000);
}

TEST(RadioGroup, ItemIndexWithAndWithoutAChoice)
{
    TRadioGroup group;
    group.resize(300, 20);
    std::vector<int> changes;
    QObject::connect(&group, &TRadioGroup::ItemIndexChanged,
                     [&changes](int index) { changes.push_back(index); });
    group.SetColumns(3);
    group.SetItems({"Time left", "Filename", "Both"});
    EXPECT_EQ(group.Items(), (QStringList{"Time left", "Filename", "Both"}));
    EXPECT_EQ(group.ItemIndex(), -1);
    group.SetItemIndex(1);
    EXPECT_TRUE(group.Button(1)->isChecked());
    group.Button(2)->click();
    EXPECT_EQ(group.ItemIndex(), 2);
    EXPECT_FALSE(group.Button(1)->isChecked());
    group.SetItemIndex(7);
    EXPECT_EQ(group.ItemIndex(), -1) << "outside the items: none chosen";
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(group.Button(i)->isChecked());
    group.SetItemIndex(-1);
    EXPECT_EQ(changes, (std::vector<int>{1, 2, -1}));

    // Three columns side by side, each a third of the width.
    EXPECT_EQ(group.Button(0)->y(), group.Button(2)->y());
    EXPECT_LT(group.Button(0)->x(), group.Button(1)->x());
    EXPECT_LT(group.Button(1)->x(), group.Button(2)->x());

    TRadioGroup column;
    column.resize(200, 60);
    column.SetItemHeight(15);
    column.SetItems({"a", "b", "c"});
    EXPECT_EQ(column.Button(1)->y() - column.Button(0)->y(), 15);
    EXPECT_EQ(column.Button(0)->x(), column.Button(2)->x());
}

TEST(FileTypeList, ThePictureTypes)
{
    TFileTypeList list;
    list.SetFilter(Q(PictureFileTypeFilter()));
    ASSERT_EQ(list.Count(), 17);
    EXPECT_EQ(list.itemText(0), "All graphic files (*.bmp;*.dib;*.jif;*.jpeg;*.jpg;*.pbm;*.pcx;"
                                "*.pgm;*.png;*.ppm;*.rle;*.tga;*.tif;*.tiff;*.webp;*.heic;*.heif;"
                                "*.avif;*.jxl)");
    EXPECT_EQ(list.itemText(12), "TIFF files (*.tiff;*.tif)");
    EXPECT_EQ(list.itemText(14), "HEIF files (*.heic;*.heif)");
    EXPECT_EQ(list.ItemIndex(), -1);
    EXPECT_TRUE(list.Mask().isEmpty());
    list.SetItemIndex(1);
    EXPECT_EQ(list.Mask(), "*.jpg;*.gif");
    EXPECT_EQ(list.NameFilters(), (QStringList{"*.jpg", "*.gif"}));
    list.SetItemIndex(17);
    EXPECT_EQ(list.ItemIndex(), -1);
    list.SetItemIndex(-5);
    EXPECT_EQ(list.ItemIndex(), -1);
}

class FolderListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.Write("top/b/deep/file.txt");
        dir.Write("top/a/file.txt");
        dir.Write("top/.hidden/file.txt");
        dir.Write("top/picture.bmp");
        top = Q(dir / "top");
    }
    TTempDir dir;
    QString top;
};

TEST_F(FolderListTest, AncestorsThenSubfolders)
{
    TFolderList list;
    TPathLabel label;
    list.SetLabel(&label);
    QStringList changes;
    QObject::connect(&list, &TFolderList::FolderChanged,
                     [&changes](const QString& folder) { changes << folder; });
    ASSERT_TRUE(list.SetFolder(top + "/b/../"));
    EXPECT_EQ(list.Folder(), top) << "a clean full path";
    EXPECT_EQ(label.Path(), top);
    EXPECT_EQ(list.Subfolders(), (QStringList{"a", "b"})) << "hidden folders left out";
    const int depth = static_cast<int>(top.count('/'));
    ASSERT_EQ(list.count(), depth + 1 + 2);
    EXPECT_EQ(TFolderList::FolderOf(list.item(0)), top.left(top.indexOf('/') + 1)) << "/ or C:/";
    EXPECT_EQ(TFolderList::FolderOf(list.item(depth)), top);
    EXPECT_EQ(list.currentRow(), depth) << "the open folder is the chosen row";
    EXPECT_EQ(list.item(depth + 1)->sizeHint().height(), TFolderList::ItemHeight);

    // The user opens a subfolder, then an ancestor.
    QStringList chosen;
    QObject::connect(&list, &TFolderList::FolderChosen,
                     [&chosen](const QString& folder) { chosen << folder; });
    emit list.itemActivated(list.item(depth + 2));
    EXPECT_EQ(list.Folder(), top + "/b");
    EXPECT_EQ(list.Subfolders(), QStringList{"deep"});
    EXPECT_EQ(label.Path(), top + "/b");
    emit list.itemActivated(list.item(depth - 1));
    EXPECT_EQ(list.Folder(), QFileInfo(top).path());
    EXPECT_EQ(chosen, (QStringList{top + "/b", QFileInfo(top).path()}));
    EXPECT_EQ(changes, (QStringList{top, top + "/b", QFileInfo(top).path()}));
}

TEST_F(FolderListTest, AFolderThatCannotBeOpenedLeavesTheListAsItWas)
{
    TFolderList list;
    ASSERT_TRUE(list.SetFolder(top));
    const int rows = list.count();
    EXPECT_FALSE(list.SetFolder(top + "/missing"));
    EXPECT_FALSE(list.SetFolder(top + "/picture.bmp"));
    EXPECT_FALSE(list.SetFolder(""));
    EXPECT_EQ(list.Folder(), top);
    EXPECT_EQ(list.count(), rows);

    EXPECT_EQ(TFolderList::NearestOpenable(top + "/missing/deeper/still"), top);
    EXPECT_EQ(TFolderList::NearestOpenable(top + "/picture.bmp"), top);
    EXPECT_EQ(TFolderList::NearestOpenable(top + "/b/deep"), top + "/b/deep");
    EXPECT_EQ(TFolderList::NearestOpenable(""), QDir::cleanPath(QDir::homePath()));
    if (testing::PermissionsLockOut()) {
        std::filesystem::permissions(dir / "top/b", std::filesystem::perms::none);
        EXPECT_FALSE(list.SetFolder(top + "/b"));
        EXPECT_EQ(TFolderList::NearestOpenable(top + "/b/deep"), top);
    }
}

TEST_F(FolderListTest, DriveListFollowsTheFolderAndOpensItsTop)
{
    TDriveList drives;
    drives.SetDrives({"/", top, top + "/b"});
    EXPECT_EQ(drives.Drives(), (QStringList{"/", top, top + "/b"}));
    EXPECT_EQ(drives.DriveOf(top + "/b/deep"), top + "/b") << "the longest top folder";
    EXPECT_EQ(drives.DriveOf(top + "/bb"), top);
    EXPECT_EQ(drives.DriveOf("/usr"), "/");
    EXPECT_FALSE(drives.SetDrive("/nowhere"));

    TFolderList list;
    list.SetDriveList(&drives);
    ASSERT_TRUE(list.SetFolder(top + "/a"));
    EXPECT_EQ(drives.Drive(), top);
    ASSERT_TRUE(list.SetFolder("/"));
    EXPECT_EQ(drives.Drive(), "/");

    emit drives.activated(2);
    EXPECT_EQ(list.Folder(), top + "/b") << "choosing a drive opens its top folder";
    std::filesystem::remove_all(dir / "top/a");
    drives.SetDrives({"/", top + "/a"});
    emit drives.activated(1);
    EXPECT_EQ(list.Folder(), top + "/b") << "a drive that cannot be opened changes nothing";
    EXPECT_EQ(drives.Drive(), "/") << "and the drive list shows the folder's drive again";
}

TEST(DriveList, StartsAtTheTopAndHome)
{
    const QStringList drives = TDriveList::AvailableDrives();
    ASSERT_GE(drives.size(), 1);
    EXPECT_EQ(drives[0], "/");
    const QString home = QDir::cleanPath(QDir::homePath());
    EXPECT_TRUE(home == "/" || drives.contains(home));
    EXPECT_EQ(QStringList(drives).removeDuplicates(), 0);
    for (const QString& root : drives) {
        EXPECT_FALSE(root.startsWith("/proc") || root.startsWith("/sys")) << root.toStdString();
        EXPECT_TRUE(TFolderList::CanOpen(root)) << root.toStdString();
    }
}

TEST(HelpContext, NearestNumberUpTheParents)
{
    QWidget window;
    QWidget panel(&window);
    QCheckBox box(&panel);
    QCheckBox own(&panel);
    EXPECT_EQ(HelpContextOf(&box), 0);
    SetHelpContext(&panel, 101);
    SetHelpContext(&own, 113);
    EXPECT_EQ(HelpContextOf(&box), 101);
    EXPECT_EQ(HelpContextOf(&own), 113);
    EXPECT_EQ(HelpContextOf(&window), 0);
    EXPECT_EQ(HelpContextOf(nullptr), 0);
}

TEST(HelpContext, ButtonThenClickAndF1OpenTheControlsTopic)
{
    QWidget window;
    window.resize(300, 200);
    auto* box = new QCheckBox("Use subfolders", &window);
    box->setGeometry(10, 10, 150, 20);
    SetHelpContext(box, 113);
    auto* other = new QCheckBox("Show Hints", &window);
    other->setGeometry(10, 50, 150, 20);
    SetHelpContext(other, 107);
    auto* help = new THelpButton(&window);
    help->setGeometry(270, 5, 22, 22);
    std::vector<int> opened;
    help->OnHelp = [&opened](int context) { opened.push_back(context); };
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QTest::mouseClick(help, Qt::LeftButton);
    EXPECT_TRUE(help->Picking());
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WhatsThisCursor);
    QTest::mouseClick(box, Qt::LeftButton, {}, {20, 10});
    EXPECT_FALSE(help->Picking());
    EXPECT_FALSE(box->isChecked()) << "the click only picks";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    QTest::mouseClick(help, Qt::LeftButton);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(help->Picking()) << "Escape gives up";

    other->setFocus();
    QTest::keyClick(other, Qt::Key_F1);
    EXPECT_EQ(opened, (std::vector<int>{113, 107}));
}

} // namespace
} // namespace scenaria
