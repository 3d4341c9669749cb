// The part both axis range dialogs share: the "Custom Range" group with its two limits and the
// "Max" button, the OK/Cancel row, and the check that an accepted range is a real interval.
// The subclasses lay the range row out themselves (their labels and spacing differ) and place
// the button row, so anything they add between the two keeps its place in layout and tab order.
#pragma once

#include <QDialog>
#include <QString>

class QDoubleSpinBox;
class QGroupBox;
class QHBoxLayout;
class QPushButton;

class axisRangeDialog : public QDialog {
    Q_OBJECT
public:
    QGroupBox *rangeGroup() const { return m_rangeGroup; }
    QDoubleSpinBox *lowerLimit() const { return m_lower; }
    QDoubleSpinBox *upperLimit() const { return m_upper; }
    QPushButton *maxButton() const { return m_maxButton; }
    QPushButton *okButton() const { return m_okButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }

public slots:
    // Closes with OK unless a range that counts is empty or reversed; then warns and stays open.
    virtual void checkValuesAndAccept();
    // Both limits to the ends of the allowed range.
    void setMaxSlot();

protected:
    // iconSource: the widget whose window icon the dialog shows; may be null. warningTitle: the
    // title of the warning about a bad range, which names the panel the dialog belongs to.
    axisRangeDialog(QWidget *parent, QWidget *iconSource, const QString &warningTitle);

    // Creates OK and Cancel and returns their right-aligned row for the subclass to place.
    // Separate from the constructor because the buttons must come after whatever the subclass
    // adds, in the tab order as well as on screen.
    QHBoxLayout *makeButtonRow();

    // False, after warning the user, when the range counts and is empty or reversed.
    bool rangeAcceptable();

private:
    QString m_warningTitle;
    QGroupBox *m_rangeGroup = nullptr;
    QDoubleSpinBox *m_lower = nullptr;
    QDoubleSpinBox *m_upper = nullptr;
    QPushButton *m_maxButton = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
