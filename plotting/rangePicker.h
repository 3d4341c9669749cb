// A position tracker over a plot's bottom and left axes that keeps the plot's visible ranges,
// which its tracker text and the axis dialogs read back.
#pragma once

#include <qwt_plot.h>
#include <qwt_plot_picker.h>

class rangePicker : public QwtPlotPicker {
public:
    rangePicker(QWidget *canvas, double xMin, double xMax, double yMin, double yMax)
        : QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, QwtPicker::NoRubberBand, QwtPicker::AlwaysOn,
                        canvas),
          m_xMin(xMin), m_xMax(xMax), m_yMin(yMin), m_yMax(yMax) {}

    void setXRange(double lower, double upper) {
        m_xMin = lower;
        m_xMax = upper;
    }
    void setYRange(double lower, double upper) {
        m_yMin = lower;
        m_yMax = upper;
    }
    double xMin() const { return m_xMin; }
    double xMax() const { return m_xMax; }
    double yMin() const { return m_yMin; }
    double yMax() const { return m_yMax; }

private:
    double m_xMin, m_xMax, m_yMin, m_yMax;
};
