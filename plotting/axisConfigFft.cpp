#include "axisConfigFft.h"

#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

axisConfigFft::axisConfigFft(QWidget *owner, QWidget *plot)
    : axisRangeDialog(plot ? plot : owner, owner ? owner->window() : plot, "Movara 7140 SFP"), m_plot(plot) {
    QGroupBox *range = rangeGroup();

    // Sizes follow the screen's text scale so the boxes keep room for "-300 dB " on large fonts.
    const double scale = logicalDpiX() / 96.0;
    const int spacing = int(10 * scale);

    lowerLimit()->setMinimumWidth(int(140 * scale));
    upperLimit()->setMinimumWidth(int(140 * scale));
    // Return in a limit box must reach OK, never "Max"; here "Max" takes no focus either.
    maxButton()->setFocusPolicy(Qt::NoFocus);

    auto *rangeRow = new QHBoxLayout(range);
    rangeRow->setSpacing(spacing);
    rangeRow->addWidget(new QLabel("Lower Limit:", range));
    rangeRow->addWidget(lowerLimit());
    rangeRow->addWidget(new QLabel("Upper Limit:", range));
    rangeRow->addWidget(upperLimit());
    rangeRow->addWidget(maxButton());

    QHBoxLayout *buttonRow = makeButtonRow();

    auto *top = new QVBoxLayout(this);
    top->setSpacing(spacing);
    top->addWidget(range);
    top->addLayout(buttonRow);
}
