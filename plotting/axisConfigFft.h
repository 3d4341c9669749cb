// The range dialog of both axes of the spectrum plot. The plot fills the limits before it runs
// the dialog and reads them back after OK; the dialog only makes sure that an accepted custom
// range is a real interval.
#pragma once

#include <QDialog>

class QDoubleSpinBox;
class QGroupBox;
class QPushButton;

class axisConfigFft : public QDialog {
    Q_OBJECT
public:
    // owner: the front panel window (its icon is taken); plot: the spectrum plot that opens the
    // dialog, which is also the dialog's parent when given.
    explicit axisConfigFft(QWidget *owner, QWidget *plot = nullptr);

    // Checkable for the y axis, where unchecked means autoscale; the plot decides.
    QGroupBox *rangeGroup() const { return m_rangeGroup; }
    QDoubleSpinBox *lowerLimit() const { return m_lower; }
    QDoubleSpinBox *upperLimit() const { return m_upper; }
    QPushButton *maxButton() const { return m_maxButton; }
    QPushButton *okButton() const { return m_okButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QWidget *plot() const { return m_plot; }

public slots:
    // Closes with OK unless a range that counts is empty or reversed; then warns and stays open.
    void checkValuesAndAccept();
    // Both limits to the ends of the allowed range.
    void setMaxSlot();

private:
    QWidget *m_owner = nullptr;
    QWidget *m_plot = nullptr;
    QGroupBox *m_rangeGroup = nullptr;
    QDoubleSpinBox *m_lower = nullptr;
    QDoubleSpinBox *m_upper = nullptr;
    QPushButton *m_maxButton = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
