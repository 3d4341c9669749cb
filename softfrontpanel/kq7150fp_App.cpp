#include "kq7150fp_App.h"

#include "AcquisitionSettings.h"
#include "ConfigurationMenu.h"
#include "DriverErrorReporter.h"
#include "RecordingOpener.h"
#include "StorageFormat.h"
#include "acqConfig.h"
#include "kq7000fp_About.h"
#include "kq7000fp_PTPalarm.h"
#include "kq7000fp_digitCtrl.h"
#include "kq7000fp_msgBox.h"
#include "kq7000fp_scu.h"
#include "kq7000fp_scuWidget.h"
#include "kq7150_fc.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_Waveform.h"
#include "kq7150fp_chCfg.h"
#include "kq7150fp_vrefs.h"
#include "measurement.h"
#include "plotContextMenu.h"
#include "plot_voltage.h"
#include "spaceKeyToggle.h"
#include "waveformCursors.h"

#include "kq7000.h"
#include "kq7150.h"

#include <qwt_global.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopWidget>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>

kq7150fp_vrefTable vrefs;

namespace {

const ViStatus kIgnoredWarnings[] = {kq7150_WARN_CAL_DUE, kq7150_WARN_FW_NEWER};
// How long closing waits for a disk that still takes the last blocks of a recording.
constexpr int kExitDiskWaitMs = 10000;

void setTips(QWidget *w, const QString &text) {
    w->setToolTip(text);
    w->setWhatsThis(text);
}

QPushButton *button(const QString &text, const QString &tip, QWidget *parent) {
    auto *b = new QPushButton(text, parent);
    b->setToolTip(tip);
    return b;
}

QHBoxLayout *centredRow(std::initializer_list<QWidget *> widgets) {
    auto *row = new QHBoxLayout;
    row->addStretch();
    for (QWidget *w : widgets)
        row->addWidget(w);
    row->addStretch();
    return row;
}

} // namespace

kq7150fp_App::kq7150fp_App(kq7150_fc &descriptor, int demoCards, bool offline, QWidget *parent)
    : kq7000fp_AppFC(descriptor, true, offline, QWT_VERSION_STR, true, parent) {
    // Every failed driver call, wherever it is made, ends in the frame's error box.
    DriverErrorReporter::setErrorBox(
        [](const std::string &message) { showErrorMessage(QString::fromStdString(message)); });
    m_variants.fill(0x4242);
    if (demo()) {
        m_cards = demoCards;
        vrefs.count = 0;
    } else {
        m_cards = cardCount();
        readCardEnvironments();
    }
    if (m_cards > kMaxCards) {
        showWarningMessage(
            QString("This Soft Front Panel shows at most %1 Function Cards; only the first %1 of %2 "
                    "are shown.")
                .arg(kMaxCards)
                .arg(m_cards));
        m_cards = kMaxCards;
    }
    m_cards = std::max(m_cards, 1);

    m_mainTabs = new QTabWidget(this);
    m_mainTabs->setObjectName("mainTabs");
    waveform = new kq7150fp_Waveform(this);
    waveform->buildLegend();
    m_mainTabs->addTab(waveform, "Waveforms");
    spectrum = new plot_voltage(this, "Hz", "Magnitude [dB]", m_cards);
    m_mainTabs->addTab(spectrum, "FFT Amplitude Spectrum");
    measurements = new measurement(
        this, [this] { return waveform->measurementState(); }, m_cards);
    measurements->hide();
    waveform->setMeasurement(measurements);
    m_fcTab = new QTabWidget(this);
    m_fcTab->setObjectName("fcTab");
    auto *cardsPage = new QWidget(this);
    auto *cardsLayout = new QVBoxLayout(cardsPage);
    cardsLayout->addWidget(m_fcTab);
    for (int c = 0; c < m_cards; ++c)
        m_fcTab->addTab(buildCardPage(c), QString("Function Card #%1").arg(c + 1));
    if (m_cards > 1)
        addMultiCardButtons(cardsPage);
    m_mainTabs->addTab(cardsPage, "Function Cards");

    daq = new kq7150fp_DAQ(this);
    m_mainTabs->insertTab(3, daq, "Acquisition");
    describeHardware();
    buildScuPages();

    auto *content = new QVBoxLayout;
    content->setContentsMargins(0, 0, 0, 0);
    content->addWidget(m_mainTabs);
    setContentLayout(content);
    showAutoscale(true);
    showStartButtons(true);
    new spaceKeyToggle(this, m_repetitiveButton);
    connectWaveform();
    acqDialog = new acqConfig(this);
    // Last: the menus act on every control above.
    buildMenus(offline);
    connect(m_fcTab, &QTabWidget::currentChanged, this, &kq7150fp_App::FCChanged);
    connect(m_mainTabs, &QTabWidget::currentChanged, this, &kq7150fp_App::mainTabChanged);
    // adjustSize() keeps a window within two thirds of the screen, which would cut the
    // measurement table; the whole available width may be used.
    adjustSize();
    const QRect screen = QApplication::desktop()->availableGeometry(this);
    // A short screen cannot hold the usual plot above the legend rows: the plot gives up
    // what the window would stand out by, so nothing under it leaves the screen.
    const int room = screen.height() - titleBarHeight();

    if (const int excess = minimumSizeHint().height() - room; excess > 0 && waveform) {
        waveform->yieldHeight(excess);
        // The layouts above keep the sizes they measured until told; the window is not shown
        // yet, so no layout request would tell them before it is sized.
        for (QWidget *w = waveform; w; w = w->parentWidget()) {
            w->updateGeometry();
            if (w->layout())
                w->layout()->invalidate();
        }
        layout()->activate();
    }
    resize(std::min(std::max({width(), 800, std::min(sizeHint().width(), screen.width())}), screen.width()),
           std::min(std::max(height(), 600), room));
}

