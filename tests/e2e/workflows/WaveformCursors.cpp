// Time cursors on the waveforms of a stored recording whose samples are known: switched on
// with Ctrl+K, one set with Ctrl + left click, the other dragged; the read-out then gives the
// cursor times, their distance and its reciprocal, and each channel's values at both cursors
// and their difference. The plot's other mouse uses stay: a drag away from the cursors zooms,
// the middle button steps back (with Shift forward), as the plots' what's-this says, and the
// context menu switches the cursors off again.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <QWhatsThis>

#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_widget.h>

#include <cmath>
#include <vector>

namespace {

// 10 ms per sample: several pixels apart, so a click lands on the sample it aims at.
constexpr int kScans = 100;
constexpr double kRate = 100.0;

std::string path() {
    return e2eWorkDir() + "/cursors.bin7150";
}

// Channel 1 rises by 1 V per second; channel 3 is a sine of 2 V and 1 Hz.
double sample(int channel, double t) {
    return channel == 0 ? t : 2.0 * std::sin(2 * M_PI * t);
}

void writeRecording() {
    writeOneBlockRecording(path(), kRate, kScans, 0x05, sample);
}

// The program's widgets as a person sees them, found afresh at each look.
QWidget *app() {
    return Gui::window(kMainWindow);
}
QwtPlot *plot() {
    return plotOn("Waveforms");
}
QWidget *canvas() {
    return plot()->canvas();
}
QwtPlotZoomer *zoomer() {
    return canvas()->findChild<QwtPlotZoomer *>();
}
QMenu *contextMenu() {
    return plot()->findChild<QMenu *>();
}
QLabel *timeLine() {
    return Gui::child<QLabel>(app(), "cursorTimes");
}
QTableWidget *table() {
    return Gui::child<QTableWidget>(app(), "cursorValues");
}
int pixelOf(double t) {
    return qRound(plot()->transform(QwtPlot::xBottom, t));
}
// k: 1 or 2.
QwtPlotMarker *cursor(int k) {
    for (QwtPlotItem *item : plot()->itemList(QwtPlotItem::Rtti_PlotMarker))
        if (item->title().text() == QString("Cursor %1").arg(k))
            return static_cast<QwtPlotMarker *>(item);
    E2E_CHECK(false, "no cursor ", k, " on the plot");
    return nullptr;
}
bool cursorsShown() {
    return cursor(1)->isVisible() && cursor(2)->isVisible() && table()->isVisible();
}

// What a person's hand sends: press, moves with the button held, release.
void mouse(QEvent::Type type, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x) {
    const QPoint at(x, canvas()->height() / 2);
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, at, canvas()->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button,
                      held, modifiers);
    QApplication::sendEvent(canvas(), &event);
}

void drag(int from, int to, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    mouse(QEvent::MouseButtonPress, Qt::LeftButton, modifiers, from);
    for (int step = 1; step <= 4; ++step)
        mouse(QEvent::MouseMove, Qt::LeftButton, modifiers, from + (to - from) * step / 4);
    mouse(QEvent::MouseButtonRelease, Qt::LeftButton, modifiers, to);
}

// "12.300 ms" -> 0.0123; the read-out's prefixes are u, m, k and M.
double quantity(const QString &text) {
    const QRegularExpressionMatch m = QRegularExpression("(-?[0-9.]+) (u|m|k|M)?(s|V|Hz)").match(text);
    E2E_CHECK(m.hasMatch(), "no quantity in \"", text.toStdString(), "\"");
    const QString prefix = m.captured(2);
    const double scale = prefix == "u"   ? 1e-6
                         : prefix == "m" ? 1e-3
                         : prefix == "k" ? 1e3
                         : prefix == "M" ? 1e6
                                         : 1.0;
    return m.captured(1).toDouble() * scale;
}

// The named part of the time line: "dt" in "t1 = ...,  t2 = ...,  dt = ...,  1/dt = ...".
double timeLinePart(const QString &line, const QString &name) {
    for (const QString &part : line.split(",  "))
        if (part.startsWith(name + " = "))
            return quantity(part.mid(name.size() + 3));
    E2E_CHECK(false, "no ", name.toStdString(), " in \"", line.toStdString(), "\"");
    return 0.0;
}

void expectNear(double shown, double truth, double unitOfLastDigit, const std::string &what) {
    E2E_CHECK(std::fabs(shown - truth) <= unitOfLastDigit, what, ": shown ", shown, ", expected ", truth);
}

// The read-out against the recording's samples at the two cursors, t1 and t2 on sample times.
void checkReadout(double t1, double t2) {
    E2E_CHECK(cursorsShown() && timeLine()->isVisible(), "the cursors or their read-out are hidden");
    E2E_CHECK(cursor(1)->xValue() == t1 && cursor(2)->xValue() == t2, "cursors at ", cursor(1)->xValue(),
              " and ", cursor(2)->xValue());
    const QString line = timeLine()->text();
    expectNear(timeLinePart(line, "t1"), t1, 1e-3, "t1");
    expectNear(timeLinePart(line, "t2"), t2, 1e-3, "t2");
    expectNear(timeLinePart(line, "dt"), t2 - t1, 1e-3, "dt");
    expectNear(timeLinePart(line, "1/dt"), 1.0 / (t2 - t1), 1e-3, "1/dt");

    QTableWidget *table = ::table();
    E2E_CHECK(table->rowCount() == 2, "rows for the channels in the file: ", table->rowCount());
    const std::pair<int, QString> channels[] = {{0, "FC #1 Ch 1"}, {1, "FC #1 Ch 3"}};
    for (auto [row, name] : channels) {
        E2E_CHECK(table->item(row, 0)->text() == name, "row ", row, ": ",
                  table->item(row, 0)->text().toStdString());
        const double at1 = sample(row, t1), at2 = sample(row, t2);
        expectNear(quantity(table->item(row, 1)->text()), at1, 1e-3, name.toStdString() + " at t1");
        expectNear(quantity(table->item(row, 2)->text()), at2, 1e-3, name.toStdString() + " at t2");
        expectNear(quantity(table->item(row, 3)->text()), at2 - at1, 1e-3,
                   name.toStdString() + " difference");
    }
}

