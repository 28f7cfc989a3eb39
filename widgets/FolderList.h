#pragma once
// The controls that choose a folder: the drive list (the places a folder tree starts from),
// the folder list (the open folder's ancestors and its subfolders) and the label under it that
// shows the open folder's path. Linked together, choosing a drive opens its top folder and
// opening a folder shows its drive.

#include <QComboBox>
#include <QListWidget>
#include <QPointer>
#include <QWidget>

namespace scenaria {

class TFolderList;

class TDriveList : public QComboBox {
    Q_OBJECT
public:
    // Filled with AvailableDrives().
    explicit TDriveList(QWidget* parent = nullptr);

    // "/", the home folder and the mounted volumes the user can browse (removable media,
    // network shares, other disks), each once, in that order.
    static QStringList AvailableDrives();

    void SetDrives(const QStringList& roots);
    QStringList Drives() const;

    // The chosen drive's top folder, empty without a choice.
    QString Drive() const;
    // Chooses the drive whose top folder is root; returns false when it is not in the list.
    bool SetDrive(const QString& root);
    // The drive that holds a path: the one with the longest top folder that contains it.
    QString DriveOf(const QString& path) const;

    // Opening a drive opens the folder list at its top folder; the folder list shows its
    // folder's drive here.
    void SetFolderList(TFolderList* folders);

signals:
    // A drive chosen by the user.
    void DriveChosen(const QString& root);

private:
    QPointer<TFolderList> folders_;
};

// The path of a folder, centred, shortened in the middle when it does not fit.
class TPathLabel : public QWidget {
    Q_OBJECT
public:
    explicit TPathLabel(QWidget* parent = nullptr);
    QString Path() const { return path_; }
    void SetPath(const QString& path);
    // What is drawn for the present width.
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString path_;
};

class TFolderList : public QListWidget {
    Q_OBJECT
public:
    static constexpr int ItemHeight = 17;

    explicit TFolderList(QWidget* parent = nullptr);

    // Opens a folder: lists its ancestors, itself and its subfolders (hidden ones left out).
    // Returns false, leaving the list as it was, when the folder cannot be listed.
    bool SetFolder(const QString& path);
    // The open folder as a full path.
    QString Folder() const { return folder_; }
    // The folder an item stands for.
    static QString FolderOf(const QListWidgetItem* item);
    // The subfolders shown, by name.
    QStringList Subfolders() const;

    void SetLabel(TPathLabel* label);
    void SetDriveList(TDriveList* drives);

    // The nearest folder at or above path that can be listed; else the home folder; else "/".
    static QString NearestOpenable(const QString& path);
    // True when a folder exists and may be listed and entered.
    static bool CanOpen(const QString& path);

signals:
    // Every change of the open folder, by the user or by SetFolder.
    void FolderChanged(const QString& folder);
    // A folder opened by the user (double click or Enter on an item).
    void FolderChosen(const QString& folder);

private:
    void Fill();

    QString folder_;
    QPointer<TPathLabel> label_;
    QPointer<TDriveList> drives_;
};

// The list of file types a folder's files are filtered by, given as the usual filter text
// "name|patterns|name|patterns|...". Each entry shows its name with its patterns.
class TFileTypeList : public QComboBox {
    Q_OBJECT
public:
    explicit TFileTypeList(QWidget* parent = nullptr);

    void SetFilter(const QString& filter);
    int Count() const { return count(); }

    // -1 when nothing is chosen.
    int ItemIndex() const { return currentIndex(); }
    // A value outside the list leaves it without a choice.
    void SetItemIndex(int index);

    // The chosen entry's patterns ("*.bmp;*.dib"), and the same split for a folder listing;
    // empty without a choice.
    QString Mask() const;
    QStringList NameFilters() const;

private:
    QStringList masks_;
};

} // namespace scenaria
