#include "widgets/PanCursors.h"

#include <QBitmap>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace scenaria {

namespace {

// A two-colour hand: white inside, a black outline, transparent around it.
QCursor HandCursor(const QPainterPath& hand)
{
    QImage image(PanCursorSize, PanCursorSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(Qt::white);
        painter.drawPath(hand.simplified());
    }
    return QCursor(QPixmap::fromImage(image), PanHotSpotX, PanHotSpotY);
}

QPainterPath Finger(int left, int top, int bottom)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(left, top, 3, bottom - top), 1.5, 1.5);
    return path;
}

} // namespace

QCursor MakePanHoverCursor()
{
    QPainterPath hand;
    hand.addRoundedRect(QRectF(9, 13, 14, 13), 4, 4);
    hand = hand.united(Finger(9, 5, 16))
               .united(Finger(13, 2, 16))
               .united(Finger(17, 3, 16))
               .united(Finger(21, 6, 17));
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(4, 12, 7, 4), 2, 2);
    return HandCursor(hand.united(thumb));
}

QCursor MakePanGrabCursor()
{
    QPainterPath hand;
    hand.addRoundedRect(QRectF(9, 11, 14, 13), 4, 4);
    hand = hand.united(Finger(9, 8, 13))
               .united(Finger(13, 7, 13))
               .united(Finger(17, 7, 13))
               .united(Finger(21, 8, 14));
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(7, 13, 5, 4), 2, 2);
    return HandCursor(hand.united(thumb));
}

} // namespace scenaria
