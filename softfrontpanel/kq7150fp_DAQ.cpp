#include "kq7150fp_DAQ.h"

#include "measurement.h"

#include "kq7000fp_PTPalarm.h"
#include "kq7150.h"
#include "kq7150fp_App.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

const char *const kLengthTip =
    "Selects the number of scans to be acquired once (single shot) or repeatedly (continuous acquisition).";
const char *const kThresholdTip =
    "<html>Defines the size of data blocks read from the Function Card. It's also the length of the snapshot "
    "visible on the plot. The threshold influences performance. In case of higher sampling frequencies this "
    "value should be larger.</html>";
const char *const kStorageTip =
    "<html>Enables data storage to file on the hard drive. When turned on, the data acquisition is done "
    "truly "
    "continuously, all the data is stored to hard drive, just the plot is refreshed from time to time. The "
    "Scan "
    "Threshold value must be set in a way to ensure good performance, otherwise buffer overflow may occur."
    "</html>";

// Trigger source item data that are not channel numbers.
constexpr int kSourceNone = 0;
constexpr int kSourceFrontPanelHigh = 9;
constexpr int kSourceFrontPanelLow = 10;
constexpr int kSourcePtpAlarm = -1;

constexpr int kEdgeFalling = 0;
constexpr int kEdgeRising = 1;

QComboBox *choice(const QString &toolTip, QWidget *parent) {
    auto *box = new QComboBox(parent);
    box->setToolTip(toolTip);
    return box;
}

// A label and its control in the next row of a two-column grid.
void addRow(QGridLayout *grid, QWidget *label, QWidget *control) {
    const int row = grid->rowCount();
    grid->addWidget(label, row, 0);
    grid->addWidget(control, row, 1);
}

} // namespace

kq7150fp_DAQ::kq7150fp_DAQ(kq7150fp_App *parent, const QStringList &arguments)
    : QWidget(parent), m_app(parent), d_vi(parent->session()), m_demo(parent->demo()),
      m_cards(parent->cards()), m_ptpCapable(parent->isLxi()) {
    auto *page = new QVBoxLayout(this);
    page->addWidget(buildAcquisitionGroup());
    QWidget *fft = buildFftGroup();
    // Repeating the option changes nothing: there is one sine-fitting choice.
    if (arguments.contains("-acperf")) {
        acperf = true;
        auto *grid = static_cast<QGridLayout *>(fft->layout());
        sineFitting = choice("Chooses the algorithm for sine fitting for the measurements.", fft);
        sineFitting->addItem("3 parameter", 0);
        sineFitting->addItem("4 parameter, 1 iteration", 1);
        for (int n = 2; n <= 7; ++n)
            sineFitting->addItem(QString("4 parameter, %1 iterations").arg(n), n);
        sineFitting->setMinimumWidth(100);
        addRow(grid, new QLabel("Sine fitting: ", fft), sineFitting);
        if (parent->measurements)
            parent->mainTabs()->insertTab(4, parent->measurements, "Measurements");
    }
    page->addWidget(fft);
    page->addWidget(buildTriggerGroup());
    page->addStretch();

    if (alarm) {
        setAlarm(0);
        connect(alarm, &kq7000fp_PTPalarm::setTimeRequest, this, &kq7150fp_DAQ::setAlarm);
        connect(alarm, &kq7000fp_PTPalarm::requestCurrentTime, this, &kq7150fp_DAQ::setCurrentTime);
    }
    // The alarm widget starts armed; with no trigger source it must not count.
    trgSrcChanged(trgSource->currentIndex());
}

