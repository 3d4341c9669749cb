// A voltage curve for blocks of far more samples than the plot has pixel columns. Points are
// rounded to pixels as Qwt does on a raster device; the run of points in one pixel column then
// lights exactly the pixels from its lowest to its highest point, plus the lines into and out
// of the column from its first and last point. Drawing first, lowest, highest and last of each
// run lights the same pixels as drawing all of them, and a block of 131072 scans costs a few
// thousand segments instead of 131072.
#pragma once

#include <qwt_plot_curve.h>

class ColumnReducedCurve : public QwtPlotCurve {
public:
    using QwtPlotCurve::QwtPlotCurve;

protected:
    void drawLines(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRectF &canvasRect,
                   int from, int to) const override;
};
