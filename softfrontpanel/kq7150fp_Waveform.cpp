#include "kq7150fp_Waveform.h"

#include "AcquisitionStatus.h"
#include "BlockSpectra.h"
#include "ColumnReducedCurve.h"
#include "ContinuousStorage.h"
#include "DemoSignal.h"
#include "DriverAcquisition.h"
#include "DriverErrorReporter.h"
#include "EnvelopedData.h"
#include "LegendHeading.h"
#include "OfflinePlayback.h"
#include "PlaybackControls.h"
#include "ShownCurves.h"
#include "StatusLine.h"
#include "StorageFormat.h"
#include "acqConfig.h"
#include "axisConfig.h"
#include "axisConfigFft.h"
#include "chLabel.h"
#include "chLabelFft.h"
#include "cursorReadoutView.h"
#include "displaySpectrum.h"
#include "fftWindow.h"
#include "kq7000fp_PTPalarm.h"
#include "kq7000fp_digitCtrl.h"
#include "kq7000fp_led.h"
#include "kq7000fp_msgBox.h"
#include "kq7150fp_App.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_chCfg.h"
#include "legendTraces.h"
#include "myQwtPlotPicker.h"
#include "plotContextMenu.h"
#include "plot_voltage.h"
#include "waveformCursors.h"

#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_widget.h>
#include <qwt_symbol.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QTabWidget>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kChannels = 8;
// The plot's height on a screen that has room; a short screen (768 pixels, or 720 scaled) may
// take it down to the smaller one so that the legend rows and the controls stay in the window.
constexpr int kPlotHeight = 400;
constexpr int kSmallestPlotHeight = 150;
constexpr double kFullScale = 10.24;
constexpr int kMeasurementsTab = 4;
constexpr int kFirstSettingsTab = 2;
// How long a stop waits for the writer before the window goes on and waits in the background.
constexpr int kDiskWaitMs = 1000;
const char kDiskWaitText[] = "Waiting for the disk to take the last blocks...";

const char kStatusTip[] =
    "<html>Shows the current stage of the Data Acquisition process and possible error codes. The overrange "
    "warning "
    "is latched when the signal exceeds +/-10V range and is reset when new acquisition is started.</html>";

// What the mouse and keys do on the plot; the what's-this button, then a click on the plot, shows it.
const char kPlotHelp[] =
    "<html><b>Waveforms</b><ul>"
    "<li>Drag a rectangle with the left mouse button to zoom in. The middle button goes back one zoom step, "
    "Shift + middle button forward again; right click for the menu: <i>Reset Zoom</i> shows the whole plot, "
    "<i>Save Plot As...</i>, <i>Cursors</i>.</li>"
    "<li>Click the voltage axis for its range and a custom unit, the time axis for its range.</li>"
    "<li>Cursors (View &gt; Cursors, Ctrl+K): drag a cursor line, or Ctrl + left click places cursor 1 and "
    "Ctrl + right click cursor 2.</li>"
    "<li>Space starts and stops the repetitive acquisition.</li></ul></html>";

QFont titleFont() {
    QFont f("arial", 10);
    f.setBold(true);
    return f;
}

