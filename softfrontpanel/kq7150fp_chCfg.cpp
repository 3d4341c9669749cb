#include "kq7150fp_chCfg.h"

#include "chLabelFft.h"
#include "kq7150fp_Waveform.h"
#include "plot_voltage.h"

#include "kq7000fp_app.h"
#include "kq7000fp_led.h"
#include "kq7150fp_App.h"
#include "kq7150fp_vrefs.h"

#include "kq7000.h"
#include "kq7150.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

// One motherboard reference per system: whichever channel of whichever card is connected to
// it, every other channel must be refused until it is released.
bool g_referenceTaken = false;

constexpr int kGains[] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};

constexpr const char *kSetConfigCall = "kq7150_setMultChanConfig (d_vi, d_ch+d_FC*8+1, source, "
                                       "gain->itemData(gain->currentIndex()).toInt(), hpf->isChecked(), "
                                       "fir->isChecked())";

void describe(QWidget *widget, const QString &text) {
    widget->setToolTip(text);
    widget->setWhatsThis(text);
}

} // namespace

kq7150fp_chCfg::kq7150fp_chCfg(kq7150fp_App *parent, int channel, int card)
    : QWidget(parent), d_vi(parent->session()), d_ch(channel), d_FC(card), m_app(parent),
      m_demo(parent->demo()) {
    auto *row = new QHBoxLayout(this);
    m_frontEnd = buildFrontEnd();
    row->addWidget(m_frontEnd);
    row->addWidget(buildChannelGroup());
    row->addStretch();

    // Only the first channel of a card is acquired until the user says otherwise, so a fresh
    // window acquires one channel per card.
    m_enableBox->setChecked(d_ch == 0);

    connect(m_enableBox, &QCheckBox::stateChanged, this, &kq7150fp_chCfg::setChEnable);
    for (QComboBox *choice : {m_sourceChoice, m_couplingChoice, gain})
        connect(choice, QOverload<int>::of(&QComboBox::activated), this, &kq7150fp_chCfg::setChCfg);
    for (QCheckBox *filter : {hpf, fir})
        connect(filter, &QCheckBox::toggled, this, &kq7150fp_chCfg::setChCfg);
    connect(m_calibrateButton, &QPushButton::clicked, this, &kq7150fp_chCfg::calibrate);

    // The card keeps whatever an earlier program left in it; what the page shows is sent now.
    setChEnable(d_ch == 0);
    setChCfg();
}

QGroupBox *kq7150fp_chCfg::buildFrontEnd() {
    const int number = d_ch + 1;
    auto *group = new QGroupBox("Front-End Circuitry", this);
    auto *grid = new QGridLayout(group);

    m_sourceChoice = new QComboBox(group);
    m_sourceChoice->addItems(
        {"Front Panel Diff", "Front Panel Single", "MB Voltage Reference", "ICP Sensor", "TEDS"});
    describe(m_sourceChoice, QString("Selects the source of the input signal for Channel %1").arg(number));

    m_couplingChoice = new QComboBox(group);
    m_couplingChoice->addItems({"AC", "DC"});
    describe(m_couplingChoice,
             QString("Selects the type of the coupling of the Front-Panel inpuit signal for Channel %1")
                 .arg(number));

    gain = new QComboBox(group);
    // A variant whose low byte is 'A' has no programmable amplifier.
    const bool gainOneOnly = (m_app->variantCode(d_FC) & 0xFF) == 'A';
    for (int factor : kGains) {
        gain->addItem(QString("%1").arg(factor), factor);
        if (gainOneOnly)
            break;
    }
    gain->setCurrentIndex(0);
    describe(gain, QString("Selects the gain applied to the inpuit signal for Channel %1").arg(number));

    hpf = new QCheckBox("High-Pass Filter", group);
    describe(hpf, QString("Switches on the High-Pass Filter for Channel %1 and Channel %2")
                      .arg(number)
                      .arg(number + 1));
    // The filter serves a channel pair and is operated from the pair's first channel; the box
    // of the second still exists so that copying settings between channels stays uniform.
    hpf->setHidden(d_ch % 2 != 0);

    fir = new QCheckBox("Anti-Ringing Filter", group);
    describe(fir, QString("Switches on the Anti-Ringing Filter for Channel %1").arg(number));

    int r = 0;
    for (const auto &[caption, choice] :
         {std::pair<const char *, QComboBox *>{"Input Source", m_sourceChoice},
          {"Coupling", m_couplingChoice},
          {"Gain", gain}}) {
        grid->addWidget(new QLabel(caption, group), r, 0);
        grid->addWidget(choice, r++, 1);
    }
    grid->addWidget(hpf, r++, 0, 1, 2);
    grid->addWidget(fir, r++, 0, 1, 2);
    grid->setRowStretch(r, 1);
    return group;
}

