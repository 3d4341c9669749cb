// The axes of the waveform plot as the person sets them: a click on the voltage axis opens its
// dialog for the range and a custom unit, a click on the time axis the dialog for its range.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <utility>

class QAbstractButton;
class QFont;
class QwtPlot;
class axisConfig;
class myQwtPlotPicker;

class WaveformAxes : public QObject {
    Q_OBJECT
public:
    // The voltage axis in a unit of the person's own: (volts - offset) * multiplier.
    struct CustomUnit {
        bool on = false;
        QString name;
        double offset = 0.0, multiplier = 1.0;
    };
    // The first and last time of the block in view; nothing when none was acquired.
    using BlockTimes = std::function<std::pair<double, double>()>;

    WaveformAxes(QWidget *view, QwtPlot *plot, myQwtPlotPicker *picker, QAbstractButton *autoscale,
                 BlockTimes blockTimes);

    static QFont titleFont();
    // The ±10.24 V of the inputs in the unit shown, lower first.
    std::pair<double, double> fullScale() const;
    double shown(double volts) const;
    const CustomUnit &unit() const { return m_unit; }
    // As OK in the axis dialog sets it; the range shown stays the same in volts.
    void setUnit(const CustomUnit &unit);
    // The time range the voltage dialog's autoscale keeps.
    void keepXRange(double lower, double upper);

    axisConfig *yDialog() const { return m_yDialog; }
    axisConfig *xDialog() const { return m_xDialog; }

signals:
    // A range or the unit changed: the block is to be drawn again.
    void changed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void editY();
    void editX();
    // lower and upper in volts.
    void showUnit(const CustomUnit &unit, double lower, double upper);
    std::pair<double, double> yRangeInVolts() const;

    QwtPlot *m_plot;
    myQwtPlotPicker *m_picker;
    QAbstractButton *m_autoscale;
    BlockTimes m_blockTimes;
    axisConfig *m_yDialog;
    axisConfig *m_xDialog;
    CustomUnit m_unit;
    double m_xLower = 0.0, m_xUpper = 1.0;
};
