#include "ui/QualityDialog.h"

#include "widgets/Button3D.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSlider>

#include <algorithm>

namespace scenaria {

TfmQuality::TfmQuality(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmQuality"));
    setWindowTitle(QStringLiteral("Select JPG quality"));
    // A small caption with the system menu only; a tool window also keeps the dialog off the
    // task bar.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);

    laQuality = new QLabel(QStringLiteral("Current value = xx%"), this);
    laQuality->setObjectName(QStringLiteral("laQuality"));
    // Wide enough for "Current value = 100%" at any font the system substitutes.
    laQuality->setGeometry(20, 12, 180, 13);

    tbQuality = new QSlider(Qt::Horizontal, this);
    tbQuality->setObjectName(QStringLiteral("tbQuality"));
    tbQuality->setGeometry(28, 36, 200, 33);
    tbQuality->setRange(0, 100);
    tbQuality->setSingleStep(1);
    tbQuality->setPageStep(10);
    tbQuality->setTickInterval(10);
    tbQuality->setTickPosition(QSlider::TicksBelow);
    tbQuality->setValue(80);
    connect(tbQuality, &QSlider::valueChanged, this, &TfmQuality::tbQualityChange);

    laMin = new QLabel(QStringLiteral("Min"), this);
    laMin->move(28, 68);
    laMin->adjustSize();
    laMax = new QLabel(QStringLiteral("Max"), this);
    laMax->move(204, 68);
    laMax->adjustSize();

    const auto button = [this](const char* name, const char* caption, int left) {
        auto* b = new T3DButton(QString::fromUtf8(caption), this);
        b->setObjectName(QString::fromUtf8(name));
        b->setGeometry(left, 88, 65, 30);
        QFont bold(QStringLiteral("Arial"));
        bold.setPixelSize(13);
        bold.setBold(true);
        b->setFont(bold);
        QPalette colours = b->palette();
        colours.setColor(QPalette::ButtonText, Qt::blue);
        b->setPalette(colours);
        return b;
    };
    btOk = button("btOk", "Ok", 20);
    btCancel = button("btCancel", "Cancel", 92);
    btCancel->setAutoDefault(false);
    btOk->setDefault(true);
    connect(btOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    tbQuality->setFocus();
}

void TfmQuality::tbQualityChange()
{
    laQuality->setText(QStringLiteral("Current value = %1%").arg(tbQuality->value()));
}

void TfmQuality::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

std::optional<int> AskJpegQuality(QWidget* owner, int quality)
{
    TfmQuality dialog(owner);
    dialog.tbQuality->setValue(std::clamp(quality, 0, 100));
    dialog.tbQualityChange();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.tbQuality->value();
}

} // namespace scenaria
