// The voltage plot's position tracker. It keeps the visible ranges, which choose the units of
// its text, and the name of the custom unit when the plot shows one.
#pragma once

#include <QString>

#include "rangePicker.h"

class myQwtPlotPicker : public rangePicker {
public:
    explicit myQwtPlotPicker(QWidget *canvas);

    // Empty: volts.
    void setUnitName(const QString &name) { m_unit = name; }
    QString unitName() const { return m_unit; }

    QwtText trackerTextF(const QPointF &pos) const override;

private:
    QString m_unit;
};
