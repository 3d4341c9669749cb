// The voltage/time plot of the waveform view with what sits on it: a curve per channel of
// every card in its legend entry's colour, the trigger marker, the zoomer with its context
// menu, the picker and the two cursors with their read-out below the plot.
#pragma once

#include <QObject>
#include <QVector>

class QWidget;
class QwtPlot;
class QwtPlotCurve;
class QwtPlotMarker;
class QwtPlotZoomer;
class WaveformControls;
class cursorReadoutView;
class myQwtPlotPicker;
class plotContextMenu;
class waveformCursors;

class WaveformPlot : public QObject {
    Q_OBJECT
public:
    explicit WaveformPlot(QWidget *view);
    // A curve for each entry of the legend, in its colour, card after card.
    void addCurves(const WaveformControls &legend);

    // Lowers the plot's minimum height by up to `pixels` (never below what still reads as a
    // plot); returns the pixels given up.
    int yieldHeight(int pixels);
    // The time axis of a new block, which the picker follows.
    void setTimeRange(double t0, double t1);
    // Symbols of that size in pixels on every curve; 0 for none.
    void setSymbolSize(int size);
    // The read-out for the block (scans per curve), cursors and ranges in view; hidden while
    // the cursors are off.
    void updateCursorReadout(int scans);

    QwtPlot *plot() const { return m_plot; }
    const QVector<QwtPlotCurve *> &curves() const { return m_curves; }
    myQwtPlotPicker *picker() const { return m_picker; }
    QwtPlotMarker *trigger() const { return m_trigger; }
    QwtPlotZoomer *zoomer() const { return m_zoomer; }
    plotContextMenu *contextMenu() const { return m_contextMenu; }
    waveformCursors *cursors() const { return m_cursors; }
    cursorReadoutView *cursorView() const { return m_cursorView; }

signals:
    // The zoom or the cursors changed what the cursor read-out shows.
    void readoutChanged();

private:
    void buildPlot(QWidget *view);
    void buildItems();

    QwtPlot *m_plot = nullptr;
    QVector<QwtPlotCurve *> m_curves;
    myQwtPlotPicker *m_picker = nullptr;
    QwtPlotMarker *m_trigger = nullptr;
    QwtPlotZoomer *m_zoomer = nullptr;
    plotContextMenu *m_contextMenu = nullptr;
    waveformCursors *m_cursors = nullptr;
    cursorReadoutView *m_cursorView = nullptr;
};
