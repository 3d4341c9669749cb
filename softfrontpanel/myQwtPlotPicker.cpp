#include "myQwtPlotPicker.h"

#include "WaveformTrackerText.h"

myQwtPlotPicker::myQwtPlotPicker(QWidget *canvas) : rangePicker(canvas, 0.0, 1.0, -10.24, 10.24) {
    setTrackerPen(QPen(Qt::white));
}

QwtText myQwtPlotPicker::trackerTextF(const QPointF &pos) const {
    return QwtText(QString::fromStdString(
        WaveformTrackerText::text(pos.x(), pos.y(), xMax() - xMin(), yMax() - yMin(), m_unit.toStdString())));
}