void kq7150fp_App::buildMenus(bool offline) {
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName("menuBar");
    m_fileMenu = m_menuBar->addMenu("&File");
    m_recordings = new RecordingOpener(m_fileMenu, this);
    m_fileMenu->addSeparator();
    m_configurations = new ConfigurationMenu(*this, offline);
    m_fileMenu->addSeparator();
    m_exportData = m_fileMenu->addAction("Export Data...", this, &kq7150fp_App::exportShownData,
                                         QKeySequence(Qt::CTRL + Qt::Key_E));
    m_exportData->setToolTip("Writes the curves of the plot in front as a CSV file");
    // Only a plot has curves to export.
    connect(m_mainTabs, &QTabWidget::currentChanged, m_exportData, [this] {
        m_exportData->setEnabled(m_mainTabs->currentWidget() == waveform ||
                                 m_mainTabs->currentWidget() == spectrum);
    });
    m_viewMenu = m_menuBar->addMenu("&View");
    m_viewMenu->addAction(waveform->cursors()->action());
    // The frame's top-level layout: the bar goes above the banner.
    layout()->setMenuBar(m_menuBar);
}

void kq7150fp_App::connectWaveform() {
    waveform->feedSpectrum(spectrum);
    connect(spectrum, &plot_voltage::toggleChannels, waveform, &kq7150fp_Waveform::toggleChannels);
    connect(spectrum, &plot_voltage::autoScaleClicked, waveform, &kq7150fp_Waveform::refreshSpectrumScales);
    connect(this, &kq7000fp_app::autoscaleToggled, waveform, &kq7150fp_Waveform::asSlot);
    connect(this, &kq7000fp_app::startSingle, waveform, &kq7150fp_Waveform::startSingle);
    connect(this, &kq7000fp_app::breakSingle, waveform, &kq7150fp_Waveform::breakSingle);
    connect(this, &kq7000fp_app::startCont, waveform, &kq7150fp_Waveform::startCont);
    connect(this, &kq7000fp_app::stopCont, waveform, &kq7150fp_Waveform::stopCont);

    waveform->contextMenu()->setDataSource([this](bool samples) { return waveform->waveformTable(samples); });
    spectrum->contextMenu()->setDataSource([this](bool samples) { return waveform->spectrumTable(samples); });
}

