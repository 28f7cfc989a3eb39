#pragma once
// TfmQuality: the small window in which the quality of the Explorer's JPEG saves is chosen.
// It holds nothing beyond its controls; the caller sets the track bar and reads it back.

#include <QDialog>

#include <optional>

class QLabel;
class QSlider;

namespace scenaria {

class T3DButton;

class TfmQuality : public QDialog {
    Q_OBJECT
public:
    explicit TfmQuality(QWidget* parent = nullptr);

    static constexpr int ClientWidth = 261;
    static constexpr int ClientHeight = 128;

    // The label follows the track bar.
    void tbQualityChange();

    QLabel* laQuality = nullptr;
    QSlider* tbQuality = nullptr;
    QLabel* laMin = nullptr;
    QLabel* laMax = nullptr;
    T3DButton* btOk = nullptr;
    T3DButton* btCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};

// Opens the dialog modally at the quality (clamped to 0..100): the chosen quality after OK,
// nothing after Cancel or the close button.
std::optional<int> AskJpegQuality(QWidget* owner, int quality);

} // namespace scenaria
