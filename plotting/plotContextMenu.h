// The context menu of a plot's canvas, shared by the voltage and the spectrum plot: "Reset
// Zoom", "Save Plot As..." and, once the owner says what its curves are, "Export Data...". A right click
// without modifier keys opens it; Ctrl with a click stays with the spectrum's markers. The right click used
// to send the zoomer back to its base; the menu now has that click, and "Reset Zoom" does what it did (the
// middle button still steps back one zoom). The zoomer no longer reacts to the right button itself, so that
// the menu does not unzoom the view a person wants to save on systems that open menus on the release.
#pragma once

#include "CurveTable.h"
#include "saveNameAsker.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QAbstractButton;
class QAction;
class QMenu;
class QSize;
class QWidget;
class QwtPlot;
class QwtPlotZoomer;

class plotContextMenu : public QObject {
    Q_OBJECT
public:
    using SaveNameAsker = saveNameAsker;
    // The curves shown, as the owner names them, with the settings of their block; called at
    // each export, and without samples for the legend of a saved picture.
    using DataSource = std::function<CurveTable(bool withSamples)>;
    // Asks for the size in pixels (in: the plot's size); false when the user cancels.
    using SizeAsker = std::function<bool(QWidget *parent, QSize &size)>;

    // Installs the menu on the plot's canvas; the object belongs to the plot. baseName: the
    // file name first offered, in the home folder ("waveforms" gives waveforms.png).
    plotContextMenu(QwtPlot *plot, QwtPlotZoomer *zoomer, const QString &baseName);

    QMenu *menu() const { return m_menu; }
    QAction *resetZoomAction() const { return m_resetZoom; }
    QAction *saveAction() const { return m_save; }
    QAction *exportAction() const { return m_export; }

    // Adds "Export Data..." below "Save Plot As...", whose pictures then get a legend and the
    // settings below the plot.
    void setDataSource(DataSource source);
    // Empty askers restore the real dialogs.
    void setSaveNameAsker(SaveNameAsker asker);
    void setSizeAsker(SizeAsker asker);

public slots:
    // The file name, then the size, then the file; a refused name or a failed write is told in
    // an error box, and the name is offered again next time.
    void saveAs();
    // The file name, then the CSV file of the curves shown; refusals and failures as above.
    void exportData();
    // Back to the whole plot: the zoom base, with the window's autoscale on.
    void resetZoom();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAbstractButton *autoscaleButton() const;
    bool confirmOverwrite(const QString &fileName);
    void tell(const QString &message);

    QwtPlot *m_plot;
    QPointer<QWidget> m_canvas;
    QwtPlotZoomer *m_zoomer;
    QMenu *m_menu;
    QAction *m_resetZoom;
    QAction *m_save;
    QAction *m_export = nullptr;
    QString m_lastName;
    QString m_lastDataName;
    DataSource m_dataSource;
    SaveNameAsker m_askSaveName;
    SizeAsker m_askSize;
};
