#include "axisConfigFft.h"

#include "kq7000fp_msgBox.h"

#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

axisConfigFft::axisConfigFft(QWidget *owner, QWidget *plot)
    : QDialog(plot ? plot : owner), m_owner(owner), m_plot(plot) {
    setWindowTitle("Axis Configuration");
    setModal(true);
    if (QWidget *w = owner ? owner->window() : parentWidget())
        setWindowIcon(w->windowIcon());

    // Sizes follow the screen's text scale so the boxes keep room for "-300 dB " on large fonts.
    const double scale = logicalDpiX() / 96.0;
    const int spacing = int(10 * scale);

    m_rangeGroup = new QGroupBox("Custom Range", this);
    m_lower = new QDoubleSpinBox(m_rangeGroup);
    m_upper = new QDoubleSpinBox(m_rangeGroup);
    m_lower->setMinimumWidth(int(140 * scale));
    m_upper->setMinimumWidth(int(140 * scale));
    m_maxButton = new QPushButton("Max", m_rangeGroup);
    m_maxButton->setToolTip("Sets the maximum range.");
    // Return in a limit box must reach OK, never "Max".
    m_maxButton->setFocusPolicy(Qt::NoFocus);
    m_maxButton->setAutoDefault(false);

    auto *rangeRow = new QHBoxLayout(m_rangeGroup);
    rangeRow->setSpacing(spacing);
    rangeRow->addWidget(new QLabel("Lower Limit:", m_rangeGroup));
    rangeRow->addWidget(m_lower);
    rangeRow->addWidget(new QLabel("Upper Limit:", m_rangeGroup));
    rangeRow->addWidget(m_upper);
    rangeRow->addWidget(m_maxButton);

    m_okButton = new QPushButton("OK", this);
    m_okButton->setDefault(true);
    m_cancelButton = new QPushButton("Cancel", this);
    m_cancelButton->setAutoDefault(false);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(m_okButton);
    buttonRow->addWidget(m_cancelButton);

    auto *top = new QVBoxLayout(this);
    top->setSpacing(spacing);
    top->addWidget(m_rangeGroup);
    top->addLayout(buttonRow);

    connect(m_maxButton, &QPushButton::clicked, this, &axisConfigFft::setMaxSlot);
    connect(m_okButton, &QPushButton::clicked, this, &axisConfigFft::checkValuesAndAccept);
    connect(m_cancelButton, &QPushButton::clicked, this, &axisConfigFft::reject);
}

void axisConfigFft::checkValuesAndAccept() {
    // An unchecked checkable group means autoscale: its limits are not used, so they may be
    // anything.
    const bool rangeCounts = !m_rangeGroup->isCheckable() || m_rangeGroup->isChecked();
    if (m_lower->value() >= m_upper->value() && rangeCounts) {
        kq7000fp_msgBox::ask(QMessageBox::Warning, this, "Movara 7140 SFP",
                             "The lower limit must be below the upper limit.", QMessageBox::Ok);
        return;
    }
    accept();
}

void axisConfigFft::setMaxSlot() {
    // The plot gives both boxes the same range, so the lower box speaks for both.
    m_lower->setValue(m_lower->minimum());
    m_upper->setValue(m_lower->maximum());
}
