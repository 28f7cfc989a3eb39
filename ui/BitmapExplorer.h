#pragma once
// TfmBitmap: the Bitmap Explorer, a modal picture browser with a preview and buttons that act
// on the picture shown. What the buttons do lives in ui/ExplorerOps.h and ui/ExplorerModel.h;
// this window moves their results into its lists, viewer and status bar.

#include "ui/ExplorerModel.h"
#include "ui/ExplorerOps.h"

#include <QDialog>
#include <QImage>
#include <QListWidget>

#include <functional>
#include <memory>

class QLabel;
class QSplitter;
class QToolButton;

namespace scenaria {

class IPlatform;
class TDriveList;
class TFileTypeList;
class TFolderList;
class TPGImage;
class TPixelGraphic;
class THelpButton;

// The files of one folder that match a mask, in columns of 150 pixels.
class TFileList : public QListWidget {
    Q_OBJECT
public:
    static constexpr int ItemHeight = 18;
    explicit TFileList(QWidget* parent = nullptr);
    void SetFolder(const QString& folder);
    QString Folder() const { return folder_; }
    // Patterns such as "*.bmp"; an empty list shows every file.
    void SetNameFilters(const QStringList& filters);
    // Reads the folder again, keeping a selected name that is still listed.
    void Reload();
    // Full path of the selected entry; empty when none.
    QString FileName() const;
    // Columns for the present width: one per 150 pixels, at least one.
    int Columns() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QString folder_;
    QStringList filters_;
};

// What the primary monitor would show of the picture, scaled into the preview pane.
class TMonitorPreview : public QWidget {
public:
    using QWidget::QWidget;
    void SetImage(QImage image)
    {
        image_ = std::move(image);
        update();
    }
    const QImage& Image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
};

class TfmBitmap : public QDialog {
    Q_OBJECT
public:
    // gifPreview: the program was started with "/gif". showHelp opens a help context.
    TfmBitmap(IPlatform& platform, bool gifPreview, std::function<void(int)> showHelp,
              QWidget* parent = nullptr);
    ~TfmBitmap() override;

    static constexpr int DesignWidth = 585;
    static constexpr int DesignHeight = 370;
    static constexpr int ResultConfig = 4;

    // The Explorer's fields (FHomeDir, FReturnDir, FCurrentFile, FSavedStatus, FQuality) and
    // the texts of its status panels.
    const TExplorerState& State() const { return state_; }
    QString StatusText(int panel) const;

    // Handlers.
    void lbFileClick();
    void cbFilterChange();
    void lbDirChange();
    void btSelectClick();
    void btGotoClick();
    void btSwapClick();
    void btStretchClick();
    void SplitResize();

    // How an error of Save as JPEG, or a folder that cannot be opened, reaches the user; tests
    // replace it.
    std::function<void(const QString& text)> ReportError;
    // The input box and the quality dialog; tests replace them.
    std::function<std::optional<std::string>(const std::string&, const std::string&,
                                             const std::string&)>
        AskName;
    std::function<std::optional<int>(int)> AskQuality;

    // The controls.
    QWidget* Panel1 = nullptr;
    QToolButton* btSelect = nullptr;
    QToolButton* btGoto = nullptr;
    QToolButton* btSwap = nullptr;
    QToolButton* btWallpaper = nullptr;
    TMonitorPreview* MonitorPreview = nullptr; // over Img while Fit shows a monitor's bitmap
    QToolButton* btStretch = nullptr;
    QToolButton* btRename = nullptr;
    QToolButton* btDelete = nullptr;
    QToolButton* btCopy = nullptr;
    QToolButton* btMove = nullptr;
    QToolButton* btBMP = nullptr;
    QToolButton* btJPG = nullptr;
    QToolButton* btQuality = nullptr;
    QToolButton* btConfig = nullptr;
    QToolButton* btExit = nullptr;
    THelpButton* btHelp = nullptr;
    QSplitter* spVert = nullptr;
    QSplitter* spHor = nullptr;
    TDriveList* cbDrive = nullptr;
    TFolderList* lbDir = nullptr;
    TFileList* lbFile = nullptr;
    TFileTypeList* cbFilter = nullptr;
    TPGImage* Img = nullptr;
    QLabel* laError = nullptr;
    QLabel* Status0 = nullptr;
    QLabel* Status1 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class TView;
    void CreateControls();
    void FormCreate();
    void ShowStatus();
    // Sends the folder list, with the file list, to a folder or, when that cannot be opened,
    // above it, saying why in the status bar.
    void MoveFolderList(const std::string& target);
    void Run(void (TExplorerOps::*operation)());

    void ShowMonitorPreview(const TPixelGraphic* picture);
    IPlatform& platform_;
    bool gifPreview_;
    std::function<void(int)> showHelp_;
    TExplorerState state_;
    std::unique_ptr<TView> view_;
    std::unique_ptr<TExplorerOps> ops_;
    bool opened_ = false;
    bool closingByMinimise_ = false;
    bool shownOnce_ = false;
    TPickByClick pickByClick_;
    QString openingError_; // why the stored folder could not be opened, until told
};

} // namespace scenaria
