#include "ui/ExplorerGlyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <functional>

namespace scenaria {

namespace {

constexpr int Size = 24;

QPixmap Draw(const std::function<void(QPainter&)>& paint)
{
    QPixmap pixmap(Size, Size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1.2));
    paint(p);
    return pixmap;
}

void Page(QPainter& p, const QRectF& r, const QColor& fill = Qt::white)
{
    p.setBrush(fill);
    p.drawRect(r);
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour)
{
    p.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const double angle = std::atan2(to.y() - from.y(), to.x() - from.x());
    for (const double side : {2.6, -2.6})
        p.drawLine(to,
                   to - QPointF(5 * std::cos(angle + side / 6), 5 * std::sin(angle + side / 6)));
    p.setPen(QPen(Qt::black, 1.2));
}

void Label(QPainter& p, const QString& text, const QColor& colour)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(8);
    font.setBold(true);
    p.setFont(font);
    Page(p, QRectF(3.5, 2.5, 17, 19));
    p.setPen(colour);
    p.drawText(QRectF(2, 6, 20, 12), Qt::AlignCenter, text);
    p.setPen(QPen(Qt::black, 1.2));
}

void Folder(QPainter& p, const QColor& fill)
{
    p.setBrush(fill);
    p.drawRect(QRectF(2.5, 7.5, 19, 13));
    p.drawRect(QRectF(2.5, 4.5, 8, 3));
}

QPixmap Glyph(const QString& name, bool down)
{
    if (name == "btSelect")
        return Draw([](QPainter& p) {
            Folder(p, QColor(255, 220, 80));
            QPainterPath house;
            house.moveTo(12, 9);
            house.lineTo(18, 14);
            house.lineTo(16, 14);
            house.lineTo(16, 19);
            house.lineTo(8, 19);
            house.lineTo(8, 14);
            house.lineTo(6, 14);
            house.closeSubpath();
            p.setBrush(QColor(200, 40, 40));
            p.drawPath(house);
        });
    if (name == "btGoto")
        return Draw([](QPainter& p) {
            Folder(p, QColor(255, 220, 80));
            Arrow(p, {5, 14}, {19, 14}, QColor(0, 110, 0));
        });
    if (name == "btSwap")
        return Draw([down](QPainter& p) {
            p.setBrush(QColor(180, 200, 255));
            if (down) {
                p.drawRect(QRectF(2.5, 2.5, 19, 7));
                p.drawRect(QRectF(2.5, 12.5, 19, 9));
            } else {
                p.drawRect(QRectF(2.5, 2.5, 7, 19));
                p.drawRect(QRectF(12.5, 2.5, 9, 19));
            }
        });
    if (name == "btWallpaper")
        return Draw([](QPainter& p) {
            p.setBrush(QColor(60, 60, 60));
            p.drawRect(QRectF(1.5, 2.5, 21, 15));
            p.setBrush(QColor(90, 160, 230));
            p.drawRect(QRectF(3.5, 4.5, 17, 11));
            p.setBrush(QColor(40, 150, 40));
            p.drawEllipse(QRectF(6, 9, 12, 8));
            p.setBrush(QColor(60, 60, 60));
            p.drawRect(QRectF(8.5, 18.5, 7, 3));
        });
    if (name == "btStretch")
        return Draw([down](QPainter& p) {
            p.setBrush(down ? QColor(120, 200, 120) : Qt::white);
            p.drawRect(down ? QRectF(2.5, 2.5, 19, 19) : QRectF(8.5, 8.5, 7, 7));
            const QColor blue(0, 60, 200);
            if (!down)
                for (const auto& [a, b] : {std::pair{QPointF(8, 8), QPointF(3, 3)},
                                           {QPointF(16, 8), QPointF(21, 3)},
                                           {QPointF(8, 16), QPointF(3, 21)},
                                           {QPointF(16, 16), QPointF(21, 21)}})
                    Arrow(p, a, b, blue);
        });
    if (name == "btRename")
        return Draw([](QPainter& p) {
            QFont font(QStringLiteral("Arial"));
            font.setPixelSize(11);
            font.setBold(true);
            p.setFont(font);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(1.5, 6.5, 21, 11));
            p.drawText(QRectF(2, 6, 16, 12), Qt::AlignCenter, QStringLiteral("ab"));
            p.setPen(QPen(QColor(0, 0, 200), 1.5));
            p.drawLine(QPointF(19, 4), QPointF(19, 20));
        });
    if (name == "btDelete")
        return Draw([](QPainter& p) {
            p.setBrush(QColor(170, 170, 170));
            p.drawRect(QRectF(5.5, 6.5, 13, 15));
            p.drawRect(QRectF(3.5, 3.5, 17, 3));
            p.setPen(QPen(QColor(210, 0, 0), 2.4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(8, 10), QPointF(16, 18));
            p.drawLine(QPointF(16, 10), QPointF(8, 18));
        });
    if (name == "btCopy")
        return Draw([](QPainter& p) {
            Page(p, QRectF(2.5, 2.5, 12, 15));
            Page(p, QRectF(9.5, 6.5, 12, 15), QColor(255, 250, 200));
        });
    if (name == "btMove")
        return Draw([](QPainter& p) {
            Page(p, QRectF(2.5, 2.5, 11, 14));
            Folder(p, QColor(255, 220, 80));
            Arrow(p, {6, 6}, {17, 16}, QColor(0, 110, 0));
        });
    if (name == "btBMP")
        return Draw([](QPainter& p) { Label(p, QStringLiteral("BMP"), QColor(0, 0, 180)); });
    if (name == "btJPG")
        return Draw([](QPainter& p) { Label(p, QStringLiteral("JPG"), QColor(170, 0, 0)); });
    if (name == "btQuality")
        return Draw([](QPainter& p) {
            for (int i = 0; i < 5; ++i) {
                p.setBrush(QColor::fromHsv(120 - i * 25, 200, 230));
                p.drawRect(QRectF(2.5 + i * 4, 19.5 - i * 4, 3, 2 + i * 4));
            }
        });
    if (name == "btConfig")
        return Draw([](QPainter& p) {
            p.setBrush(QColor(120, 120, 140));
            QPainterPath gear;
            for (int i = 0; i < 16; ++i) {
                const double angle = i * M_PI / 8;
                const double radius = i % 2 ? 7.0 : 10.0;
                const QPointF at(12 + radius * std::cos(angle), 12 + radius * std::sin(angle));
                i ? gear.lineTo(at) : gear.moveTo(at);
            }
            gear.closeSubpath();
            p.drawPath(gear);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(12, 12), 3, 3);
        });
    if (name == "btExit")
        return Draw([](QPainter& p) {
            p.setBrush(QColor(150, 90, 40));
            p.drawRect(QRectF(5.5, 2.5, 11, 19));
            p.setBrush(QColor(250, 210, 60));
            p.drawEllipse(QPointF(14, 12), 1.2, 1.2);
            Arrow(p, {12, 12}, {22, 12}, QColor(200, 0, 0));
        });
    return {};
}

} // namespace

QIcon ExplorerGlyph(const QString& button)
{
    const QPixmap up = Glyph(button, false);
    if (up.isNull())
        return {};
    QIcon icon(up);
    if (button == "btSwap" || button == "btStretch")
        icon.addPixmap(Glyph(button, true), QIcon::Normal, QIcon::On);
    return icon;
}

} // namespace scenaria