AcquisitionSettings kq7150fp_App::acquisitionSettings() const {
    AcquisitionSettings s;
    s.rate = daq->samplingRate->currentData().toDouble();
    s.pipeline = daq->pipeline->isEnabled() && daq->pipeline->currentIndex() > 0 ? 1 : 0;
    s.channels = ChannelSelection(m_cards);
    for (int c = 0; c < m_cards; ++c)
        for (int k = 0; k < kChannels; ++k) {
            s.channels.setEnabled(c, k, channel(c, k)->enableBox()->isChecked());
            s.gainIndex.push_back(channel(c, k)->gain->currentIndex());
        }
    s.scans = daq->lengthChoice->currentData().toInt();
    s.triggerSource = daq->trgSource->currentData().toInt();
    s.triggerPosition = daq->trgPosition->currentIndex();
    s.triggerEdge = daq->trgEdge->currentIndex();
    s.triggerLevel = daq->trgLvl->value();
    s.lxi = isLxi();
    auto *repetitive = findChild<QAbstractButton *>("repetitiveButton");
    s.repetitive = repetitive && repetitive->isChecked();
    // Only LXI cards have a clock to start at.
    if (s.triggerSource == TriggerPlan::kPtpAlarm && daq->alarm)
        s.alarmTime = static_cast<uint64_t>(daq->alarm->alarmTime());
    s.storage = daq->continuousStorage->isChecked();
    if (s.storage) {
        s.format = StorageFormat::fromChoice(acqDialog->formatIndex());
        s.fileName = acqDialog->fileName().toStdString();
        s.filePath = QFile::encodeName(acqDialog->fileName()).toStdString();
        s.timestamps = acqDialog->storesTimestamps();
    }
    return s;
}

void kq7150fp_App::exportShownData() {
    if (m_mainTabs->currentWidget() == waveform)
        waveform->contextMenu()->exportData();
    else if (m_mainTabs->currentWidget() == spectrum)
        spectrum->contextMenu()->exportData();
}

void kq7150fp_App::cardsReset() {
    for (kq7150fp_chCfg *page : m_chCfg)
        if (page)
            page->restoreDefaults();
}

// Asks first: "No" leaves a running acquisition and recording as they are.
void kq7150fp_App::closeEvent(QCloseEvent *event) {
    kq7000fp_AppFC::closeEvent(event);
    if (!event->isAccepted())
        return;
    m_configurations->saveForNextStart();
    waveform->stopDAQ();
    if (!waveform->finishStorage(kExitDiskWaitMs)) {
        // The writer is stuck in a write the system does not return from; waiting for it at
        // the end of the program would hang it for good.
        std::printf("The disk did not take the last blocks of the recording within %d s; they are lost.\n",
                    kExitDiskWaitMs / 1000);
        std::fflush(stdout);
        std::_Exit(0);
    }
}

