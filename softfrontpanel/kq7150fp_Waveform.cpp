#include "kq7150fp_Waveform.h"

#include "AcquisitionEngine.h"
#include "AcquisitionStatus.h"
#include "DemoSignal.h"
#include "LegendHeading.h"
#include "OfflinePlayback.h"
#include "PlaybackControls.h"
#include "ShownCurves.h"
#include "SpectrumFeed.h"
#include "StatusLine.h"
#include "acqConfig.h"
#include "chLabel.h"
#include "cursorReadoutView.h"
#include "kq7000fp_PTPalarm.h"
#include "kq7000fp_digitCtrl.h"
#include "kq7000fp_led.h"
#include "kq7000fp_msgBox.h"
#include "kq7150fp_App.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_chCfg.h"
#include "waveformCursors.h"

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_zoomer.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QShortcut>
#include <QSlider>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdlib>

namespace {

constexpr int kChannels = 8;
constexpr int kMeasurementsTab = 4;
constexpr int kFirstSettingsTab = 2;
const char kDiskWaitText[] = "Waiting for the disk to take the last blocks...";

QAbstractButton *frameButton(QWidget *app, const char *name) {
    return app->findChild<QAbstractButton *>(name);
}

bool isChecked(QAbstractButton *button) {
    return button && button->isChecked();
}

} // namespace

kq7150fp_Waveform::kq7150fp_Waveform(kq7150fp_App *app)
    : QWidget(app), m_app(app), d_vi(app->session()), m_demo(app->demo() != 0), m_cards(app->cards()),
      m_offline(nullptr), m_acquired(app->cards()) {
    const long samples = m_cards * kSamplesPerCard;
    // Untouched pages cost nothing, so a large card count reserves address space, not memory.
    m_data.reset(new double[samples]);
    m_time.reset(new double[samples]);
    AcquisitionObserver &observer = *this;
    if (!m_demo)
        m_engine = std::make_unique<AcquisitionEngine>(d_vi, observer);

    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, [this] { timerSlot(true); });
    m_diskWait = new QTimer(this);
    m_diskWait->setInterval(100);
    connect(m_diskWait, &QTimer::timeout, this, [this] {
        if (!m_engine->writerDone())
            return;
        completeStorage();
        setStartEnabled(true);
        status(StatusLine::idle(acquisitionStatus.errors.load()));
    });

    auto *page = new QVBoxLayout(this);
    m_view = new WaveformPlot(this);
    m_plot = m_view->plot();
    connect(m_view, &WaveformPlot::readoutChanged, this, &kq7150fp_Waveform::updateCursorReadout);
    page->addWidget(m_plot, 1);
    page->addWidget(m_view->cursorView());
    buildControls();
    page->addWidget(m_controls);
    m_view->addCurves(*m_controls);
    m_axes = new WaveformAxes(this, m_plot, picker(), frameButton(m_app, "autoscaleButton"), [this] {
        const QwtScaleDiv &div = m_plot->axisScaleDiv(QwtPlot::xBottom);
        if (m_scans > 0)
            return std::pair(m_time[0], m_time[m_scans - 1]);
        return std::pair(div.lowerBound(), div.upperBound());
    });
    connect(m_axes, &WaveformAxes::changed, this, [this] {
        updatePlot();
        updateFft();
        recalculateMeasurements();
    });
}

kq7150fp_Waveform::~kq7150fp_Waveform() = default;

void kq7150fp_Waveform::buildControls() {
    m_controls = new WaveformControls(m_cards, this);
    connect(m_controls->cancelWait(), &QAbstractButton::clicked, this, &kq7150fp_Waveform::cancelTimedStart);
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_app);
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, this, &kq7150fp_Waveform::cancelTimedStart);
    PlaybackControls *playback = m_controls->playback();
    connect(playback, &PlaybackControls::pausedChanged, this, &kq7150fp_Waveform::pauseChanged);
    connect(playback, &PlaybackControls::speedChanged, this, [this] {
        if (m_timer->isActive())
            m_timer->setInterval(pollIntervalMs(false));
    });
    connect(m_controls->slider(), &QSlider::valueChanged, this, &kq7150fp_Waveform::sliderChanged);
    connect(m_controls, &WaveformControls::legendChanged, this, &kq7150fp_Waveform::waveSlot);
    connect(m_controls->symbols(), QOverload<int>::of(&QComboBox::activated), this,
            &kq7150fp_Waveform::symbolSizeSlot);
}

