#pragma once
// T3DButton: a push button drawn as a raised block that sinks while it is pressed.

#include <QPushButton>

namespace scenaria {

class T3DButton : public QPushButton {
    Q_OBJECT
public:
    explicit T3DButton(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace scenaria
