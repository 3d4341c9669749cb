// The "Waveforms" tab: the last acquired block of every acquired channel on one voltage/time
// plot, with a legend per card, the acquisition status line, a block slider for stored files
// and the symbol choice. Its polling timer steps the acquisition engine (or the demo signal,
// or a stored file's playback), and it draws what the engine reports, handing each block on
// to the spectrum plot and the measurements.
#pragma once

#include "AcquisitionObserver.h"
#include "BlockScale.h"
#include "ChannelSelection.h"
#include "CurveTable.h"
#include "TriggerPlan.h"
#include "WaveformAxes.h"
#include "WaveformControls.h"
#include "WaveformPlot.h"
#include "fileInfo_t.h"
#include "measurement.h"

#include "visatype.h"

#include <QRectF>
#include <QVector>
#include <QWidget>

#include <memory>
#include <vector>

class QShortcut;
class QTimer;
class QwtPlot;
class QwtPlotCurve;
class QwtPlotMarker;
class QwtPlotZoomer;
class AcquisitionEngine;
struct AcquisitionSettings;
class OfflinePlayback;
class SpectrumFeed;
class cursorReadoutView;
class kq7150fp_App;
class myQwtPlotPicker;
class plotContextMenu;
class plot_voltage;
class waveformCursors;

class kq7150fp_Waveform : public QWidget, private AcquisitionObserver {
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
    // The spectrum plot each block's spectra go to.
    void feedSpectrum(plot_voltage *spectrum);
    // Lowers the plot's minimum height by up to `pixels` (never below what still reads as a
    // plot), for screens too short for the usual one; returns the pixels given up.
    int yieldHeight(int pixels) { return m_view->yieldHeight(pixels); }
    // Plays the blocks of a stored file (the window then runs in demo mode) with the block
    // slider in place of the status line. The record must outlive the view.
    void showOffline(const fileInfo_t &file);

    QwtPlot *plot() const { return m_view->plot(); }
    // The curves in view with the settings of their block, for "Export Data...".
    CurveTable waveformTable(bool withSamples) const;
    CurveTable spectrumTable(bool withSamples) const;
    QLabel *statusLabel() const { return m_controls->status(); }
    QSlider *slider() const { return m_controls->slider(); }
    QLabel *sliderLabel() const { return m_controls->sliderLabel(); }
    PlaybackControls *playbackControls() const { return m_controls->playback(); }
    QComboBox *symbolChoice() const { return m_controls->symbols(); }
    chLabel *legend(int card, int channel) const { return m_controls->legend(card * 8 + channel); }
    QLabel *legendHeading(int card) const { return m_controls->heading(card); }
    QwtPlotCurve *curve(int card, int channel) const { return m_view->curves()[card * 8 + channel]; }
    myQwtPlotPicker *picker() const { return m_view->picker(); }
    QwtPlotMarker *triggerMarker() const { return m_view->trigger(); }
    QwtPlotZoomer *zoomer() const { return m_view->zoomer(); }
    plotContextMenu *contextMenu() const { return m_view->contextMenu(); }
    waveformCursors *cursors() const { return m_view->cursors(); }
    cursorReadoutView *cursorReadout() const { return m_view->cursorView(); }
    axisConfig *yAxisDialog() const { return m_axes->yDialog(); }
    axisConfig *xAxisDialog() const { return m_axes->xDialog(); }
    QTimer *refreshTimer() const { return m_timer; }
    QLabel *fileSizeLine() const { return m_controls->fileSize(); }
    QAbstractButton *cancelWaitButton() const { return m_controls->cancelWait(); }
    // True while a stop waits for the disk to take the last blocks of a recording.
    bool waitingForDisk() const;
    // Before the program ends: waits for the disk, at most ms milliseconds, with the window
    // responsive. False when the disk did not take the last blocks in that time.
    bool finishStorage(int ms);

