// The voltage plot's position tracker. It keeps the visible ranges, which choose the units of
// its text, and the name of the custom unit when the plot shows one.
#pragma once

#include <QString>

#include <qwt_plot_picker.h>

class myQwtPlotPicker : public QwtPlotPicker {
public:
    explicit myQwtPlotPicker(QWidget *canvas);

    void setXRange(double lower, double upper);
    void setYRange(double lower, double upper);
    double xMin() const { return m_xMin; }
    double xMax() const { return m_xMax; }
    double yMin() const { return m_yMin; }
    double yMax() const { return m_yMax; }
    // Empty: volts.
    void setUnitName(const QString &name) { m_unit = name; }
    QString unitName() const { return m_unit; }

    QwtText trackerTextF(const QPointF &pos) const override;

private:
    double m_xMin = 0.0, m_xMax = 1.0;
    double m_yMin = -10.24, m_yMax = 10.24;
    QString m_unit;
};
