#include "widgets/FolderList.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QStorageInfo>
#include <QStyle>

namespace scenaria {

namespace {

QString Clean(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// True when folder is root itself or lies below it.
bool Contains(const QString& root, const QString& folder)
{
    if (folder == root)
        return true;
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    return folder.startsWith(prefix);
}

// Volumes a user browses: removable media, network shares, other disks. The system's own
// mounts (/proc, /sys, /run, /boot, ...) and read-only images of snaps are left out.
bool UserVolume(const QStorageInfo& volume, const QString& home)
{
    const QString root = volume.rootPath();
    if (!volume.isValid() || !volume.isReady() || root == QLatin1String("/"))
        return false;
    for (const char* place : {"/media/", "/mnt/", "/run/media/"})
        if (root.startsWith(QLatin1String(place)))
            return true;
    return Contains(home, root) && root != home;
}

} // namespace

// --- TDriveList -----------------------------------------------------------------------------

TDriveList::TDriveList(QWidget* parent) : QComboBox(parent)
{
    SetDrives(AvailableDrives());
    connect(this, &QComboBox::activated, this, [this](int index) {
        const QString root = itemData(index).toString();
        if (folders_ && !folders_->SetFolder(root))
            SetDrive(DriveOf(folders_->Folder()));
        emit DriveChosen(root);
    });
}

QStringList TDriveList::AvailableDrives()
{
    const QString home = Clean(QDir::homePath());
    QStringList roots{QStringLiteral("/")};
    if (!roots.contains(home))
        roots << home;
    QStringList volumes;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = Clean(volume.rootPath());
        if (UserVolume(volume, home) && TFolderList::CanOpen(root) && !roots.contains(root) &&
            !volumes.contains(root))
            volumes << root;
    }
    volumes.sort();
    return roots + volumes;
}

void TDriveList::SetDrives(const QStringList& roots)
{
    const QString home = Clean(QDir::homePath());
    const QIcon driveIcon = style()->standardIcon(QStyle::SP_DriveHDIcon);
    const QIcon homeIcon = style()->standardIcon(QStyle::SP_DirHomeIcon);
    clear();
    for (const QString& root : roots) {
        const QString clean = Clean(root);
        QString shown = clean;
        if (clean == home)
            shown = QStringLiteral("Home (%1)").arg(clean);
        else if (clean != QLatin1String("/")) {
            const QString name = QStorageInfo(clean).displayName();
            if (!name.isEmpty() && name != clean)
                shown = QStringLiteral("%1 [%2]").arg(clean, name);
        }
        addItem(clean == home ? homeIcon : driveIcon, shown, clean);
    }
}

QStringList TDriveList::Drives() const
{
    QStringList roots;
    for (int i = 0; i < count(); ++i)
        roots << itemData(i).toString();
    return roots;
}

QString TDriveList::Drive() const
{
    return currentIndex() < 0 ? QString() : currentData().toString();
}

bool TDriveList::SetDrive(const QString& root)
{
    const int index = findData(Clean(root));
    if (index < 0)
        return false;
    setCurrentIndex(index);
    return true;
}

QString TDriveList::DriveOf(const QString& path) const
{
    const QString folder = Clean(path);
    QString best;
    for (const QString& root : Drives())
        if (Contains(root, folder) && root.size() > best.size())
            best = root;
    return best;
}

void TDriveList::SetFolderList(TFolderList* folders)
{
    if (folders_ == folders)
        return;
    folders_ = folders;
    if (folders)
        folders->SetDriveList(this);
}

// --- TPathLabel -----------------------------------------------------------------------------

TPathLabel::TPathLabel(QWidget* parent) : QWidget(parent)
{
}

void TPathLabel::SetPath(const QString& path)
{
    if (path == path_)
        return;
    path_ = path;
    update();
}

QString TPathLabel::ShownText() const
{
    return fontMetrics().elidedText(path_, Qt::ElideMiddle, width() - 2);
}

void TPathLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignCenter, ShownText());
}

