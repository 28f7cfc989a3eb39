#include "ui/BitmapExplorer.h"

#include "core/Catalogue.h"
#include "core/Settings.h"
#include "core/Wallpaper.h"
#include "imaging/PixelGraphic.h"
#include "platform/Platform.h"
#include "ui/ConfigModel.h"
#include "ui/ExplorerGlyphs.h"
#include "ui/QualityDialog.h"
#include "widgets/FolderList.h"
#include "widgets/GifImageControl.h"
#include "widgets/HelpContext.h"
#include "widgets/PGImage.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

#include <utility>

namespace scenaria {

// ---- TFileList ---------------------------------------------------------------------------

TFileList::TFileList(QWidget* parent) : QListWidget(parent)
{
    setViewMode(QListView::ListMode);
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void TFileList::SetFolder(const QString& folder)
{
    folder_ = folder;
    clear();
    Reload();
}

void TFileList::SetNameFilters(const QStringList& filters)
{
    filters_ = filters;
    Reload();
}

void TFileList::Reload()
{
    const QListWidgetItem* current = currentItem();
    const QString selected = current && current->isSelected() ? current->text() : QString();
    const QSignalBlocker quiet(this);
    clear();
    if (folder_.isEmpty())
        return;
    QDir dir(folder_);
    const QStringList names = dir.entryList(filters_, QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names) {
        auto* item = new QListWidgetItem(name, this);
        item->setSizeHint(QSize(Columns() > 0 ? width() / Columns() : 150, ItemHeight));
        if (name == selected)
            setCurrentItem(item);
    }
    if (!currentItem() || currentItem()->text() != selected)
        setCurrentRow(-1);
}

QString TFileList::FileName() const
{
    const QListWidgetItem* item = currentItem();
    if (!item || !item->isSelected())
        return {};
    return QDir(folder_).filePath(item->text());
}

int TFileList::Columns() const
{
    return std::max(1, width() / 150);
}

void TFileList::resizeEvent(QResizeEvent* event)
{
    QListWidget::resizeEvent(event);
    const QSize cell(std::max(1, viewport()->width() / Columns()), ItemHeight);
    for (int i = 0; i < count(); ++i)
        item(i)->setSizeHint(cell);
    doItemsLayout();
}

// ---- The window as the operations see it --------------------------------------------------

class TfmBitmap::TView : public IExplorerView {
public:
    explicit TView(TfmBitmap& form) : form_(form) {}

    std::string SelectedPath() const override { return form_.lbFile->FileName().toStdString(); }
    void ReloadFileList() override { form_.lbFile->Reload(); }
    void ClearSelection() override
    {
        const QSignalBlocker quiet(form_.lbFile);
        form_.lbFile->setCurrentRow(-1);
    }
    std::string SelectFileNamed(const std::string& name) override
    {
        const QString wanted = QString::fromStdString(name);
        for (int i = 0; i < form_.lbFile->count(); ++i)
            if (form_.lbFile->item(i)->text() == wanted) {
                const QSignalBlocker quiet(form_.lbFile);
                form_.lbFile->setCurrentRow(i);
                return form_.lbFile->FileName().toStdString();
            }
        return {};
    }
    void SavePreview(const std::string& fileName) override { form_.Img->SaveToFile(fileName); }
    void RepaintPreview() override { form_.Img->Repaint(); }
    std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& text) override
    {
        return form_.AskName(caption, prompt, text);
    }
    std::optional<int> AskQuality(int quality) override { return form_.AskQuality(quality); }

private:
    TfmBitmap& form_;
};

// ---- TfmBitmap -------------------------------------------------------------------------------

namespace {

struct TToolButtonRow {
    QToolButton* TfmBitmap::*Field;
    const char* Name;
    const char* Caption;
    bool Toggle;
    const char* Hint;
    int HelpContext;
};

const TToolButtonRow ToolButtonRows[] = {
    {&TfmBitmap::btSelect, "btSelect", "&Select", true,
     "Select Home Folder, where copied, moved and saved files will be placed", 201},
    {&TfmBitmap::btGoto, "btGoto", "&Goto", false, "Goto Home Dir or return to current dir", 202},
    {&TfmBitmap::btSwap, "btSwap", "&Swap", true,
     "Swap between horizontal and vertical arrangement of panels", 203},
    {&TfmBitmap::btWallpaper, "btWallpaper", " &Wallpaper", false,
     "Set current file as Windows Wallpaper", 204},
    {&TfmBitmap::btStretch, "btStretch", "&Fit", true,
     "Fill the image to window (does not affect bitmap files copied, moved or saved)", 205},
    {&TfmBitmap::btRename, "btRename", "&Rename", false,
     "Rename current file (works on Current Dir)", 206},
    {&TfmBitmap::btDelete, "btDelete", "&Delete", false, "Delete Graphic file", 207},
    {&TfmBitmap::btCopy, "btCopy", "&Copy", false, "Copy current file to the Home Folder", 208},
    {&TfmBitmap::btMove, "btMove", "&Move", false, "Move current file to the Home Folder", 209},
    {&TfmBitmap::btBMP, "btBMP", "&BMP", false, "Save current file as BMP (works in Save Dir)",
     210},
    {&TfmBitmap::btJPG, "btJPG", "&JPG", false, "Save current file as JPG (works in Save Dir)",
     211},
    {&TfmBitmap::btQuality, "btQuality", "&Quality", false, "Select the quality of JPG saved files",
     212},
    {&TfmBitmap::btConfig, "btConfig", "C&onfig", false, "Open the Configuration dialog", 218},
    {&TfmBitmap::btExit, "btExit", "E&xit", false, "Close the Bitmap Explorer", 213},
};

QWidget* Pane(QWidget* parent)
{
    auto* pane = new QWidget(parent);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return pane;
}

} // namespace

TfmBitmap::TfmBitmap(IPlatform& platform, bool gifPreview, std::function<void(int)> showHelp,
                     QWidget* parent)
    : QDialog(parent), platform_(platform), gifPreview_(gifPreview), showHelp_(std::move(showHelp)),
      view_(std::make_unique<TView>(*this)),
      ops_(std::make_unique<TExplorerOps>(state_, *view_, platform))
{
    setObjectName(QStringLiteral("fmBitmap"));
    setWindowTitle(QStringLiteral("Orlamby Bitmap Explorer"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    ReportError = [this](const QString& text) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Scenaria"), text, QMessageBox::Ok,
                        this);
        // The text may name a file: shown as it is spelt, never read as markup.
        box.setTextFormat(Qt::PlainText);
        box.exec();
    };
    AskName = [this](const std::string& caption, const std::string& prompt,
                     const std::string& text) -> std::optional<std::string> {
        QInputDialog box(this);
        box.setWindowTitle(QString::fromStdString(caption));
        box.setLabelText(QString::fromStdString(prompt));
        box.setTextValue(QString::fromStdString(text));
        if (auto* edit = box.findChild<QLineEdit*>())
            edit->setMaxLength(255);
        if (box.exec() != QDialog::Accepted)
            return std::nullopt;
        return box.textValue().toStdString();
    };
    AskQuality = [this](int quality) { return AskJpegQuality(this, quality); };
    CreateControls();
    FormCreate();
}

TfmBitmap::~TfmBitmap() = default;

void TfmBitmap::CreateControls()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(57);
    QFont small(QStringLiteral("Arial"));
    small.setPixelSize(10);
    Panel1->setFont(small);
    auto* bar = new QHBoxLayout(Panel1);
    bar->setContentsMargins(2, 3, 2, 4);
    bar->setSpacing(0);
    for (const TToolButtonRow& row : ToolButtonRows) {
        auto* button = new QToolButton(Panel1);
        button->setObjectName(QString::fromUtf8(row.Name));
        button->setText(QString::fromUtf8(row.Caption));
        button->setCheckable(row.Toggle);
        button->setToolTip(QString::fromUtf8(row.Hint));
        button->setFixedSize(row.Field == &TfmBitmap::btWallpaper ? 55 : 46, 50);
        button->setFocusPolicy(Qt::NoFocus);
        button->setIcon(ExplorerGlyph(button->objectName()));
        button->setIconSize(QSize(24, 24));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        SetHelpContext(button, row.HelpContext);
        bar->addWidget(button);
        this->*row.Field = button;
    }
    bar->addStretch(1);
    // F1, or this button and then a click, opens the help page of a control.
    btHelp = new THelpButton(Panel1);
    btHelp->setObjectName(QStringLiteral("btHelp"));
    btHelp->setFixedSize(22, 22);
    btHelp->OnHelp = [this](int context) {
        if (showHelp_)
            showHelp_(context);
    };
    bar->addWidget(btHelp, 0, Qt::AlignTop);
    outer->addWidget(Panel1);

