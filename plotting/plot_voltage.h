// The amplitude spectrum plot: curves of every channel of every card, a legend that chooses
// which are shown, two measurement markers with a read-out, a position tracker, zoom and the
// axis range dialogs. The waveform view computes the spectra, fills the curves and decides
// from the legend which curves are attached.
#pragma once

#include <QPoint>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QVector>
#include <QWidget>

#include "rangePicker.h"

#include <qwt_plot_picker.h>
#include <qwt_scale_draw.h>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QwtPlot;
class QwtPlotCurve;
class QwtPlotGrid;
class QwtPlotMarker;
class QwtPlotZoomer;
class axisConfigFft;
class chLabelFft;
class plotContextMenu;

// Tracker text of a plot position: "%.3lf Hz, %.5lf <unit>".
QString fftTrackerText(double x, double y, const QString &unit);

// Where a marker sits and the title of the curve it snapped to (empty when not snapped).
struct MarkerReading {
    double x = 0.0;
    double y = 0.0;
    QString caption;
};

// The marker read-out line: the marker with the smaller frequency first (marker 2 when both
// are equal), then the frequency and magnitude differences.
QString markerReadoutText(const MarkerReading &marker1, const MarkerReading &marker2);

// Decimals of the axis labels for a visible range. The frequency axis needs more decimals the
// narrower the zoom, but a range that high up has no room for six. A degenerate x range keeps
// the current decimals (the caller passes it when only y changed).
int xLabelPrecision(double minX, double maxX, int current);
int yLabelPrecision(double minY, double maxY);

// Frequency labels: the value with a fixed number of decimals.
class myXQwtScaleDraw : public QwtScaleDraw {
public:
    explicit myXQwtScaleDraw(int precision) : m_precision(precision) {}
    int precision() const { return m_precision; }
    void setPrecision(int precision);
    QwtText label(double value) const override;

private:
    int m_precision;
};

// Magnitude labels: fixed decimals, padded to a constant width so that the plot does not
// jump sideways when the range changes.
class myYQwtScaleDraw : public QwtScaleDraw {
public:
    explicit myYQwtScaleDraw(int precision) : m_precision(precision) {}
    int precision() const { return m_precision; }
    void setPrecision(int precision);
    QwtText label(double value) const override;

private:
    int m_precision;
};

// The position tracker; it keeps the visible ranges and the magnitude unit.
class myQwtPlotPickerFft : public rangePicker {
public:
    explicit myQwtPlotPickerFft(QWidget *canvas) : rangePicker(canvas, -1.0, 1.0, -1.0, 1.0) {}
    QString unit() const { return m_unit; }

protected:
    QwtText trackerTextF(const QPointF &pos) const override;

private:
    QString m_unit = "dB";
};

class plot_voltage : public QWidget {
    Q_OBJECT
public:
    // owner: the front panel window; its autoscale button (object name "autoscaleButton") is
    // followed and switched, and the axis dialogs take its icon. cardCount: cards whose
    // channels get a legend row and curves.
    plot_voltage(QWidget *owner, const QString &xTitle, const QString &yTitle, int cardCount);
    ~plot_voltage() override;

    // One legend label and one curve per channel, index card * 8 + channel. The waveform view
    // fills the curves, and attaches a curve while its label is enabled and selected.
    const QVector<chLabelFft *> &labelList() const { return m_labels; }
    const QVector<QwtPlotCurve *> &curveList() const { return m_curves; }
    int cardCount() const { return m_cardCount; }

    QwtPlot *plot() const { return m_plot; }
    myQwtPlotPickerFft *tracker() const { return m_tracker; }
    QwtPlotZoomer *zoomer() const { return m_zoomer; }
    plotContextMenu *contextMenu() const { return m_contextMenu; }
    // m is 1 or 2.
    QwtPlotMarker *marker(int m) const { return m_markers[m == 1 ? 0 : 1]; }
    QwtPlotPicker *markerPicker(int m) const { return m_markerPickers[m == 1 ? 0 : 1]; }
    QLabel *readout() const { return m_readout; }
    QCheckBox *snapToSample() const { return m_snap; }
    QComboBox *symbolSelector() const { return m_symbols; }
    axisConfigFft *xAxisDialog() const { return m_xDialog; }
    axisConfigFft *yAxisDialog() const { return m_yDialog; }

    double xLower() const { return m_xLower; }
    double xUpper() const { return m_xUpper; }
    double yLower() const { return m_yLower; }
    double yUpper() const { return m_yUpper; }

    // The factor applied to pixel sizes: logical DPI / 96.
    double scaleFactor() const { return m_scale; }

public slots:
    // Takes the plot's current bounds as the limits (after new spectra or autoscaling).
    void scaleUpdate();
    void updateZoomBase();
    void selectAll(int fc);
    void deselectAll(int fc);
    void symbolSizeSlot();
    // From a marker picker (Ctrl + left: marker 1, Ctrl + right: marker 2). A negative x asks
    // the snapped markers to follow their samples after new data.
    void markerMoved(QPoint actualMousePosition);
    void zoomed(QRectF rect);
    void setAxisPrecision(double minX, double maxX, double minY, double maxY);

signals:
    void autoScaleClicked(bool state);
    void toggleChannels();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPlot(const QString &xTitle, const QString &yTitle);
    void buildMarkers();
    QLayout *buildLegend();
    QLayout *buildControls();
    void buildAxisDialogs();
    void setSelection(int fc, bool selected);
    void setAutoscale(bool on);
    bool autoscaleOn() const;
    void copyBoundsToTracker();
    void editYAxis();
    void editXAxis();
    void updateReadout();

    QWidget *m_owner;
    QPointer<QAbstractButton> m_autoscale;
    int m_cardCount;
    double m_scale;

    QwtPlot *m_plot = nullptr;
    myXQwtScaleDraw *m_xDraw = nullptr;
    myYQwtScaleDraw *m_yDraw = nullptr;
    QVector<chLabelFft *> m_labels;
    QVector<QwtPlotCurve *> m_curves;
    QwtPlotMarker *m_markers[2] = {nullptr, nullptr};
    QwtPlotPicker *m_markerPickers[2] = {nullptr, nullptr};
    int m_markerCurve[2] = {0, 0};
    int m_markerSample[2] = {0, 0};
    QString m_markerCaption[2];
    myQwtPlotPickerFft *m_tracker = nullptr;
    QwtPlotZoomer *m_zoomer = nullptr;
    plotContextMenu *m_contextMenu = nullptr;
    QwtPlotGrid *m_grid = nullptr;
    axisConfigFft *m_yDialog = nullptr;
    axisConfigFft *m_xDialog = nullptr;
    QLabel *m_readout = nullptr;
    QCheckBox *m_snap = nullptr;
    QComboBox *m_symbols = nullptr;

    double m_xLower = 0.0, m_xUpper = 1.0;
    double m_yLower = -300.0, m_yUpper = 30.0;
};
