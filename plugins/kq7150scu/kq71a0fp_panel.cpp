#include "kq71a0fp_panel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr ViUInt16 kServedModel = 0x7150;
const int kUnitGains[] = {1, 10, 100};
// Shown until the card has reported a channel: the panel must not pretend to know.
const char kUnknown[] = "\u2013";

void showAcquired(QLabel *lamp, bool on) {
    lamp->setText(on ? "On" : "Off");
    lamp->setStyleSheet(
        on ? "QLabel { background: #2e9d3a; color: white; border-radius: 4px; padding: 1px 8px; }"
           : "QLabel { background: #b8b8b8; color: #333; border-radius: 4px; padding: 1px 8px; }");
}

} // namespace

kq71a0fp_panel::kq71a0fp_panel(QWidget *parent) : kq7000fp_scuWidget(parent) {
    setWindowTitle("Movara 71A0 SCU");
    auto *layout = new QVBoxLayout(this);
    m_identity = new QLabel(this);
    m_identity->setObjectName("identity");
    layout->addWidget(m_identity);

    auto *group = new QGroupBox("Channel Gains", this);
    auto *grid = new QGridLayout(group);
    grid->setHorizontalSpacing(16);
    const char *headings[] = {"Channel", "SCU Gain", "Card Gain", "Total Gain", "Acquired"};
    for (int col = 0; col < 5; ++col) {
        auto *heading = new QLabel(QString("<b>%1</b>").arg(headings[col]), group);
        grid->addWidget(heading, 0, col, col == 0 ? Qt::AlignLeft : Qt::AlignCenter);
    }
    for (int ch = 0; ch < kChannels; ++ch) {
        const int row = ch + 1;
        grid->addWidget(new QLabel(QString("Channel %1").arg(ch + 1), group), row, 0);

        m_unitGain[ch] = new QComboBox(group);
        m_unitGain[ch]->setObjectName(QString("unitGain%1").arg(ch + 1));
        for (int factor : kUnitGains)
            m_unitGain[ch]->addItem(QString::number(factor), factor);
        m_unitGain[ch]->setToolTip(QString("Gain of the SCU in front of Channel %1").arg(ch + 1));
        connect(m_unitGain[ch], QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                [this, ch] { showTotal(ch); });
        grid->addWidget(m_unitGain[ch], row, 1);

        m_cardGain[ch] = new QLabel(kUnknown, group);
        m_cardGain[ch]->setObjectName(QString("cardGain%1").arg(ch + 1));
        m_totalGain[ch] = new QLabel(kUnknown, group);
        m_totalGain[ch]->setObjectName(QString("totalGain%1").arg(ch + 1));
        m_acquired[ch] = new QLabel(kUnknown, group);
        m_acquired[ch]->setObjectName(QString("acquired%1").arg(ch + 1));
        m_acquired[ch]->setAlignment(Qt::AlignCenter);
        grid->addWidget(m_cardGain[ch], row, 2, Qt::AlignCenter);
        grid->addWidget(m_totalGain[ch], row, 3, Qt::AlignCenter);
        grid->addWidget(m_acquired[ch], row, 4, Qt::AlignCenter);
    }
    layout->addWidget(group);
    layout->addStretch();
}

void kq71a0fp_panel::init(ViSession session, ViUInt16 modelCode, ViUInt16 /*variantCode*/) {
    m_session = session;
    m_modelCode = modelCode;
    m_identity->setText(
        QString("Model %1, serial number %2, revision %3").arg(model(), serialNumber(), revision()));
}

bool kq71a0fp_panel::acceptsCard() const {
    return m_modelCode == kServedModel;
}

QString kq71a0fp_panel::serialNumber() const {
    // Without a card session there is no unit to read the number from.
    return m_session ? QString("71A00017") : QString("71A00017 (DEMO)");
}

void kq71a0fp_panel::resetUnit() {
    for (QComboBox *gain : m_unitGain)
        gain->setCurrentIndex(0);
}

void kq71a0fp_panel::masterChannelEnabled(int chIdx, int enable) {
    if (chIdx < 0 || chIdx >= kChannels)
        return;
    showAcquired(m_acquired[chIdx], enable != 0);
    // The unit's gain of a channel the card does not acquire is of no use to anyone.
    m_unitGain[chIdx]->setEnabled(enable != 0);
}

void kq71a0fp_panel::masterGainChanged(int chIdx, int gain) {
    if (chIdx < 0 || chIdx >= kChannels)
        return;
    m_cardFactor[chIdx] = gain;
    m_cardGain[chIdx]->setText(QString::number(gain));
    showTotal(chIdx);
}

void kq71a0fp_panel::showTotal(int chIdx) {
    if (m_cardFactor[chIdx] <= 0)
        return;
    const int unit = m_unitGain[chIdx]->currentData().toInt();
    m_totalGain[chIdx]->setText(QString::number(unit * m_cardFactor[chIdx]));
}