    spVert = new QSplitter(Qt::Horizontal, this);
    spVert->setObjectName(QStringLiteral("spVert"));
    spVert->setHandleWidth(8);
    spVert->setOpaqueResize(false);
    spHor = new QSplitter(Qt::Vertical, spVert);
    spHor->setObjectName(QStringLiteral("spHor"));
    spHor->setHandleWidth(8);
    spHor->setOpaqueResize(false);
    SetHelpContext(spHor, 200);

    QWidget* dirPane = Pane(spHor);
    cbDrive = new TDriveList(dirPane);
    cbDrive->setFixedHeight(25);
    SetHelpContext(cbDrive, 214);
    lbDir = new TFolderList(dirPane);
    SetHelpContext(lbDir, 215);
    cbDrive->SetFolderList(lbDir);
    lbDir->SetDriveList(cbDrive);
    dirPane->layout()->addWidget(cbDrive);
    dirPane->layout()->addWidget(lbDir);

    QWidget* filePane = Pane(spHor);
    lbFile = new TFileList(filePane);
    lbFile->setObjectName(QStringLiteral("lbFile"));
    SetHelpContext(lbFile, 216);
    cbFilter = new TFileTypeList(filePane);
    cbFilter->setFixedHeight(25);
    SetHelpContext(cbFilter, 217);
    filePane->layout()->addWidget(lbFile);
    filePane->layout()->addWidget(cbFilter);
    spHor->addWidget(dirPane);
    spHor->addWidget(filePane);

