#include "myQwtPlotPicker.h"

#include "WaveformTrackerText.h"

#include <qwt_picker_machine.h>
#include <qwt_plot.h>

myQwtPlotPicker::myQwtPlotPicker(QWidget *canvas)
    : QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, QwtPicker::NoRubberBand, QwtPicker::AlwaysOn, canvas)
{
    setTrackerPen(QPen(Qt::white));
}

void myQwtPlotPicker::setXRange(double lower, double upper)
{
    m_xMin = lower;
    m_xMax = upper;
}

void myQwtPlotPicker::setYRange(double lower, double upper)
{
    m_yMin = lower;
    m_yMax = upper;
}

QwtText myQwtPlotPicker::trackerTextF(const QPointF &pos) const
{
    return QwtText(QString::fromStdString(
        WaveformTrackerText::text(pos.x(), pos.y(), m_xMax - m_xMin, m_yMax - m_yMin, m_unit.toStdString())));
}