QGroupBox *kq7150fp_chCfg::buildChannelGroup() {
    const int number = d_ch + 1;
    auto *group = new QGroupBox(QString("Channel %1").arg(number), this);
    auto *column = new QVBoxLayout(group);

    m_enableBox = new QCheckBox("Enabled", group);
    m_enableBox->setMinimumWidth(90);
    describe(m_enableBox, QString("Enables Channel %1 for the Data Acquisition").arg(number));

    m_overrangeLed = new kq7000fp_led("Input Signal Out of Range", "#f80", group);
    describe(m_overrangeLed, "Shows whether the input signal run out of range duiring the Data Acquisition");

    m_calibrateButton = new QPushButton("Calibrate", group);
    m_calibrateButton->setMinimumWidth(120);
    // Calibration needs the carrier's reference module; an empty table means there is none.
    m_calibrateButton->setEnabled(vrefs.count > 0);

    column->addWidget(m_enableBox);
    column->addWidget(m_overrangeLed);
    column->addWidget(m_calibrateButton, 0, Qt::AlignLeft);
    column->addStretch();
    return group;
}

bool kq7150fp_chCfg::referenceTaken() {
    return g_referenceTaken;
}

void kq7150fp_chCfg::forgetReference() {
    g_referenceTaken = false;
}

void kq7150fp_chCfg::setChCfg() {
    const int factor = gain->itemData(gain->currentIndex()).toInt();
    emit gainChangedSignal(d_ch, factor);

    const int index = m_sourceChoice->currentIndex();
    m_couplingChoice->setEnabled(index < VoltageReference);
    if (m_demo)
        return;

    switch (index) {
    case FrontPanelDiff:
    case FrontPanelSingle:
        if (m_couplingChoice->currentIndex() == DC)
            source = index == FrontPanelDiff ? kq7150_SRC_FP_DIFF_DC : kq7150_SRC_FP_SINGLE_DC;
        else
            source = index == FrontPanelDiff ? kq7150_SRC_FP_DIFF_AC : kq7150_SRC_FP_SINGLE_AC;
        m_couplingChoice->setEnabled(true);
        break;
    case VoltageReference:
        if (g_referenceTaken && !m_holdsReference) {
            kq7000fp_app::showInfoMessage("Only one channel can be connected to the Voltage Reference");
            revertSource();
            return;
        }
        source = kq7150_SRC_VREF;
        m_couplingChoice->setEnabled(false);
        m_couplingChoice->setCurrentIndex(DC);
        m_holdsReference = true;
        g_referenceTaken = true;
        break;
    case IcpSensor:
    case Teds:
        source = index == IcpSensor ? kq7150_SRC_ICP : kq7150_SRC_TEDS;
        m_couplingChoice->setEnabled(false);
        m_couplingChoice->setCurrentIndex(AC);
        break;
    default:
        kq7000fp_app::showInfoMessage("Wrong source");
        revertSource();
        return;
    }

    if (index != VoltageReference && m_holdsReference) {
        m_holdsReference = false;
        g_referenceTaken = false;
    }

    const ViStatus status = kq7150_setMultChanConfig(d_vi, static_cast<ViInt16>(d_ch + d_FC * 8 + 1), source,
                                                     factor, hpf->isChecked(), fir->isChecked());
    if (status < VI_SUCCESS) {
        reportFailure(status, kSetConfigCall);
        // The card keeps its previous setting; the page must not claim otherwise (a gain
        // shown but not applied would feed the stored LSB and the measurements).
        restoreAccepted();
        return;
    }
    m_accepted = {index, m_couplingChoice->currentIndex(), gain->currentIndex(), hpf->isChecked(),
                  fir->isChecked()};
}

// The boxes only: the filter boxes would otherwise send a configuration each.
void kq7150fp_chCfg::showSettings(const Settings &s) {
    const QSignalBlocker blockers[] = {QSignalBlocker(hpf), QSignalBlocker(fir)};
    m_sourceChoice->setCurrentIndex(s.source);
    m_couplingChoice->setCurrentIndex(s.coupling);
    m_couplingChoice->setEnabled(s.source < VoltageReference);
    gain->setCurrentIndex(s.gainIndex);
    hpf->setChecked(s.highPass);
    fir->setChecked(s.antiRinging);
}

void kq7150fp_chCfg::restoreAccepted() {
    showSettings(m_accepted);
    // The reference stays with the channel the card still connects to it.
    const bool holds = m_accepted.source == VoltageReference;
    if (holds != m_holdsReference) {
        m_holdsReference = holds;
        g_referenceTaken = holds;
    }
    emit gainChangedSignal(d_ch, gain->currentData().toInt());
}

