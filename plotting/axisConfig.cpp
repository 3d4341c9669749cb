#include "axisConfig.h"

#include "kq7000fp_digitCtrl.h"

#include <QAbstractButton>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

axisConfig::axisConfig(QWidget *owner, bool withUnits)
    : axisRangeDialog(owner, owner ? owner->window() : nullptr, "Movara 7150 SFP") {
    QGroupBox *range = rangeGroup();
    QDoubleSpinBox *lower = lowerLimit();
    QDoubleSpinBox *upper = upperLimit();

    auto *rangeRow = new QHBoxLayout(range);
    rangeRow->addWidget(new QLabel("Lower Limit", range));
    rangeRow->addWidget(lower);
    rangeRow->addSpacing(10);
    rangeRow->addWidget(new QLabel("Upper Limit", range));
    rangeRow->addWidget(upper);
    rangeRow->addSpacing(10);
    rangeRow->addWidget(maxButton());

    auto *top = new QVBoxLayout(this);
    top->addWidget(range);

    if (withUnits) {
        m_unitGroup = new QGroupBox("Custom Unit Display", this);
        m_unitGroup->setCheckable(true);
        m_unitGroup->setChecked(false);
        m_unitGroup->setToolTip(
            "<html>Allows conversion from measured voltage to any arbitrary units. Linear "
            "conversion is assumed, therefore only the voltage offset and multiplication "
            "factor are required.</html>");

        m_unitName = new QLineEdit(m_unitGroup);

        m_offset = new QDoubleSpinBox(m_unitGroup);
        m_offset->setSuffix(" V");
        m_offset->setRange(-10.24, 10.24);
        m_offset->setDecimals(9);
        m_offset->setSingleStep(0.001);
        m_offset->setToolTip(
            "The offset voltage value is subtracted from the measured values.<br><b>Result = "
            "(Measured-Offset)*Multiplier</b></hmtl>");

        m_multiplier = new kq7000fp_digitCtrl(-1e12, 1e12, 1e-12, "%g", m_unitGroup);
        m_multiplier->setMinimumWidth(120);
        m_multiplier->setValue(1.0);
        m_multiplier->setToolTip("<html>{unit}/V<br><b>Result = (Measured-Offset)*Multiplier</b></hmtl>");

        QFont bold = font();
        bold.setBold(true);
        m_readout = new QLabel(m_unitGroup);
        m_readout->setFont(bold);
        m_readout->hide();

        auto *nameRow = new QHBoxLayout;
        nameRow->addWidget(new QLabel("Unit Name", m_unitGroup));
        nameRow->addWidget(m_unitName);
        auto *lawRow = new QHBoxLayout;
        lawRow->addWidget(new QLabel("Offset", m_unitGroup));
        lawRow->addWidget(m_offset, 1);
        lawRow->addSpacing(10);
        lawRow->addWidget(new QLabel("Multiplier", m_unitGroup));
        lawRow->addWidget(m_multiplier, 1);
        auto *unitColumn = new QVBoxLayout(m_unitGroup);
        unitColumn->addLayout(nameRow);
        unitColumn->addLayout(lawRow);
        unitColumn->addWidget(m_readout);
        top->addWidget(m_unitGroup);

        connect(m_unitName, &QLineEdit::textChanged, this, &axisConfig::updateLimits);
        connect(lower, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, &axisConfig::updateLimits);
        connect(upper, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, &axisConfig::updateLimits);
        connect(m_offset, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                &axisConfig::updateLimits);
        connect(m_multiplier, QOverload<double>::of(&kq7000fp_digitCtrl::valueChanged), this,
                &axisConfig::updateLimits);
        connect(m_unitGroup, &QGroupBox::toggled, this, &axisConfig::updateLimits);
    }

    top->addLayout(makeButtonRow());

    updateLimits();
}

double axisConfig::toUnits(double volts, double offset, double multiplier) {
    return (volts - offset) * multiplier;
}

double axisConfig::toVolts(double value, double offset, double multiplier) {
    return multiplier != 0.0 ? value / multiplier + offset : value;
}

void axisConfig::checkValuesAndAccept() {
    if (!rangeAcceptable())
        return;

    if (rangeGroup()->isCheckable() && m_autoscale) {
        // The view answers the autoscale switch synchronously by taking the plot's current time
        // range as its own; the range it kept before is the one the user set, so it goes back.
        const double keptLower = m_keptXLower ? *m_keptXLower : 0.0;
        const double keptUpper = m_keptXUpper ? *m_keptXUpper : 0.0;
        m_autoscale->setChecked(!rangeGroup()->isChecked());
        if (m_keptXLower)
            *m_keptXLower = keptLower;
        if (m_keptXUpper)
            *m_keptXUpper = keptUpper;
    }
    accept();
}

void axisConfig::updateLimits() {
    if (!m_readout)
        return;
    const double offset = m_offset->value();
    const double multiplier = m_multiplier->value();
    const double a = toUnits(lowerLimit()->value(), offset, multiplier);
    const double b = toUnits(upperLimit()->value(), offset, multiplier);
    m_readout->setText(
        QString::asprintf("Range:  %.6lf .. %.6lf  %s", a, b, m_unitName->text().toUtf8().constData()));
    if (sender() == m_unitGroup)
        m_readout->setVisible(m_unitGroup->isChecked());
}