QAction *viewMenuAction(const QString &text) {
    auto *bar = Gui::child<QMenuBar>(app(), "menuBar");
    for (QAction *menu : bar->actions())
        if (menu->text() == "&View")
            for (QAction *action : menu->menu()->actions())
                if (action->text() == text)
                    return action;
    return nullptr;
}

void run(Gui &gui) {
    waitMainWindow(gui);
    gui.waitUntil("the recording drawn", [] { return curvesOn("Waveforms")[0].y.size() == size_t(kScans); });
    gui.run([] {
        QAction *cursors = viewMenuAction("Cursors");
        E2E_CHECK(cursors && cursors->isCheckable() && !cursors->isChecked(), "View > Cursors, unchecked");
        E2E_CHECK(cursors->shortcut() == QKeySequence("Ctrl+K"),
                  cursors->shortcut().toString().toStdString());
        E2E_CHECK(contextMenu()->actions().contains(cursors), "Cursors in the plot's menu");
        E2E_CHECK(!cursor(1)->isVisible() && !table()->isVisible(),
                  "cursors shown before they were asked for");
        app()->activateWindow();
    });
    gui.waitUntil("the window active", [] { return app()->isActiveWindow(); });
    gui.run([] { QTest::keyClick(app(), Qt::Key_K, Qt::ControlModifier); });
    gui.waitUntil("the cursors on", [] { return viewMenuAction("Cursors")->isChecked() && cursorsShown(); });

    // Cursor 1 to 0.2 s with Ctrl + left click; cursor 2 dragged from where it came up to 0.75 s.
    gui.run([] {
        const uint zoom = zoomer()->zoomRectIndex();
        mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::ControlModifier, pixelOf(0.2));
        mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::ControlModifier, pixelOf(0.2));
        // Grabbed a few pixels beside the line.
        drag(pixelOf(cursor(2)->xValue()) + 4, pixelOf(0.75));
        E2E_CHECK(zoomer()->zoomRectIndex() == zoom && !zoomer()->isActive(),
                  "dragging a cursor began a zoom");
        checkReadout(0.2, 0.75);
    });
    gui.shot("cursors");

    // A drag that starts away from both cursors is a zoom, as before; the cursors stay.
    gui.run([] {
        const uint zoom = zoomer()->zoomRectIndex();
        const int x0 = pixelOf(0.3), x1 = pixelOf(0.6);
        mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::NoModifier, x0);
        const QPoint end(x1, canvas()->height() / 4);
        QMouseEvent move(QEvent::MouseMove, end, canvas()->mapToGlobal(end), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(canvas(), &move);
        QMouseEvent release(QEvent::MouseButtonRelease, end, canvas()->mapToGlobal(end), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(canvas(), &release);
        E2E_CHECK(zoomer()->zoomRectIndex() == zoom + 1, "a drag away from the cursors did not zoom");
        checkReadout(0.2, 0.75);
        QTest::mouseClick(canvas(), Qt::MiddleButton, Qt::NoModifier, canvas()->rect().center());
        E2E_CHECK(zoomer()->zoomRectIndex() == zoom, "the middle button did not step back");
        QTest::mouseClick(canvas(), Qt::MiddleButton, Qt::ShiftModifier, canvas()->rect().center());
        E2E_CHECK(zoomer()->zoomRectIndex() == zoom + 1, "Shift + middle button did not step forward");
    });

    // Each plot names its gestures in its what's-this, which a click in what's-this mode shows.
    gui.run([] {
        const std::pair<QString, QStringList> helps[] = {
            {"Waveforms",
             {"Drag a rectangle", "middle button", "Shift + middle button", "Reset Zoom", "voltage axis",
              "time axis", "Ctrl+K", "Ctrl + left click", "Space"}},
            {"FFT Amplitude Spectrum",
             {"Ctrl + left click places marker 1", "Ctrl + right click marker 2", "Drag a rectangle",
              "middle button", "Reset Zoom", "axis", "Space"}}};
        for (const auto &[tab, gestures] : helps)
            for (const QString &gesture : gestures)
                E2E_CHECK(plotOn(tab)->whatsThis().contains(gesture), tab.toStdString(), " does not name ",
                          gesture.toStdString());
        E2E_CHECK(plot()->axisWidget(QwtPlot::yLeft)->toolTip().startsWith("Click to edit"),
                  "voltage axis tip");
        QWhatsThis::enterWhatsThisMode();
        QTest::mouseClick(canvas(), Qt::LeftButton, Qt::NoModifier, canvas()->rect().center());
    });
    gui.waitUntil("the plot's what's-this", [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->inherits("QWhatsThat"))
                return true;
        return false;
    });
    gui.shot("whats-this");
    gui.run([] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->inherits("QWhatsThat"))
                w->close();
    });

    // Off from the plot's context menu: cursors and read-out go.
    gui.run([] {
        for (QAction *entry : contextMenu()->actions())
            if (entry->text() == "Cursors")
                entry->trigger();
    });
    gui.run([] {
        E2E_CHECK(!viewMenuAction("Cursors")->isChecked() && !table()->isVisible() &&
                      !cursor(1)->isVisible() && !cursor(2)->isVisible(),
                  "the cursors stayed");
    });
    closeProgram(gui);
}

Registration cursors{{"waveform_cursors", "", writeRecording, run, nullptr}};

} // namespace
