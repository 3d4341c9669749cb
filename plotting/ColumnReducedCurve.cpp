#include "ColumnReducedCurve.h"

#include "EnvelopedData.h"

#include <qwt_clipper.h>
#include <qwt_painter.h>
#include <qwt_point_data.h>
#include <qwt_point_mapper.h>
#include <qwt_scale_map.h>
#include <qwt_symbol.h>

#include <QPainter>

#include <algorithm>
#include <utility>

namespace {

// Collects the reduced polyline, without repeating a point.
class Reduced {
public:
    explicit Reduced(int capacity) { m_points.reserve(capacity); }
    void add(double x, double y) {
        if (m_points.isEmpty() || m_points.last() != QPointF(x, y))
            m_points.append(QPointF(x, y));
    }
    // One column's run: its first point, its lowest and highest pixel, its last point.
    void addRun(double x, double first, double low, double high, double last) {
        add(x, first);
        add(x, low);
        add(x, high);
        add(x, last);
    }
    QPolygonF &points() { return m_points; }

private:
    QPolygonF m_points;
};

// The points of a polyline through pixel-rounded points that light the same pixels.
QPolygonF reduceToColumns(const QPolygonF &mapped, int columns) {
    const QPointF *p = mapped.constData();
    const int n = mapped.size();
    Reduced reduced(std::min(n, 4 * (columns + 4)));
    for (int i = 0; i < n;) {
        const double x = p[i].x(), first = p[i].y();
        double low = first, high = first, last = first;
        int j = i + 1;
        for (; j < n && p[j].x() == x; ++j) {
            last = p[j].y();
            low = std::min(low, last);
            high = std::max(high, last);
        }
        reduced.addRun(x, first, low, high, last);
        i = j;
    }
    return reduced.points();
}

// The same for raw samples with ascending x, without mapping each point: the column of a
// point only grows with its index, so each column's run is found by bisection, and the runs
// left and right of the canvas (but the one next to it, which draws the line into it) are
// skipped. The lowest and highest pixel of a run are those of its lowest and highest value,
// since the y map is monotonic.
QPolygonF reduceAscending(const double *x, const double *y, const RunEnvelope *envelope, int from, int to,
                          const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRectF &canvasRect) {
    const auto column = [&](int i) { return qRound(xMap.transform(x[i])); };
    const auto pixelY = [&](double v) { return double(qRound(yMap.transform(v))); };
    // The first index in [lo, hi] whose column exceeds c, or hi + 1.
    const auto pastColumn = [&](int lo, int hi, int c) {
        int count = hi - lo + 1;
        while (count > 0) {
            const int half = count / 2;
            if (column(lo + half) <= c) {
                lo += half + 1;
                count -= half + 1;
            } else {
                count = half;
            }
        }
        return lo;
    };
    const int left = int(std::floor(canvasRect.left())) - 1;
    const int right = int(std::ceil(canvasRect.right())) + 1;
    int i = std::max(from, pastColumn(from, to, left - 1) - 1);
    const int end = std::min(to, pastColumn(from, to, right));
    Reduced reduced(4 * (int(canvasRect.width()) + 8));
    while (i <= end) {
        const int c = column(i);
        const int j = pastColumn(i + 1, end, c);
        std::pair<double, double> extremes;
        if (envelope) {
            extremes = envelope->extremes(y, i, j);
        } else {
            const auto [low, high] = std::minmax_element(y + i, y + j);
            extremes = {*low, *high};
        }
        const double a = pixelY(extremes.first), b = pixelY(extremes.second);
        reduced.addRun(c, pixelY(y[i]), std::min(a, b), std::max(a, b), pixelY(y[j - 1]));
        i = j;
    }
    return reduced.points();
}

} // namespace

void ColumnReducedCurve::drawLines(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                                   const QRectF &canvasRect, int from, int to) const {
    // Fills, fitted curves and devices without pixel alignment (vector output) need every point.
    if (from > to || !QwtPainter::roundingAlignment(painter) || brush().style() != Qt::NoBrush ||
        testCurveAttribute(Fitted)) {
        QwtPlotCurve::drawLines(painter, xMap, yMap, canvasRect, from, to);
        return;
    }
    QPolygonF reduced;
    const auto *raw = dynamic_cast<const QwtCPointerData *>(data());
    if (raw && xMap.p1() < xMap.p2() && xMap.s1() < xMap.s2()) {
        const auto *enveloped = dynamic_cast<const EnvelopedData *>(raw);
        reduced = reduceAscending(raw->xData(), raw->yData(), enveloped ? &enveloped->envelope() : nullptr,
                                  from, to, xMap, yMap, canvasRect);
    } else {
        QwtPointMapper mapper;
        mapper.setFlag(QwtPointMapper::RoundPoints, true);
        mapper.setBoundingRect(canvasRect);
        reduced = reduceToColumns(mapper.toPolygonF(xMap, yMap, data(), from, to),
                                  static_cast<int>(canvasRect.width()));
    }
    if (testPaintAttribute(ClipPolygons)) {
        const qreal pw = std::max(qreal(1.0), painter->pen().widthF());
        reduced = QwtClipper::clipPolygonF(canvasRect.adjusted(-pw, -pw, pw, pw), reduced, false);
    }
    QwtPainter::drawPolyline(painter, reduced);
}

void ColumnReducedCurve::drawSymbols(QPainter *painter, const QwtSymbol &symbol, const QwtScaleMap &xMap,
                                     const QwtScaleMap &yMap, const QRectF &canvasRect, int from,
                                     int to) const {
    if (style() == Lines && symbol.size().isEmpty())
        return;
    QwtPlotCurve::drawSymbols(painter, symbol, xMap, yMap, canvasRect, from, to);
}
