#pragma once
// TfmConfig: the configuration dialog, in which every setting is edited. It loads its controls
// from Settings when it is made; OK and Explore store them back and write the settings file;
// closing it any other way stores nothing.

#include "ui/ConfigModel.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QFrame;
class QLabel;
class QRadioButton;

namespace scenaria {

class T3DButton;
class TDriveList;
class TFileTypeList;
class TFolderList;
class THelpButton;
class TPathLabel;
class TRadioGroup;
class TRotaryKnob;
class TSpinEdit;

class TfmConfig : public QDialog {
    Q_OBJECT
public:
    // comReady: the desktop takes picture files, so that "Use Active Desktop" can be used.
    // showHelp opens the help page of a help context number.
    TfmConfig(bool comReady, std::function<void(int helpContext)> showHelp,
              QWidget* parent = nullptr);
    ~TfmConfig() override;

    // Fixed size of the window's inside.
    static constexpr int ClientWidth = 592;
    static constexpr int ClientHeight = 373;

    // What the controls hold now, and loading them.
    TConfigModel Model() const;
    void ShowModel(const TConfigModel& model);

    // Button handlers.
    void btOkClick();
    void btBrowseClick();
    // Opens "More settings" on what this window holds; what its OK hands back is stored by this
    // window's OK.
    void btMoreClick();
    void cbStretchClick();
    void rgTileorCenterClick();

    // How an error of writing the settings, or a folder that cannot be opened, reaches the
    // user; tests replace it.
    std::function<void(const QString& text)> ReportError;

    // The controls.
    QLabel* laTitle = nullptr;
    THelpButton* btHelp = nullptr;
    QFrame* paDir = nullptr;
    TDriveList* cbDrive = nullptr;
    TFolderList* Dirs = nullptr;
    TPathLabel* laDir = nullptr;
    QCheckBox* cbSubfolders = nullptr;
    QFrame* paMethod = nullptr;
    QRadioButton* rbSecuential = nullptr;
    QRadioButton* rbRandom = nullptr;
    QCheckBox* cbRunOnStart = nullptr;
    QFrame* paDelay = nullptr;
    TRotaryKnob* rkHours = nullptr;
    QLabel* laHours = nullptr;
    TRotaryKnob* rkMinutes = nullptr;
    QLabel* laMinutes = nullptr;
    QCheckBox* cbRandom = nullptr;
    QFrame* paKind = nullptr;
    TFileTypeList* cbFilter = nullptr;
    QFrame* paSize = nullptr;
    TRadioGroup* rgTileorCenter = nullptr;
    QFrame* paSelSize = nullptr;
    TSpinEdit* seMinW = nullptr;
    TSpinEdit* seMinH = nullptr;
    QCheckBox* cbStretch = nullptr;
    QCheckBox* cbProportional = nullptr;
    QFrame* Panel1 = nullptr;
    QCheckBox* cbActive = nullptr;
    QCheckBox* cbHints = nullptr;
    TRadioGroup* rgTrayHint = nullptr;
    T3DButton* btOk = nullptr;
    T3DButton* btBrowse = nullptr;
    T3DButton* btMore = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void CreateMoreButton();
    void FormCreate();
    void StoreAndSave();
    void ReportOpeningError();

    bool comReady_;
    std::function<void(int)> showHelp_;
    // The folder as the settings name it, kept until the folder list opens a folder of its
    // own accord or the user's: a folder that could not be opened is not replaced by where the
    // list fell back to.
    std::string loadedDirectory_;
    bool folderFromList_ = false;
    // Why the stored folder could not be opened, until the user has been told.
    QString openingError_;
    bool centred_ = false;
    TMoreSettings more_;
};

} // namespace scenaria
