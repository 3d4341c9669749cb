// The range dialog of the axes of the waveform view's voltage plot. For the y axis it also
// holds the custom unit display: measured volts are shown in any unit with the linear law
//     Result = (Measured - Offset) * Multiplier
// and the dialog reads the converted range out while the user edits it.
//
// The owner fills the widgets before it runs the dialog and reads them after OK. On OK with a
// checkable range group the dialog itself switches the owner's autoscale control (unchecked
// group = autoscale); switching it makes the view remember its current time range, so the
// time range the view kept before is put back afterwards.
#pragma once

#include "axisRangeDialog.h"

class QAbstractButton;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class kq7000fp_digitCtrl;

class axisConfig : public axisRangeDialog {
    Q_OBJECT
public:
    // owner: the view that runs the dialog (the dialog's parent; its window's icon is taken).
    // withUnits adds the custom unit display.
    explicit axisConfig(QWidget *owner, bool withUnits);

    // The control that OK switches when the range group is checkable: checked = autoscale on.
    // Without one OK switches nothing.
    void setAutoscaleControl(QAbstractButton *control) { m_autoscale = control; }
    // The time range the owner keeps for its plot; preserved across the autoscale switch.
    // Either pointer may be null.
    void setKeptXRange(double *lower, double *upper) {
        m_keptXLower = lower;
        m_keptXUpper = upper;
    }

    // Volts to the custom unit, and back. A multiplier of 0 maps every voltage to 0, so there
    // is no way back: toVolts then returns the value as it is.
    static double toUnits(double volts, double offset, double multiplier);
    static double toVolts(double value, double offset, double multiplier);

    // The custom unit display; all null when built without units.
    QGroupBox *unitGroup() const { return m_unitGroup; }
    QLineEdit *unitName() const { return m_unitName; }
    QDoubleSpinBox *offset() const { return m_offset; }
    kq7000fp_digitCtrl *multiplier() const { return m_multiplier; }
    QLabel *rangeReadout() const { return m_readout; }

public slots:
    // Closes with OK unless a range that counts is empty or reversed; then warns and stays open.
    // On OK also switches the autoscale control, see above.
    void checkValuesAndAccept() override;
    // Rewrites the converted range; shows or hides it when the unit group was toggled.
    void updateLimits();

private:
    QAbstractButton *m_autoscale = nullptr;
    double *m_keptXLower = nullptr;
    double *m_keptXUpper = nullptr;

    QGroupBox *m_unitGroup = nullptr;
    QLineEdit *m_unitName = nullptr;
    QDoubleSpinBox *m_offset = nullptr;
    kq7000fp_digitCtrl *m_multiplier = nullptr;
    QLabel *m_readout = nullptr;
};
