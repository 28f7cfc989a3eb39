#include "ui/AboutBox.h"

#include "widgets/GifImageControl.h"

#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

// Resources of a static library are registered by hand, at global scope.
static void InitAboutResources()
{
    Q_INIT_RESOURCE(about);
}

namespace scenaria {

TfmAbout::TfmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmAbout"));
    setWindowTitle(QStringLiteral("About Scenaria"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(349, 294);
    QFont arial(QStringLiteral("Arial"));
    setFont(arial);

    Label3d2 = new QLabel(QStringLiteral("Scenaria"), this);
    Label3d2->setGeometry(83, 12, 181, 33);
    Label3d2->setAlignment(Qt::AlignCenter);
    Label3d2->setStyleSheet(QStringLiteral("font-weight: bold; font-size: 24px; color: navy;"));

    laVersion = new QLabel(QStringLiteral("Version 1.1"), this);
    laVersion->setGeometry(32, 44, 285, 33);
    laVersion->setAlignment(Qt::AlignCenter);
    laVersion->setStyleSheet(
        QStringLiteral("font-weight: bold; font-size: 24px; color: palette(dark);"));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 76, 332, 92);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);
    Image1 = new TGIFImageControl(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(6, 6, 320, 80);
    InitAboutResources();
    QFile banner(QStringLiteral(":/scenaria/about-banner.gif"));
    if (banner.open(QIODevice::ReadOnly))
        Image1->LoadFromData(banner.readAll());

    auto* notice = new QLabel(
        QStringLiteral("Changes your desktop wallpaper from your own pictures, at your pace."),
        this);
    notice->setGeometry(73, 184, 203, 33);
    notice->setAlignment(Qt::AlignCenter);
    notice->setWordWrap(true);
    notice->setStyleSheet(QStringLiteral("font-size: 11px; color: navy;"));

    auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setObjectName(QStringLiteral("oxButton1"));
    ok->setGeometry(127, 260, 73, 28);
    ok->setStyleSheet(QStringLiteral("font-weight: bold; font-size: 13px; color: navy;"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());

    FormCreate();
}

void TfmAbout::FormCreate()
{
    laVersion->setText(QStringLiteral("Version 1.3 RC1"));
}

} // namespace scenaria
