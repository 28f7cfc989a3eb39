#pragma once
// TSpinEdit: a number field with up and down arrows. Whatever is typed stays until the field
// loses the focus, and only then is brought into range; reading it meanwhile gives the number
// typed, or the minimum when the text is not a number.

#include <QAbstractSpinBox>

namespace scenaria {

class TSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    int MinValue() const { return min_; }
    int MaxValue() const { return max_; }
    void SetRange(int minValue, int maxValue);

    int Value() const;
    // Shows value brought into range.
    void SetValue(int value);

    // The reading rule: an optional sign and decimal digits (blanks around them allowed) give
    // their number, beyond the ends of int the nearest end; anything else gives minValue.
    static int ReadValue(const QString& text, int minValue);

    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int min_ = 0;
    int max_ = 100;
};

} // namespace scenaria
