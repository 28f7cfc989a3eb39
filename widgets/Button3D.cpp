#include "widgets/Button3D.h"

#include <QPainter>

namespace scenaria {

T3DButton::T3DButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
}

void T3DButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& colours = palette();
    const QRect r = rect();
    const bool down = isDown() || isChecked();
    painter.fillRect(r, colours.color(QPalette::Button));

    // Two rings of bevel: light above and left, dark below and right; the other way round
    // while pressed.
    const QColor outerLight =
        down ? colours.color(QPalette::Shadow) : colours.color(QPalette::Light);
    const QColor outerDark =
        down ? colours.color(QPalette::Light) : colours.color(QPalette::Shadow);
    const QColor innerLight =
        down ? colours.color(QPalette::Dark) : colours.color(QPalette::Midlight);
    const QColor innerDark =
        down ? colours.color(QPalette::Midlight) : colours.color(QPalette::Dark);
    const auto ring = [&painter](QRect box, const QColor& light, const QColor& dark) {
        painter.setPen(light);
        painter.drawLine(box.topLeft(), box.topRight());
        painter.drawLine(box.topLeft(), box.bottomLeft());
        painter.setPen(dark);
        painter.drawLine(box.bottomLeft(), box.bottomRight());
        painter.drawLine(box.topRight(), box.bottomRight());
    };
    ring(r, outerLight, outerDark);
    ring(r.adjusted(1, 1, -1, -1), innerLight, innerDark);

    const QRect textBox = r.adjusted(4, 4, -4, -4).translated(down ? 1 : 0, down ? 1 : 0);
    painter.setFont(font());
    painter.setPen(isEnabled() ? colours.color(QPalette::ButtonText)
                               : colours.color(QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(textBox, Qt::AlignCenter | Qt::TextShowMnemonic, text());
    if (hasFocus()) {
        painter.setPen(QPen(colours.color(QPalette::ButtonText), 1, Qt::DotLine));
        painter.drawRect(r.adjusted(4, 4, -5, -5));
    }
}

} // namespace scenaria
