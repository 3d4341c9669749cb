// The range dialog of both axes of the spectrum plot. The plot fills the limits before it runs
// the dialog and reads them back after OK; the dialog only makes sure that an accepted custom
// range is a real interval.
#pragma once

#include "axisRangeDialog.h"

class axisConfigFft : public axisRangeDialog {
    Q_OBJECT
public:
    // owner: the front panel window (its icon is taken); plot: the spectrum plot that opens the
    // dialog, which is also the dialog's parent when given.
    explicit axisConfigFft(QWidget *owner, QWidget *plot = nullptr);

    // rangeGroup() is checkable for the y axis, where unchecked means autoscale; the plot
    // decides.
    QWidget *plot() const { return m_plot; }

private:
    QWidget *m_plot = nullptr;
};
