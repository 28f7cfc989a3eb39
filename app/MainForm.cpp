#include "app/MainForm.h"

#include "app/BalloonHint1.h"
#include "app/TrayIcon.h"
#include "core/Settings.h"
#include "core/Wallpaper.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "ui/AboutBox.h"
#include "ui/BitmapExplorer.h"
#include "ui/ConfigDialog.h"
#include "widgets/BannerMenu.h"

#include <QApplication>
#include <QMenu>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <exception>

namespace scenaria {

namespace {

// The file-name part of a path as the tooltip shows it.
QString FileNamePart(const std::string& path)
{
    return QString::fromStdString(FileNameOf(path)).left(260);
}

void Complain(const char* what)
{
    std::fprintf(stderr, "scenarix: %s\n", what);
}

} // namespace

TfmMain::TfmMain(IPlatform& platform, const QStringList& arguments, QWidget* parent)
    : QWidget(parent), platform_(platform)
{
    setWindowTitle(QStringLiteral("Scenaria"));
    ShowMessage = [this](QMessageBox::Icon icon, const QString& text) {
        QMessageBox box(icon, QStringLiteral("Scenaria"), text, QMessageBox::Ok, this);
        box.exec();
    };
    ShowModal = [](QDialog& dialog) { dialog.exec(); };
    CreateComponents();
    LoadSettings(SettingsPlaceOf(platform_));
    FormCreate(arguments);
}

TfmMain::~TfmMain()
{
    FormDestroy();
}

void TfmMain::CreateComponents()
{
    TrayIcon1 = new TTrayIcon(this);
    TrayIcon1->SetIcon(ProgramIcon());
    TrayIcon1->SetToolTip(
        QStringLiteral("Click to Change the Wallpaper NOW | Right Click to show menu"));
    TrayIcon1->OnClick = [this] { ChangeIt(); };

    Timer1 = new QTimer(this);
    Timer1->setInterval(60000);
    Timer1->setTimerType(Qt::VeryCoarseTimer);
    connect(Timer1, &QTimer::timeout, this, &TfmMain::Timer1Timer);

    BalloonHint1 = new TBalloonHint(this);
    ConfigureBalloonHint1(*BalloonHint1);
    BalloonHint1->CompositingActive = [this] { return platform_.CompositingActive(); };
    TApplicationHints::Instance().HintHidePause = 2000;

    oxPopupMenu1 = new TBannerMenu(QStringLiteral("Scenaria"), this);
    const auto item = [this](const char* caption, void (TfmMain::*handler)()) {
        QAction* action = oxPopupMenu1->addAction(QString::fromUtf8(caption));
        if (handler)
            connect(action, &QAction::triggered, this, handler);
        return action;
    };
    Configurar1 = item("&Configure Scenaria", &TfmMain::ShowConfig);
    ExploreBitmaps1 = item("E&xplore Bitmaps...", &TfmMain::ExploreBitmaps1Click);
    ChangeWallpapernow1 = item("Change Wallpaper &now", &TfmMain::ChangeIt);
    Deletecurrent1 = item("&Delete currently shown bitmap", &TfmMain::Deletecurrent1Click);
    oxPopupMenu1->addSeparator();
    Help1 = item("&Help", &TfmMain::Help1Click);
    About1 = item("&About...", &TfmMain::About1Click);
    oxPopupMenu1->addSeparator();
    AutoStart1 = item("Auto &Start", &TfmMain::AutoStart1Click);
    Close1 = item("&Exit Scenaria", &TfmMain::Close1Click);
    TrayIcon1->SetPopupMenu(oxPopupMenu1);
    TrayIcon1->SetActive(true);
    Timer1->start();
}

void TfmMain::FormCreate(const QStringList& arguments)
{
    move(-5000, y());
    hide();
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive)
                    AppDeactivate();
            });
    ComReady = platform_.InitializeDesktop();
    ApplyShowHints();
    CurrentIndex = Settings.LastIndex;
    WallpaperShown = false;
    LastShown.clear();
    EnableMenus();
    if (!arguments.isEmpty())
        GifPreview = arguments.first() == QStringLiteral("/gif");
    Catalogue.clear();
    if (FolderExists(Settings.Directory))
        RebuildCatalogue(Catalogue, Settings);
    MinuteCount = 0;
    UpdateTrayHint();
    if (Settings.RunOnStart)
        ChangeWallpaper();
}

void TfmMain::FormDestroy()
{
    platform_.FinalizeDesktop();
    Catalogue.clear();
}

void TfmMain::AppDeactivate()
{
    if (!Busy)
        hide();
}

void TfmMain::ApplyShowHints()
{
    TApplicationHints::Instance().SetShowHint(Settings.ShowHints);
}

void TfmMain::Timer1Timer()
{
    if (Settings.Interval == 0)
        return;
    ++MinuteCount;
    if (MinuteCount >= Settings.Interval)
        ChangeWallpaper();
}

