#pragma once
// TfmMoreSettings: the small window behind the configuration dialog's "More…" button, for the
// settings of several monitors, filling the monitor and the colour around a picture. It edits a
// copy: OK hands the copy back to the configuration dialog, whose own OK stores it with every
// other setting, so that cancelling either window leaves the settings as they were.

#include "ui/ConfigModel.h"

#include <QDialog>

#include <functional>
#include <optional>

class QCheckBox;
class QFrame;

namespace scenaria {

class T3DButton;
class THelpButton;
class TRadioGroup;

class TfmMoreSettings : public QDialog {
    Q_OBJECT
public:
    // showHelp opens the help page of a help context number.
    explicit TfmMoreSettings(std::function<void(int helpContext)> showHelp,
                             QWidget* parent = nullptr);
    ~TfmMoreSettings() override;

    static constexpr int ClientWidth = 300;
    static constexpr int ClientHeight = 216;

    // What the controls hold now, and loading them.
    TMoreSettings Model() const;
    void ShowModel(const TMoreSettings& model);

    // Opens the colour dialog at the background colour; the chosen one shows in the swatch.
    void btBackgroundClick();

    QFrame* paMonitors = nullptr;
    TRadioGroup* rgMonitors = nullptr;
    QFrame* paFit = nullptr;
    QCheckBox* cbFill = nullptr;
    T3DButton* btBackground = nullptr;
    QFrame* paSwatch = nullptr;
    THelpButton* btHelp = nullptr;
    T3DButton* btOk = nullptr;
    T3DButton* btCancel = nullptr;

private:
    void CreateControls();
    void CreateButtons();
    void ShowBackground();

    std::function<void(int)> showHelp_;
    std::uint32_t background_ = 0; // 0x00RRGGBB: no control holds it but the swatch's colour
};

// Opens the window modally on these values: what it holds after OK, nothing after Cancel, Escape
// or the close button.
std::optional<TMoreSettings> AskMoreSettings(QWidget* owner, const TMoreSettings& settings,
                                             std::function<void(int helpContext)> showHelp);

} // namespace scenaria
