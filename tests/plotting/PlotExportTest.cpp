// Saving a plot: the files of the three formats, the names and folders refused, and the
// context menu that leads there, on the spectrum plot where Ctrl + right click sets a marker.
#include "PlotExporter.h"
#include "kq7000fp_msgBox.h"
#include "plotContextMenu.h"
#include "plot_voltage.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_zoomer.h>

#include <gtest/gtest.h>

namespace {

class PlotExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto *autoscale = new QPushButton("ON", &window);
        autoscale->setObjectName("autoscaleButton");
        autoscale->setCheckable(true);
        spectrum = new plot_voltage(&window, "Hz", "Magnitude [dB]", 1);
        (new QVBoxLayout(&window))->addWidget(spectrum);
        window.resize(900, 600);
        window.show();
        QApplication::processEvents();
        ASSERT_TRUE(dir.isValid());
        kq7000fp_msgBox::setAnswerer([this](QMessageBox &box) {
            boxes << box.text();
            return box.button(answer);
        });
    }
    void TearDown() override { kq7000fp_msgBox::setAnswerer({}); }

    QwtPlot *plot() const { return spectrum->plot(); }
    QString path(const QString &name) const { return dir.filePath(name); }
    static QByteArray contents(const QString &fileName) {
        QFile file(fileName);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A right click as the window system delivers it on X11: press, menu request, release.
    void rightClick(Qt::KeyboardModifiers modifiers, QPoint pos) {
        QWidget *canvas = plot()->canvas();
        QTest::mousePress(canvas, Qt::RightButton, modifiers, pos);
        QContextMenuEvent request(QContextMenuEvent::Mouse, pos, canvas->mapToGlobal(pos), modifiers);
        QApplication::sendEvent(canvas, &request);
        QTest::mouseRelease(canvas, Qt::RightButton, modifiers, pos);
    }

    QWidget window;
    plot_voltage *spectrum = nullptr;
    QTemporaryDir dir;
    QStringList boxes;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
};

// A PNG at the plot's size is the export_data workflow's; a drawing and a page have the size
// chosen, the page in points at 96 dpi.
TEST_F(PlotExportTest, DrawingsAndPagesAreWrittenAtTheChosenSize) {
    const QSize size(640, 360);
    ASSERT_EQ(PlotExporter::write(plot(), path("a.svg"), size), "");
    const QByteArray svg = contents(path("a.svg"));
    EXPECT_TRUE(svg.startsWith("<?xml") && svg.contains("<svg")) << svg.left(80).toStdString();
    EXPECT_TRUE(svg.contains("viewBox=\"0 0 640 360\""));
    ASSERT_EQ(PlotExporter::write(plot(), path("a.pdf"), size), "");
    const QByteArray pdf = contents(path("a.pdf"));
    EXPECT_TRUE(pdf.startsWith("%PDF-"));
    const int box = pdf.indexOf("/MediaBox [") + 11;
    QList<double> page;
    for (const QByteArray &number : pdf.mid(box, pdf.indexOf(']', box) - box).simplified().split(' '))
        page << number.toDouble();
    EXPECT_EQ(page, (QList<double>{0, 0, 480, 270}));
}

TEST_F(PlotExportTest, NamesThatCannotBeWrittenAreRefusedAndWriteNothing) {
    const QSize size(200, 100);
    EXPECT_EQ(PlotExporter::write(plot(), path("a.jpg"), size),
              "Cannot save the plot as \"" + QDir::toNativeSeparators(path("a.jpg")) +
                  "\": the file name must end in .png, .svg or .pdf.");
    EXPECT_EQ(PlotExporter::write(plot(), path("none/a.png"), size),
              "Directory: \"" + QDir::toNativeSeparators(path("none")) + "\" does not exist.");
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.svg"));
    EXPECT_TRUE(PlotExporter::write(plot(), path("taken.svg"), size).startsWith("Cannot write the file: \""));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

// The right click belongs to the menu, also after a zoom; with Ctrl it still sets marker 2.
TEST_F(PlotExportTest, RightClickOpensTheMenuAndCtrlRightClickStaysWithTheMarkers) {
    plotContextMenu *menu = spectrum->contextMenu();
    ASSERT_NE(menu, nullptr);
    spectrum->snapToSample()->setChecked(false);
    spectrum->zoomer()->zoom(QRectF(QPointF(0.2, -200.0), QPointF(0.6, -100.0)));
    ASSERT_EQ(spectrum->zoomer()->zoomRectIndex(), 1u);
    const QPoint middle = plot()->canvas()->rect().center();

    rightClick(Qt::NoModifier, middle);
    EXPECT_TRUE(menu->menu()->isVisible());
    EXPECT_EQ(spectrum->zoomer()->zoomRectIndex(), 1u) << "the release must not zoom out";
    ASSERT_TRUE(menu->resetZoomAction()->isEnabled());
    menu->resetZoomAction()->trigger();
    menu->menu()->hide();
    EXPECT_EQ(spectrum->zoomer()->zoomRectIndex(), 0u);

    const double marker2 = spectrum->marker(2)->xValue();
    rightClick(Qt::ControlModifier, middle);
    EXPECT_FALSE(menu->menu()->isVisible());
    EXPECT_NE(spectrum->marker(2)->xValue(), marker2);
}

// The way from the menu to a PNG file is the workflow's. The name is offered first at the home
// folder, a name without a suffix takes the chosen filter's, and the name is offered again next
// time with its format; "No" to overwriting asks no size and writes nothing.
TEST_F(PlotExportTest, SaveAsOffersTheLastNameAndAsksBeforeOverwriting) {
    plotContextMenu *menu = spectrum->contextMenu();
    QString offeredPath, offeredFilter;
    menu->setSaveNameAsker(
        [&](QWidget *, const QString &, const QString &start, const QString &filters, QString *selected) {
            offeredPath = start;
            offeredFilter = *selected;
            EXPECT_EQ(filters, PlotExporter::filters());
            *selected = "SVG drawing (*.svg)";
            return path("plot");
        });
    int sizeQuestions = 0;
    menu->setSizeAsker([&](QWidget *, QSize &size) {
        ++sizeQuestions;
        size = QSize(300, 120);
        return true;
    });
    menu->saveAction()->trigger();
    EXPECT_EQ(offeredPath, QDir::toNativeSeparators(QDir::homePath() + "/spectrum.png"));
    EXPECT_TRUE(contents(path("plot.svg")).contains("viewBox=\"0 0 300 120\""));
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('|').toStdString();
    answer = QMessageBox::No;
    menu->saveAction()->trigger();
    EXPECT_EQ(std::pair(offeredPath, offeredFilter),
              std::pair(QDir::toNativeSeparators(path("plot.svg")), QString("SVG drawing (*.svg)")));
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].endsWith("plot.svg\" already exists, overwrite?"));
    EXPECT_EQ(sizeQuestions, 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"plot.svg"});
}

} // namespace
