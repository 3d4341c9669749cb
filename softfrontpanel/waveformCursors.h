// Two vertical time cursors on the voltage plot, switched by one checkable action (the View
// menu and the plot's context menu share it). They stand on sample times: a cursor keeps its
// sample index when a new block arrives, so it stays put on screen while the block's times move
// on (stored files count their time from the first block).
//
// The mouse is shared with the zoomer and the position tracker: only a left press within a few
// pixels of a cursor takes it (and then the drag is the cursor's, not a zoom rectangle);
// Ctrl + left click brings cursor 1 to the mouse and Ctrl + right click cursor 2, as the
// spectrum's markers are set, and both can be dragged on with Ctrl held. Everything else goes
// on to the zoomer, the tracker and the context menu as before.
#pragma once

#include "SampleGrid.h"

#include <QCursor>
#include <QObject>

class QAction;
class QMouseEvent;
class QwtPlot;
class QwtPlotMarker;

class waveformCursors : public QObject {
    Q_OBJECT
public:
    // Belongs to the plot; installs itself on the plot's canvas after the zoomer, so that it
    // sees the mouse first.
    explicit waveformCursors(QwtPlot *plot);

    // "Cursors", checkable, Ctrl+K; off at the start.
    QAction *action() const { return m_action; }
    bool isOn() const;
    // k: 0 for cursor 1, 1 for cursor 2.
    double time(int k) const { return m_time[k]; }
    // The sample a cursor stands on; -1 while there are no samples.
    int index(int k) const { return m_index[k]; }
    QwtPlotMarker *marker(int k) const { return m_markers[k]; }

    // The samples now shown.
    void setGrid(const SampleGrid &grid);
    const SampleGrid &grid() const { return m_grid; }

    // How far from a cursor a press still takes it, in pixels.
    static constexpr int kGrabPixels = 5;

signals:
    // A cursor moved, or the cursors were switched on or off.
    void changed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void switchOn(bool on);
    void place(int k, double t);
    void moveTo(int k, int pixel);
    int near(int pixel) const;
    bool press(const QMouseEvent *event);
    void hover(int pixel);

    QwtPlot *m_plot;
    QWidget *m_canvas;
    QAction *m_action;
    QwtPlotMarker *m_markers[2] = {nullptr, nullptr};
    double m_time[2] = {0.0, 0.0};
    int m_index[2] = {-1, -1};
    SampleGrid m_grid;
    int m_dragged = -1;
    QCursor m_canvasCursor;
};