    Img = new TPGImage(spVert);
    Img->setObjectName(QStringLiteral("Img"));
    Img->setFrameShape(QFrame::NoFrame);
    Img->SetCenter(true);
    Img->SetZoomFactor(1);
    Img->SetReadWarningAction(pgwaRaise);
    // A phone photo is previewed (and saved from here) the way it was taken.
    Img->SetAutoOrient(true);
    spVert->addWidget(spHor);
    spVert->addWidget(Img);
    // The lists may be narrower than the longest entry; the panes keep their bar positions.
    for (QComboBox* combo : {static_cast<QComboBox*>(cbDrive), static_cast<QComboBox*>(cbFilter)}) {
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(4);
        combo->setMinimumWidth(40);
    }
    lbDir->setMinimumWidth(40);
    lbFile->setMinimumWidth(40);
    Img->setMinimumWidth(40);
    MonitorPreview = new TMonitorPreview(Img);
    MonitorPreview->setObjectName(QStringLiteral("MonitorPreview"));
    MonitorPreview->hide();
    spVert->setSizes({110, DesignWidth - 118});
    spHor->setSizes({102, 200});

    laError = new QLabel(QStringLiteral("Scenaria cannot show GIF files"), Img);
    laError->setObjectName(QStringLiteral("laError"));
    laError->setFixedSize(230, 111);
    laError->setAlignment(Qt::AlignCenter);
    laError->setWordWrap(true);
    laError->setStyleSheet(
        QStringLiteral("color: red; font-weight: bold; font-size: 32px; font-family: Arial;"));
    laError->hide();
    outer->addWidget(spVert, 1);

