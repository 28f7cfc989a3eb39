#pragma once
// TRadioGroup: a frame of radio buttons, one per item, laid out in columns, of which at most one
// is chosen; ItemIndex -1 means none is.

#include <QButtonGroup>
#include <QFrame>
#include <QRadioButton>

namespace scenaria {

class TRadioGroup : public QFrame {
    Q_OBJECT
public:
    explicit TRadioGroup(QWidget* parent = nullptr);

    void SetItems(const QStringList& items);
    QStringList Items() const;
    int Count() const { return static_cast<int>(buttons_->buttons().size()); }
    QRadioButton* Button(int index) const;

    // Items are filled column by column from the left.
    void SetColumns(int columns);
    // Height of one item; 0 spreads the items over the frame's height.
    void SetItemHeight(int height);

    int ItemIndex() const;
    // A value outside the items leaves none chosen.
    void SetItemIndex(int index);

signals:
    // Every change of ItemIndex, by the user or by SetItemIndex.
    void ItemIndexChanged(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Arrange();

    QButtonGroup* buttons_;
    int columns_ = 1;
    int itemHeight_ = 0;
    int index_ = -1;
};

} // namespace scenaria
