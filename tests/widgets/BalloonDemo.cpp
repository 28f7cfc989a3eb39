// The configuration window with the main window's balloon settings: what the desktop test
// points at and what the screenshot shows. Once it is on the screen it prints, for
// each control, its place, "control <x> <y> <width> <height>", and its hint on the next line.

#include "app/BalloonHint1.h"
#include "platform/Platform.h"
#include "ui/ConfigDialog.h"
#include "widgets/HelpContext.h"

#include <QApplication>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    scenaria::TBalloonHint balloonHint1;
    scenaria::ConfigureBalloonHint1(balloonHint1);
    const std::unique_ptr<scenaria::IPlatform> platform = scenaria::CreatePlatform();
    balloonHint1.CompositingActive = [&platform] { return platform->CompositingActive(); };
    // The balloon stays until the pointer leaves, however long a slow machine takes to look.
    scenaria::TApplicationHints::Instance().HintHidePause = 600000;

    // The settings as a first start has them; the window shows them and stores nothing here.
    // The help button at its top right has its balloon over the desktop, so that the desktop
    // can be seen through the balloon's outline; the order's first choice has its balloon over
    // the window itself.
    scenaria::TfmConfig window(false, [](int) {});
    QWidget* first = window.btHelp;
    QWidget* second = window.rbSecuential;
    window.show();
    // After showing: the window centres itself on the screen when it is shown.
    window.move(0, 240);
    window.activateWindow();

    QTimer::singleShot(300, &window, [&] {
        for (const QWidget* control : {first, second}) {
            const QRect place(control->mapToGlobal(QPoint(0, 0)), control->size());
            std::printf("control %d %d %d %d\n%s\n", place.x(), place.y(), place.width(),
                        place.height(), qPrintable(control->toolTip()));
        }
        std::fflush(stdout);
    });
    return application.exec();
}
