// The "Acquisition" tab: every acquisition-wide choice (length, trigger, rate, pipeline,
// continuous storage) and the options of the spectrum. The acquisition engine and the
// spectrum computation read the controls when they run, so the controls are public; the
// panel itself only reads the card clock for the PTP alarm.
#pragma once

#include "visatype.h"

#include <QCoreApplication>
#include <QStringList>
#include <QWidget>

#include <cstdint>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class kq7000fp_PTPalarm;
class kq7150fp_App;

class kq7150fp_DAQ : public QWidget {
    Q_OBJECT
public:
    // arguments: the program's command line; "-acperf" adds the sine-fitting choice.
    explicit kq7150fp_DAQ(kq7150fp_App *parent, const QStringList &arguments = QCoreApplication::arguments());

    // "Waveform Length" or "Scan Threshold", after the continuous storage box.
    QLabel *lengthLabel = nullptr;
    // Scans per acquisition, or per block read in continuous storage; item data int.
    QComboBox *lengthChoice = nullptr;
    // "Start", "25%", "50%", "75%", "End"; see preTrigger().
    QComboBox *trgPosition = nullptr;
    // Item data double, Hz.
    QComboBox *samplingRate = nullptr;
    // Item data int: 0 none, 1..8 channel, 9/10 front panel high/low, -1 PTP alarm.
    QComboBox *trgSource = nullptr;
    // Only on an LXI carrier, whose cards keep PTP time.
    kq7000fp_PTPalarm *alarm = nullptr;
    // Index 0 falling, 1 rising.
    QComboBox *trgEdge = nullptr;
    // Volts.
    QDoubleSpinBox *trgLvl = nullptr;
    // Index 0 not compensated, 1 compensated.
    QComboBox *pipeline = nullptr;
    // Checked: the repetitive acquisition stores every scan to a file.
    QCheckBox *continuousStorage = nullptr;
    // Item data int factor, 1 for no padding.
    QComboBox *zeroPadding = nullptr;
    // Item data int window code.
    QComboBox *fftWindow = nullptr;
    // Item data int algorithm code; only with "-acperf".
    QComboBox *sineFitting = nullptr;
    bool acperf = false;

public slots:
    // src: an index of trgSource. Enables the controls that matter for that source.
    void trgSrcChanged(int src);

private slots:
    void waveformLengthSlot();
    void setAlarm(int offsetFromNow);
    void setCurrentTime();

private:
    QWidget *buildAcquisitionGroup();
    QWidget *buildFftGroup();
    QWidget *buildTriggerGroup();
    // The card clock (the system clock in demo mode) and its UTC offset; false when the driver
    // failed, reported through the window only when report is set.
    bool readCardTime(int64_t &seconds, int32_t &utcOffset, bool report);

    kq7150fp_App *m_app;
    ViSession d_vi;
    int m_demo;
    int m_cards;
    bool m_ptpCapable;
};
