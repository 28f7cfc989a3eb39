#pragma once
// TfmAbout: the About box with the program's name, version and animated banner.

#include <QDialog>

class QFrame;
class QLabel;

namespace scenaria {

class TGIFImageControl;

class TfmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfmAbout(QWidget* parent = nullptr);

    QLabel* Label3d2 = nullptr;
    QLabel* laVersion = nullptr;
    QFrame* Panel1 = nullptr;
    // Shows the banner stored with the program; its painter animates it while the box is open.
    TGIFImageControl* Image1 = nullptr;

private:
    void FormCreate();
};

} // namespace scenaria