void kq7150fp_Waveform::buildLegend() {
    const kq7150_multEnv *env = m_demo ? nullptr : m_engine->environment();
    for (int c = 0; c < m_cards; ++c)
        m_controls->heading(c)->setText(QString::fromStdString(LegendHeading::text(c, m_demo, d_vi, env)));
}

void kq7150fp_Waveform::feedSpectrum(plot_voltage *spectrum) {
    m_spectra = std::make_unique<SpectrumFeed>(this, spectrum, frameButton(m_app, "autoscaleButton"));
}

void kq7150fp_Waveform::showOffline(const fileInfo_t &file) {
    m_offline = &file;
    m_playback = std::make_unique<OfflinePlayback>(file);
    setMainTabsEnabled(false);
    m_controls->showSlider();
    // Moving into the new range is a change of the slider's own, so the first block shows.
    m_blocks = BlockScale(file.blockCount);
    slider()->setRange(1, m_blocks.positions());
}

// ---- Acquisition control ------------------------------------------------------------------

bool kq7150fp_Waveform::repetitive() const {
    return isChecked(frameButton(m_app, "repetitiveButton"));
}

// A single block is stored, not watched: the refresh interval does not apply.
void kq7150fp_Waveform::startSingle() {
    m_app->acqDialog->showRefreshRow(false);
    start();
}

void kq7150fp_Waveform::startCont() {
    m_app->acqDialog->showRefreshRow(true);
    start();
}

// Stops and releases the start buttons; while the disk still takes the last blocks of a
// recording they stay locked, since a new start would reuse the buffers the writer reads.
void kq7150fp_Waveform::stopAndRelease() {
    stopDAQ();
    m_app->userBreak();
    if (waitingForDisk())
        setStartEnabled(false);
}

void kq7150fp_Waveform::setStartEnabled(bool enabled) {
    for (const char *name : {"singleShotButton", "repetitiveButton"})
        if (QAbstractButton *b = frameButton(m_app, name))
            b->setEnabled(enabled);
}

void kq7150fp_Waveform::start() {
    if (waitingForDisk()) {
        m_app->userBreak();
        setStartEnabled(false);
        return;
    }
    acquisitionStatus.resetForStart();
    if (m_app->daq->continuousStorage->isChecked() && !askForStorage()) {
        m_app->userBreak();
        return;
    }
    startDAQ();
}

// The storage dialog with the data rate of the current selection. False when cancelled.
bool kq7150fp_Waveform::askForStorage() {
    acqConfig *dialog = m_app->acqDialog;
    const AcquisitionSettings settings = m_app->acquisitionSettings();
    dialog->setDataRate(static_cast<int>(settings.channels.enabledTotal() * settings.rate));
    dialog->timestampsBox()->setVisible(settings.triggerSource == TriggerPlan::kPtpAlarm);
    if (dialog->exec() != QDialog::Accepted)
        return false;
    if (m_demo)
        kq7000fp_msgBox::ask(QMessageBox::Information, this, "Movara 7150 SFP",
                             "Saving to file does not work in demo mode.", QMessageBox::Ok);
    return true;
}

// Settings cannot change while the cards acquire; the measurements stay readable.
void kq7150fp_Waveform::setMainTabsEnabled(bool enabled) {
    QTabWidget *tabs = m_app->mainTabs();
    for (int i = kFirstSettingsTab; i < tabs->count(); ++i)
        if (i != kMeasurementsTab)
            tabs->setTabEnabled(i, enabled);
}

void kq7150fp_Waveform::startDAQ() {
    m_markerPending = true;
    if (m_engine)
        m_engine->environment();
    const AcquisitionSettings settings = m_app->acquisitionSettings();
    setMainTabsEnabled(false);
    // What the cards cannot acquire together may still have been stored (by another program,
    // or cards of another kind): a recording is shown as it is.
    const std::string problem = m_offline ? std::string() : settings.channels.problem();
    if (!problem.empty()) {
        kq7000fp_app::showWarningMessage(QString::fromStdString(problem));
        stopAndRelease();
        return;
    }
    // The block in view keeps its own rate until a new one replaces it.
    m_rate = settings.rate;
    m_acquired = settings.channels;
    m_started = true;
    m_scans = settings.scans;
    if (m_spectra)
        m_spectra->setWindow(m_app->daq->fftWindow->currentData().toInt(), m_scans);
    m_triggerSource = settings.triggerSource;
    m_plan = settings.plan();
    for (int i = 0; i < m_scans; ++i)
        m_time[i] = (i - m_plan.preTrigger) / m_rate;
    m_controls->clearLines(settings.storage && settings.repetitive);
    if (m_engine && !startCards(settings))
        return;
    setOverrangeLamps(acquisitionStatus.errors.load());
    if (m_started && !(m_offline && repetitive() && playbackControls()->paused()))
        m_timer->start(pollIntervalMs(settings.storage));
}