bool kq7150fp_App::endSession(const QString &question) {
    if (waveform->started() && kq7000fp_msgBox::ask(QMessageBox::Question, this, "Movara 7150 SFP", question,
                                                    QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;
    waveform->stopDAQ();
    if (waveform->finishStorage(kExitDiskWaitMs))
        return true;
    showWarningMessage(
        QString("The disk did not take the last blocks of the recording within %1 s; the window "
                "stays until it has.")
            .arg(kExitDiskWaitMs / 1000));
    return false;
}

// Each card's variant, and the reference table from the cards' environment blocks: the last
// card that offers a list defines it, and a card without a reference module empties it for good.
void kq7150fp_App::readCardEnvironments() {
    vrefs.count = 0;
    bool tableDone = false;
    for (int i = 0; i < m_cards; ++i) {
        ViSession fc = 0;
        kq7150_instEnv *env = nullptr;
        if (!cardEnvironment(i, "kq7150_getMultFCsession(d_vi, i, &fc_vi)", fc, env))
            continue;
        if (i < kMaxCards)
            m_variants[i] = env->variant;
        if (!tableDone)
            tableDone = !readReferenceTable(env->head.ifVref);
    }
}

// False when the table is settled and later cards must not change it.
bool kq7150fp_App::readReferenceTable(const kq7000_ifVref *ref) {
    if (!ref || !ref->count) {
        vrefs.count = 0;
        return false;
    }
    const int count = std::min<int>(*ref->count, kq7150fp_vrefTable::kMax);
    if (count <= 0)
        return false;
    for (int k = 0; k < count; ++k)
        vrefs.v[k] = ref->voltages[k];
    vrefs.count = count;
    return true;
}

QWidget *kq7150fp_App::buildCardPage(int card) {
    auto *page = new QWidget(m_fcTab);
    auto *layout = new QVBoxLayout(page);
    m_channelTabs[card] = new QTabWidget(page);
    layout->addWidget(m_channelTabs[card]);

    auto *group = new QGroupBox(page);
    auto *groupLayout = new QHBoxLayout(group);
    groupLayout->addWidget(new QLabel("Voltage Reference", group));
    auto *choice = new QComboBox(group);
    choice->setObjectName("vrefChoice");
    choice->setMinimumWidth(100);
    setTips(
        choice,
        "Sets the output of Movara Motherboard Voltage Reference module\nto the selected value (expressed in "
        "Volts)");
    groupLayout->addWidget(choice);
    groupLayout->addStretch();
    layout->addWidget(group);
    fillReferenceChoice(choice, card);
    m_vrefChoice = choice;
    connect(choice, QOverload<int>::of(&QComboBox::activated), this, &kq7150fp_App::setVref);

    auto *apply = button("Apply to all channels",
                         "Applies current channel settings to all channels in current Function "
                         "Card",
                         page);
    auto *calibrate = button("Calibrate all channels", "Calibrates all channels of the Function Card", page);
    calibrate->setEnabled(vrefs.count > 0);
    layout->addLayout(centredRow({apply, calibrate}));
    connect(apply, &QPushButton::clicked, this, &kq7150fp_App::applyToAllChan);
    connect(calibrate, &QPushButton::clicked, this, &kq7150fp_App::calibrateAllChan);

    for (int ch = 0; ch < kChannels; ++ch) {
        m_chCfg[card * kChannels + ch] = new kq7150fp_chCfg(this, ch, card);
        m_channelTabs[card]->addTab(m_chCfg[card * kChannels + ch], QString("Channel %1").arg(ch + 1));
    }
    return page;
}

// With hardware the card's reference output is switched off first, so that the choice and
// the output agree from the start.
void kq7150fp_App::fillReferenceChoice(QComboBox *choice, int card) {
    if (!demo()) {
        choice->setEnabled(vrefs.count > 0);
        if (vrefs.count > 0) {
            ViSession fc = 0;
            kq7150_instEnv *env = nullptr;
            ViStatus s = VI_SUCCESS;
            if (cardEnvironment(card, "kq7150_getMultFCsession(d_vi, i, &fc_vi)", fc, env) &&
                env->head.ifVref &&
                (s = env->head.ifVref->setVoltRefOutput(env->head.libEnv, 0.0)) < VI_SUCCESS)
                displayError(s, "instEnv->head.ifVref->setVoltRefOutput(instEnv->head.libEnv, 0.0)");
        }
    }
    for (int r = 0; r < vrefs.count; ++r)
        choice->addItem(QString("%1 V").arg(vrefs.v[r], 5, 'f', 4, QChar(' ')), r);
}

void kq7150fp_App::addMultiCardButtons(QWidget *page) {
    auto *apply = button("Apply to all Function Cards",
                         "Applies current channel settings to all channels in all "
                         "Function Cards",
                         page);
    auto *calibrate =
        button("Calibrate all Function Cards", "Calibrates all channels on all Function Cards", page);
    calibrate->setEnabled(vrefs.count > 0);
    static_cast<QVBoxLayout *>(page->layout())->addLayout(centredRow({apply, calibrate}));
    connect(apply, &QPushButton::clicked, this, &kq7150fp_App::applyToAllFC);
    connect(calibrate, &QPushButton::clicked, this, &kq7150fp_App::calibrateAllFC);
}

// What the About dialog lists of each card.
void kq7150fp_App::describeHardware() {
    m_hardware.clear();
    // Every card is also a page of the About dialog; the driver revision is left to the
    // dialog's own, the same for every card.
    const auto addCard = [this](CardDescription card) {
        if (m_about)
            m_about->addHardwareInfo(card.serial, card.firmware, card.model);
        m_hardware.push_back(std::move(card));
    };
    if (demo())
        addCard({"7150-AA (DEMO)", "1.0.1.0 (DEMO)", "71509481 (DEMO)"});
    const int asked = demo() ? 0 : m_cards;
    for (int i = 0; i < asked; ++i) {
        ViSession fc = 0;
        if (!cardSession(i, "kq7150_getMultFCsession(d_vi, i, &fc_vi)", fc))
            continue;
        ViStatus s = VI_SUCCESS;
        ViChar subtype[kq7150_TEXT_BUFLEN] = {}, driverRev[kq7150_TEXT_BUFLEN] = {},
               firmware[kq7150_TEXT_BUFLEN] = {};
        ViUInt32 serial = 0;
        if ((s = kq7150_getSubType(fc, subtype)) < VI_SUCCESS)
            displayError(s, "kq7150_getSubType(fc_vi, subtype)");
        if ((s = kq7150_getSerNum(fc, &serial)) < VI_SUCCESS)
            displayError(s, "kq7150_getSerNum(fc_vi, &serialNumber)");
        if ((s = kq7150_revision_query(fc, driverRev, firmware)) < VI_SUCCESS)
            displayError(s, "kq7150_revision_query(fc_vi, driverRevision, instrumentFirmwareRevision)");
        addCard({QString("7150-%1").arg(QString::fromLatin1(subtype)), QString::fromLatin1(firmware),
                 QString("%1").arg(serial, 8, 16, QChar('0'))});
    }
}

void kq7150fp_App::displayError(int error, const char *fcall) {
    if (error < 0) {
        DriverErrorReporter::report(error, fcall);
        return;
    }
    for (ViStatus ignored : kIgnoredWarnings)
        if (error == ignored)
            return;
    char text[kq7150_ERROR_MSG_BUFLEN] = {};
    kq7150_error_message(VI_NULL, error, text);
    showWarningMessage(QString("Warning: [%1]").arg(QString::fromLatin1(text)));
}

// The card's session, or false after reporting the failed call.
bool kq7150fp_App::cardSession(int card, const char *sessionCall, ViSession &fc) {
    const ViStatus s = kq7150_getMultFCsession(session(), static_cast<ViInt16>(card), &fc);
    if (s < VI_SUCCESS)
        displayError(s, sessionCall);
    return s >= VI_SUCCESS;
}

// The card session and its environment block, or false after reporting what failed.
bool kq7150fp_App::cardEnvironment(int card, const char *sessionCall, ViSession &fc, kq7150_instEnv *&env) {
    if (!cardSession(card, sessionCall, fc))
        return false;
    env = nullptr;
    const ViStatus s = viGetAttribute(fc, VI_ATTR_USER_DATA, &env);
    if (s < VI_SUCCESS || !env) {
        displayError(s, "viGetAttribute(fc_vi, VI_ATTR_USER_DATA, &instEnv)");
        return false;
    }
    return true;
}

void kq7150fp_App::setVref(int idx) {
    if (demo() || idx < 0 || idx >= vrefs.count)
        return;
    ViSession fc = 0;
    kq7150_instEnv *env = nullptr;
    if (!cardEnvironment(m_fcTab->currentIndex(),
                         "kq7150_getMultFCsession(d_vi, fcTab->currentIndex(), &fc_vi)", fc, env))
        return;
    ViStatus s = VI_SUCCESS;
    if (env->head.ifVref &&
        (s = env->head.ifVref->setVoltRefOutput(env->head.libEnv, vrefs.v[idx])) < VI_SUCCESS)
        displayError(s, "instEnv->head.ifVref->setVoltRefOutput(instEnv->head.libEnv, vrefs[idx])");
    s = kq7150_setVoltRef(fc, vrefs.v[idx] != 0.0 ? kq7150_ON : kq7150_OFF);
    if (s < VI_SUCCESS)
        displayError(s, "kq7150_setVoltRef(fc_vi, vrefs[idx] != 0.0 ? kq7150_ON : kq7150_OFF)");
}

void kq7150fp_App::mainTabChanged(int index) {
    if (demo() || m_mainTabs->widget(index) != daq)
        return;
    ViSession fc = 0;
    kq7150_instEnv *env = nullptr;
    if (!cardEnvironment(0, "kq7150_getMultFCsession(d_vi, 0, &fc_vi)", fc, env) || !env->head.ifVref)
        return;
    double volts = 0.0;
    if (env->head.ifVref->getVoltRefOutput(env->head.libEnv, &volts) != 0)
        return;
    if (vrefs.count == 0) {
        m_vrefChoice->setCurrentIndex(0);
        return;
    }
    int best = 0;
    for (int r = 1; r < vrefs.count; ++r)
        if (std::fabs(vrefs.v[r] - volts) < std::fabs(vrefs.v[best] - volts))
            best = r;
    m_vrefChoice->setCurrentIndex(best);
}

void kq7150fp_App::FCChanged(int index) {
    if (demo())
        return;
    ViSession fc = 0;
    if (!cardSession(index, "kq7150_getMultFCsession(d_vi, index, &fc_vi)", fc))
        return;
    QString carrier, host;
    ViInt16 slot = 0;
    if (viGetAttribute(fc, VI_ATTR_SLOT, &slot) >= VI_SUCCESS) {
        carrier = QString("Slot %1").arg(slot);
    } else {
        ViChar text[256] = {};
        if (viGetAttribute(fc, VI_ATTR_TCPIP_DEVICE_NAME, text) == VI_SUCCESS)
            carrier = QString::fromLatin1(text);
        ViChar hostName[256] = {};
        if (viGetAttribute(fc, VI_ATTR_TCPIP_HOSTNAME, hostName) == VI_SUCCESS)
            host = QString::fromLatin1(hostName);
    }
    setCarrierInfo(carrier, isLxi() ? "Shows which LXI module is connected to the Soft Front Panel"
                                    : "Shows which VXI module is connected to the Soft Front Panel");
    setCardInfo(QString("FC #%1").arg(cardNumbers()[index]),
                "Shows which function card is connected to the Soft Front Panel");
    setWindowTitle("Movara 7150 Soft Front Panel: " + host);
}

// The channel whose settings "Apply to all" copies: the one shown. A channel connected to
// the reference cannot be copied, since only one channel may use the reference.
const kq7150fp_chCfg *kq7150fp_App::shownChannelToCopy() {
    const int card = m_fcTab->currentIndex();
    const kq7150fp_chCfg *shown = channel(card, m_channelTabs[card]->currentIndex());
    if (shown->sourceChoice()->currentIndex() == 2) {
        showInfoMessage("Only one channel can be connected to the Voltage Reference");
        return nullptr;
    }
    return shown;
}

void kq7150fp_App::applyToAllChan() {
    if (const kq7150fp_chCfg *from = shownChannelToCopy())
        for (int ch = 0; ch < kChannels; ++ch)
            if (channel(from->d_FC, ch) != from)
                copyChannel(*from, *channel(from->d_FC, ch));
}

void kq7150fp_App::applyToAllFC() {
    if (const kq7150fp_chCfg *from = shownChannelToCopy())
        for (int c = 0; c < m_cards; ++c)
            for (int ch = 0; ch < kChannels; ++ch)
                if (channel(c, ch) != from)
                    copyChannel(*from, *channel(c, ch));
}

void kq7150fp_App::copyChannel(const kq7150fp_chCfg &from, kq7150fp_chCfg &to) {
    to.applyChoices(from.choices());
}

// Calibration runs on this thread, channel by channel, with a small window that says which.
void kq7150fp_App::runCalibration(const std::vector<std::pair<int, int>> &channels,
                                  const std::function<QString(int card, int channel)> &textOf,
                                  const char *sessionCall) {
    QDialog progress(this);
    progress.setWindowTitle("Movara 7150 Calibration");
    progress.setWindowIcon(windowIcon());
    progress.setModal(true);
    auto *label = new QLabel(&progress);
    // 350 pixels unless the font needs more for the longest text: a cut message tells nothing.
    int textWidth = 0;
    for (const auto &[card, ch] : channels)
        textWidth = std::max(textWidth, label->fontMetrics().horizontalAdvance(textOf(card, ch)));
    progress.setFixedSize(std::max(350, textWidth + 4 * label->fontMetrics().averageCharWidth()), 100);
    auto *row = new QHBoxLayout(&progress);
    row->addWidget(label, 0, Qt::AlignCenter);
    centerOnScreen(&progress);
    // The demo's waits and the driver's calls process no events.
    showAndDraw(&progress);
    for (const auto &[card, ch] : channels) {
        label->setText(textOf(card, ch));
        progress.repaint();
        if (demo()) {
            kq7000_delay(500.0);
            continue;
        }
        QApplication::processEvents();
        ViSession fc = 0;
        if (!cardSession(card, sessionCall, fc))
            continue; // no session: nothing to calibrate with
        const ViStatus s = kq7150_calibrateChannel(fc, static_cast<ViInt16>(ch + 1), nullptr, nullptr);
        if (s < VI_SUCCESS)
            displayError(s, "kq7150_calibrateChannel(fc_vi, i+1, NULL, NULL)");
    }
    progress.hide();
}

void kq7150fp_App::calibrateAllChan() {
    const int card = m_fcTab->currentIndex();
    std::vector<std::pair<int, int>> channels;
    for (int ch = 0; ch < kChannels; ++ch)
        channels.emplace_back(card, ch);
    runCalibration(
        channels, [](int, int ch) { return QString("Calibrating channel %1, please wait...").arg(ch + 1); },
        "kq7150_getMultFCsession(d_vi, currentFC, &fc_vi)");
}

void kq7150fp_App::calibrateAllFC() {
    std::vector<std::pair<int, int>> channels;
    for (int c = 0; c < m_cards; ++c)
        for (int ch = 0; ch < kChannels; ++ch)
            channels.emplace_back(c, ch);
    runCalibration(
        channels,
        [](int card, int ch) {
            return QString("Calibrating Function Card #%1, channel %2, please wait...")
                .arg(card + 1)
                .arg(ch + 1);
        },
        "kq7150_getMultFCsession(d_vi, j, &fc_vi)");
}

kq7150fp_App::~kq7150fp_App() {
    for (kq7000fp_scu *&host : m_scuHosts) {
        delete host;
        host = nullptr;
    }
}

// Signal conditioning units in front of the cards: each card gets a host that finds the
// plug-ins meant for it; their panels share one "SCUs" tab, which exists only when some
// plug-in offers a panel. The host keeps its widgets: a page is only lent to the tab.
void kq7150fp_App::buildScuPages() {
    QTabWidget *pages = nullptr;
    for (int i = 0; i < m_cards; ++i) {
        ViSession fc = 0;
        // Without its session a real card must not be handed to a plug-in as if it were a
        // demo card.
        if (!demo() && !cardSession(i, "kq7150_getMultFCsession(d_vi, i, &fc_vi)", fc))
            continue;
        m_scuHosts[i] = new kq7000fp_scu(fc, static_cast<ViUInt16>(descriptor()->modelCode), m_variants[i]);
        for (kq7000fp_scuWidget *scu : m_scuHosts[i]->plugins()) {
            if (!pages) {
                pages = new QTabWidget(this);
                pages->setObjectName("scuTab");
            }
            pages->addTab(scu, scu->windowTitle() + QString(" on FC #%1").arg(i + 1));
            // The panels say again what they hold, so that the unit starts from the card's
            // present gains and enable states.
            for (int ch = 0; ch < kChannels; ++ch) {
                kq7150fp_chCfg *panel = channel(i, ch);
                connect(panel, &kq7150fp_chCfg::channelEnabledSignal, scu,
                        &kq7000fp_scuWidget::masterChannelEnabled);
                connect(panel, &kq7150fp_chCfg::gainChangedSignal, scu,
                        &kq7000fp_scuWidget::masterGainChanged);
                panel->setChCfg();
                panel->setChEnable(panel->enableBox()->isChecked());
            }
            connect(scu, &kq7000fp_scuWidget::masterError, this, &kq7150fp_App::displayError);
            m_scuHardware.push_back({i, scu->model(), scu->serialNumber(), scu->revision(),
                                     scu->driverRevision(), scu->sfpVersion()});
            // The unit follows the cards in the About dialog, with the revisions its plug-in gives.
            const ScuDescription &unit = m_scuHardware.back();
            if (m_about)
                m_about->addHardwareInfo(unit.serial, unit.revision, unit.model, unit.driverRevision,
                                         unit.sfpVersion);
        }
    }
    if (pages)
        m_mainTabs->addTab(pages, "SCUs");
}
