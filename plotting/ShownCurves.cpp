#include "ShownCurves.h"

#include <qwt_plot_curve.h>

CurveTable ShownCurves::table(const QVector<QwtPlotCurve *> &curves, const std::string &xName,
                              const std::string &unit, bool withSamples) {
    CurveTable table;
    table.xName = xName;
    for (int i = 0; i < curves.size(); ++i) {
        const QwtPlotCurve *curve = curves[i];
        if (!curve->plot() || !curve->isVisible() || curve->dataSize() == 0)
            continue;
        CurveTable::Column column;
        column.name = "FC" + std::to_string(i / 8 + 1) + "_CH" + std::to_string(i % 8 + 1);
        if (!unit.empty())
            column.name += " (" + unit + ")";
        column.rgb = curve->pen().color().rgb() & 0xFFFFFFu;
        const bool first = table.columns.empty();
        for (size_t s = 0; withSamples && s < curve->dataSize(); ++s) {
            const QPointF point = curve->sample(s);
            column.y.push_back(point.y());
            if (first)
                table.x.push_back(point.x());
        }
        table.columns.push_back(std::move(column));
    }
    return table;
}