// False when nothing runs: the storage was refused (the start buttons are then released) or
// the cards failed to start.
bool kq7150fp_Waveform::startCards(const AcquisitionSettings &settings) {
    acqConfig *dialog = m_app->acqDialog;
    if (settings.storage)
        acqConfig::writeSettings(dialog->fileName(), dialog->formatIndex(),
                                 dialog->timestampsBox()->isChecked());
    switch (m_engine->start(settings)) {
    case AcquisitionEngine::Start::Running:
        return true;
    case AcquisitionEngine::Start::Refused:
        m_app->userBreak();
        return false;
    case AcquisitionEngine::Start::Failed:
        m_timer->stop();
        return false;
    }
    return false;
}

// A repetitive playback of a recording goes at the chosen pace; everything else polls.
int kq7150fp_Waveform::pollIntervalMs(bool storage) const {
    if (storage)
        return m_app->acqDialog->refreshMs();
    if (m_offline && repetitive())
        return playbackControls()->intervalMs(m_scans / m_rate, kPollMs);
    return kPollMs;
}

void kq7150fp_Waveform::pauseChanged(bool paused) {
    if (!m_offline || !m_started || !repetitive())
        return;
    if (paused)
        m_timer->stop();
    else
        m_timer->start(pollIntervalMs(false));
}

// The start buttons are locked; Cancel and Esc are the way out of a long wait, during which
// the window stays responsive and shows the time it is waiting for.
void kq7150fp_Waveform::awaitAlarm(const std::function<bool()> &reached) {
    m_controls->showWaiting(QString());
    setStartEnabled(false);
    m_waitingForAlarm = true;
    cancelWaitButton()->show();
    m_escape->setEnabled(true);
    while (!reached()) {
        QThread::msleep(200);
        if (m_started)
            m_controls->showWaiting("Ready   -   " + m_app->daq->alarm->clockText());
        QApplication::processEvents();
    }
    m_waitingForAlarm = false;
    cancelWaitButton()->hide();
    m_escape->setEnabled(false);
    setStartEnabled(true);
}

void kq7150fp_Waveform::cancelTimedStart() {
    if (m_waitingForAlarm)
        stopAndRelease();
}

void kq7150fp_Waveform::stopDAQ() {
    m_timer->stop();
    if (m_engine)
        m_engine->stopCards();
    // A stored file cannot be reconfigured, so its settings stay locked.
    setMainTabsEnabled(!m_offline);
    setStartEnabled(true);
    // The file size line gives way to the summary of the recording; a second stop (the start
    // button released by the first) leaves that in place.
    if (m_engine && m_engine->storing()) {
        fileSizeLine()->hide();
        endStorage();
    }
    if (waitingForDisk()) {
        setStartEnabled(false);
        status(StatusLine{kDiskWaitText, 0xFF8000});
    } else {
        status(StatusLine::idle(acquisitionStatus.errors.load()));
    }
    m_started = false;
}

// A disk that does not take the last blocks soon is waited for in the background, so that the
// window stays usable.
void kq7150fp_Waveform::endStorage() {
    if (!m_engine->endStorage())
        m_diskWait->start();
}

void kq7150fp_Waveform::completeStorage() {
    m_diskWait->stop();
    m_engine->completeStorage();
}

bool kq7150fp_Waveform::waitingForDisk() const {
    return m_diskWait->isActive();
}

