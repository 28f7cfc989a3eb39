#pragma once
// TfmAbout: the About box with the program's name and version.

#include <QDialog>

class QLabel;

namespace scenaria {

class TfmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfmAbout(QWidget* parent = nullptr);

    QLabel* Label3d2 = nullptr;
    QLabel* laVersion = nullptr;

private:
    void FormCreate();
};

} // namespace scenaria