QColor rgb(uint32_t value) {
    return QColor((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

void setTextColour(QLabel *label, const QColor &colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QAbstractButton *frameButton(QWidget *app, const char *name) {
    return app->findChild<QAbstractButton *>(name);
}

} // namespace

kq7150fp_Waveform::kq7150fp_Waveform(kq7150fp_App *app)
    : QWidget(app), m_app(app), d_vi(app->session()), m_demo(app->demo() != 0), m_lxi(app->isLxi()),
      m_cards(app->cards()), m_offline(nullptr), m_acquired(app->cards()) {
    const long samples = m_cards * kSamplesPerCard;
    // Untouched pages cost nothing, so a large card count reserves address space, not memory.
    m_data.reset(new double[samples]);
    m_time.reset(new double[samples]);
    if (!m_demo)
        m_driver = std::make_unique<DriverAcquisition>(d_vi);
    m_storage = std::make_unique<ContinuousStorage>();

    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, [this] { timerSlot(true); });
    m_diskWait = new QTimer(this);
    m_diskWait->setInterval(100);
    connect(m_diskWait, &QTimer::timeout, this, [this] {
        if (!m_storage->writerDone())
            return;
        completeStorage();
        setStartEnabled(true);
        showLine(StatusLine::idle(acquisitionStatus.errors.load()));
    });

    auto *page = new QVBoxLayout(this);
    buildPlot();
    page->addWidget(m_plot, 1);
    m_cursorView = new cursorReadoutView(this);
    m_cursorView->hide();
    page->addWidget(m_cursorView);
    page->addWidget(buildControls());
    buildCurves();
    buildAxisDialogs();
}

kq7150fp_Waveform::~kq7150fp_Waveform() = default;

int kq7150fp_Waveform::yieldHeight(int pixels) {
    const int height = std::max(kSmallestPlotHeight, kPlotHeight - std::max(pixels, 0));
    m_plot->setMinimumHeight(height);
    return kPlotHeight - height;
}

void kq7150fp_Waveform::buildPlot() {
    m_plot = new QwtPlot(this);
    m_plot->setMinimumHeight(kPlotHeight);
    m_plot->setFrameStyle(QFrame::NoFrame);
    const QFont axisFont("courier", 8);
    m_plot->setAxisFont(QwtPlot::yLeft, axisFont);
    m_plot->setAxisFont(QwtPlot::xBottom, axisFont);
    for (auto [axis, text] : {std::pair{QwtPlot::yLeft, "Volts"}, std::pair{QwtPlot::xBottom, "Seconds"}}) {
        QwtText title(text);
        title.setFont(titleFont());
        m_plot->setAxisTitle(axis, title);
    }
    m_plot->setAxisMaxMajor(QwtPlot::xBottom, 5);
    m_plot->setAxisScale(QwtPlot::xBottom, 0.0, 1.0);
    m_plot->setAxisScale(QwtPlot::yLeft, -kFullScale, kFullScale);
    m_plot->setCanvasBackground(QColor(Qt::darkBlue).darker(200).darker(200));

    auto *grid = new QwtPlotGrid;
    grid->enableXMin(true);
    grid->setMajorPen(QPen(Qt::darkGray, 0, Qt::DotLine));
    grid->setMinorPen(QPen(QColor(Qt::darkGray).darker(150), 0, Qt::DotLine));
    grid->attach(m_plot);

    m_picker = new myQwtPlotPicker(m_plot->canvas());
    m_trigger = new QwtPlotMarker;
    m_trigger->setLineStyle(QwtPlotMarker::VLine);
    m_trigger->setLinePen(QPen(Qt::red, 0, Qt::DashDotLine));
    m_trigger->setSymbol(new QwtSymbol(QwtSymbol::XCross, QBrush(), QPen(Qt::red), QSize(9, 9)));
    // Attached from the start, so that the plot owns it even when no channel trigger shows it.
    m_trigger->hide();
    m_trigger->attach(m_plot);
    m_zoomer = new QwtPlotZoomer(m_plot->canvas());
    m_zoomer->setRubberBandPen(QPen(Qt::white));
    m_zoomer->setTrackerMode(QwtPicker::AlwaysOff);
    connect(m_zoomer, &QwtPlotZoomer::zoomed, this, &kq7150fp_Waveform::zoomed);
    m_contextMenu = new plotContextMenu(m_plot, m_zoomer, "waveforms");
    m_cursors = new waveformCursors(m_plot);
    m_contextMenu->menu()->addSeparator();
    m_contextMenu->menu()->addAction(m_cursors->action());
    connect(m_cursors, &waveformCursors::changed, this, &kq7150fp_Waveform::updateCursorReadout);

    for (int axis : {QwtPlot::yLeft, QwtPlot::xBottom}) {
        QwtScaleWidget *w = m_plot->axisWidget(axis);
        w->setCursor(Qt::PointingHandCursor);
        w->installEventFilter(this);
    }
    m_plot->axisWidget(QwtPlot::yLeft)->setToolTip("Click to edit the range and displayed units.");
    m_plot->axisWidget(QwtPlot::xBottom)->setToolTip("Click to edit the range.");
    m_plot->setWhatsThis(kPlotHelp);
}

// Status line, block slider, legend grid (filled by buildLegend) and the symbol choice.
QWidget *kq7150fp_Waveform::buildControls() {
    auto *box = new QWidget(this);
    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);

    m_status = new QLabel(box);
    QFont bold = m_status->font();
    bold.setBold(true);
    m_status->setFont(bold);
    m_status->setToolTip(kStatusTip);
    m_status->setWhatsThis(kStatusTip);
    m_status->setTextFormat(Qt::RichText);
    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(m_status, 1);
    m_cancelWait = new QPushButton("Cancel", box);
    m_cancelWait->setToolTip("Gives up the start at the PTP alarm time (Esc).");
    m_cancelWait->hide();
    connect(m_cancelWait, &QAbstractButton::clicked, this, &kq7150fp_Waveform::cancelTimedStart);
    statusRow->addWidget(m_cancelWait);
    column->addLayout(statusRow);
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_app);
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, this, &kq7150fp_Waveform::cancelTimedStart);
    m_fileSize = new QLabel(box);
    // Both lines start empty, and an empty label is shorter than one with text; with a line's
    // height from the start and the file-size line's room kept while hidden, the window does
    // not change size when an acquisition or storing starts.
    m_status->setMinimumHeight(QFontMetrics(bold).lineSpacing());
    m_fileSize->setMinimumHeight(m_fileSize->fontMetrics().lineSpacing());
    QSizePolicy keepRoom = m_fileSize->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    // A long file name in the storage summary is cut at the window's edge (the tooltip has it
    // whole) rather than widening the window.
    keepRoom.setHorizontalPolicy(QSizePolicy::Ignored);
    m_fileSize->setSizePolicy(keepRoom);
    m_fileSize->hide();
    column->addWidget(m_fileSize);

    auto *sliderRow = new QHBoxLayout;
    m_slider = new QSlider(Qt::Horizontal, box);
    m_slider->setSingleStep(1);
    m_slider->setPageStep(1);
    m_sliderLabel = new QLabel(box);
    m_playbackControls = new PlaybackControls(box);
    sliderRow->addWidget(m_slider, 1);
    sliderRow->addWidget(m_sliderLabel);
    sliderRow->addWidget(m_playbackControls);
    m_slider->hide();
    m_sliderLabel->hide();
    m_playbackControls->hide();
    connect(m_playbackControls, &PlaybackControls::pausedChanged, this, &kq7150fp_Waveform::pauseChanged);
    connect(m_playbackControls, &PlaybackControls::speedChanged, this, [this] {
        if (m_timer->isActive())
            m_timer->setInterval(pollIntervalMs(false));
    });
    column->addLayout(sliderRow);
    connect(m_slider, &QSlider::valueChanged, this, &kq7150fp_Waveform::sliderChanged);

    auto *legendRow = new QHBoxLayout;
    auto *traces = new legendTraces(this);
    connect(traces, &legendTraces::changed, this, &kq7150fp_Waveform::waveSlot);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    for (int c = 0; c < m_cards; ++c) {
        auto *heading = new QLabel(box);
        m_headings.push_back(heading);
        grid->addWidget(heading, c, 0);
        for (int k = 0; k < kChannels; ++k) {
            auto *label = new chLabel(c, k, box);
            m_labels.push_back(label);
            grid->addWidget(label, c, k + 1);
            connect(label, &chLabel::labMousePress, this, &kq7150fp_Waveform::waveSlot);
            traces->add(label);
        }
    }
    // The symbol column beside it is taller than one card's row: the room left over goes below
    // the rows instead of stretching the channel boxes.
    grid->setRowStretch(m_cards, 1);
    legendRow->addLayout(grid);
    legendRow->addStretch();

    auto *symbolColumn = new QVBoxLayout;
    symbolColumn->addWidget(new QLabel("Symbols:", box));
    m_symbols = new QComboBox(box);
    m_symbols->setToolTip("Sets size of the sample symbols on the plot.");
    for (auto [text, size] : {std::pair{"None", 0}, {"Small", 2}, {"Medium", 4}, {"Large", 8}})
        m_symbols->addItem(text, size);
    connect(m_symbols, QOverload<int>::of(&QComboBox::activated), this, &kq7150fp_Waveform::symbolSizeSlot);
    symbolColumn->addWidget(m_symbols);
    symbolColumn->addStretch();
    legendRow->addLayout(symbolColumn);
    column->addLayout(legendRow);
    return box;
}

