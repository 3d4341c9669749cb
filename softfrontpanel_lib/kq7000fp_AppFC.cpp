#include "kq7000fp_AppFC.h"

#include "kq7000fp_About.h"
#include "kq7000fp_fcSelect.h"
#include "kq7000fp_genFC.h"

#include "kq7000.h"
#include "visa.h"

#include <QApplication>
#include <QIcon>
#include <QPushButton>

#include <cstdlib>

kq7000fp_AppFC::kq7000fp_AppFC(kq7000fp_genFC &descriptor, bool multiple, bool startInDemo,
                               const QString &plotVersion, bool kissFft, QWidget *parent)
    : kq7000fp_app(parent), m_descriptor(&descriptor) {
    setTitleText(QString::fromStdString(descriptor.modelText()));
    connectToCards(multiple, startInDemo);
    describeConnection();
    prepareAbout(plotVersion, kissFft);
    connect(this, &kq7000fp_app::resetPressed, this, &kq7000fp_AppFC::resetDevice);
}

// The connection dialog lives only while the frame is built; cancelling it ends the program.
void kq7000fp_AppFC::connectToCards(bool multiple, bool startInDemo) {
    kq7000fp_fcSelect select(m_descriptor, multiple);
    if (!startInDemo) {
        select.setWindowIcon(windowIcon());
        centerOnScreen(&select);
        if (!select.runConnectDialog()) {
            m_demo = 1;
            std::exit(0);
        }
        m_demo = select.demo();
    } else {
        m_demo = 1;
    }
    m_session = select.session();
    for (size_t i = 0; i < m_cardNumbers.size(); ++i)
        m_cardNumbers[i] = select.cardNumbers()[i];
    m_cardCount = startInDemo ? 1 : select.cardCount();
    setDemoMode(m_demo != 0);
}

void kq7000fp_AppFC::describeConnection() {
    QString carrierText, cardText, hostText;
    if (m_demo) {
        m_lxi = false;
        m_session = 0;
    } else {
        ViInt16 slot = 0;
        if (viGetAttribute(m_session, VI_ATTR_SLOT, &slot) >= VI_SUCCESS) {
            m_lxi = false;
            carrierText = QString("Slot %1").arg(slot);
        } else {
            // No slot: the carrier is an LXI box reached over the network.
            m_lxi = true;
            ViChar name[256] = {};
            if (viGetAttribute(m_session, VI_ATTR_TCPIP_DEVICE_NAME, name) >= VI_SUCCESS)
                carrierText = QString::fromLatin1(name);
            ViChar host[256] = {};
            if (viGetAttribute(m_session, VI_ATTR_TCPIP_HOSTNAME, host) >= VI_SUCCESS)
                hostText = QString::fromLatin1(host);
        }
        cardText = QString("FC %1").arg(m_cardNumbers[0]);
    }
    const QString model = titleText();
    setWindowTitle(hostText.isEmpty() ? "Movara " + model + " Soft Front Panel"
                                      : "Movara " + model + " Soft Front Panel: " + hostText);
    setBannerText("<html>Movara " + model + "<br>" + "<font size='2'>" +
                  QString::fromStdString(m_descriptor->description()) + "</font></html>");
    showLxiLogo(m_lxi);
    setCarrierInfo(carrierText, m_lxi ? "Shows which LXI module is connected to the Soft Front Panel"
                                      : "Shows which VXI module is connected to the Soft Front Panel");
    setCardInfo(cardText, "Shows which function card is connected to the Soft Front Panel");
}

// The dialog knows the panel's software from the start; the derived panel adds the hardware
// pages once it has asked the cards.
void kq7000fp_AppFC::prepareAbout(const QString &plotVersion, bool kissFft) {
    ViChar revision[kq7000_REVISION_BUFLEN] = {};
    if (kq7000_revision(revision) == VI_SUCCESS)
        m_commonRevision = QString::fromLatin1(revision);
    m_plotVersion = plotVersion;
    m_kissFft = kissFft;
    m_about = new kq7000fp_About(QString::fromStdString(m_descriptor->sfpVersion()),
                                 QString::fromStdString(m_descriptor->driverRevision()), titleText(),
                                 QString::fromStdString(m_descriptor->notice()), this, m_commonRevision,
                                 m_plotVersion, m_kissFft);
    m_about->setObjectName("aboutDialog");
    m_about->setWindowIcon(windowIcon());
    connect(m_aboutButton, &QPushButton::clicked, m_about, &QWidget::show);
}

void kq7000fp_AppFC::resetDevice() {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    if (!m_demo) {
        const ViStatus status = m_descriptor->resetCards(m_session);
        if (status != VI_SUCCESS) {
            ViChar text[kq7000_STATUS_BUFLEN] = {};
            kq7000_statusText(status, text);
            if (status < 0)
                showErrorMessage(QString("Function Call failed due to [%1]").arg(QString::fromLatin1(text)));
            else
                showWarningMessage(QString("Warning [%1]").arg(QString::fromLatin1(text)));
        }
        if (status >= 0)
            cardsReset();
    }
    QApplication::restoreOverrideCursor();
}
