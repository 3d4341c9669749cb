#include "waveformCursors.h"

#include <QAction>
#include <QMouseEvent>

#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_div.h>

#include <cmath>
#include <cstdlib>

waveformCursors::waveformCursors(QwtPlot *plot) : QObject(plot), m_plot(plot), m_canvas(plot->canvas()) {
    m_action = new QAction("Cursors", this);
    m_action->setCheckable(true);
    m_action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    m_action->setToolTip("Two time cursors with their times and the channels' values at them");
    connect(m_action, &QAction::toggled, this, &waveformCursors::switchOn);

    for (int k = 0; k < 2; ++k) {
        auto *marker = new QwtPlotMarker(QString("Cursor %1").arg(k + 1));
        marker->setLineStyle(QwtPlotMarker::VLine);
        marker->setLinePen(QPen(Qt::white, 0, Qt::DashLine));
        QwtText label(QString::number(k + 1));
        label.setColor(Qt::white);
        marker->setLabel(label);
        marker->setLabelAlignment(Qt::AlignRight | Qt::AlignTop);
        // Attached hidden from the start, so that the plot owns them.
        marker->hide();
        marker->attach(m_plot);
        m_markers[k] = marker;
    }
    m_canvasCursor = m_canvas->cursor();
    m_canvas->installEventFilter(this);
}

bool waveformCursors::isOn() const {
    return m_action->isChecked();
}

// Switched on, the cursors come up at a third and two thirds of the visible time range.
void waveformCursors::switchOn(bool on) {
    if (on) {
        const QwtScaleDiv &x = m_plot->axisScaleDiv(QwtPlot::xBottom);
        const double width = x.upperBound() - x.lowerBound();
        place(0, x.lowerBound() + width / 3);
        place(1, x.lowerBound() + 2 * width / 3);
    } else {
        m_dragged = -1;
        m_canvas->setCursor(m_canvasCursor);
    }
    for (QwtPlotMarker *marker : m_markers)
        marker->setVisible(on);
    m_plot->replot();
    emit changed();
}

void waveformCursors::setGrid(const SampleGrid &grid) {
    m_grid = grid;
    for (int k = 0; k < 2; ++k) {
        if (m_index[k] >= 0 && m_index[k] < grid.count) {
            m_time[k] = grid.time(m_index[k]);
            m_markers[k]->setXValue(m_time[k]);
        } else {
            place(k, m_time[k]);
        }
    }
}

void waveformCursors::place(int k, double t) {
    m_index[k] = m_grid.nearestIndex(t);
    m_time[k] = m_grid.snap(t);
    m_markers[k]->setXValue(m_time[k]);
}

void waveformCursors::moveTo(int k, int pixel) {
    place(k, m_plot->invTransform(QwtPlot::xBottom, pixel));
    m_plot->replot();
    emit changed();
}

// The cursor within grab distance of that canvas column (the nearer of both), or -1.
int waveformCursors::near(int pixel) const {
    int best = -1;
    double bestDistance = kGrabPixels + 0.5;
    for (int k = 0; k < 2; ++k) {
        const double distance = std::fabs(m_plot->transform(QwtPlot::xBottom, m_time[k]) - pixel);
        if (distance < bestDistance) {
            best = k;
            bestDistance = distance;
        }
    }
    return best;
}

// True when the press is the cursors' own.
bool waveformCursors::press(const QMouseEvent *event) {
    const int x = event->pos().x();
    if (event->modifiers() == Qt::ControlModifier &&
        (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)) {
        m_dragged = event->button() == Qt::LeftButton ? 0 : 1;
        moveTo(m_dragged, x);
        return true;
    }
    if (event->modifiers() != Qt::NoModifier || event->button() != Qt::LeftButton)
        return false;
    m_dragged = near(x);
    return m_dragged >= 0;
}

void waveformCursors::hover(int pixel) {
    m_canvas->setCursor(near(pixel) >= 0 ? QCursor(Qt::SizeHorCursor) : m_canvasCursor);
}

bool waveformCursors::eventFilter(QObject *watched, QEvent *event) {
    // The canvas may still send events while the plot is destroyed: nothing is asked of the
    // plot unless the cursors are on.
    if (watched != m_canvas || !isOn())
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        return press(static_cast<QMouseEvent *>(event));
    case QEvent::MouseMove: {
        const int x = static_cast<QMouseEvent *>(event)->pos().x();
        if (m_dragged < 0) {
            hover(x);
            return false;
        }
        moveTo(m_dragged, x);
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (m_dragged < 0)
            return false;
        m_dragged = -1;
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}
