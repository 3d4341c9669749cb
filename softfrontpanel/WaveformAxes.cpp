#include "WaveformAxes.h"

#include "axisConfig.h"
#include "kq7000fp_digitCtrl.h"
#include "myQwtPlotPicker.h"

#include <qwt_plot.h>
#include <qwt_scale_widget.h>

#include <QAbstractButton>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>

#include <algorithm>

namespace {

constexpr double kFullScale = 10.24;

} // namespace

WaveformAxes::WaveformAxes(QWidget *view, QwtPlot *plot, myQwtPlotPicker *picker, QAbstractButton *autoscale,
                           BlockTimes blockTimes)
    : QObject(view), m_plot(plot), m_picker(picker), m_autoscale(autoscale),
      m_blockTimes(std::move(blockTimes)) {
    m_yDialog = new axisConfig(view, true);
    for (QDoubleSpinBox *limit : {m_yDialog->lowerLimit(), m_yDialog->upperLimit()}) {
        limit->setSuffix(" V ");
        // Nanovolts: the last count at gain 1000 is about 1.2 nV.
        limit->setDecimals(9);
        limit->setRange(-kFullScale, kFullScale);
        limit->setSingleStep(0.001);
    }
    m_yDialog->rangeGroup()->setCheckable(true);
    m_yDialog->setAutoscaleControl(autoscale);
    m_yDialog->setKeptXRange(&m_xLower, &m_xUpper);

    m_xDialog = new axisConfig(view, false);
    for (QDoubleSpinBox *limit : {m_xDialog->lowerLimit(), m_xDialog->upperLimit()}) {
        limit->setSuffix(" sec ");
        limit->setSingleStep(0.000001);
        limit->setDecimals(6);
    }
    for (int axis : {QwtPlot::yLeft, QwtPlot::xBottom}) {
        QwtScaleWidget *w = m_plot->axisWidget(axis);
        w->setCursor(Qt::PointingHandCursor);
        w->installEventFilter(this);
    }
    m_plot->axisWidget(QwtPlot::yLeft)->setToolTip("Click to edit the range and displayed units.");
    m_plot->axisWidget(QwtPlot::xBottom)->setToolTip("Click to edit the range.");
}

QFont WaveformAxes::titleFont() {
    QFont f("arial", 10);
    f.setBold(true);
    return f;
}

double WaveformAxes::shown(double volts) const {
    return m_unit.on ? axisConfig::toUnits(volts, m_unit.offset, m_unit.multiplier) : volts;
}

std::pair<double, double> WaveformAxes::fullScale() const {
    const double low = shown(-kFullScale), high = shown(kFullScale);
    return {std::min(low, high), std::max(low, high)};
}

void WaveformAxes::keepXRange(double lower, double upper) {
    m_xLower = lower;
    m_xUpper = upper;
}

bool WaveformAxes::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == m_plot->axisWidget(QwtPlot::yLeft))
            editY();
        else if (watched == m_plot->axisWidget(QwtPlot::xBottom))
            editX();
    }
    return QObject::eventFilter(watched, event);
}

std::pair<double, double> WaveformAxes::yRangeInVolts() const {
    const QwtScaleDiv &div = m_plot->axisScaleDiv(QwtPlot::yLeft);
    double lower = div.lowerBound(), upper = div.upperBound();
    if (m_unit.on) {
        lower = axisConfig::toVolts(lower, m_unit.offset, m_unit.multiplier);
        upper = axisConfig::toVolts(upper, m_unit.offset, m_unit.multiplier);
    }
    return {lower, upper};
}

void WaveformAxes::editY() {
    auto [lower, upper] = yRangeInVolts();
    m_yDialog->lowerLimit()->setValue(std::min(lower, upper));
    m_yDialog->upperLimit()->setValue(std::max(lower, upper));
    m_yDialog->rangeGroup()->setChecked(!(m_autoscale && m_autoscale->isChecked()));
    if (m_yDialog->exec() != QDialog::Accepted)
        return;

    if (m_yDialog->rangeGroup()->isChecked()) {
        lower = m_yDialog->lowerLimit()->value();
        upper = m_yDialog->upperLimit()->value();
    }
    CustomUnit unit;
    unit.on = m_yDialog->unitGroup()->isChecked();
    if (unit.on)
        unit = {true, m_yDialog->unitName()->text(), m_yDialog->offset()->value(),
                m_yDialog->multiplier()->value()};
    showUnit(unit, lower, upper);
}

void WaveformAxes::setUnit(const CustomUnit &unit) {
    const auto [lower, upper] = yRangeInVolts();
    // The dialog offers what is in use the next time it opens.
    m_yDialog->unitGroup()->setChecked(unit.on);
    m_yDialog->unitName()->setText(unit.name);
    m_yDialog->offset()->setValue(unit.offset);
    m_yDialog->multiplier()->setValue(unit.multiplier);
    showUnit(unit, lower, upper);
}

void WaveformAxes::showUnit(const CustomUnit &unit, double lower, double upper) {
    m_unit = unit;
    lower = shown(lower);
    upper = shown(upper);
    m_plot->setAxisScale(QwtPlot::yLeft, std::min(lower, upper), std::max(lower, upper));
    m_picker->setYRange(std::min(lower, upper), std::max(lower, upper));
    emit changed();

    const QString name = m_unit.on ? m_unit.name : QString();
    QwtText title(m_unit.on ? name : QString("Volts"));
    title.setFont(titleFont());
    m_plot->setAxisTitle(QwtPlot::yLeft, title);
    m_picker->setUnitName(name);
}

void WaveformAxes::editX() {
    const QwtScaleDiv &div = m_plot->axisScaleDiv(QwtPlot::xBottom);
    const auto [first, last] = m_blockTimes();
    for (QDoubleSpinBox *limit : {m_xDialog->lowerLimit(), m_xDialog->upperLimit()})
        limit->setRange(first, last);
    m_xDialog->lowerLimit()->setValue(div.lowerBound());
    m_xDialog->upperLimit()->setValue(div.upperBound());
    if (m_xDialog->exec() != QDialog::Accepted)
        return;
    m_xLower = m_xDialog->lowerLimit()->value();
    m_xUpper = m_xDialog->upperLimit()->value();
    m_plot->setAxisScale(QwtPlot::xBottom, m_xLower, m_xUpper);
    m_picker->setXRange(m_xLower, m_xUpper);
    emit changed();
}
