#include "ui/ConfigDialog.h"

#include "core/Catalogue.h"
#include "core/Settings.h"
#include "ui/MoreSettingsDialog.h"
#include "widgets/Button3D.h"
#include "widgets/FolderList.h"
#include "widgets/HelpContext.h"
#include "widgets/RadioGroup.h"
#include "widgets/RotaryKnob.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include <exception>
#include <utility>

namespace scenaria {

namespace {

const char* const SizeHint = "Select the size of bitmaps to determine whether to\r\n"
                             "center or tile bitmaps. Bitmaps greater than this size \r\n"
                             "will be centered on your desktop, bitmaps smaller \r\n"
                             "will be tiled.";

// A hint as the tooltip shows it: the old texts break lines with carriage return and line
// feed.
QString HintText(const char* hint)
{
    return QString::fromUtf8(hint).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

template <typename T> T* Control(T* control, const char* name, const char* hint, int helpContext)
{
    control->setObjectName(QString::fromUtf8(name));
    if (hint)
        control->setToolTip(HintText(hint));
    if (helpContext > 0)
        SetHelpContext(control, helpContext);
    return control;
}

QFrame* Panel(QWidget* parent, const char* name, QRect bounds, int helpContext, const char* heading,
              int headingHeight)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromUtf8(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(bounds);
    if (helpContext > 0)
        SetHelpContext(panel, helpContext);
    auto* label = new QLabel(QString::fromUtf8(heading), panel);
    label->setObjectName(QString::fromUtf8(name) + QStringLiteral("Heading"));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setStyleSheet(QStringLiteral("color: blue; font-weight: bold;"));
    label->setGeometry(4, 3, bounds.width() - 8, headingHeight);
    return panel;
}

QCheckBox* CheckBox(QWidget* parent, const char* name, const char* caption, const char* hint,
                    int helpContext, QRect bounds)
{
    auto* box = Control(new QCheckBox(QString::fromUtf8(caption), parent), name, hint, helpContext);
    box->setGeometry(bounds);
    return box;
}

} // namespace

TfmConfig::TfmConfig(bool comReady, std::function<void(int)> showHelp, QWidget* parent)
    : QDialog(parent), comReady_(comReady), showHelp_(std::move(showHelp))
{
    setObjectName(QStringLiteral("fmConfig"));
    setWindowTitle(QStringLiteral("Wallpaper Diduzavizo"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(11);
    setFont(arial);
    ReportError = [this](const QString& text) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Scenaria"), text, QMessageBox::Ok,
                        this);
        // The text may name a file: shown as it is spelt, never read as markup.
        box.setTextFormat(Qt::PlainText);
        box.exec();
    };
    CreateControls();
    FormCreate();
}

TfmConfig::~TfmConfig() = default;

void TfmConfig::CreateControls()
{
    laTitle = new QLabel(QStringLiteral("To set your wallpaper randomizer fill the required "
                                        "information in the sections provided below:"),
                         this);
    laTitle->setObjectName(QStringLiteral("laTitle"));
    laTitle->setGeometry(8, 4, 548, 36);
    laTitle->setWordWrap(true);
    laTitle->setStyleSheet(
        QStringLiteral("color: navy; font-weight: bold; font-size: 14px; font-family: Arial;"));

    btHelp = new THelpButton(this);
    btHelp->setObjectName(QStringLiteral("btHelp"));
    btHelp->setGeometry(564, 8, 22, 22);
    btHelp->OnHelp = [this](int context) {
        if (showHelp_)
            showHelp_(context);
    };

    // The picture folder.
    paDir = Panel(this, "paDir", {5, 43, 180, 290}, 101,
                  "Select the folder that contains the wallpaper files", 28);
    paDir->setToolTip(
        QStringLiteral("This is the directory where Scenaria will look for graphic files to be "
                       "used as wallpaper"));
    cbDrive = Control(new TDriveList(paDir), "cbDrive", nullptr, 101);
    cbDrive->setGeometry(6, 34, 168, 22);
    Dirs = Control(new TFolderList(paDir), "Dirs", nullptr, 101);
    Dirs->setGeometry(6, 60, 168, 170);
    laDir = Control(new TPathLabel(paDir), "laDir", nullptr, 101);
    laDir->setGeometry(6, 232, 168, 26);
    Dirs->SetLabel(laDir);
    Dirs->SetDriveList(cbDrive);
    cbSubfolders = CheckBox(
        paDir, "cbSubfolders", "Use subfolders",
        "If checked Scenaria will look for wallpaper files on the selected folder and all its "
        "subfolders",
        113, {10, 262, 164, 20});

    // Order of the pictures.
    paMethod = Panel(this, "paMethod", {187, 43, 180, 118}, 102,
                     "Select the method of choosing your bitmaps", 28);
    rbSecuential = Control(new QRadioButton(QStringLiteral("Secuential"), paMethod), "rbSecuential",
                           "Select bitmaps secuentally", 102);
    rbSecuential->setGeometry(14, 36, 156, 20);
    rbSecuential->setChecked(true);
    rbRandom = Control(new QRadioButton(QStringLiteral("Random"), paMethod), "rbRandom",
                       "Select bitmaps at random", 102);
    rbRandom->setGeometry(14, 58, 156, 20);
    cbRunOnStart = CheckBox(paMethod, "cbRunOnStart", "Run on starup",
                            "Change the wallpaper on start-up", 102, {14, 88, 156, 20});

    // The interval.
    paDelay = Panel(this, "paDelay", {187, 163, 180, 102}, 103, "Select the interval", 16);
    paDelay->setToolTip(QStringLiteral("Select the interval in hours and minutes"));
    const auto knob = [this](const char* name, int max, int left) {
        auto* k = Control(new TRotaryKnob(paDelay), name, nullptr, 103);
        k->setGeometry(left, 20, 38, 38);
        k->SetMax(max);
        return k;
    };
    const auto valueLabel = [this](const char* name, int left) {
        auto* label = Control(new QLabel(paDelay), name, nullptr, 103);
        label->setGeometry(left, 22, 40, 16);
        label->setStyleSheet(QStringLiteral("font-weight: bold; font-size: 13px;"));
        return label;
    };
    const auto word = [this](const char* text, int left) {
        auto* label = new QLabel(QString::fromUtf8(text), paDelay);
        label->setGeometry(left, 40, 44, 14);
    };
    rkHours = knob("rkHours", MaxHours, 6);
    laHours = valueLabel("laHours", 47);
    word("hours", 47);
    rkMinutes = knob("rkMinutes", MaxMinutes, 92);
    laMinutes = valueLabel("laMinutes", 133);
    word("minutes", 133);
    rkHours->SetControl(laHours);
    rkMinutes->SetControl(laMinutes);
    rkMinutes->SetPosition(50);
    cbRandom = CheckBox(paDelay, "cbRandom", "Random",
                        "Check to randomize the interval between wallpaper changes", 114,
                        {14, 74, 156, 20});

    // The kind of files.
    paKind = Panel(this, "paKind", {187, 268, 180, 65}, 104, "Select the files to process", 16);
    cbFilter = Control(new TFileTypeList(paKind), "cbFilter",
                       "Select the kind of bitmap files to use", 104);
    cbFilter->setGeometry(6, 28, 168, 22);

    // How pictures are placed.
    paSize = Panel(this, "paSize", {369, 43, 220, 186}, 0, "Select the way bitmaps are shown", 16);
    rgTileorCenter =
        Control(new TRadioGroup(paSize), "rgTileorCenter",
                "Select the method used to decide whether to tile or center bitmaps", 105);
    rgTileorCenter->setGeometry(6, 20, 208, 52);
    rgTileorCenter->SetItemHeight(15);
    rgTileorCenter->SetItems({QStringLiteral("Always tiled"),
                              QStringLiteral("Always centered (or stretched)"),
                              QStringLiteral("Depends on size (see below)")});
    paSelSize = new QFrame(paSize);
    paSelSize->setObjectName(QStringLiteral("paSelSize"));
    paSelSize->setGeometry(6, 74, 208, 60);
    auto* sizeText =
        new QLabel(QStringLiteral("Bitmaps smaller than the size below will be tiled"), paSelSize);
    sizeText->setWordWrap(true);
    sizeText->setAlignment(Qt::AlignCenter);
    sizeText->setGeometry(2, 0, 204, 28);
    const auto sizeField = [this](const char* name, int left, int stored) {
        auto* field = Control(new TSpinEdit(paSelSize), name, SizeHint, 105);
        field->SetRange(MinSize, MaxSize);
        field->SetValue(stored);
        field->setGeometry(left, 32, 70, 22);
        return field;
    };
    seMinW = sizeField("seMinW", 24, 320);
    auto* times = new QLabel(QStringLiteral("x"), paSelSize);
    times->setAlignment(Qt::AlignCenter);
    times->setGeometry(96, 32, 16, 22);
    seMinH = sizeField("seMinH", 114, 240);
    cbStretch = CheckBox(paSize, "cbStretch", "Stretch to Desktop size",
                         "Select whether you want bitmaps not exactly covering your desktop to be "
                         "stretched to desktop size",
                         106, {10, 138, 204, 20});
    cbProportional = CheckBox(paSize, "cbProportional", "Proportional Stretch",
                              "Select whether you want to maintain the proportions of the "
                              "graphics when stretching them",
                              110, {10, 160, 204, 20});

    // Everything else.
    Panel1 = Panel(this, "Panel1", {369, 232, 220, 101}, 0, "Select miscellaneous settings", 16);
    cbActive = CheckBox(Panel1, "cbActive", "Use Active Desktop",
                        "Select whether you want Scenaria to set up the normal Windows Wallpaper "
                        "or the Active Desktop Wallpaper",
                        111, {10, 20, 204, 18});
    cbHints = CheckBox(Panel1, "cbHints", "Show Hints",
                       "Select whether you want the program to show the Balloon Hints", 107,
                       {10, 39, 204, 18});
    auto* trayLabel = new QLabel(QStringLiteral("Show on tray icon hint:"), Panel1);
    trayLabel->setGeometry(10, 58, 204, 14);
    rgTrayHint =
        Control(new TRadioGroup(Panel1), "rgTrayHint", "Select what to show on the tray icon", 112);
    rgTrayHint->setGeometry(6, 73, 208, 22);
    rgTrayHint->SetColumns(3);
    rgTrayHint->SetItems(
        {QStringLiteral("Time left"), QStringLiteral("Filename"), QStringLiteral("Both")});

    // The two ways out that keep the changes.
    const auto bigButton = [this](const char* name, const char* caption, const char* hint,
                                  int helpContext, int left) {
        auto* button =
            Control(new T3DButton(QString::fromUtf8(caption), this), name, hint, helpContext);
        button->setGeometry(left, 337, 145, 32);
        QFont big(QStringLiteral("Arial"));
        big.setPixelSize(19);
        big.setBold(true);
        button->setFont(big);
        QPalette colours = button->palette();
        colours.setColor(QPalette::ButtonText, Qt::blue);
        button->setPalette(colours);
        button->setAutoDefault(false);
        return button;
    };
    btOk = bigButton("btOk", "Press OK", "Close the dialog saving all changes made", 108, 5);
    btBrowse = bigButton("btBrowse", "Explore", "Open the Bitmap Explorer", 109, 442);
    CreateMoreButton();

    connect(btOk, &QPushButton::clicked, this, &TfmConfig::btOkClick);
    connect(btBrowse, &QPushButton::clicked, this, &TfmConfig::btBrowseClick);
    connect(cbStretch, &QCheckBox::toggled, this, &TfmConfig::cbStretchClick);
    connect(rgTileorCenter, &TRadioGroup::ItemIndexChanged, this, &TfmConfig::rgTileorCenterClick);
}

void TfmConfig::CreateMoreButton()
{
    // In the gap between the two big buttons, so that no control of the classic layout moves.
    btMore = Control(new T3DButton(QStringLiteral("More…"), this), "btMore",
                     "Settings for several monitors, filling the monitor and the background "
                     "colour",
                     0);
    btMore->setGeometry(256, 341, 80, 24);
    btMore->setAutoDefault(false);
    QFont bold(QStringLiteral("Arial"));
    bold.setPixelSize(13);
    bold.setBold(true);
    btMore->setFont(bold);
    QPalette colours = btMore->palette();
    colours.setColor(QPalette::ButtonText, Qt::blue);
    btMore->setPalette(colours);
    setTabOrder(btOk, btMore);
    setTabOrder(btMore, btBrowse);
    connect(btMore, &QPushButton::clicked, this, &TfmConfig::btMoreClick);
}

void TfmConfig::FormCreate()
{
    cbFilter->SetFilter(QString::fromStdString(PictureFileTypeFilter()));
    ShowModel(LoadConfigModel(Settings, comReady_));
    // From here on every folder the list opens, by the user or through its drive list, is the
    // one OK stores.
    connect(Dirs, &TFolderList::FolderChanged, this, [this] { folderFromList_ = true; });
}

void TfmConfig::ShowModel(const TConfigModel& m)
{
    loadedDirectory_ = m.Directory;
    const QString directory = QString::fromStdString(m.Directory);
    // A folder that cannot be opened is told to the user once the window is up; the list then
    // stands at the nearest one above it that can (or the home folder), and the stored folder
    // stays as it was unless the user picks another.
    const bool opened = Dirs->SetFolder(directory);
    if (!opened) {
        if (!m.Directory.empty())
            openingError_ = QString::fromStdString(FolderOpenError(m.Directory));
        Dirs->SetFolder(TFolderList::NearestOpenable(directory));
        if (isVisible())
            ReportOpeningError();
    }
    folderFromList_ = opened;
    cbSubfolders->setChecked(m.Subfolders);
    cbRunOnStart->setChecked(m.RunOnStart);
    seMinW->SetValue(m.MinWidth);
    seMinH->SetValue(m.MinHeight);
    cbRandom->setChecked(m.Random);
    rgTileorCenter->SetItemIndex(m.TileIndex);
    rgTileorCenterClick();
    (m.Sequential ? rbSecuential : rbRandom)->setChecked(true);
    cbStretch->setChecked(m.Stretch);
    cbProportional->setChecked(m.Proportional);
    cbStretchClick();
    cbActive->setEnabled(m.ActiveEnabled);
    cbActive->setChecked(m.ActiveDesktop);
    cbHints->setChecked(m.ShowHints);
    rgTrayHint->SetItemIndex(m.TrayHintIndex);
    cbFilter->SetItemIndex(m.FilesTypeIndex);
    rkHours->SetPosition(m.Hours);
    rkMinutes->SetPosition(m.Minutes);
    more_ = m.More;
}

TConfigModel TfmConfig::Model() const
{
    TConfigModel m;
    m.Directory = folderFromList_ ? Dirs->Folder().toStdString() : loadedDirectory_;
    m.Subfolders = cbSubfolders->isChecked();
    m.RunOnStart = cbRunOnStart->isChecked();
    m.MinWidth = seMinW->Value();
    m.MinHeight = seMinH->Value();
    m.Random = cbRandom->isChecked();
    m.TileIndex = rgTileorCenter->ItemIndex();
    m.Sequential = rbSecuential->isChecked();
    m.Stretch = cbStretch->isChecked();
    m.Proportional = cbProportional->isChecked();
    m.ActiveEnabled = cbActive->isEnabled();
    m.ActiveDesktop = cbActive->isChecked();
    m.ShowHints = cbHints->isChecked();
    m.TrayHintIndex = rgTrayHint->ItemIndex();
    m.FilesTypeIndex = cbFilter->ItemIndex();
    m.Hours = rkHours->Position();
    m.Minutes = rkMinutes->Position();
    m.More = more_;
    return m;
}

void TfmConfig::StoreAndSave()
{
    StoreConfigModel(Model(), Settings, comReady_);
    try {
        SaveSettings();
    } catch (const std::exception& e) {
        // The dialog closes all the same, as it always did; the settings in memory are in
        // force until the program ends.
        if (ReportError)
            ReportError(QString::fromStdString(e.what()));
    }
}

void TfmConfig::btOkClick()
{
    StoreAndSave();
    done(QDialog::Accepted);
}

void TfmConfig::btBrowseClick()
{
    StoreAndSave();
    done(DialogResultExplore);
}

void TfmConfig::btMoreClick()
{
    if (const auto chosen = AskMoreSettings(this, more_, showHelp_))
        more_ = *chosen;
}

void TfmConfig::cbStretchClick()
{
    cbProportional->setEnabled(cbStretch->isChecked());
}

void TfmConfig::rgTileorCenterClick()
{
    paSelSize->setVisible(rgTileorCenter->ItemIndex() == 2);
}

void TfmConfig::ReportOpeningError()
{
    if (openingError_.isEmpty())
        return;
    // After the window has appeared, so that the message stands in front of it.
    QTimer::singleShot(0, this, [this, text = std::exchange(openingError_, QString())] {
        if (ReportError)
            ReportError(text);
    });
}

void TfmConfig::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    ReportOpeningError();
    if (centred_)
        return;
    centred_ = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

} // namespace scenaria