    auto* status = new QWidget(this);
    status->setObjectName(QStringLiteral("Status"));
    SetHelpContext(status, 400);
    auto* panels = new QHBoxLayout(status);
    panels->setContentsMargins(2, 1, 2, 1);
    Status0 = new QLabel(status);
    Status1 = new QLabel(status);
    for (QLabel* panel : {Status0, Status1}) {
        // Paths and file names are shown as they are spelt, never read as markup.
        panel->setTextFormat(Qt::PlainText);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setMinimumWidth(1);
        panels->addWidget(panel, 1); // panel 0 always takes half the width
    }
    outer->addWidget(status);

    connect(lbFile, &QListWidget::currentRowChanged, this, [this] {
        if (lbFile->FileName().isEmpty())
            return;
        pickByClick_.PickedOnChange();
        lbFileClick();
    });
    // A press on a new entry has already picked it; any other click picks its entry again.
    connect(lbFile, &QListWidget::itemClicked, this, [this] {
        if (pickByClick_.Clicked())
            lbFileClick();
    });
    connect(cbFilter, &QComboBox::currentIndexChanged, this, &TfmBitmap::cbFilterChange);
    connect(lbDir, &TFolderList::FolderChanged, this, &TfmBitmap::lbDirChange);
    connect(spVert, &QSplitter::splitterMoved, this, &TfmBitmap::SplitResize);
    connect(spHor, &QSplitter::splitterMoved, this, &TfmBitmap::SplitResize);
    connect(btSelect, &QToolButton::clicked, this, &TfmBitmap::btSelectClick);
    connect(btGoto, &QToolButton::clicked, this, &TfmBitmap::btGotoClick);
    connect(btSwap, &QToolButton::clicked, this, &TfmBitmap::btSwapClick);
    connect(btStretch, &QToolButton::clicked, this, &TfmBitmap::btStretchClick);
    connect(btWallpaper, &QToolButton::clicked, this,
            [this] { Run(&TExplorerOps::btWallpaperClick); });
    connect(btRename, &QToolButton::clicked, this, [this] { Run(&TExplorerOps::btRenameClick); });
    connect(btDelete, &QToolButton::clicked, this, [this] { Run(&TExplorerOps::btDeleteClick); });
    connect(btCopy, &QToolButton::clicked, this, [this] { Run(&TExplorerOps::btCopyClick); });
    connect(btMove, &QToolButton::clicked, this, [this] { Run(&TExplorerOps::btMoveClick); });
    connect(btBMP, &QToolButton::clicked, this, [this] { Run(&TExplorerOps::btBMPClick); });
    connect(btJPG, &QToolButton::clicked, this, [this] { Run(&TExplorerOps::btJPGClick); });
    connect(btQuality, &QToolButton::clicked, this, [this] { Run(&TExplorerOps::btQualityClick); });
    connect(btConfig, &QToolButton::clicked, this, [this] { done(ResultConfig); });
    connect(btExit, &QToolButton::clicked, this, &QDialog::accept);
    // After any button but Select and Goto the arrow keys go on browsing the files.
    for (QToolButton* button : {btExit, btSwap, btStretch, btWallpaper, btRename, btDelete, btCopy,
                                btMove, btBMP, btJPG, btQuality, btConfig})
        connect(button, &QToolButton::released, lbFile, [this] { lbFile->setFocus(); });
    for (QToolButton* button : {btSelect, btGoto, btQuality})
        button->installEventFilter(this);
    Img->installEventFilter(this);
    lbFile->viewport()->installEventFilter(this);
}