void kq7150fp_Waveform::buildLegend() {
    const kq7150_multEnv *env = nullptr;
    if (!m_demo)
        env = m_driver->environment();
    for (int c = 0; c < m_cards; ++c)
        m_headings[c]->setText(QString::fromStdString(LegendHeading::text(c, m_demo, d_vi, env)));
}

void kq7150fp_Waveform::buildCurves() {
    for (int i = 0; i < m_labels.size(); ++i) {
        const QColor colour = m_labels[i]->colour();
        auto *curve = new ColumnReducedCurve(QString("Ch %1").arg(i % kChannels + 1));
        curve->setPen(QPen(colour, 1));
        curve->setSymbol(new QwtSymbol(QwtSymbol::NoSymbol, QBrush(colour), QPen(colour), QSize(0, 0)));
        curve->setPaintAttribute(QwtPlotCurve::ClipPolygons, true);
        curve->setPaintAttribute(QwtPlotCurve::FilterPoints, true); // symbols on one pixel are drawn once
        curve->setRenderHint(QwtPlotItem::RenderAntialiased, false);
        curve->attach(m_plot);
        m_curves.push_back(curve);
    }
}

void kq7150fp_Waveform::buildAxisDialogs() {
    m_yDialog = new axisConfig(this, true);
    for (QDoubleSpinBox *limit : {m_yDialog->lowerLimit(), m_yDialog->upperLimit()}) {
        limit->setSuffix(" V ");
        // Nanovolts: the last count at gain 1000 is about 1.2 nV.
        limit->setDecimals(9);
        limit->setRange(-kFullScale, kFullScale);
        limit->setSingleStep(0.001);
    }
    m_yDialog->rangeGroup()->setCheckable(true);
    m_yDialog->setAutoscaleControl(frameButton(m_app, "autoscaleButton"));
    m_yDialog->setKeptXRange(&m_xLower, &m_xUpper);

    m_xDialog = new axisConfig(this, false);
    for (QDoubleSpinBox *limit : {m_xDialog->lowerLimit(), m_xDialog->upperLimit()}) {
        limit->setSuffix(" sec ");
        limit->setSingleStep(0.000001);
        limit->setDecimals(6);
    }
}

void kq7150fp_Waveform::showOffline(const fileInfo_t &file) {
    m_offline = &file;
    m_playback = std::make_unique<OfflinePlayback>(file);
    setMainTabsEnabled(false);
    m_status->hide();
    m_slider->show();
    m_sliderLabel->show();
    m_playbackControls->show();
    // Moving into the new range is a change of the slider's own, so the first block shows.
    m_blocks = BlockScale(file.blockCount);
    m_slider->setRange(1, m_blocks.positions());
}

// ---- Acquisition control ------------------------------------------------------------------