// --- TFolderList ----------------------------------------------------------------------------

TFolderList::TFolderList(QWidget* parent) : QListWidget(parent)
{
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const QString folder = FolderOf(item);
        if (folder != folder_ && SetFolder(folder))
            emit FolderChosen(folder_);
    });
}

bool TFolderList::CanOpen(const QString& path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.isDir() && info.isReadable() && info.isExecutable();
}

QString TFolderList::NearestOpenable(const QString& path)
{
    if (!path.isEmpty()) {
        QString folder = Clean(path);
        for (;;) {
            if (CanOpen(folder))
                return folder;
            const QString parent = QFileInfo(folder).path();
            if (parent == folder)
                break;
            folder = parent;
        }
    }
    const QString home = Clean(QDir::homePath());
    return CanOpen(home) ? home : QStringLiteral("/");
}

bool TFolderList::SetFolder(const QString& path)
{
    if (!CanOpen(path))
        return false;
    const QString folder = Clean(path);
    const bool changed = folder != folder_;
    folder_ = folder;
    Fill();
    if (label_)
        label_->SetPath(folder_);
    if (drives_)
        drives_->SetDrive(drives_->DriveOf(folder_));
    if (changed)
        emit FolderChanged(folder_);
    return true;
}

QString TFolderList::FolderOf(const QListWidgetItem* item)
{
    return item ? item->data(Qt::UserRole).toString() : QString();
}

QStringList TFolderList::Subfolders() const
{
    QStringList names;
    for (int i = 0; i < count(); ++i)
        if (item(i)->data(Qt::UserRole + 1).toBool())
            names << QFileInfo(FolderOf(item(i))).fileName();
    return names;
}

void TFolderList::Fill()
{
    clear();
    // The path from the top of the tree down to the open folder, each one step further in.
    QStringList chain;
    for (QString folder = folder_;;) {
        chain.prepend(folder);
        const QString parent = QFileInfo(folder).path();
        if (parent == folder)
            break;
        folder = parent;
    }
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const auto add = [this](const QIcon& icon, const QString& name, const QString& path, int depth,
                            bool subfolder) {
        auto* item = new QListWidgetItem(icon, QString(depth * 2, QLatin1Char(' ')) + name, this);
        item->setData(Qt::UserRole, path);
        item->setData(Qt::UserRole + 1, subfolder);
        item->setSizeHint(QSize(0, ItemHeight));
    };
    for (int depth = 0; depth < chain.size(); ++depth) {
        const QString& folder = chain[depth];
        add(open, depth == 0 ? folder : QFileInfo(folder).fileName(), folder, depth, false);
    }
    setCurrentRow(count() - 1);
    const QDir dir(folder_);
    for (const QString& name :
         dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase))
        add(closed, name, dir.filePath(name), static_cast<int>(chain.size()), true);
}

void TFolderList::SetLabel(TPathLabel* label)
{
    label_ = label;
    if (label_)
        label_->SetPath(folder_);
}

void TFolderList::SetDriveList(TDriveList* drives)
{
    if (drives_ == drives)
        return;
    drives_ = drives;
    if (!drives)
        return;
    drives->SetFolderList(this);
    if (!folder_.isEmpty())
        drives->SetDrive(drives->DriveOf(folder_));
}

// --- TFileTypeList --------------------------------------------------------------------------

TFileTypeList::TFileTypeList(QWidget* parent) : QComboBox(parent)
{
}

void TFileTypeList::SetFilter(const QString& filter)
{
    clear();
    masks_.clear();
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        addItem(QStringLiteral("%1 (%2)").arg(parts[i], parts[i + 1]));
        masks_ << parts[i + 1];
    }
    setCurrentIndex(-1);
}

void TFileTypeList::SetItemIndex(int index)
{
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

QString TFileTypeList::Mask() const
{
    const int index = currentIndex();
    return index >= 0 && index < masks_.size() ? masks_[index] : QString();
}

QStringList TFileTypeList::NameFilters() const
{
    return Mask().split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

} // namespace scenaria