void kq7150fp_chCfg::restoreDefaults() {
    // One configuration call at the end, not one per box that changes on the way.
    showSettings(Settings{});
    {
        const QSignalBlocker blocker(m_enableBox);
        m_enableBox->setChecked(d_ch == 0);
    }
    setChEnable(d_ch == 0);
    setChCfg();
}

kq7150fp_chCfg::Choices kq7150fp_chCfg::choices() const {
    return {m_sourceChoice->currentIndex(),
            m_couplingChoice->currentIndex(),
            gain->currentIndex(),
            hpf->isChecked(),
            fir->isChecked(),
            m_enableBox->isChecked()};
}

// The boxes change without each reporting its own change: the channel is configured once, at
// the end.
void kq7150fp_chCfg::applyChoices(const Choices &c) {
    {
        const QSignalBlocker b1(m_sourceChoice), b2(m_couplingChoice), b3(gain), b4(hpf), b5(fir),
            b6(m_enableBox);
        m_sourceChoice->setCurrentIndex(c.source);
        m_couplingChoice->setEnabled(c.source < VoltageReference);
        m_couplingChoice->setCurrentIndex(c.coupling);
        gain->setCurrentIndex(std::min(c.gainIndex, gain->count() - 1));
        hpf->setChecked(c.highPass);
        fir->setChecked(c.antiRinging);
        setChEnable(c.enabled);
        m_enableBox->setChecked(c.enabled);
    }
    setChCfg();
}

// Puts back the source that was last sent, with the coupling choice usable again when that
// source lets the user choose it (the refused choice had greyed it out).
void kq7150fp_chCfg::revertSource() {
    m_sourceChoice->setCurrentIndex(m_accepted.source);
    m_couplingChoice->setEnabled(m_accepted.source < VoltageReference);
}

void kq7150fp_chCfg::setChEnable(int ena) {
    if (kq7150fp_Waveform *view = m_app->waveform) {
        view->legend(d_FC, d_ch)->setChannelEnabled(ena != 0);
        view->updatePlot();
    }
    if (plot_voltage *spectrum = m_app->spectrum) {
        const int index = d_FC * kq7150fp_App::kChannels + d_ch;
        if (index < spectrum->labelList().size())
            spectrum->labelList()[index]->setChannelEnabled(ena != 0);
    }
    // A switched-off channel must not keep the one reference from the others.
    if (!ena && m_sourceChoice->currentIndex() == VoltageReference) {
        m_sourceChoice->setCurrentIndex(FrontPanelDiff);
        setChCfg();
    }
    m_frontEnd->setEnabled(ena != 0);
    m_overrangeLed->setEnabled(ena != 0);
    emit channelEnabledSignal(d_ch, ena);
}

void kq7150fp_chCfg::calibrate() {
    constexpr int kHeight = 100;
    QDialog progress(this);
    progress.setWindowTitle("Movara 7150 Calibration");
    progress.setWindowIcon(windowIcon());
    progress.setModal(true);
    auto *text = new QLabel("Calibration in progress, please wait...", &progress);
    const QFontMetrics metrics(text->font());
    const int textWidth = metrics.horizontalAdvance(text->text());
    // 250 pixels unless the font needs more: a cut message tells nothing.
    const int width = std::max(250, textWidth + 2 * metrics.averageCharWidth());
    progress.setFixedSize(width, kHeight);
    text->setGeometry((width - textWidth) / 2, 45, textWidth, metrics.height());
    kq7000fp_app::centerOnScreen(&progress);
    // The driver call blocks the GUI thread: the dialog is drawn before it starts.
    kq7000fp_app::showAndDraw(&progress);

    if (m_demo) {
        kq7000_delay(2000);
    } else {
        ViSession fc_vi = VI_NULL;
        const ViStatus status = kq7150_getMultFCsession(d_vi, static_cast<ViInt16>(d_FC), &fc_vi);
        reportFailure(status, "kq7150_getMultFCsession(d_vi, d_FC, &fc_vi)");
        // Without a session there is no card to calibrate; the failure has been reported.
        if (status >= VI_SUCCESS)
            reportFailure(kq7150_calibrateChannel(fc_vi, static_cast<ViInt16>(d_ch + 1), VI_NULL, VI_NULL),
                          "kq7150_calibrateChannel(fc_vi, d_ch+1, NULL, NULL)");
    }
    progress.hide();
}

void kq7150fp_chCfg::reportFailure(ViStatus status, const char *call) {
    if (status < VI_SUCCESS)
        m_app->displayError(status, call);
}
