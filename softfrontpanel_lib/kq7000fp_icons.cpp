#include "kq7000fp_icons.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPolygonF>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>
#include <functional>
#include <utility>

namespace {

const QColor kGreen("#008000");
const QColor kDarkRed("#800000");

// Draws into a square of `size` logical units.
using Drawing = std::function<void(QPainter &)>;

// An icon drawn anew for each size it is asked for, so a scaled screen (QT_SCALE_FACTOR, a
// device pixel ratio above 1) gets sharp edges instead of a small picture blown up.
class DrawnIconEngine : public QIconEngine {
public:
    DrawnIconEngine(QSize size, Drawing draw) : m_size(size), m_draw(std::move(draw)) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap drawn = pixmap(rect.size() * ratio, mode, state);
        drawn.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, drawn);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        {
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            // Kept in proportion and centred: the drawings are laid out in their own units.
            const qreal scale =
                std::min(qreal(size.width()) / m_size.width(), qreal(size.height()) / m_size.height());
            p.translate((size.width() - scale * m_size.width()) / 2,
                        (size.height() - scale * m_size.height()) / 2);
            p.scale(scale, scale);
            m_draw(p);
        }
        if (mode == QIcon::Disabled || mode == QIcon::Selected) {
            QStyleOption option;
            option.palette = QApplication::palette();
            return QApplication::style()->generatedIconPixmap(mode, pm, &option);
        }
        return pm;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override {
        return m_size.scaled(size, Qt::KeepAspectRatio);
    }

    QIconEngine *clone() const override { return new DrawnIconEngine(m_size, m_draw); }

private:
    QSize m_size;
    Drawing m_draw;
};

QIcon drawn(QSize size, Drawing draw) {
    return QIcon(new DrawnIconEngine(size, std::move(draw)));
}

void triangle(QPainter &p, double left, double right) {
    p.drawPolygon(QPolygonF({QPointF(left, 1), QPointF(right, 6), QPointF(left, 11)}));
}

} // namespace

QIcon kq7000fp_icons::startSingle() {
    return drawn({12, 12}, [](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        triangle(p, 2, 11);
    });
}

QIcon kq7000fp_icons::startRepetitive() {
    return drawn({12, 12}, [](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        triangle(p, 0, 6);
        triangle(p, 6, 12);
    });
}

QIcon kq7000fp_icons::stop() {
    return drawn({12, 12}, [](QPainter &p) { p.fillRect(QRectF(0, 0, 12, 12), kDarkRed); });
}

QSize kq7000fp_icons::whatsThisSize() {
    return {20, 17};
}

QIcon kq7000fp_icons::whatsThis() {
    return drawn(whatsThisSize(), [](QPainter &p) {
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::black);
        p.drawPolygon(QPolygonF({QPointF(1, 1), QPointF(1, 13), QPointF(4, 10), QPointF(6.5, 15),
                                 QPointF(8.5, 14), QPointF(6, 9), QPointF(10, 9)}));
        QFont f = p.font();
        f.setPixelSize(13);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor("#1a2c5e"));
        p.drawText(QRectF(10, 0, 10, 17), Qt::AlignCenter, "?");
    });
}

QIcon kq7000fp_icons::window() {
    const QIcon shape = drawn({16, 16}, [](QPainter &p) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(QRectF(1, 1, 14, 14), QColor("#1a2c5e"));
        p.fillRect(QRectF(3, 3, 10, 4), Qt::white);
        p.fillRect(QRectF(3, 9, 10, 4), QColor("#a0a0a0"));
        p.fillRect(QRectF(10, 10, 2, 2), QColor("#d00000"));
    });
    // The window system takes a window's icon as pictures of fixed sizes, once: those it uses
    // for title bars and task lists, each drawn at its size.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(shape.pixmap(size, size));
    return icon;
}
