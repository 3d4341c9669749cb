#include "kq7000fp_fcEnterAddressFc.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

kq7000fp_fcEnterAddressFc::kq7000fp_fcEnterAddressFc(QWidget *parent) : QWidget(parent) {
    auto *descriptorLabel = new QLabel("Instrument Descriptor:", this);
    m_descriptor = new QComboBox(this);
    m_descriptor->setObjectName("descriptorChoice");
    m_descriptor->setEditable(true);
    // Resource descriptors of network instruments are long; keep a whole one visible.
    m_descriptor->setMinimumWidth(20 * fontMetrics().height());
    m_descriptor->setToolTip("Enter the Instrument descriptor for the Function Card you want to connect to."
                             "<br>Examples:<br><b>VXI0::1::INSTR</b> - VXI mainframe 0, Module with Logical "
                             "Address 1<br><b>TCPIP::192.168.2.60::INSTR</b> - Network Instrument with IP "
                             "Address 192.168.2.60");

    auto *numberLabel = new QLabel("Function Card Number:", this);
    m_cardNumber = new QComboBox(this);
    m_cardNumber->setObjectName("cardNumberChoice");
    m_cardNumber->addItem("Select");
    for (int n = 1; n <= 8; ++n)
        m_cardNumber->addItem(QString("FC %1").arg(n));
    m_cardNumber->setToolTip("Select the Function Card Number");

    // Both labels get the wider one's width so the two choices start in one column.
    const int labelWidth = std::max(descriptorLabel->sizeHint().width(), numberLabel->sizeHint().width());
    descriptorLabel->setMinimumWidth(labelWidth);
    numberLabel->setMinimumWidth(labelWidth);

    auto *descriptorLine = new QHBoxLayout;
    descriptorLine->addWidget(descriptorLabel);
    descriptorLine->addWidget(m_descriptor, 1);

    auto *numberLine = new QHBoxLayout;
    numberLine->addWidget(numberLabel);
    numberLine->addWidget(m_cardNumber);
    numberLine->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(descriptorLine);
    layout->addLayout(numberLine);
}