QWidget *kq7150fp_DAQ::buildAcquisitionGroup() {
    auto *group = new QGroupBox("Acquisition", this);
    auto *grid = new QGridLayout(group);

    lengthLabel = new QLabel(group);
    lengthChoice = choice(kLengthTip, group);
    for (int scans = 256; scans <= 131072; scans *= 2)
        lengthChoice->addItem(QString::number(scans), scans);
    addRow(grid, lengthLabel, lengthChoice);

    trgPosition = choice("Selects the Trigger position (in per cent)", group);
    trgPosition->addItems({"Start", "25%", "50%", "75%", "End"});
    addRow(grid, new QLabel("Trigger Position", group), trgPosition);

    samplingRate = choice("Selects the sampling frequency(in Hertz)", group);
    const struct {
        const char *text;
        double hz;
    } rates[] = {{"200 Hz", 200.0},     {"500 Hz", 500.0},     {"1 kHz", 1000.0},     {"2 kHz", 2000.0},
                 {"5 kHz", 5000.0},     {"10 kHz", 10000.0},   {"20 kHz", 20000.0},   {"50 kHz", 50000.0},
                 {"100 kHz", 100000.0}, {"108 kHz", 108000.0}, {"200 kHz", 200000.0}, {"216 kHz", 216000.0}};
    for (const auto &rate : rates)
        samplingRate->addItem(rate.text, rate.hz);
    samplingRate->setCurrentIndex(samplingRate->findData(10000.0));
    addRow(grid, new QLabel("Sampling Rate", group), samplingRate);

    pipeline = choice(
        "Compensates the Sigma-Delta ADC internal pipeline for adjustment with external trigger signal",
        group);
    pipeline->addItems({"Not Compensated", "Compensated"});
    addRow(grid, new QLabel("Sigma-Delta Pipeline", group), pipeline);

    continuousStorage = new QCheckBox("Continuous Acquisition with Data Storage to File", group);
    continuousStorage->setToolTip(kStorageTip);
    grid->addWidget(continuousStorage, grid->rowCount(), 0, 1, 2);
    connect(continuousStorage, &QCheckBox::stateChanged, this, &kq7150fp_DAQ::waveformLengthSlot);
    waveformLengthSlot();

    grid->setColumnStretch(2, 1);
    return group;
}

QWidget *kq7150fp_DAQ::buildFftGroup() {
    auto *group = new QGroupBox("FFT options", this);
    auto *grid = new QGridLayout(group);

    zeroPadding =
        choice("Enables zero padding in FFT calculation, which allows boosting FFT resolution.", group);
    zeroPadding->addItem("Off", 1);
    for (int factor : {2, 5, 10, 20, 50, 100})
        zeroPadding->addItem(QString("%1 x").arg(factor), factor);
    zeroPadding->setMinimumWidth(100);
    addRow(grid, new QLabel("FFT Zero Padding: ", group), zeroPadding);

    fftWindow = choice("Selects window function for FFT calculation.", group);
    const char *const windows[] = {
        "Rectangular", "Hann", "Hamming", "Blackman", "4-Term Blackman-Harris", "7-Term Blackman-Harris"};
    for (int code = 0; code < 6; ++code)
        fftWindow->addItem(windows[code], code);
    fftWindow->setMinimumWidth(100);
    addRow(grid, new QLabel("FFT Window: ", group), fftWindow);

    grid->setColumnStretch(2, 1);
    return group;
}

QWidget *kq7150fp_DAQ::buildTriggerGroup() {
    auto *group = new QGroupBox("Trigger", this);
    auto *grid = new QGridLayout(group);

    const QString sourceTip = "Selects the source for the Trigger signal";
    trgSource = choice(sourceTip, group);
    trgSource->setWhatsThis(sourceTip);
    trgSource->setMaxVisibleItems(20);
    trgSource->addItem("None", kSourceNone);
    for (int channel = 1; channel <= 8; ++channel)
        trgSource->addItem(QString("Channel %1").arg(channel), channel);
    trgSource->addItem("Front Panel High", kSourceFrontPanelHigh);
    trgSource->addItem("Front Panel Low", kSourceFrontPanelLow);
    if (m_ptpCapable)
        trgSource->addItem("PTP Alarm", kSourcePtpAlarm);
    connect(trgSource, QOverload<int>::of(&QComboBox::activated), this, &kq7150fp_DAQ::trgSrcChanged);
    addRow(grid, new QLabel("Source", group), trgSource);

    trgEdge = choice("Selects the type of the edge the trigger will react on", group);
    trgEdge->addItems({"Falling", "Rising"});
    addRow(grid, new QLabel("Edge", group), trgEdge);

    trgLvl = new QDoubleSpinBox(group);
    trgLvl->setToolTip("Selects the level for the trigger (in Volts)");
    trgLvl->setDecimals(3);
    trgLvl->setRange(-10.0, 10.0);
    trgLvl->setSingleStep(1.0);
    trgLvl->setSuffix(" V");
    trgLvl->setValue(0.0);
    addRow(grid, new QLabel("Level", group), trgLvl);

    if (m_ptpCapable) {
        alarm = new kq7000fp_PTPalarm("Alarm: ", true, 10, true, group);
        alarm->setEnabled(false);
        grid->addWidget(alarm, grid->rowCount(), 0, 1, 3);
    }

    grid->setColumnStretch(2, 1);
    return group;
}

