#include "widgets/RadioGroup.h"

#include <algorithm>

namespace scenaria {

TRadioGroup::TRadioGroup(QWidget* parent) : QFrame(parent), buttons_(new QButtonGroup(this))
{
    connect(buttons_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked && id != index_) {
            index_ = id;
            emit ItemIndexChanged(index_);
        }
    });
}

void TRadioGroup::SetItems(const QStringList& items)
{
    for (QAbstractButton* button : buttons_->buttons()) {
        buttons_->removeButton(button);
        delete button;
    }
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        buttons_->addButton(button, i);
        button->show();
    }
    const bool changed = index_ != -1;
    index_ = -1;
    Arrange();
    if (changed)
        emit ItemIndexChanged(-1);
}

QStringList TRadioGroup::Items() const
{
    QStringList items;
    for (int i = 0; i < Count(); ++i)
        items << Button(i)->text();
    return items;
}

QRadioButton* TRadioGroup::Button(int index) const
{
    return static_cast<QRadioButton*>(buttons_->button(index));
}

void TRadioGroup::SetColumns(int columns)
{
    columns_ = std::max(1, columns);
    Arrange();
}

void TRadioGroup::SetItemHeight(int height)
{
    itemHeight_ = std::max(0, height);
    Arrange();
}

int TRadioGroup::ItemIndex() const
{
    return index_;
}

void TRadioGroup::SetItemIndex(int index)
{
    if (index < 0 || index >= Count())
        index = -1;
    if (index == index_)
        return;
    if (index < 0) {
        // An exclusive group never lets its last checked button go by itself.
        buttons_->setExclusive(false);
        for (QAbstractButton* button : buttons_->buttons())
            button->setChecked(false);
        buttons_->setExclusive(true);
        index_ = -1;
        emit ItemIndexChanged(-1);
        return;
    }
    Button(index)->setChecked(true);
}

void TRadioGroup::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    Arrange();
}

void TRadioGroup::Arrange()
{
    const int count = Count();
    if (count == 0)
        return;
    const QRect area = contentsRect().adjusted(4, 2, -2, -2);
    const int rows = (count + columns_ - 1) / columns_;
    const int height = itemHeight_ > 0 ? itemHeight_ : std::max(1, area.height() / rows);
    const int width = std::max(1, area.width() / columns_);
    for (int i = 0; i < count; ++i)
        Button(i)->setGeometry(area.left() + (i / rows) * width, area.top() + (i % rows) * height,
                               width, height);
}

} // namespace scenaria
