// A small window whose controls have hints, with the main window's balloon settings: what the
// desktop test points at and what the screenshot shows. Once it is on the screen it prints, for
// each control, its place, "control <x> <y> <width> <height>", and its hint on the next line.

#include "app/BalloonHint1.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
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

    QWidget window;
    window.setWindowTitle(QStringLiteral("Balloon hints"));
    auto* layout = new QVBoxLayout(&window);
    auto* cbHints = new QCheckBox(QStringLiteral("Show Hints"), &window);
    cbHints->setChecked(true);
    cbHints->setToolTip(
        QStringLiteral("Select whether you want the program to show the Balloon Hints"));
    auto* btOk = new QPushButton(QStringLiteral("OK"), &window);
    btOk->setToolTip(QStringLiteral("Save the settings & close"));
    layout->addWidget(cbHints);
    layout->addWidget(btOk);
    window.setGeometry(120, 330, 260, 90);
    window.show();
    window.activateWindow();

    QTimer::singleShot(300, &window, [&] {
        for (const QWidget* control :
             {static_cast<QWidget*>(cbHints), static_cast<QWidget*>(btOk)}) {
            const QRect place(control->mapToGlobal(QPoint(0, 0)), control->size());
            std::printf("control %d %d %d %d\n%s\n", place.x(), place.y(), place.width(),
                        place.height(), qPrintable(control->toolTip()));
        }
        std::fflush(stdout);
    });
    return application.exec();
}
