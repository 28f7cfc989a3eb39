#pragma once
// The program's own message boxes, caught while a window brings one up.

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <functional>
#include <utility>

namespace scenaria::testing {

// The text of the message box that comes up while run() runs, and how the box reads it; the box
// is closed at once. An empty text when none came up.
inline std::pair<QString, Qt::TextFormat> MessageBoxDuring(const std::function<void()>& run)
{
    std::pair<QString, Qt::TextFormat> seen{QString(), Qt::AutoText};
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (const auto* text = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
                seen = {text->text(), text->textFormat()};
            box->accept();
        }
    });
    closer.start(20);
    run();
    return seen;
}

} // namespace scenaria::testing
