#include "widgets/SpinEdit.h"

#include <QLineEdit>

#include <algorithm>
#include <climits>

namespace scenaria {

TSpinEdit::TSpinEdit(QWidget* parent) : QAbstractSpinBox(parent)
{
    setAccelerated(true);
    SetValue(0);
}

void TSpinEdit::SetRange(int minValue, int maxValue)
{
    min_ = minValue;
    max_ = std::max(minValue, maxValue);
}

int TSpinEdit::ReadValue(const QString& text, int minValue)
{
    const QString trimmed = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < trimmed.size() && (trimmed[i] == QLatin1Char('-') || trimmed[i] == QLatin1Char('+')))
        negative = trimmed[i++] == QLatin1Char('-');
    if (i == trimmed.size())
        return minValue;
    long long value = 0;
    for (; i < trimmed.size(); ++i) {
        const QChar c = trimmed[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return minValue;
        value = std::min<long long>(value * 10 + (c.unicode() - '0'), 1LL << 40);
    }
    return static_cast<int>(std::clamp<long long>(negative ? -value : value, INT_MIN, INT_MAX));
}

int TSpinEdit::Value() const
{
    return ReadValue(text(), min_);
}

void TSpinEdit::SetValue(int value)
{
    lineEdit()->setText(QString::number(std::clamp(value, min_, max_)));
}

void TSpinEdit::stepBy(int steps)
{
    SetValue(static_cast<int>(
        std::clamp<long long>(static_cast<long long>(Value()) + steps, min_, max_)));
    selectAll();
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const
{
    if (isReadOnly())
        return StepNone;
    const int value = Value();
    StepEnabled enabled = StepNone;
    if (value < max_)
        enabled |= StepUpEnabled;
    if (value > min_)
        enabled |= StepDownEnabled;
    return enabled;
}

void TSpinEdit::focusOutEvent(QFocusEvent* event)
{
    QAbstractSpinBox::focusOutEvent(event);
    SetValue(Value());
}

} // namespace scenaria