    using CustomUnit = WaveformAxes::CustomUnit;
    CustomUnit customUnit() const { return m_axes->unit(); }
    // As OK in the axis dialog sets it; the range shown stays the same in volts.
    void setCustomUnit(const CustomUnit &unit) { m_axes->setUnit(unit); }

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
    void breakSingle() { stopAndRelease(); }
    void stopCont() { stopAndRelease(); }
    void stopDAQ();
    void timerSlot(bool incrementSlider = true);
    // Gives up a start that waits for its PTP alarm, as a stop would.
    void cancelTimedStart();

    void updatePlot();
    void waveSlot() { updatePlot(); }
    // Starts the display spectra of the block in the view; they are shown when computed.
    void updateFft();
    // The spectrum's scales after an autoscale change; the spectra stay.
    void refreshSpectrumScales();
    void toggleChannels();
    void asSlot(bool asOn);
    void sliderChanged(int position);
    void symbolSizeSlot();
    // The cursor read-out for the block, cursors and ranges in view; hidden while the cursors are off.
    void updateCursorReadout();

protected:
    void showBlockNumber();
    int pollIntervalMs(bool storage) const;
    void pauseChanged(bool paused);

private:
    void buildControls();

    bool repetitive() const;
    void stopAndRelease();
    void setStartEnabled(bool enabled);
    void setMainTabsEnabled(bool enabled);
    bool askForStorage();
    bool startCards(const AcquisitionSettings &settings);
    void endStorage();
    void completeStorage();
    void stepDemo(bool incrementSlider);
    bool loadOfflineBlock();
    void showBlock();
    void setOverrangeLamps(uint16_t errors);
    void recalculateMeasurements();
    const double *displayed(int block);

    // What the engine reports.
    void blockRange(double t0, double t1) override;
    void blockReady() override { showBlock(); }
    void status(const StatusLine &line) override { m_controls->showLine(line); }
    void overrange(uint16_t errors) override { setOverrangeLamps(errors); }
    void fileSize(uint64_t bytes, uint32_t backlog) override { m_controls->showFileSize(bytes, backlog); }
    void summary(const StorageSummary &summary) override { m_controls->showSummary(summary); }
    void error(const std::string &text) override;
    void cannotOpen(const std::string &fileName) override;
    void ended() override { stopAndRelease(); }
    void singleShotStored() override;
    void failed() override;
    void awaitAlarm(const std::function<bool()> &reached) override;

    kq7150fp_App *m_app;
    ViSession d_vi;
    bool m_demo;
    int m_cards;
    const fileInfo_t *m_offline;
    std::unique_ptr<AcquisitionEngine> m_engine; // none in demo mode
    std::unique_ptr<OfflinePlayback> m_playback;
    bool m_waitingForAlarm = false;

    WaveformPlot *m_view = nullptr;
    QwtPlot *m_plot = nullptr;
    WaveformControls *m_controls = nullptr;
    WaveformAxes *m_axes = nullptr;
    QShortcut *m_escape = nullptr;
    QTimer *m_diskWait = nullptr; // polls the writer after a stop until the disk took all
    BlockScale m_blocks;          // the stored file's blocks on the slider
    uint64_t m_block = 0;         // the stored block in view, from 0
    QTimer *m_timer = nullptr;
    measurement *m_measurement = nullptr;

    // The block shown: buffers for the largest block, allocated once.
    std::unique_ptr<double[]> m_data;
    std::unique_ptr<double[]> m_time;
    std::unique_ptr<double[]> m_converted; // the block in the custom unit, made when first needed
    int m_scans = 0;
    double m_rate = 1.0;
    TriggerPlan m_plan;
    int m_triggerSource = 0;
    ChannelSelection m_acquired;
    bool m_markerPending = false;
    bool m_started = false;

    // Last: ending it waits for spectra still computed, before the curves they go to.
    std::unique_ptr<SpectrumFeed> m_spectra;
};