void TfmBitmap::FormCreate()
{
    resize(DesignWidth, DesignHeight);
    setMinimumSize(DesignWidth, DesignHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setMaximumSize(screen->size().expandedTo(minimumSize()));
    {
        const QSignalBlocker quiet(cbFilter);
        cbFilter->SetFilter(QString::fromStdString(PictureFileTypeFilter()));
        cbFilter->SetItemIndex(Settings.FilesType);
    }
    cbFilterChange();
    // A folder that cannot be opened is told to the user once the window is up, and the list
    // stands at the nearest one that can, so that Home always exists.
    const QString start = QString::fromStdString(Settings.Directory);
    if (!lbDir->SetFolder(start)) {
        if (!Settings.Directory.empty())
            openingError_ = QString::fromStdString(FolderOpenError(Settings.Directory));
        lbDir->SetFolder(TFolderList::NearestOpenable(start));
    }
    lbFile->SetFolder(lbDir->Folder());
    ExplorerOpened(state_, lbDir->Folder().toStdString());
    opened_ = true;
    lbFile->setFocus();
    ShowStatus();
}

QString TfmBitmap::StatusText(int panel) const
{
    return (panel == 0 ? Status0 : Status1)->text();
}

void TfmBitmap::ShowStatus()
{
    Status0->setText(QString::fromStdString(state_.Status0));
    Status1->setText(QString::fromStdString(state_.Status1));
}

void TfmBitmap::Run(void (TExplorerOps::*operation)())
{
    try {
        ((*ops_).*operation)();
    } catch (const std::exception& error) {
        ReportError(QString::fromUtf8(error.what()));
    }
    ShowStatus();
}

void TfmBitmap::lbFileClick()
{
    const std::string path = lbFile->FileName().toStdString();
    if (path.empty())
        return;
    const QFileInfo entry(QString::fromStdString(path));
    const auto size = entry.exists() ? static_cast<std::uint64_t>(entry.size()) : 0;
    const TPickOutcome outcome = PickFile(
        state_, path, gifPreview_, size,
        [this](const std::string& file, int& width, int& height) {
            Img->SetFileName(file);
            const TPixelGraphic* picture = Img->PixelGraphic();
            width = picture ? picture->Width() : 0;
            height = picture ? picture->Height() : 0;
        },
        QLocale().groupSeparator().toStdString());
    if (outcome.ShowGifLabel) {
        Img->SetFileName({});
        MonitorPreview->hide();
        laError->show();
        btBMP->setEnabled(false);
        btJPG->setEnabled(false);
    } else {
        laError->hide();
        btBMP->setEnabled(true);
        btJPG->setEnabled(true);
        if (outcome.Loaded)
            btStretchClick();
        else
            MonitorPreview->hide();
    }
    ShowStatus();
}

void TfmBitmap::cbFilterChange()
{
    if (cbFilter->Count() > 0 && cbFilter->ItemIndex() < 0) {
        const QSignalBlocker quiet(cbFilter);
        cbFilter->SetItemIndex(cbFilter->Count() - 1);
    }
    lbFile->SetNameFilters(cbFilter->Count() > 0 ? cbFilter->NameFilters() : QStringList());
}

void TfmBitmap::lbDirChange()
{
    if (!opened_)
        return;
    const bool selectMode = btSelect->isChecked();
    if (!selectMode)
        lbFile->SetFolder(lbDir->Folder());
    ExplorerFolderChanged(state_, selectMode);
    ShowStatus();
}

void TfmBitmap::btSelectClick()
{
    if (btSelect->isChecked()) {
        lbDir->setStyleSheet(QStringLiteral("QListWidget { background: yellow; }"));
        SelectModeEntered(state_, lbDir->Folder().toStdString());
        btGoto->setEnabled(false);
        return;
    }
    lbDir->setStyleSheet({});
    // Attached again: going back shows that folder's files and, if it changed, clears.
    MoveFolderList(SelectModeLeft(state_, lbDir->Folder().toStdString()));
    btGoto->setEnabled(true);
}

void TfmBitmap::btGotoClick()
{
    MoveFolderList(GotoTarget(state_, lbDir->Folder().toStdString()));
}

void TfmBitmap::MoveFolderList(const std::string& target)
{
    const TFolderMove move = FolderMoveTo(target);
    if (!move.Folder.empty() && lbDir->Folder().toStdString() != move.Folder)
        lbDir->SetFolder(QString::fromStdString(move.Folder));
    // Outside Select mode the file list shows the folder list's folder, also when the list
    // could not go where it was sent and stayed.
    if (lbFile->Folder() != lbDir->Folder()) {
        lbFile->SetFolder(lbDir->Folder());
        ExplorerFolderChanged(state_, false);
    }
    if (!move.Error.empty())
        state_.Status1 = move.Error;
    ShowStatus();
}

void TfmBitmap::btSwapClick()
{
    if (spVert->orientation() == Qt::Vertical) {
        spVert->setOrientation(Qt::Horizontal);
        spHor->setOrientation(Qt::Vertical);
    } else {
        spHor->setOrientation(Qt::Horizontal);
        spVert->setOrientation(Qt::Vertical);
    }
    SplitResize();
}

void TMonitorPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x80, 0x80, 0x80));
    if (image_.isNull())
        return;
    const QSize size = image_.size().scaled(this->size(), Qt::KeepAspectRatio);
    const QRect box(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(box, image_);
}

