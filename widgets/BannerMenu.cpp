#include "widgets/BannerMenu.h"

#include <QLinearGradient>
#include <QPainter>

namespace scenaria {

TBannerMenu::TBannerMenu(const QString& banner, QWidget* parent) : QMenu(parent), banner_(banner)
{
    setTitle(banner);
    setContentsMargins(BannerWidth, 0, 0, 0);
}

void TBannerMenu::paintEvent(QPaintEvent* event)
{
    QMenu::paintEvent(event);
    QPainter painter(this);
    const QRect strip(0, 0, BannerWidth, height());
    QLinearGradient shade(strip.bottomLeft(), strip.topLeft());
    shade.setColorAt(0, palette().color(QPalette::Highlight));
    shade.setColorAt(1, Qt::white);
    painter.fillRect(strip, shade);

    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(15);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(palette().color(QPalette::HighlightedText));
    // Read from bottom to top, starting just above the lower edge.
    painter.translate(0, height());
    painter.rotate(-90);
    painter.drawText(QRect(6, 0, height() - 12, BannerWidth), Qt::AlignLeft | Qt::AlignVCenter,
                     banner_);
}

} // namespace scenaria
