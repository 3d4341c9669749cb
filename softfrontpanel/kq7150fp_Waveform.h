// The "Waveforms" tab: the last acquired block of every acquired channel on one voltage/time
// plot, with a legend per card, the acquisition status line, a block slider for stored files
// and the symbol choice. It also runs the acquisitions (single-shot, repetitive, demo and
// stored-file playback) from a polling timer and hands each block to the voltage plot, the
// spectrum plot and the measurements.
#pragma once

#include "BackgroundAnalysis.h"
#include "BlockScale.h"
#include "ChannelSelection.h"
#include "CurveTable.h"
#include "TriggerPlan.h"
#include "fileInfo_t.h"
#include "measurement.h"

#include "visatype.h"

#include <QRectF>
#include <QVector>
#include <QWidget>

#include <memory>
#include <vector>

class QAbstractButton;
class QComboBox;
class QShortcut;
class QLabel;
class QSlider;
class PlaybackControls;
class QTimer;
class QwtPlot;
class QwtPlotCurve;
class QwtPlotMarker;
class QwtPlotZoomer;
class axisConfig;
class cursorReadoutView;
class waveformCursors;
class chLabel;
class kq7150fp_App;
class myQwtPlotPicker;
class plotContextMenu;
class ContinuousStorage;
struct StorageSummary;
class DriverAcquisition;
class OfflinePlayback;
struct BlockSpectra;
struct SpectrumCurve;
struct StatusLine;

class kq7150fp_Waveform : public QWidget {
    Q_OBJECT
public:
    // The largest block the view holds per card: 131072 scans of 8 channels.
    static constexpr long kSamplesPerCard = 1L << 20;
    static constexpr int kPollMs = 50;

    explicit kq7150fp_Waveform(kq7150fp_App *app);
    ~kq7150fp_Waveform() override;

    // Builds the legend headings; needs the window's session, so it runs once the window has
    // its card count.
    void buildLegend();
    // Lowers the plot's minimum height by up to `pixels` (never below what still reads as a
    // plot), for screens too short for the usual one; returns the pixels given up.
    int yieldHeight(int pixels);
    // Plays the blocks of a stored file (the window then runs in demo mode) with the block
    // slider in place of the status line. The record must outlive the view.
    void showOffline(const fileInfo_t &file);

    QwtPlot *plot() const { return m_plot; }
    // The curves in view with the settings of their block, for "Export Data...".
    CurveTable waveformTable(bool withSamples) const;
    CurveTable spectrumTable(bool withSamples) const;
    QLabel *statusLabel() const { return m_status; }
    QSlider *slider() const { return m_slider; }
    QLabel *sliderLabel() const { return m_sliderLabel; }
    PlaybackControls *playbackControls() const { return m_playbackControls; }
    QComboBox *symbolChoice() const { return m_symbols; }
    chLabel *legend(int card, int channel) const { return m_labels[card * 8 + channel]; }
    QLabel *legendHeading(int card) const { return m_headings[card]; }
    QwtPlotCurve *curve(int card, int channel) const { return m_curves[card * 8 + channel]; }
    myQwtPlotPicker *picker() const { return m_picker; }
    QwtPlotMarker *triggerMarker() const { return m_trigger; }
    QwtPlotZoomer *zoomer() const { return m_zoomer; }
    plotContextMenu *contextMenu() const { return m_contextMenu; }
    waveformCursors *cursors() const { return m_cursors; }
    cursorReadoutView *cursorReadout() const { return m_cursorView; }
    axisConfig *yAxisDialog() const { return m_yDialog; }
    axisConfig *xAxisDialog() const { return m_xDialog; }
    QTimer *refreshTimer() const { return m_timer; }
    QLabel *fileSizeLine() const { return m_fileSize; }
    QAbstractButton *cancelWaitButton() const { return m_cancelWait; }
    // True while a stop waits for the disk to take the last blocks of a recording.
    bool waitingForDisk() const;
    // Before the program ends: waits for the disk, at most ms milliseconds, with the window
    // responsive. False when the disk did not take the last blocks in that time.
    bool finishStorage(int ms);

    // The voltage axis in a unit of the person's own: (volts - offset) * multiplier.
    struct CustomUnit {
        bool on = false;
        QString name;
        double offset = 0.0, multiplier = 1.0;
    };
    CustomUnit customUnit() const { return m_unit; }
    // As OK in the axis dialog sets it; the range shown stays the same in volts.
    void setCustomUnit(const CustomUnit &unit);

    int scans() const { return m_scans; }
    double rate() const { return m_rate; }
    int preTrigger() const { return m_plan.preTrigger; }
    const double *data() const { return m_data.get(); }
    double *data() { return m_data.get(); }
    const double *timeAxis() const { return m_time.get(); }
    const std::vector<uint16_t> &acquiredMasks() const { return m_acquired.masks(); }
    bool started() const { return m_started; }
    // True while the spectra or the measurements of a block are computed and not yet shown.
    bool analysing() const;

