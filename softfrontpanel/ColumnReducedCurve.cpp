#include "ColumnReducedCurve.h"

#include <qwt_clipper.h>
#include <qwt_painter.h>
#include <qwt_point_mapper.h>

#include <QPainter>

#include <algorithm>

namespace {

// The points of a polyline through pixel-rounded points that light the same pixels.
QPolygonF reduceToColumns(const QPolygonF &mapped, int columns)
{
    const QPointF *p = mapped.constData();
    const int n = mapped.size();
    QPolygonF reduced;
    reduced.reserve(std::min(n, 4 * (columns + 4)));
    const auto add = [&reduced](double x, double y) {
        if (reduced.isEmpty() || reduced.last() != QPointF(x, y))
            reduced.append(QPointF(x, y));
    };
    for (int i = 0; i < n;) {
        const double x = p[i].x(), first = p[i].y();
        double low = first, high = first, last = first;
        int j = i + 1;
        for (; j < n && p[j].x() == x; ++j) {
            last = p[j].y();
            low = std::min(low, last);
            high = std::max(high, last);
        }
        add(x, first);
        add(x, low);
        add(x, high);
        add(x, last);
        i = j;
    }
    return reduced;
}

} // namespace

void ColumnReducedCurve::drawLines(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                                   const QRectF &canvasRect, int from, int to) const
{
    // Fills, fitted curves and devices without pixel alignment (vector output) need every point.
    if (from > to || !QwtPainter::roundingAlignment(painter) || brush().style() != Qt::NoBrush ||
        testCurveAttribute(Fitted)) {
        QwtPlotCurve::drawLines(painter, xMap, yMap, canvasRect, from, to);
        return;
    }
    QwtPointMapper mapper;
    mapper.setFlag(QwtPointMapper::RoundPoints, true);
    mapper.setBoundingRect(canvasRect);
    QPolygonF reduced =
        reduceToColumns(mapper.toPolygonF(xMap, yMap, data(), from, to), static_cast<int>(canvasRect.width()));
    if (testPaintAttribute(ClipPolygons)) {
        const qreal pw = std::max(qreal(1.0), painter->pen().widthF());
        reduced = QwtClipper::clipPolygonF(canvasRect.adjusted(-pw, -pw, pw, pw), reduced, false);
    }
    QwtPainter::drawPolyline(painter, reduced);
}
