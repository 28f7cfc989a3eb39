// The JPEG quality dialog, driven by keys and clicks as the user drives it.

#include "ui/QualityDialog.h"

#include "widgets/Button3D.h"

#include <QApplication>
#include <QLabel>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace scenaria {
namespace {

// Runs the action on the dialog once it is up and modal.
void WhenShown(const std::function<void(TfmQuality&)>& action)
{
    QTimer::singleShot(0, [action] {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<TfmQuality*>(window); dialog && dialog->isVisible()) {
                action(*dialog);
                return;
            }
        ADD_FAILURE() << "the quality dialog did not come up";
    });
}

TEST(QualityDialogTest, LooksAsStoredAndTheLabelFollowsTheBar)
{
    TfmQuality dialog;
    EXPECT_EQ(dialog.windowTitle(), "Select JPG quality");
    EXPECT_EQ(dialog.size(), QSize(261, 128));
    EXPECT_TRUE(dialog.windowFlags() & Qt::Tool);
    EXPECT_EQ(dialog.laQuality->text(), "Current value = xx%");
    EXPECT_EQ(dialog.tbQuality->value(), 80);
    EXPECT_EQ(dialog.tbQuality->minimum(), 0);
    EXPECT_EQ(dialog.tbQuality->maximum(), 100);
    EXPECT_EQ(dialog.tbQuality->geometry(), QRect(28, 36, 200, 33));
    EXPECT_EQ(dialog.btOk->text(), "Ok");
    EXPECT_EQ(dialog.btCancel->text(), "Cancel");
    EXPECT_EQ(dialog.btOk->geometry(), QRect(20, 88, 65, 30));
    EXPECT_EQ(dialog.btCancel->geometry(), QRect(92, 88, 65, 30));
    EXPECT_TRUE(dialog.btOk->isDefault());

    dialog.show();
    QApplication::setActiveWindow(&dialog);
    dialog.tbQuality->setFocus();
    dialog.tbQualityChange();
    EXPECT_EQ(dialog.laQuality->text(), "Current value = 80%");
    QTest::keyClick(dialog.tbQuality, Qt::Key_Right);
    EXPECT_EQ(dialog.laQuality->text(), "Current value = 81%");
    QTest::keyClick(dialog.tbQuality, Qt::Key_PageUp);
    EXPECT_EQ(dialog.tbQuality->value(), 91);
    QTest::keyClick(dialog.tbQuality, Qt::Key_PageUp);
    EXPECT_EQ(dialog.laQuality->text(), "Current value = 100%");
    QTest::keyClick(dialog.tbQuality, Qt::Key_Home);
    EXPECT_EQ(dialog.laQuality->text(), "Current value = 0%");

    // What the user sees: the label's text is drawn in full, the captions of the buttons blue.
    const QImage image = dialog.grab().toImage();
    const auto count = [&](const QRect& area, const std::function<bool(QColor)>& test) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += test(QColor(image.pixel(x, y))) ? 1 : 0;
        return n;
    };
    const auto blue = [](QColor c) { return c.blue() > 150 && c.red() < 100 && c.green() < 100; };
    const auto dark = [](QColor c) { return c.lightness() < 100; };
    EXPECT_GT(count(dialog.btOk->geometry(), blue), 10);
    EXPECT_GT(count(dialog.btCancel->geometry(), blue), 10);
    EXPECT_GT(count(dialog.laQuality->geometry(), dark), 20);
    EXPECT_EQ(count(QRect(160, 88, 100, 30), blue), 0);
}

TEST(QualityDialogTest, CancelKeepsTheQualityAndOkTakesTheBar)
{
    int shownAt = -1;
    QString label;
    WhenShown([&](TfmQuality& dialog) {
        shownAt = dialog.tbQuality->value();
        label = dialog.laQuality->text();
        dialog.tbQuality->setValue(100);
        QTest::mouseClick(dialog.btCancel, Qt::LeftButton);
    });
    EXPECT_EQ(AskJpegQuality(nullptr, 80), std::nullopt);
    EXPECT_EQ(shownAt, 80);
    EXPECT_EQ(label, "Current value = 80%");

    WhenShown([](TfmQuality& dialog) { dialog.close(); });
    EXPECT_EQ(AskJpegQuality(nullptr, 80), std::nullopt);

    WhenShown([](TfmQuality& dialog) {
        dialog.tbQuality->setValue(0);
        QTest::mouseClick(dialog.btOk, Qt::LeftButton);
    });
    EXPECT_EQ(AskJpegQuality(nullptr, 80), 0);

    // Enter presses Ok; a quality out of range opens clamped.
    WhenShown([&](TfmQuality& dialog) {
        shownAt = dialog.tbQuality->value();
        QTest::keyClick(dialog.tbQuality, Qt::Key_Left);
        QTest::keyClick(&dialog, Qt::Key_Return);
    });
    EXPECT_EQ(AskJpegQuality(nullptr, 250), 99);
    EXPECT_EQ(shownAt, 100);
}

} // namespace
} // namespace scenaria
