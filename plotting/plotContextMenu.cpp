#include "plotContextMenu.h"

#include "CurveTableFile.h"
#include "PlotCaption.h"
#include "PlotExporter.h"
#include "kq7000fp_app.h"
#include "kq7000fp_msgBox.h"
#include "plotSizeDialog.h"

#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_zoomer.h>

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

namespace {
QString boxTitle() {
    return "Movara " + kq7000fp_app::titleText() + " SFP";
}
} // namespace

plotContextMenu::plotContextMenu(QwtPlot *plot, QwtPlotZoomer *zoomer, const QString &baseName)
    : QObject(plot), m_plot(plot), m_zoomer(zoomer),
      m_lastName(QDir::toNativeSeparators(QDir::homePath() + "/" + baseName + ".png")),
      m_lastDataName(QDir::toNativeSeparators(QDir::homePath() + "/" + baseName + ".csv")) {
    m_menu = new QMenu(plot);
    m_resetZoom = m_menu->addAction("Reset Zoom");
    m_resetZoom->setToolTip("Shows the whole plot again");
    m_menu->addSeparator();
    m_save = m_menu->addAction("Save Plot As...");
    m_save->setToolTip("Saves the plot as a PNG picture, an SVG drawing or a PDF page");
    connect(m_resetZoom, &QAction::triggered, this, &plotContextMenu::resetZoom);
    connect(m_save, &QAction::triggered, this, &plotContextMenu::saveAs);

    // No button matches: the right button is the menu's.
    m_zoomer->setMousePattern(QwtEventPattern::MouseSelect2, Qt::NoButton);
    m_canvas = m_plot->canvas();
    m_canvas->installEventFilter(this);
    setSaveNameAsker(nullptr);
    setSizeAsker(nullptr);
}

void plotContextMenu::setSaveNameAsker(SaveNameAsker asker) {
    m_askSaveName = orFileDialog(std::move(asker));
}

void plotContextMenu::setDataSource(DataSource source) {
    m_dataSource = std::move(source);
    if (m_export)
        return;
    m_export = m_menu->addAction("Export Data...");
    m_export->setToolTip("Writes the curves shown as a CSV file, with the acquisition settings");
    connect(m_export, &QAction::triggered, this, &plotContextMenu::exportData);
}

void plotContextMenu::setSizeAsker(SizeAsker asker) {
    m_askSize = asker ? std::move(asker) : SizeAsker(&plotSizeDialog::ask);
}

bool plotContextMenu::eventFilter(QObject *watched, QEvent *event) {
    // The canvas outlives the plot's own destructor and still gets events then: nothing of the
    // plot may be asked before the event is known to be a menu request.
    if (watched != m_canvas || event->type() != QEvent::ContextMenu)
        return QObject::eventFilter(watched, event);
    auto *request = static_cast<QContextMenuEvent *>(event);
    if (request->modifiers() != Qt::NoModifier)
        return false;
    QAbstractButton *autoscale = autoscaleButton();
    m_resetZoom->setEnabled(m_zoomer->zoomRectIndex() > 0 || (autoscale && !autoscale->isChecked()));
    m_menu->popup(request->globalPos());
    return true;
}

// A zoom switches autoscale off, and the owners then take the zoomed view as their base: going
// back to the base alone would leave the view zoomed. The whole plot is the autoscaled one.
void plotContextMenu::resetZoom() {
    m_zoomer->zoom(0);
    if (QAbstractButton *autoscale = autoscaleButton(); autoscale && !autoscale->isChecked())
        autoscale->click();
}

QAbstractButton *plotContextMenu::autoscaleButton() const {
    return m_plot->window()->findChild<QAbstractButton *>("autoscaleButton");
}

void plotContextMenu::saveAs() {
    QWidget *window = m_plot->window();
    QString filter = PlotExporter::filterOf(m_lastName);
    const QString typed = m_askSaveName(window, "Save Plot As", m_lastName, PlotExporter::filters(), &filter);
    if (typed.isEmpty())
        return;
    // The file dialog confirmed overwriting the name as typed, not one with a suffix added.
    const QString name = PlotExporter::completedName(QDir::fromNativeSeparators(typed), filter);
    if (name != QDir::fromNativeSeparators(typed) && !confirmOverwrite(name))
        return;
    if (const QString refused = PlotExporter::problem(name); !refused.isEmpty()) {
        tell(refused);
        return;
    }
    QSize size = m_plot->size();
    if (!m_askSize(window, size))
        return;
    m_lastName = QDir::toNativeSeparators(name);
    const PlotCaption caption = m_dataSource ? PlotCaption(m_dataSource(false)) : PlotCaption();
    if (const QString failed = PlotExporter::write(m_plot, name, size, caption); !failed.isEmpty())
        tell(failed);
}

void plotContextMenu::exportData() {
    if (!m_dataSource)
        return;
    const CurveTable table = m_dataSource(true);
    if (const QString nothing = CurveTableFile::nothingShown(table); !nothing.isEmpty()) {
        tell(nothing);
        return;
    }
    QString filter = CurveTableFile::filter();
    const QString typed =
        m_askSaveName(m_plot->window(), "Export Data", m_lastDataName, CurveTableFile::filter(), &filter);
    if (typed.isEmpty())
        return;
    const QString name = CurveTableFile::completedName(QDir::fromNativeSeparators(typed));
    if (name != QDir::fromNativeSeparators(typed) && !confirmOverwrite(name))
        return;
    m_lastDataName = QDir::toNativeSeparators(name);
    if (const QString failed = CurveTableFile::write(table, name); !failed.isEmpty())
        tell(failed);
}

bool plotContextMenu::confirmOverwrite(const QString &fileName) {
    if (!QFileInfo::exists(fileName))
        return true;
    return kq7000fp_msgBox::ask(
               QMessageBox::Question, m_plot->window(), boxTitle(),
               QString("File \"%1\" already exists, overwrite?").arg(QDir::toNativeSeparators(fileName)),
               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void plotContextMenu::tell(const QString &message) {
    kq7000fp_msgBox::ask(QMessageBox::Critical, m_plot->window(), boxTitle(), message, QMessageBox::Ok);
}
