#include "kq7000fp_icons.h"

#include <QPainter>
#include <QPolygonF>

namespace {

const QColor kGreen("#008000");
const QColor kDarkRed("#800000");

QPixmap blank(int w, int h)
{
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    return pm;
}

void triangle(QPainter &p, double left, double right)
{
    p.drawPolygon(QPolygonF({QPointF(left, 1), QPointF(right, 6), QPointF(left, 11)}));
}

} // namespace

QIcon kq7000fp_icons::startSingle()
{
    QPixmap pm = blank(12, 12);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    triangle(p, 2, 11);
    return QIcon(pm);
}

QIcon kq7000fp_icons::startRepetitive()
{
    QPixmap pm = blank(12, 12);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    triangle(p, 0, 6);
    triangle(p, 6, 12);
    return QIcon(pm);
}

QIcon kq7000fp_icons::stop()
{
    QPixmap pm = blank(12, 12);
    pm.fill(kDarkRed);
    return QIcon(pm);
}

QPixmap kq7000fp_icons::whatsThis()
{
    QPixmap pm = blank(20, 17);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygonF({QPointF(1, 1), QPointF(1, 13), QPointF(4, 10), QPointF(6.5, 15), QPointF(8.5, 14),
                             QPointF(6, 9), QPointF(10, 9)}));
    QFont f = p.font();
    f.setPixelSize(13);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor("#1a2c5e"));
    p.drawText(QRect(10, 0, 10, 17), Qt::AlignCenter, "?");
    return pm;
}

QIcon kq7000fp_icons::window()
{
    QPixmap pm = blank(16, 16);
    QPainter p(&pm);
    p.fillRect(1, 1, 14, 14, QColor("#1a2c5e"));
    p.fillRect(3, 3, 10, 4, Qt::white);
    p.fillRect(3, 9, 10, 4, QColor("#a0a0a0"));
    p.fillRect(10, 10, 2, 2, QColor("#d00000"));
    return QIcon(pm);
}