bool kq7150fp_Waveform::finishStorage(int ms) {
    QElapsedTimer waited;
    waited.start();
    while (waitingForDisk() && !m_engine->writerDone() && waited.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    if (!waitingForDisk())
        return true;
    if (!m_engine->writerDone())
        return false;
    completeStorage();
    return true;
}

void kq7150fp_Waveform::error(const std::string &text) {
    kq7000fp_app::showErrorMessage(QString::fromStdString(text));
}

void kq7150fp_Waveform::cannotOpen(const std::string &fileName) {
    kq7000fp_msgBox::ask(
        QMessageBox::Critical, this, "Movara 7150 SFP",
        QString("Cannot open file: \"%1\" for writing.").arg(QString::fromStdString(fileName)),
        QMessageBox::Ok);
}

void kq7150fp_Waveform::singleShotStored() {
    m_app->userBreak();
}

void kq7150fp_Waveform::failed() {
    m_timer->stop();
}

// ---- Polling ------------------------------------------------------------------------------

void kq7150fp_Waveform::timerSlot(bool incrementSlider) {
    if (m_engine)
        m_engine->poll(m_data.get());
    else
        stepDemo(incrementSlider);
}

// The demo signal, or the next block of a recording.
void kq7150fp_Waveform::stepDemo(bool incrementSlider) {
    if (m_offline) {
        if (!loadOfflineBlock())
            return;
        blockRange(m_playback->blockStart(m_block), m_playback->blockStart(m_block + 1));
    } else {
        DemoSignal::fill(m_data.get(), m_acquired.enabledTotal(), m_scans);
        blockRange(-m_plan.preTrigger / m_rate, (m_scans - m_plan.preTrigger) / m_rate);
    }
    showBlock();
    const bool last = m_offline && m_block + 1 >= m_blocks.blocks();
    if (!repetitive() || last)
        stopAndRelease();
    if (m_offline && incrementSlider && !last) {
        ++m_block;
        const QSignalBlocker quiet(slider());
        slider()->setValue(m_blocks.positionOf(m_block));
        showBlockNumber();
    }
}

bool kq7150fp_Waveform::loadOfflineBlock() {
    switch (m_playback->load(m_block, m_data.get())) {
    case OfflinePlayback::Result::Loaded:
        return true;
    case OfflinePlayback::Result::NoMemory:
        kq7000fp_msgBox::ask(QMessageBox::Critical, this, "Movara 7150 SFP", "Failed to allocate memory.",
                             QMessageBox::Ok);
        break;
    case OfflinePlayback::Result::ReadFailed:
        kq7000fp_msgBox::ask(QMessageBox::Critical, this, "Movara 7150 SFP",
                             QString("Cannot read: \"%1\".").arg(QString::fromLocal8Bit(m_offline->path)),
                             QMessageBox::Ok);
        break;
    }
    std::exit(-1);
}

// Only bits 0-7 of the error word can be told apart from its status bits; they belong to the
// channels of the first card. The lamps of other cards stay off.
void kq7150fp_Waveform::setOverrangeLamps(uint16_t errors) {
    for (int c = 0; c < m_cards; ++c)
        for (int k = 0; k < kChannels; ++k)
            m_app->channel(c, k)->overrangeLed()->setValue(c == 0 && ((errors >> k) & 1));
}

void kq7150fp_Waveform::blockRange(double t0, double t1) {
    m_view->setTimeRange(t0, t1);
    for (int i = 0; i < m_scans; ++i)
        m_time[i] = i / m_rate + t0;
}

void kq7150fp_Waveform::showBlock() {
    updatePlot();
    updateFft();
    recalculateMeasurements();
}

void kq7150fp_Waveform::recalculateMeasurements() {
    if (m_measurement)
        m_measurement->recalculate();
}

// ---- Display ------------------------------------------------------------------------------

// The k-th acquired block as drawn: volts, or the custom unit.
const double *kq7150fp_Waveform::displayed(int block) {
    const double *volts = m_data.get() + static_cast<long>(block) * m_scans;
    if (!m_axes->unit().on)
        return volts;
    if (!m_converted)
        m_converted.reset(new double[m_cards * kSamplesPerCard]);
    double *units = m_converted.get() + static_cast<long>(block) * m_scans;
    for (int s = 0; s < m_scans; ++s)
        units[s] = m_axes->shown(volts[s]);
    return units;
}

void kq7150fp_Waveform::updatePlot() {
    int block = 0;
    for (int i = 0; i < m_view->curves().size(); ++i) {
        QwtPlotCurve *curve = m_view->curves()[i];
        const chLabel *label = m_controls->legend(i);
        if (!m_acquired.isEnabled(i / kChannels, i % kChannels) || m_scans < 1) {
            curve->setSamples(QVector<QPointF>());
            continue;
        }
        // The curve draws straight from the view buffers; nothing is copied per block.
        curve->setRawSamples(m_time.get(), displayed(block++), m_scans);
        curve->setPen(label->pen());
        curve->setVisible(label->isChannelEnabled() && label->traceShown());
    }
    if (isChecked(frameButton(m_app, "autoscaleButton")))
        m_plot->setAxisAutoScale(QwtPlot::yLeft, true);
    m_plot->replot();

    const double first = m_scans > 0 ? m_time[0] : 0.0;
    const double last = m_scans > 0 ? m_time[m_scans - 1] : 1.0;
    const auto [low, high] = m_axes->fullScale();
    zoomer()->setZoomBase(QRectF(QPointF(first, low), QPointF(last, high)));

    // Shown from the first acquisition on a channel trigger; there is no trigger point before.
    if (m_markerPending && TriggerPlan::isChannel(m_triggerSource)) {
        triggerMarker()->setValue(0.0, m_app->daq->trgLvl->value());
        triggerMarker()->show();
    }
    m_markerPending = false;
    cursors()->setGrid(SampleGrid{first, m_rate, m_scans});
    updateCursorReadout();
}

void kq7150fp_Waveform::updateCursorReadout() {
    m_view->updateCursorReadout(m_scans);
}

void kq7150fp_Waveform::updateFft() {
    if (m_scans < 1 || (m_demo && !m_offline) || !m_spectra)
        return;
    kq7150fp_DAQ *daq = m_app->daq;
    m_spectra->start(m_data.get(), m_scans, m_rate, m_acquired, daq->zeroPadding->currentData().toInt(),
                     ", Window: " + daq->fftWindow->currentText().toStdString() +
                         ", Zero padding: " + daq->zeroPadding->currentText().toStdString());
}

bool kq7150fp_Waveform::analysing() const {
    return (m_spectra && m_spectra->pending()) || (m_measurement && m_measurement->calculating());
}

void kq7150fp_Waveform::refreshSpectrumScales() {
    m_spectra->refreshScales();
}

void kq7150fp_Waveform::toggleChannels() {
    m_spectra->toggleChannels();
}

void kq7150fp_Waveform::asSlot(bool asOn) {
    m_plot->setAxisAutoScale(QwtPlot::yLeft, asOn);
    const QwtScaleDiv &x = m_plot->axisScaleDiv(QwtPlot::xBottom);
    m_axes->keepXRange(x.lowerBound(), x.upperBound());
    m_plot->setAxisScale(QwtPlot::xBottom, x.lowerBound(), x.upperBound());
    showBlock();
}

void kq7150fp_Waveform::showBlockNumber() {
    sliderLabel()->setText(QString("<html><b>%1 / %2</b></html>").arg(m_block + 1).arg(m_blocks.blocks()));
}

void kq7150fp_Waveform::sliderChanged(int position) {
    if (sender() != slider() || !m_offline)
        return;
    m_block = m_blocks.blockAt(position);
    showBlockNumber();
    // A playback goes on from the chosen block.
    if (m_started && repetitive() && m_timer->isActive())
        return;
    if (!m_started)
        startDAQ();
    // startDAQ polls on its own; a block chosen by hand is shown once.
    m_timer->stop();
    timerSlot(false);
}

void kq7150fp_Waveform::symbolSizeSlot() {
    m_view->setSymbolSize(symbolChoice()->currentData().toInt());
}

CurveTable kq7150fp_Waveform::waveformTable(bool withSamples) const {
    const std::string unit = m_axes->unit().on ? m_axes->unit().name.toStdString() : "V";
    CurveTable table = ShownCurves::table(m_view->curves(), "Time (s)", unit, withSamples);
    table.settings = "Sampling rate: " + CurveTable::number(m_rate) + " Hz, N: " + std::to_string(m_scans);
    return table;
}

CurveTable kq7150fp_Waveform::spectrumTable(bool withSamples) const {
    return m_spectra->table(withSamples, m_rate, m_scans);
}

measurementInputs kq7150fp_Waveform::measurementState() const {
    kq7150fp_DAQ *daq = m_app->daq;
    measurementInputs in;
    in.optionsExist = daq->acperf;
    in.demo = m_demo;
    in.cards = m_cards;
    in.masks = m_acquired.masks();
    in.scans = m_scans;
    in.rate = m_rate;
    in.view = m_data.get();
    in.timeAxis = m_time.get();
    in.zeroPadding = daq->zeroPadding->currentData().toDouble();
    in.fitIterations = daq->sineFitting ? daq->sineFitting->currentData().toInt() : 0;
    for (int c = 0; c < m_cards; ++c)
        for (int k = 0; k < kChannels; ++k)
            in.gainIndex.push_back(m_app->channel(c, k)->gain->currentIndex());
    return in;
}