void TfmMain::ChangeWallpaper()
{
    MinuteCount = 0;
    if (Busy || !FolderExists(Settings.Directory))
        return;
    RebuildCatalogue(Catalogue, Settings);
    if (Catalogue.empty())
        return;
    try {
        int attempts = 0;
        WallpaperShown = false;
        bool shown = false;
        // Each monitor its own picture: the cycle moves on once for each monitor.
        const std::vector<TMonitor> monitors =
            Settings.Monitors == 1 ? platform_.Monitors() : std::vector<TMonitor>{};
        const std::size_t pictures = monitors.size() > 1 ? monitors.size() : 1;
        do {
            ++attempts;
            std::vector<std::string> files;
            for (std::size_t i = 0; i < pictures; ++i)
                files.push_back(NextPicture());
            shown = pictures > 1 ? SetMonitorWallpapers(platform_, monitors, files)
                                 : SetWallpaper(platform_, files[0]);
        } while (!shown && attempts < 6);
        Deletecurrent1->setEnabled(WallpaperShown);
        UpdateTrayHint();
    } catch (const std::exception& e) {
        // The automatic cycle shows nothing; the next change simply tries again.
        Complain(e.what());
    }
}

std::string TfmMain::NextPicture()
{
    ChooseNext(CurrentIndex, static_cast<int>(Catalogue.size()), Settings);
    Settings.LastIndex = CurrentIndex;
    SaveSettings();
    if (CurrentIndex < 0 || CurrentIndex >= static_cast<int>(Catalogue.size()))
        throw std::out_of_range("List index out of bounds (" + std::to_string(CurrentIndex) + ")");
    return Catalogue[static_cast<std::size_t>(CurrentIndex)];
}

QString TfmMain::TrayHint() const
{
    QString hint = QStringLiteral("Scenaria ");
    if (Settings.HintOnTray != 1) {
        // 64-bit: a hand-edited interval at the edge of the range must not overflow.
        const std::int64_t left = std::int64_t{Settings.Interval} - MinuteCount;
        if (left == 1)
            hint += QStringLiteral("(1 minute left) ");
        else
            hint += QStringLiteral("(%1 minutes left) ").arg(left);
    }
    if (Settings.HintOnTray > 0 && WallpaperShown && !LastShown.empty())
        hint += QStringLiteral("-> ") + FileNamePart(LastShown) + QLatin1Char(' ');
    return hint;
}

void TfmMain::UpdateTrayHint()
{
    TrayIcon1->SetToolTip(TrayHint());
}

void TfmMain::ChangeIt()
{
    if (!Busy)
        ChangeWallpaper();
}

void TfmMain::ShowConfig()
{
    if (Busy)
        return;
    DisableMenus();
    int result = QDialog::Rejected;
    {
        TfmConfig config(
            ComReady,
            [this](int context) {
                const TPlatformStatus status = platform_.ShowHelp(context);
                if (!status.Ok)
                    Complain(status.Error.c_str());
            },
            this);
        Timer1->stop();
        ShowModal(config);
        result = config.result();
        Settings.Interval = IntervalOf(Settings);
        // A new minute starts; the minutes already counted stay counted.
        Timer1->start();
    }
    EnableMenus();
    ApplyShowHints();
    // After EnableMenus, so that the delete item keeps the state it had.
    WallpaperShown = false;
    UpdateTrayHint();
    hide();
    if (result == DialogResultExplore)
        ExploreBitmaps1Click();
}

void TfmMain::ExploreBitmaps1Click()
{
    if (Busy)
        return;
    int result = QDialog::Rejected;
    {
        TfmBitmap explorer(
            platform_, GifPreview,
            [this](int context) {
                const TPlatformStatus status = platform_.ShowHelp(context);
                if (!status.Ok)
                    Complain(status.Error.c_str());
            },
            this);
        DisableMenus();
        ShowModal(explorer);
        result = explorer.result();
    }
    EnableMenus();
    hide();
    if (result == TfmBitmap::ResultConfig)
        ShowConfig();
    UpdateTrayHint();
}

void TfmMain::Deletecurrent1Click()
{
    if (!platform_.DeleteToRecycleBin(LastShown).Ok)
        return;
    --CurrentIndex;
    ChangeWallpaper();
}

void TfmMain::AutoStart1Click()
{
    if (platform_.CreateStartupShortcut().Ok)
        ShowMessage(
            QMessageBox::Information,
            QStringLiteral("A shortcut has been successfully created on the StartUp folder"));
    else
        ShowMessage(QMessageBox::Critical,
                    QStringLiteral("ERROR creating a shortcut to Scenaria on the StartUp folder"));
}

void TfmMain::Help1Click()
{
    const TPlatformStatus status = platform_.ShowHelp(0);
    if (!status.Ok)
        Complain(status.Error.c_str());
}

void TfmMain::About1Click()
{
    TfmAbout about(this);
    ShowModal(about);
    hide();
}

void TfmMain::Close1Click()
{
    QApplication::quit();
}

void TfmMain::DisableMenus()
{
    Busy = true;
    for (QAction* action : {Configurar1, ExploreBitmaps1, Deletecurrent1, ChangeWallpapernow1,
                            About1, Help1, Close1, AutoStart1})
        action->setEnabled(false);
}

void TfmMain::EnableMenus()
{
    Busy = false;
    for (QAction* action :
         {Configurar1, ExploreBitmaps1, ChangeWallpapernow1, About1, Help1, Close1, AutoStart1})
        action->setEnabled(true);
    Deletecurrent1->setEnabled(WallpaperShown);
}

} // namespace scenaria