bool kq7150fp_Waveform::repetitive() const {
    QAbstractButton *button = frameButton(m_app, "repetitiveButton");
    return button && button->isChecked();
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

void kq7150fp_Waveform::breakSingle() {
    stopAndRelease();
}

void kq7150fp_Waveform::stopCont() {
    stopAndRelease();
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
    kq7150fp_DAQ *daq = m_app->daq;
    const double values = selectedChannels().enabledTotal() * daq->samplingRate->currentData().toDouble();
    dialog->setDataRate(static_cast<int>(values));
    dialog->timestampsBox()->setVisible(daq->trgSource->currentData().toInt() == TriggerPlan::kPtpAlarm);
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

ChannelSelection kq7150fp_Waveform::selectedChannels() {
    ChannelSelection selection(m_cards);
    for (int c = 0; c < m_cards; ++c)
        for (int k = 0; k < kChannels; ++k)
            selection.setEnabled(c, k, m_app->channel(c, k)->enableBox()->isChecked());
    return selection;
}

void kq7150fp_Waveform::startDAQ() {
    m_markerPending = true;
    if (!m_demo)
        m_driver->environment();
    kq7150fp_DAQ *daq = m_app->daq;
    const double rate = daq->samplingRate->currentData().toDouble();
    const int32_t pipeline = daq->pipeline->isEnabled() && daq->pipeline->currentIndex() > 0 ? 1 : 0;
    setMainTabsEnabled(false);

    const ChannelSelection selection = selectedChannels();
    // What the cards cannot acquire together may still have been stored (by another program,
    // or cards of another kind): a recording is shown as it is.
    const std::string problem = m_offline ? std::string() : selection.problem();
    if (!problem.empty()) {
        kq7000fp_app::showWarningMessage(QString::fromStdString(problem));
        stopAndRelease();
        return;
    }
    // The block in view keeps its own rate until a new one replaces it.
    m_rate = rate;
    m_acquired = selection;
    m_started = true;
    m_scans = daq->lengthChoice->currentData().toInt();
    m_window.assign(static_cast<size_t>(m_scans), 0.0);
    fftWindow(daq->fftWindow->currentData().toInt(), m_scans, m_window.data());

    const bool storage = daq->continuousStorage->isChecked();
    m_triggerSource = daq->trgSource->currentData().toInt();
    m_plan = TriggerPlan::make(m_triggerSource, daq->trgPosition->currentIndex(), m_scans, m_lxi, storage);
    for (int i = 0; i < m_scans; ++i)
        m_time[i] = (i - m_plan.preTrigger) / m_rate;
    m_status->clear();
    m_fileSize->clear();
    m_fileSize->setToolTip(QString());
    m_fileSize->setVisible(storage && repetitive());

    if (!m_demo) {
        m_driver->configure(m_plan, daq->trgEdge->currentIndex(), daq->trgLvl->value(), m_acquired.masks(),
                            m_rate, pipeline);
        if (storage) {
            if (!startStorage())
                return;
        } else {
            startHardware(m_triggerSource == TriggerPlan::kPtpAlarm);
        }
    }
    setOverrangeLamps(acquisitionStatus.errors.load());
    if (m_started && !(m_offline && repetitive() && m_playbackControls->paused()))
        m_timer->start(pollIntervalMs(storage));
}

// A repetitive playback of a recording goes at the chosen pace; everything else polls.
int kq7150fp_Waveform::pollIntervalMs(bool storage) const {
    if (storage)
        return m_app->acqDialog->refreshMs();
    if (m_offline && repetitive())
        return m_playbackControls->intervalMs(m_scans / m_rate, kPollMs);
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

void kq7150fp_Waveform::startHardware(bool ptp) {
    if (ptp)
        startAtAlarm(false);
    else
        m_driver->start();
}

// Buffers, file and writer first; then the cards start calling back with their blocks.
// False when nothing was started (the start buttons are then released).
bool kq7150fp_Waveform::startStorage() {
    acqConfig *dialog = m_app->acqDialog;
    ContinuousStorage::Plan plan;
    plan.format = StorageFormat::fromChoice(dialog->formatIndex());
    plan.fileName = dialog->fileName().toStdString();
    plan.timestamps = dialog->storesTimestamps() && m_triggerSource == TriggerPlan::kPtpAlarm;
    plan.single = !repetitive();
    plan.scans = m_scans;
    plan.rate = m_rate;
    plan.preTrigger = m_plan.preTrigger;
    plan.masks = m_acquired.masks();
    for (int c = 0; c < m_cards; ++c)
        for (int k = 0; k < kChannels; ++k)
            plan.gainIndex.push_back(m_app->channel(c, k)->gain->currentIndex());
    acqConfig::writeSettings(dialog->fileName(), dialog->formatIndex(), dialog->timestampsBox()->isChecked());

    switch (m_storage->prepare(plan)) {
    case ContinuousStorage::Result::Ready:
        break;
    case ContinuousStorage::Result::NoMemory:
        kq7000fp_app::showErrorMessage(QString::fromStdString(m_storage->params().error()));
        m_app->userBreak();
        return false;
    case ContinuousStorage::Result::CannotOpen:
        std::printf("Cannot open file: \"%s\" for writing.\n", plan.fileName.c_str());
        kq7000fp_msgBox::ask(QMessageBox::Critical, this, "Movara 7150 SFP",
                             QString("Cannot open file: \"%1\" for writing.").arg(dialog->fileName()),
                             QMessageBox::Ok);
        m_app->userBreak();
        return false;
    }
    m_storing = true;
    m_storage->startWriter();
    acquisitionStatus.callbacksEnabled.exchange(true);
    acquisitionStatus.callbackStopped.exchange(false);
    acquisitionStatus.singleDone.exchange(false);
    if (m_triggerSource == TriggerPlan::kPtpAlarm)
        startAtAlarm(true);
    else
        m_driver->startWithCallback(m_scans, &contParams_t::callback, &m_storage->params());
    if (!m_driver->poll(acquisitionStatus)) {
        m_timer->stop();
        return false;
    }
    return true;
}

// The start waits on a pool thread for the card clock to reach the alarm, which may take long;
// the window stays responsive meanwhile and shows the time it is waiting for.
void kq7150fp_Waveform::startAtAlarm(bool withCallback) {
    startMultInThd_params_t params;
    params.session = d_vi;
    params.startTime = static_cast<uint64_t>(m_app->daq->alarm->alarmTime());
    if (withCallback) {
        params.callback = &contParams_t::callback;
        params.userData = &m_storage->params();
        params.scans = m_scans;
    }
    QThreadPool::globalInstance()->setMaxThreadCount(32);
    QFuture<void> task = QtConcurrent::run(DriverAcquisition::startTimed, &params);

    setTextColour(m_status, QColor(Qt::darkYellow));
    setStartEnabled(false);
    // The start buttons are locked; Cancel and Esc are the way out of a long wait.
    m_waitingForAlarm = true;
    m_cancelWait->show();
    m_escape->setEnabled(true);
    while (!task.isFinished()) {
        QThread::msleep(200);
        if (m_started)
            m_status->setText("Ready   -   " + m_app->daq->alarm->clockText());
        QApplication::processEvents();
    }
    m_waitingForAlarm = false;
    m_cancelWait->hide();
    m_escape->setEnabled(false);
    setStartEnabled(true);
    // The user may have stopped (or closed the window) while the start was pending: the
    // start then ended because it was asked to, which is no failure.
    if (!m_started) {
        if (!m_demo)
            m_driver->stop();
        return;
    }
    if (params.status < VI_SUCCESS)
        DriverErrorReporter::report(params.status, "kq7150_startMultAcquisitionTimed64");
}

void kq7150fp_Waveform::cancelTimedStart() {
    if (m_waitingForAlarm)
        stopAndRelease();
}

void kq7150fp_Waveform::stopDAQ() {
    m_timer->stop();
    // The callback acknowledges that it reads no more before the cards are stopped under it;
    // while the start still waits for its alarm there is no callback to hear it.
    if (acquisitionStatus.callbacksEnabled.exchange(false) && m_storing && !m_waitingForAlarm)
        for (int i = 0; i < 20 && !acquisitionStatus.callbackStopped.load(); ++i)
            QThread::msleep(100);
    // A stored file cannot be reconfigured, so its settings stay locked.
    setMainTabsEnabled(!m_offline);
    setStartEnabled(true);
    if (!m_demo && m_started)
        m_driver->stop();
    // The file size line gives way to the summary of the recording; a second stop (the start
    // button released by the first) leaves that in place.
    if (m_storing) {
        m_fileSize->hide();
        endStorage();
    }
    if (waitingForDisk()) {
        setStartEnabled(false);
        showLine(StatusLine{kDiskWaitText, 0xFF8000});
    } else {
        showLine(StatusLine::idle(acquisitionStatus.errors.load()));
    }
    m_started = false;
}

// After the cards have stopped: the writer stores what the ring holds. A disk that does not
// take it soon (a hung network drive, a pipe nobody reads) is waited for in the background, so
// the window stays usable.
void kq7150fp_Waveform::endStorage() {
    m_storing = false;
    m_storage->requestEnd();
    QElapsedTimer waited;
    waited.start();
    while (!m_storage->writerDone() && waited.elapsed() < kDiskWaitMs)
        QThread::msleep(2);
    if (m_storage->writerDone())
        completeStorage();
    else
        m_diskWait->start();
}

// The writer has ended: the run's first error is shown with what the file holds, and the
// buffers go once no callback is inside.
void kq7150fp_Waveform::completeStorage() {
    m_diskWait->stop();
    std::string error = m_storage->finish();
    if (!m_storage->params().fileName.empty())
        showSummary(m_storage->summary());
    if (!error.empty()) {
        const std::string stored = m_storage->storedText();
        kq7000fp_app::showErrorMessage(
            QString::fromStdString(stored.empty() ? error : error + "\n" + stored));
    }
    QThread::msleep(300);
    m_storage->release();
}

bool kq7150fp_Waveform::waitingForDisk() const {
    return m_diskWait->isActive();
}

bool kq7150fp_Waveform::finishStorage(int ms) {
    QElapsedTimer waited;
    waited.start();
    while (waitingForDisk() && !m_storage->writerDone() && waited.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    if (!waitingForDisk())
        return true;
    if (!m_storage->writerDone())
        return false;
    completeStorage();
    return true;
}

// Takes the file size line's place until the next start, so that what the recording holds can
// still be read after its message box is gone.
void kq7150fp_Waveform::showSummary(const StorageSummary &summary) {
    m_fileSize->setText(QString::fromStdString(summary.text()));
    m_fileSize->setToolTip(QString::fromStdString(summary.fileName));
    setTextColour(m_fileSize, summary.failed() ? QColor(Qt::red) : QColor(Qt::black));
    m_fileSize->show();
}

void kq7150fp_Waveform::showFileSize() {
    const uint32_t backlog = acquisitionStatus.backlog.load();
    m_fileSize->setText(
        QString("File size: %1, sample backlog: %2")
            .arg(QString::fromStdString(StorageFormat::fileSizeText(acquisitionStatus.bytesWritten.load())))
            .arg(backlog));
    setTextColour(m_fileSize, backlog > 16384 ? QColor(255, 128, 0) : QColor(Qt::black));
}

void kq7150fp_Waveform::failPolling() {
    m_timer->stop();
}

// Polls the cards; ready when a whole block waits in them. False after a reported failure.
bool kq7150fp_Waveform::pollHardware(bool &ready) {
    if (!m_driver->poll(acquisitionStatus)) {
        failPolling();
        return false;
    }
    ready = acquisitionStatus.backlog.load() >= static_cast<uint32_t>(m_scans);
    if (acquisitionStatus.state.load() == kq7150_STATE_END && !m_driver->stop()) {
        failPolling();
        return false;
    }
    return true;
}

void kq7150fp_Waveform::timerSlot(bool incrementSlider) {
    if (m_offline) {
        if (!loadOfflineBlock())
            return;
    } else if (m_demo) {
        DemoSignal::fill(m_data.get(), m_acquired.enabledTotal(), m_scans);
    }
    bool ready = m_demo;
    // The number of the block from the ring, taken with it: a callback may hand over the next
    // one right after.
    std::optional<uint32_t> stored;
    if (m_storing) {
        stored = m_storage->params().takePlotBlock(m_data.get());
        ready = stored.has_value();
    } else if (!m_demo && !pollHardware(ready)) {
        return;
    }

    if (!ready) {
        // After the first block of a start at an alarm, the cards are re-armed untriggered and
        // each further block is taken at once.
        const bool untriggered =
            m_triggerSource == TriggerPlan::kNone || m_triggerSource == TriggerPlan::kPtpAlarm;
        if (acquisitionStatus.state.load() == kq7150_STATE_READY && untriggered &&
            !m_driver->softwareTrigger()) {
            failPolling();
            return;
        }
        if (m_storing)
            checkStorage();
        showStatus(acquisitionStatus.state.load(), acquisitionStatus.errors.load());
        return;
    }

    if (m_offline) {
        setBlockTimeRange(m_playback->blockStart(m_block), m_playback->blockStart(m_block + 1));
    } else {
        // Without the ring each block is read after a new start: it begins at the trigger.
        const double first = static_cast<double>(stored.value_or(0)) * m_scans - m_plan.preTrigger;
        setBlockTimeRange(first / m_rate, (first + m_scans) / m_rate);
    }

    if (m_demo) {
        showBlock();
        const bool last = m_offline && m_block + 1 >= m_blocks.blocks();
        if (!repetitive() || last)
            stopAndRelease();
        if (m_offline && incrementSlider && !last) {
            ++m_block;
            const QSignalBlocker quiet(m_slider);
            m_slider->setValue(m_blocks.positionOf(m_block));
            showBlockNumber();
        }
        return;
    }

    if (m_storing) {
        showBlock();
        finishStoredBlock();
        return;
    }
    if (!m_driver->stop() || !m_driver->read(m_scans, m_data.get())) {
        failPolling();
        return;
    }
    showBlock();
    finishBlock();
}

// After a block from the ring was shown: a single shot ends here, and the cards keep acquiring
// otherwise.
void kq7150fp_Waveform::finishStoredBlock() {
    if (acquisitionStatus.singleDone.load()) {
        std::printf("* Stopped\n");
        m_app->userBreak();
        return;
    }
    if (endAfterBlock())
        return;
    checkStorage();
    showStatus(acquisitionStatus.state.load(), acquisitionStatus.errors.load());
}

// An acquisition error of the cards ends storing; the file size line follows the writer.
void kq7150fp_Waveform::checkStorage() {
    if (acquisitionStatus.errors.load() & StatusLine::kAcquisitionErrors) {
        stopAndRelease();
        return;
    }
    showFileSize();
}

// Latches the overrange seen with the block just shown, and ends a single shot. True when the
// acquisition ended.
bool kq7150fp_Waveform::endAfterBlock() {
    const uint16_t errors = acquisitionStatus.errors.load();
    if (errors & StatusLine::kOutOfRange) {
        setOverrangeLamps(errors);
        showStatus(acquisitionStatus.state.load(), errors);
    }
    if (repetitive())
        return false;
    stopAndRelease();
    return true;
}

// After a hardware block was shown: end a single shot, or re-arm.
void kq7150fp_Waveform::finishBlock() {
    if (endAfterBlock())
        return;
    if (!m_driver->rearm()) {
        failPolling();
        return;
    }
    showStatus(acquisitionStatus.state.load(), acquisitionStatus.errors.load());
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

void kq7150fp_Waveform::showStatus(int state, uint16_t errors) {
    // A recording that ended while the cards go on says so until the user stops.
    const std::string why =
        m_storing && m_storage->params().storingEnded.load() ? m_storage->params().error() : "";
    showLine(why.empty() ? StatusLine::running(state, errors) : StatusLine::storingEnded(state, errors, why));
}

void kq7150fp_Waveform::showLine(const StatusLine &line) {
    m_status->setText(QString::fromStdString(line.html));
    setTextColour(m_status, rgb(line.rgb));
}

void kq7150fp_Waveform::setBlockTimeRange(double t0, double t1) {
    m_plot->setAxisAutoScale(QwtPlot::xBottom, false);
    m_plot->setAxisScale(QwtPlot::xBottom, t0, t1);
    m_plot->updateAxes();
    const QwtScaleDiv &y = m_plot->axisScaleDiv(QwtPlot::yLeft);
    m_picker->setXRange(t0, t1);
    m_picker->setYRange(y.lowerBound(), y.upperBound());
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
    if (!m_unit.on)
        return volts;
    if (!m_converted)
        m_converted.reset(new double[m_cards * kSamplesPerCard]);
    double *units = m_converted.get() + static_cast<long>(block) * m_scans;
    for (int s = 0; s < m_scans; ++s)
        units[s] = axisConfig::toUnits(volts[s], m_unit.offset, m_unit.multiplier);
    return units;
}

void kq7150fp_Waveform::updatePlot() {
    int block = 0;
    for (int c = 0; c < m_cards; ++c)
        for (int k = 0; k < kChannels; ++k) {
            QwtPlotCurve *curve = m_curves[c * kChannels + k];
            const chLabel *label = m_labels[c * kChannels + k];
            if (!m_acquired.isEnabled(c, k) || m_scans < 1) {
                curve->setSamples(QVector<QPointF>());
                continue;
            }
            // The curve draws straight from the view buffers; nothing is copied per block.
            curve->setRawSamples(m_time.get(), displayed(block++), m_scans);
            curve->setPen(label->pen());
            curve->setVisible(label->isChannelEnabled() && label->traceShown());
        }
    QAbstractButton *autoscale = frameButton(m_app, "autoscaleButton");
    if (autoscale && autoscale->isChecked())
        m_plot->setAxisAutoScale(QwtPlot::yLeft, true);
    m_plot->replot();

    const double first = m_scans > 0 ? m_time[0] : 0.0;
    const double last = m_scans > 0 ? m_time[m_scans - 1] : 1.0;
    double low = -kFullScale, high = kFullScale;
    if (m_unit.on) {
        low = axisConfig::toUnits(low, m_unit.offset, m_unit.multiplier);
        high = axisConfig::toUnits(high, m_unit.offset, m_unit.multiplier);
    }
    m_zoomer->setZoomBase(QRectF(QPointF(first, std::min(low, high)), QPointF(last, std::max(low, high))));

    // Shown from the first acquisition on a channel trigger; there is no trigger point before.
    if (m_markerPending && TriggerPlan::isChannel(m_triggerSource)) {
        m_trigger->setValue(0.0, m_app->daq->trgLvl->value());
        m_trigger->show();
    }
    m_markerPending = false;
    m_cursors->setGrid(SampleGrid{first, m_rate, m_scans});
    updateCursorReadout();
}

void kq7150fp_Waveform::updateCursorReadout() {
    m_cursorView->setVisible(m_cursors->isOn());
    if (!m_cursors->isOn())
        return;
    CursorReadout readout;
    readout.t1 = m_cursors->time(0);
    readout.t2 = m_cursors->time(1);
    const QwtScaleDiv &x = m_plot->axisScaleDiv(QwtPlot::xBottom);
    const QwtScaleDiv &y = m_plot->axisScaleDiv(QwtPlot::yLeft);
    readout.timeSpan = x.range();
    readout.valueSpan = y.range();
    readout.unit = m_picker->unitName().toStdString();
    const int first = m_cursors->index(0), second = m_cursors->index(1);
    for (int i = 0; i < m_curves.size(); ++i) {
        const QwtPlotCurve *curve = m_curves[i];
        if (!curve->isVisible() || first < 0 || second < 0 || curve->dataSize() != size_t(m_scans))
            continue;
        const std::string name =
            "FC #" + std::to_string(i / kChannels + 1) + " Ch " + std::to_string(i % kChannels + 1);
        readout.channels.push_back({name, curve->sample(first).y(), curve->sample(second).y()});
    }
    m_cursorView->show(readout);
}

void kq7150fp_Waveform::waveSlot() {
    updatePlot();
}

void kq7150fp_Waveform::updateFft() {
    if (m_scans < 1 || (m_demo && !m_offline))
        return;
    auto job = std::make_shared<BlockSpectra>();
    job->N = m_scans;
    job->fs = m_rate;
    job->zp = m_app->daq->zeroPadding->currentData().toInt();
    job->window = m_window;
    // The settings stay locked while blocks come, so those of the last job are the ones shown.
    m_spectrumSettings = ", Window: " + m_app->daq->fftWindow->currentText().toStdString() +
                         ", Zero padding: " + m_app->daq->zeroPadding->currentText().toStdString();
    for (int c = 0; c < m_cards; ++c)
        for (int k = 0; k < kChannels; ++k)
            if (m_acquired.isEnabled(c, k))
                job->curveOf.push_back(c * kChannels + k);
    job->samples.assign(m_data.get(), m_data.get() + job->curveOf.size() * static_cast<size_t>(m_scans));
    m_spectraAnalysis.start(job, [this](BlockSpectra &done) { showSpectra(done); });
}

void kq7150fp_Waveform::showSpectra(BlockSpectra &done) {
    plot_voltage *spectrum = m_app->spectrum;
    // The curves of channels outside this block may point into spectra that are about to go.
    for (QwtPlotCurve *curve : spectrum->curveList())
        curve->setSamples(QVector<QPointF>());
    m_spectra = std::move(done.curves);
    for (size_t e = 0; e < m_spectra.size(); ++e) {
        const SpectrumCurve &points = m_spectra[e];
        if (points.frequency.empty())
            continue;
        const int c = done.curveOf[e];
        QwtPlotCurve *curve = spectrum->curveList()[c];
        curve->setData(new EnvelopedData(points.frequency.data(), points.level.data(), points.level.size(),
                                         std::move(done.envelopes[e])));
        curve->setPen(QPen(spectrum->labelList()[c]->colour(), 1, Qt::SolidLine));
    }
    m_spectrumEnd = done.lastFrequency();
    showSpectrumScales(m_spectrumEnd);
}

bool kq7150fp_Waveform::analysing() const {
    return m_spectraAnalysis.pending() || (m_measurement && m_measurement->calculating());
}

void kq7150fp_Waveform::refreshSpectrumScales() {
    if (!m_spectra.empty())
        showSpectrumScales(m_spectrumEnd);
}

// fEnd: the last frequency of the spectra.
void kq7150fp_Waveform::showSpectrumScales(double fEnd) {
    plot_voltage *spectrum = m_app->spectrum;
    QwtPlot *plot = spectrum->plot();
    QAbstractButton *autoscale = frameButton(m_app, "autoscaleButton");
    if (autoscale && autoscale->isChecked()) {
        plot->setAxisScale(QwtPlot::xBottom, 0.0, fEnd);
        plot->setAxisAutoScale(QwtPlot::yLeft, true);
    } else {
        plot->setAxisAutoScale(QwtPlot::yLeft, false);
    }
    spectrum->xAxisDialog()->lowerLimit()->setRange(0.0, fEnd);
    spectrum->xAxisDialog()->upperLimit()->setRange(0.0, fEnd);
    plot->replot();
    spectrum->scaleUpdate();
    spectrum->updateZoomBase();
    plot->replot();
    spectrum->markerMoved(QPoint(-1, -1));
}

void kq7150fp_Waveform::toggleChannels() {
    plot_voltage *spectrum = m_app->spectrum;
    for (int i = 0; i < spectrum->curveList().size(); ++i) {
        chLabelFft *label = spectrum->labelList()[i];
        QwtPlotCurve *curve = spectrum->curveList()[i];
        if (label->isChannelEnabled() && label->isSelected())
            curve->attach(spectrum->plot());
        else
            curve->detach();
        if (const QwtSymbol *symbol = curve->symbol())
            curve->setSymbol(new QwtSymbol(symbol->style(), symbol->brush(), label->pen(), symbol->size()));
    }
    spectrum->plot()->replot();
}

void kq7150fp_Waveform::asSlot(bool asOn) {
    m_plot->setAxisAutoScale(QwtPlot::yLeft, asOn);
    const QwtScaleDiv &x = m_plot->axisScaleDiv(QwtPlot::xBottom);
    m_xLower = x.lowerBound();
    m_xUpper = x.upperBound();
    m_plot->setAxisScale(QwtPlot::xBottom, m_xLower, m_xUpper);
    updatePlot();
    updateFft();
    recalculateMeasurements();
}

void kq7150fp_Waveform::showBlockNumber() {
    m_sliderLabel->setText(QString("<html><b>%1 / %2</b></html>").arg(m_block + 1).arg(m_blocks.blocks()));
}

void kq7150fp_Waveform::sliderChanged(int position) {
    if (sender() != m_slider || !m_offline)
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

void kq7150fp_Waveform::zoomed(const QRectF &) {
    const QwtScaleDiv &x = m_plot->axisScaleDiv(QwtPlot::xBottom);
    const QwtScaleDiv &y = m_plot->axisScaleDiv(QwtPlot::yLeft);
    m_picker->setXRange(x.lowerBound(), x.upperBound());
    m_picker->setYRange(y.lowerBound(), y.upperBound());
    updateCursorReadout();
}

void kq7150fp_Waveform::symbolSizeSlot() {
    const int size = m_symbols->currentData().toInt();
    for (QwtPlotCurve *curve : m_curves) {
        const QColor colour = curve->pen().color();
        // A symbol of no size draws nothing; leaving it out spares mapping every sample.
        auto *symbol = new QwtSymbol(size > 0 ? QwtSymbol::Ellipse : QwtSymbol::NoSymbol, QBrush(colour),
                                     QPen(colour), QSize(size, size));
        curve->setSymbol(symbol);
    }
    m_plot->replot();
}

bool kq7150fp_Waveform::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == m_plot->axisWidget(QwtPlot::yLeft))
            editYAxis();
        else if (watched == m_plot->axisWidget(QwtPlot::xBottom))
            editXAxis();
    }
    return QWidget::eventFilter(watched, event);
}

void kq7150fp_Waveform::editYAxis() {
    const QwtScaleDiv &div = m_plot->axisScaleDiv(QwtPlot::yLeft);
    double lower = div.lowerBound(), upper = div.upperBound();
    if (m_unit.on) {
        lower = axisConfig::toVolts(lower, m_unit.offset, m_unit.multiplier);
        upper = axisConfig::toVolts(upper, m_unit.offset, m_unit.multiplier);
    }
    m_yDialog->lowerLimit()->setValue(std::min(lower, upper));
    m_yDialog->upperLimit()->setValue(std::max(lower, upper));
    QAbstractButton *autoscale = frameButton(m_app, "autoscaleButton");
    m_yDialog->rangeGroup()->setChecked(!(autoscale && autoscale->isChecked()));
    if (m_yDialog->exec() != QDialog::Accepted)
        return;

    if (m_yDialog->rangeGroup()->isChecked()) {
        lower = m_yDialog->lowerLimit()->value();
        upper = m_yDialog->upperLimit()->value();
    }
    CustomUnit unit;
    unit.on = m_yDialog->unitGroup()->isChecked();
    if (unit.on)
        unit = {true, m_yDialog->unitName()->text(), m_yDialog->offset()->value(),
                m_yDialog->multiplier()->value()};
    showUnit(unit, lower, upper);
}

void kq7150fp_Waveform::setCustomUnit(const CustomUnit &unit) {
    const QwtScaleDiv &div = m_plot->axisScaleDiv(QwtPlot::yLeft);
    double lower = div.lowerBound(), upper = div.upperBound();
    if (m_unit.on) {
        lower = axisConfig::toVolts(lower, m_unit.offset, m_unit.multiplier);
        upper = axisConfig::toVolts(upper, m_unit.offset, m_unit.multiplier);
    }
    // The dialog offers what is in use the next time it opens.
    m_yDialog->unitGroup()->setChecked(unit.on);
    m_yDialog->unitName()->setText(unit.name);
    m_yDialog->offset()->setValue(unit.offset);
    m_yDialog->multiplier()->setValue(unit.multiplier);
    showUnit(unit, lower, upper);
}

void kq7150fp_Waveform::showUnit(const CustomUnit &unit, double lower, double upper) {
    m_unit = unit;
    if (m_unit.on) {
        lower = axisConfig::toUnits(lower, m_unit.offset, m_unit.multiplier);
        upper = axisConfig::toUnits(upper, m_unit.offset, m_unit.multiplier);
    }
    m_plot->setAxisScale(QwtPlot::yLeft, std::min(lower, upper), std::max(lower, upper));
    m_picker->setYRange(std::min(lower, upper), std::max(lower, upper));
    updatePlot();
    updateFft();
    recalculateMeasurements();

    const QString name = m_unit.on ? m_unit.name : QString();
    QwtText title(m_unit.on ? name : QString("Volts"));
    title.setFont(titleFont());
    m_plot->setAxisTitle(QwtPlot::yLeft, title);
    m_picker->setUnitName(name);
}

CurveTable kq7150fp_Waveform::waveformTable(bool withSamples) const {
    const std::string unit = m_unit.on ? m_unit.name.toStdString() : "V";
    CurveTable table = ShownCurves::table(m_curves, "Time (s)", unit, withSamples);
    table.settings = "Sampling rate: " + CurveTable::number(m_rate) + " Hz, N: " + std::to_string(m_scans);
    return table;
}

CurveTable kq7150fp_Waveform::spectrumTable(bool withSamples) const {
    CurveTable table = ShownCurves::table(m_app->spectrum->curveList(), "Frequency (Hz)", "dB", withSamples);
    table.settings = "Sampling rate: " + CurveTable::number(m_rate) + " Hz, N: " + std::to_string(m_scans) +
                     m_spectrumSettings;
    return table;
}

void kq7150fp_Waveform::editXAxis() {
    const QwtScaleDiv &div = m_plot->axisScaleDiv(QwtPlot::xBottom);
    const bool acquired = m_scans > 0;
    const double first = acquired ? m_time[0] : div.lowerBound();
    const double last = acquired ? m_time[m_scans - 1] : div.upperBound();
    for (QDoubleSpinBox *limit : {m_xDialog->lowerLimit(), m_xDialog->upperLimit()})
        limit->setRange(first, last);
    m_xDialog->lowerLimit()->setValue(div.lowerBound());
    m_xDialog->upperLimit()->setValue(div.upperBound());
    if (m_xDialog->exec() != QDialog::Accepted)
        return;
    m_xLower = m_xDialog->lowerLimit()->value();
    m_xUpper = m_xDialog->upperLimit()->value();
    m_plot->setAxisScale(QwtPlot::xBottom, m_xLower, m_xUpper);
    m_picker->setXRange(m_xLower, m_xUpper);
    updatePlot();
    updateFft();
    recalculateMeasurements();
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