void kq7150fp_DAQ::waveformLengthSlot() {
    const bool storage = continuousStorage->isChecked();
    lengthLabel->setText(storage ? "Scan Threshold" : "Waveform Length");
    const QString tip = storage ? kThresholdTip : kLengthTip;
    lengthChoice->setToolTip(tip);
    lengthChoice->setWhatsThis(tip);
}

void kq7150fp_DAQ::trgSrcChanged(int src) {
    const int source = trgSource->itemData(src).toInt();
    const bool channel = source >= 1 && source <= 8;
    const bool frontPanel = source == kSourceFrontPanelHigh || source == kSourceFrontPanelLow;
    const bool ptp = source == kSourcePtpAlarm;

    if (frontPanel)
        trgEdge->setCurrentIndex(source == kSourceFrontPanelHigh ? kEdgeRising : kEdgeFalling);
    trgEdge->setEnabled(channel);
    trgLvl->setEnabled(channel);

    // Only a channel edge lets the operator place the trigger; without a source and with the
    // front panel the record starts at the trigger, the PTP alarm keeps the last choice locked.
    if (!channel && !ptp)
        trgPosition->setCurrentIndex(0);
    trgPosition->setEnabled(channel);

    if (ptp)
        pipeline->setCurrentIndex(1);
    pipeline->setEnabled(frontPanel || ptp);

    if (alarm) {
        alarm->setEnabled(ptp);
        alarm->setArmed(ptp);
    }
}

bool kq7150fp_DAQ::readCardTime(int64_t &seconds, int32_t &utcOffset, bool report) {
    if (m_demo) {
        seconds = QDateTime::currentSecsSinceEpoch();
        utcOffset = 0;
        return true;
    }
    ViSession fcVi = VI_NULL;
    ViStatus status = kq7150_getMultFCsession(d_vi, 0, &fcVi);
    if (report && status != VI_SUCCESS)
        m_app->displayError(status, "kq7150_getMultFCsession(d_vi, 0, &fcVi)");
    if (status < VI_SUCCESS)
        return false;
    ViUInt64 sec = 0;
    ViInt16 UTCoffset = 0;
    status = kq7150_getCurrentTimeEx(fcVi, &sec, VI_NULL, &UTCoffset, NULL);
    if (report && status != VI_SUCCESS)
        m_app->displayError(status, "kq7150_getCurrentTimeEx(fcVi, &sec, VI_NULL, &UTCoffset, NULL)");
    if (status < VI_SUCCESS)
        return false;
    seconds = static_cast<int64_t>(sec);
    utcOffset = UTCoffset;
    return true;
}

void kq7150fp_DAQ::setAlarm(int offsetFromNow) {
    int64_t seconds = 0;
    int32_t utcOffset = 0;
    if (!readCardTime(seconds, utcOffset, true))
        return;
    alarm->setUTCoffset(utcOffset);
    alarm->setTime(seconds + offsetFromNow);
}

void kq7150fp_DAQ::setCurrentTime() {
    // Asked twice a second: a failure here would flood the operator with boxes, and the
    // clock simply stays as it was until the card answers again.
    int64_t seconds = 0;
    int32_t utcOffset = 0;
    if (!readCardTime(seconds, utcOffset, false))
        return;
    alarm->setUTCoffset(utcOffset);
    alarm->updateClock(seconds);
}