void TfmBitmap::ShowMonitorPreview(const TPixelGraphic* picture)
{
    const std::vector<TMonitor> monitors = platform_.Monitors();
    if (!picture || !btStretch->isChecked() || !ComposesPerMonitor(monitors)) {
        MonitorPreview->hide();
        return;
    }
    try {
        TPixelGraphic bitmap;
        ComposePrimaryMonitor(monitors, *picture, bitmap);
        MonitorPreview->SetImage(ToQImage(bitmap));
    } catch (const std::exception&) {
        MonitorPreview->hide();
        return;
    }
    MonitorPreview->setGeometry(Img->rect());
    MonitorPreview->show();
    MonitorPreview->raise();
}

void TfmBitmap::btStretchClick()
{
    // Several monitors (or Fill, or a letterbox colour): the pane shows what the primary
    // monitor would, composed by the program itself.
    ShowMonitorPreview(Img->FileName().empty() ? nullptr : Img->PixelGraphic());
    if (Img->FileName().empty())
        return;
    const TPixelGraphic* picture = Img->PixelGraphic();
    const TFitChoice fit =
        FitChoice(btStretch->isChecked(), Settings, picture ? picture->Width() : 0,
                  picture ? picture->Height() : 0);
    Img->SetStretch(fit.Stretch);
    Img->SetTiling(fit.Tiling);
    Img->SetStretchMode(fit.Mode);
}

void TfmBitmap::SplitResize()
{
    // The lists size their own columns on resize; the side lists follow through the layout.
}

bool TfmBitmap::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lbFile->viewport()) {
        if (event->type() == QEvent::MouseButtonPress)
            pickByClick_.Pressed();
        return QDialog::eventFilter(watched, event);
    }
    if (watched == Img) {
        if (event->type() == QEvent::Resize && MonitorPreview)
            MonitorPreview->setGeometry(Img->rect());
        if (event->type() == QEvent::Resize)
            laError->move((Img->width() - laError->width()) / 2,
                          (Img->height() - laError->height()) / 2);
        return QDialog::eventFilter(watched, event);
    }
    if (event->type() == QEvent::Enter) {
        if (watched == btSelect)
            SelectHintShown(state_);
        else if (watched == btGoto)
            GotoHintShown(state_, lbDir->Folder().toStdString());
        else if (watched == btQuality)
            QualityHintShown(state_);
        ShowStatus();
    } else if (event->type() == QEvent::Leave) {
        HintLeft(state_);
        ShowStatus();
    }
    return QDialog::eventFilter(watched, event);
}

void TfmBitmap::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    laError->move((Img->width() - laError->width()) / 2, (Img->height() - laError->height()) / 2);
}

void TfmBitmap::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        if (!openingError_.isEmpty())
            QTimer::singleShot(0, this, [this, text = std::exchange(openingError_, QString())] {
                ReportError(text);
            });
        // Once the window has its size, the bars go to their places.
        QTimer::singleShot(0, this, [this] {
            spVert->setSizes({110, std::max(1, spVert->width() - 118)});
            spHor->setSizes({102, std::max(1, spHor->height() - 110)});
        });
    }
}

void TfmBitmap::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // Minimising closes the Explorer as Exit does; the window is hidden rather than left
    // minimised, and the request is answered once.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
        !closingByMinimise_) {
        closingByMinimise_ = true;
        QTimer::singleShot(0, this, [this] {
            accept();
            setWindowState(windowState() & ~Qt::WindowMinimized);
            closingByMinimise_ = false;
        });
    }
}

} // namespace scenaria
