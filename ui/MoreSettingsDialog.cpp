#include "ui/MoreSettingsDialog.h"

#include "core/Settings.h"
#include "widgets/Button3D.h"
#include "widgets/HelpContext.h"
#include "widgets/RadioGroup.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFrame>
#include <QLabel>

#include <utility>

namespace scenaria {

namespace {

// The configuration dialog's look: a sunken panel under a blue heading.
QFrame* Panel(QWidget* parent, const char* name, QRect bounds, const char* heading)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromUtf8(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(bounds);
    auto* label = new QLabel(QString::fromUtf8(heading), panel);
    label->setObjectName(QString::fromUtf8(name) + QStringLiteral("Heading"));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setStyleSheet(QStringLiteral("color: blue; font-weight: bold;"));
    label->setGeometry(4, 3, bounds.width() - 8, 16);
    return panel;
}

template <typename T> T* Control(T* control, const char* name, const char* hint, int helpContext)
{
    control->setObjectName(QString::fromUtf8(name));
    control->setToolTip(QString::fromUtf8(hint));
    if (helpContext > 0)
        SetHelpContext(control, helpContext);
    return control;
}

// The help page has no topic of its own for these settings: Fill belongs with stretching, the
// background with the proportional stretch that leaves it around the picture.
constexpr int FillHelp = 106;
constexpr int BackgroundHelp = 110;

} // namespace

TfmMoreSettings::TfmMoreSettings(std::function<void(int)> showHelp, QWidget* parent)
    : QDialog(parent), showHelp_(std::move(showHelp))
{
    setObjectName(QStringLiteral("fmMoreSettings"));
    setWindowTitle(QStringLiteral("More settings"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(11);
    setFont(arial);
    CreateControls();
    CreateButtons();
    ShowModel({});
}

TfmMoreSettings::~TfmMoreSettings() = default;

void TfmMoreSettings::CreateControls()
{
    paMonitors = Panel(this, "paMonitors", {5, 5, 290, 88}, "Several monitors");
    rgMonitors = Control(new TRadioGroup(paMonitors), "rgMonitors",
                         "Select what your monitors show when you have more than one", 0);
    rgMonitors->setGeometry(6, 22, 278, 60);
    rgMonitors->SetItemHeight(20);
    rgMonitors->SetItems({QStringLiteral("The same picture on every monitor"),
                          QStringLiteral("Each monitor its own picture"),
                          QStringLiteral("One picture across all monitors")});

    paFit = Panel(this, "paFit", {5, 96, 290, 78}, "Scaled and centred pictures");
    cbFill = Control(new QCheckBox(QStringLiteral("Fill the monitor (crop the picture)"), paFit),
                     "cbFill",
                     "Select whether a stretched picture should cover the whole monitor, its "
                     "overflow cut off, instead of losing its shape or leaving a border",
                     FillHelp);
    cbFill->setGeometry(10, 22, 274, 20);
    btBackground = Control(new T3DButton(QStringLiteral("Background…"), paFit), "btBackground",
                           "Select the colour around a centred or proportionally stretched "
                           "picture",
                           BackgroundHelp);
    btBackground->setGeometry(10, 46, 96, 24);
    btBackground->setAutoDefault(false);
    paSwatch = new QFrame(paFit);
    paSwatch->setObjectName(QStringLiteral("paSwatch"));
    paSwatch->setFrameStyle(QFrame::Box | QFrame::Plain);
    paSwatch->setGeometry(114, 48, 48, 20);
    paSwatch->setAutoFillBackground(true);
    SetHelpContext(paSwatch, BackgroundHelp);
    connect(btBackground, &QPushButton::clicked, this, &TfmMoreSettings::btBackgroundClick);
}

void TfmMoreSettings::CreateButtons()
{
    btHelp = new THelpButton(this);
    btHelp->setObjectName(QStringLiteral("btHelp"));
    btHelp->setGeometry(8, 184, 22, 22);
    btHelp->OnHelp = [this](int context) {
        if (showHelp_)
            showHelp_(context);
    };
    const auto button = [this](const char* name, const char* caption, int left) {
        auto* b = new T3DButton(QString::fromUtf8(caption), this);
        b->setObjectName(QString::fromUtf8(name));
        b->setGeometry(left, 180, 65, 30);
        QFont bold(QStringLiteral("Arial"));
        bold.setPixelSize(13);
        bold.setBold(true);
        b->setFont(bold);
        QPalette colours = b->palette();
        colours.setColor(QPalette::ButtonText, Qt::blue);
        b->setPalette(colours);
        b->setAutoDefault(false);
        return b;
    };
    btOk = button("btOk", "OK", 158);
    btCancel = button("btCancel", "Cancel", 230);
    btOk->setDefault(true);
    connect(btOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TMoreSettings TfmMoreSettings::Model() const
{
    TMoreSettings m;
    m.Monitors = rgMonitors->ItemIndex();
    m.Fill = cbFill->isChecked();
    m.Background = background_;
    return m;
}

void TfmMoreSettings::ShowModel(const TMoreSettings& m)
{
    rgMonitors->SetItemIndex(m.Monitors);
    cbFill->setChecked(m.Fill);
    background_ = m.Background & 0xFFFFFFu;
    ShowBackground();
}

void TfmMoreSettings::btBackgroundClick()
{
    QColorDialog dialog(QColor(QRgb(background_)), this);
    dialog.setWindowTitle(QStringLiteral("Background"));
    // Qt's own dialog wherever the program runs: a desktop's picker (the portal's) may pick
    // from the screen and answer after the dialog has closed.
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    background_ = dialog.selectedColor().rgb() & 0xFFFFFFu;
    ShowBackground();
}

void TfmMoreSettings::ShowBackground()
{
    QPalette colours = paSwatch->palette();
    colours.setColor(QPalette::Window, QColor(QRgb(background_)));
    paSwatch->setPalette(colours);
    paSwatch->setToolTip(QString::fromStdString(ColourText(background_)));
}

std::optional<TMoreSettings> AskMoreSettings(QWidget* owner, const TMoreSettings& settings,
                                             std::function<void(int)> showHelp)
{
    TfmMoreSettings dialog(std::move(showHelp), owner);
    dialog.ShowModel(settings);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Model();
}

} // namespace scenaria