    // What the measurement window computes from: the block in the view and its settings.
    measurementInputs measurementState() const;
    void setMeasurement(measurement *window) { m_measurement = window; }

public slots:
    void startSingle();
    void startCont();
    void start();
    void startDAQ();
    void breakSingle();
    void stopCont();
    void stopDAQ();
    void timerSlot(bool incrementSlider = true);
    // Gives up a start that waits for its PTP alarm, as a stop would.
    void cancelTimedStart();

    void updatePlot();
    void waveSlot();
    // Starts the display spectra of the block in the view; they are shown when computed.
    void updateFft();
    // The spectrum's scales after an autoscale change; the spectra stay.
    void refreshSpectrumScales();
    void toggleChannels();
    void asSlot(bool asOn);
    void sliderChanged(int position);
    void zoomed(const QRectF &rect);
    void symbolSizeSlot();
    // The cursor read-out for the block, cursors and ranges in view; hidden while the cursors are off.
    void updateCursorReadout();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showBlockNumber();
    int pollIntervalMs(bool storage) const;
    void pauseChanged(bool paused);

private:
    void buildPlot();
    QWidget *buildControls();
    void buildCurves();
    void buildAxisDialogs();

    bool repetitive() const;
    void stopAndRelease();
    void setStartEnabled(bool enabled);
    void setMainTabsEnabled(bool enabled);
    ChannelSelection selectedChannels();
    bool askForStorage();
    void startHardware(bool ptp);
    bool startStorage();
    void startAtAlarm(bool withCallback);
    void endStorage();
    void completeStorage();
    void showFileSize();
    void showSummary(const StorageSummary &summary);
    bool pollHardware(bool &ready);
    bool loadOfflineBlock();
    void showBlock();
    void setBlockTimeRange(double t0, double t1);
    bool endAfterBlock();
    void finishBlock();
    void finishStoredBlock();
    void checkStorage();
    void setOverrangeLamps(uint16_t errors);
    void showStatus(int state, uint16_t errors);
    void showLine(const StatusLine &line);
    void failPolling();
    void recalculateMeasurements();
    void showSpectra(BlockSpectra &done);
    void showSpectrumScales(double fEnd);

    void editYAxis();
    // lower and upper in volts.
    void showUnit(const CustomUnit &unit, double lower, double upper);
    void editXAxis();
    const double *displayed(int block);

    kq7150fp_App *m_app;
    ViSession d_vi;
    bool m_demo;
    bool m_lxi;
    int m_cards;
    const fileInfo_t *m_offline;
    std::unique_ptr<DriverAcquisition> m_driver;
    std::unique_ptr<OfflinePlayback> m_playback;
    std::unique_ptr<ContinuousStorage> m_storage;
    bool m_storing = false; // this acquisition feeds the ring (storage box checked, cards present)
    bool m_waitingForAlarm = false;

    QwtPlot *m_plot = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_fileSize = nullptr;
    QAbstractButton *m_cancelWait = nullptr; // beside the status line while a start waits for its alarm
    QShortcut *m_escape = nullptr;
    QTimer *m_diskWait = nullptr; // polls the writer after a stop until the disk took all
    QSlider *m_slider = nullptr;
    QLabel *m_sliderLabel = nullptr;
    PlaybackControls *m_playbackControls = nullptr;
    BlockScale m_blocks;  // the stored file's blocks on the slider
    uint64_t m_block = 0; // the stored block in view, from 0
    QComboBox *m_symbols = nullptr;
    QVector<chLabel *> m_labels;
    QVector<QLabel *> m_headings;
    QVector<QwtPlotCurve *> m_curves;
    myQwtPlotPicker *m_picker = nullptr;
    QwtPlotMarker *m_trigger = nullptr;
    QwtPlotZoomer *m_zoomer = nullptr;
    plotContextMenu *m_contextMenu = nullptr;
    waveformCursors *m_cursors = nullptr;
    cursorReadoutView *m_cursorView = nullptr;
    axisConfig *m_yDialog = nullptr;
    axisConfig *m_xDialog = nullptr;
    QTimer *m_timer = nullptr;
    measurement *m_measurement = nullptr;

    // The block shown: buffers for the largest block, allocated once.
    std::unique_ptr<double[]> m_data;
    std::unique_ptr<double[]> m_time;
    std::unique_ptr<double[]> m_converted; // the block in the custom unit, made when first needed
    std::vector<double> m_window;
    std::vector<SpectrumCurve> m_spectra; // the spectra drawn
    double m_spectrumEnd = 0.0;           // their last frequency
    std::string m_spectrumSettings;       // their window and zero padding
    int m_scans = 0;
    double m_rate = 1.0;
    TriggerPlan m_plan;
    int m_triggerSource = 0;
    ChannelSelection m_acquired;
    bool m_markerPending = false;
    bool m_started = false;

    CustomUnit m_unit;
    double m_xLower = 0.0, m_xUpper = 1.0;

    // Last: ending it waits for spectra still computed, before the curves they go to.
    BackgroundAnalysis m_spectraAnalysis{this};
};
