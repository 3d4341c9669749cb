// A curve for blocks of far more samples than the plot has pixel columns: waveforms of 131072
// scans, spectra of millions of points. Points are rounded to pixels as Qwt does on a raster
// device; the run of points in one pixel column then lights exactly the pixels from its lowest
// to its highest point, plus the lines into and out of the column from its first and last
// point. Drawing first, lowest, highest and last of each run lights the same pixels as drawing
// all of them, and a block costs a few thousand segments instead of a segment per sample.
//
// Raw samples (setRawSamples) with ascending x, as time and frequency axes are, are reduced
// without mapping every point: the runs are found by bisection and only the samples within the
// canvas are read. Other data is mapped point by point.
#pragma once

#include <qwt_plot_curve.h>

class ColumnReducedCurve : public QwtPlotCurve {
public:
    using QwtPlotCurve::QwtPlotCurve;

protected:
    void drawLines(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                   const QRectF &canvasRect, int from, int to) const override;
    // A symbol of no size adds nothing to lines through every point; its millions of points
    // are not mapped.
    void drawSymbols(QPainter *painter, const QwtSymbol &symbol, const QwtScaleMap &xMap,
                     const QwtScaleMap &yMap, const QRectF &canvasRect, int from, int to) const override;
};
