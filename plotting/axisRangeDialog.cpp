#include "axisRangeDialog.h"

#include "kq7000fp_msgBox.h"

#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>

axisRangeDialog::axisRangeDialog(QWidget *parent, QWidget *iconSource, const QString &warningTitle)
    : QDialog(parent), m_warningTitle(warningTitle) {
    setWindowTitle("Axis Configuration");
    setModal(true);
    if (iconSource)
        setWindowIcon(iconSource->windowIcon());

    m_rangeGroup = new QGroupBox("Custom Range", this);
    m_lower = new QDoubleSpinBox(m_rangeGroup);
    m_upper = new QDoubleSpinBox(m_rangeGroup);
    m_maxButton = new QPushButton("Max", m_rangeGroup);
    m_maxButton->setToolTip("Sets the maximum range.");
    // Return in a limit box must reach OK, never "Max".
    m_maxButton->setAutoDefault(false);

    connect(m_maxButton, &QPushButton::clicked, this, &axisRangeDialog::setMaxSlot);
}

QHBoxLayout *axisRangeDialog::makeButtonRow() {
    m_okButton = new QPushButton("OK", this);
    m_okButton->setDefault(true);
    m_cancelButton = new QPushButton("Cancel", this);
    m_cancelButton->setAutoDefault(false);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(m_okButton);
    buttonRow->addWidget(m_cancelButton);

    // Virtual, so a subclass that does more on OK gets its own version.
    connect(m_okButton, &QPushButton::clicked, this, &axisRangeDialog::checkValuesAndAccept);
    connect(m_cancelButton, &QPushButton::clicked, this, &axisRangeDialog::reject);
    return buttonRow;
}

bool axisRangeDialog::rangeAcceptable() {
    // An unchecked checkable group means autoscale: its limits are not used, so they may be
    // anything.
    const bool rangeCounts = !m_rangeGroup->isCheckable() || m_rangeGroup->isChecked();
    if (m_lower->value() >= m_upper->value() && rangeCounts) {
        kq7000fp_msgBox::ask(QMessageBox::Warning, this, m_warningTitle,
                             "The lower limit must be below the upper limit.", QMessageBox::Ok);
        return false;
    }
    return true;
}

void axisRangeDialog::checkValuesAndAccept() {
    if (rangeAcceptable())
        accept();
}

void axisRangeDialog::setMaxSlot() {
    // The dialog's user gives both boxes the same range, so the lower box speaks for both.
    m_lower->setValue(m_lower->minimum());
    m_upper->setValue(m_lower->maximum());
}
