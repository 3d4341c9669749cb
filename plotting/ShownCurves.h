// The curves a view draws, as a table to export: those attached to their plot, visible and
// with points, named after their card and channel ("FC1_CH1 (V)").
#pragma once

#include "CurveTable.h"

#include <QVector>

#include <string>

class QwtPlotCurve;

class ShownCurves {
public:
    // curves: index card * 8 + channel. The x column is the first shown curve's; the views
    // draw every channel of a block over the same times or frequencies. An empty unit (a
    // custom one left without a name) leaves the names without one.
    // Without samples, the table names the curves only (for a picture's legend).
    static CurveTable table(const QVector<QwtPlotCurve *> &curves, const std::string &xName,
                            const std::string &unit, bool withSamples);
};
