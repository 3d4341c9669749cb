// A stored recording of channels 1 and 3 whose samples are known, on the plots.
// The legend entries' context menus: "Hide Trace", "Show Trace", "Show Only This Trace" and "Show
// All Traces" on the waveform legend (the plot then no longer draws what is hidden), the same
// menu on the spectrum legend choosing which spectra are shown, and the left click that still
// emphasises.
// Time cursors on the waveforms: switched on with Ctrl+K, one set with Ctrl + left click, the
// other dragged; the read-out then gives the cursor times, their distance and its reciprocal,
// and each channel's values at both cursors and their difference. The plot's other mouse uses
// stay: a drag away from the cursors zooms, the middle button steps back (with Shift forward),
// and the context menu switches the cursors off again.
#include "Steps.h"
#include "StoredRecording.h"

namespace {

// 10 ms per sample: several pixels apart, so a click lands on the sample it aims at.
constexpr int kScans = 100;
constexpr double kRate = 100.0;
const QString kWaveforms = "Waveforms";
const QString kSpectrum = "FFT Amplitude Spectrum";

// Channel 1 rises by 1 V per second; channel 3 is a sine of 2 V and 1 Hz.
void writeRecording() {
    E2E_EQ(StoredRecording()
               .withRate(kRate)
               .withScans(kScans)
               .withMasks({0x05})
               .withSignal(
                   [](int k, int64_t n) { return k == 0 ? n / kRate : 2.0 * std::sin(2 * M_PI * n / kRate); })
               .write(e2eWorkDir("cursors.bin7150")),
           "");
}

// The program's widgets as a person sees them, found afresh at each look.
QwtPlot *plot() {
    return plotOn("Waveforms");
}
QWidget *canvas() {
    return plot()->canvas();
}
QwtPlotZoomer *zoomer() {
    return canvas()->findChild<QwtPlotZoomer *>();
}
QTableWidget *table() {
    return Gui::child<QTableWidget>(Gui::window(kMainWindow), "cursorValues");
}
int pixelOf(double t) {
    return qRound(plot()->transform(QwtPlot::xBottom, t));
}
// k: 1 or 2.
QwtPlotMarker *cursor(int k) {
    for (QwtPlotItem *item : plot()->itemList(QwtPlotItem::Rtti_PlotMarker))
        if (item->title().text() == QString("Cursor %1").arg(k))
            return static_cast<QwtPlotMarker *>(item);
    throw E2eFailure(describe("no cursor ", k));
}
// Both cursors and their read-out (the table) shown, or none.
bool cursorsShown(bool shown = true) {
    return cursor(1)->isVisible() == shown && cursor(2)->isVisible() == shown &&
           table()->isVisible() == shown;
}

// What a person's hand sends: press, moves with the button held, release.
void mouse(QEvent::Type type, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y = -1) {
    const QPoint at(x, y < 0 ? canvas()->height() / 2 : y);
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, at, canvas()->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button,
                      held, modifiers);
    QApplication::sendEvent(canvas(), &event);
}

void drag(int from, int to) {
    for (int step = 0; step <= 5; ++step)
        mouse(step == 0   ? QEvent::MouseButtonPress
              : step == 5 ? QEvent::MouseButtonRelease
                          : QEvent::MouseMove,
              Qt::LeftButton, Qt::NoModifier, from + (to - from) * std::min(step, 4) / 4);
}

// The cursors at 0.2 s and 0.75 s, and the read-out the recording's samples there give (its
// number formats: the read-out's unit test): ch 1 rises 1 V per second, ch 3 is 2 sin(2 pi t).
void checkReadout() {
    auto *timeLine = Gui::child<QLabel>(Gui::window(kMainWindow), "cursorTimes");
    E2E_CHECK(cursorsShown() && timeLine->isVisible());
    E2E_CHECK(cursor(1)->xValue() == 0.2 && cursor(2)->xValue() == 0.75, cursor(1)->xValue());
    QStringList shown{timeLine->text()};
    for (int row = 0; row < table()->rowCount(); ++row)
        for (int column = 0; column < 4; ++column)
            shown << table()->item(row, column)->text();
    E2E_EQ(shown.join(" | "),
           QString("t1 = 0.200 s,  t2 = 0.750 s,  dt = 0.550 s,  1/dt = 1.818 Hz | FC #1 Ch 1 | "
                   "0.200 V | 0.750 V | 0.550 V | FC #1 Ch 3 | 1.902 V | -2.000 V | -3.902 V"));
}

QLabel *entry(const QString &tab, int channel) {
    auto *label = Gui::child<QLabel>(mainTab(tab), QString("legendFC1Ch%1").arg(channel));
    E2E_CHECK(label, tab, channel);
    return label;
}

// The curve titled "Ch <channel>" that the plot holds (the spectrum's hidden ones it lets go).
QwtPlotCurve *curve(const QString &tab, int channel) {
    for (QwtPlotItem *item : plotOn(tab)->itemList(QwtPlotItem::Rtti_PlotCurve))
        if (item->title().text() == QString("Ch %1").arg(channel) &&
            static_cast<QwtPlotCurve *>(item)->dataSize() > 0)
            return static_cast<QwtPlotCurve *>(item);
    return nullptr;
}

// The channel's legend entry's context menu, then the item with this text, clicked.
// shot: a screenshot with the menu up, when named.
void choose(Gui &gui, const QString &tab, int channel, const QString &item, const std::string &shot = "") {
    const QStringList texts = openContextMenu(gui, [=] { return entry(tab, channel); });
    if (!shot.empty())
        gui.shot(shot);
    E2E_EQ(texts.join('|').replace("Hide Trace", "Show Trace"),
           "Change Color...|Show Trace|Show Only This Trace|Show All Traces");
    clickMenuItem(gui, item);
    gui.waitUntil("the menu closed", [] { return !QApplication::activePopupWidget(); });
}

void run(Gui &gui) {
    waitMainWindow(gui);
    // The legend entries' menus, on both plots.
    gui.waitUntil("the recording drawn", [] { return curve(kWaveforms, 1) && curve(kWaveforms, 3); });
    // Channel, menu item; then whether channel 1 is shown: the plot draws it, and its legend entry
    // says so. Channel 3 stays shown throughout.
    const std::tuple<int, QString, bool> steps[] = {{1, "", true},
                                                    {1, "Hide Trace", false},
                                                    {1, "Show Trace", true},
                                                    {3, "Show Only This Trace", false},
                                                    {3, "Show All Traces", true}};
    for (const auto &[channel, item, first] : steps) {
        if (!item.isEmpty())
            choose(gui, kWaveforms, channel, item, item == "Show Only This Trace" ? "menu" : "");
        E2E_CHECK(gui.run([on = first] {
            return curve(kWaveforms, 1)->isVisible() == on && curve(kWaveforms, 3)->isVisible() &&
                   entry(kWaveforms, 1)->font().strikeOut() == !on;
        }));
    }
    // The left click still emphasises the curve.
    gui.run([] { QTest::mouseClick(entry(kWaveforms, 3), Qt::LeftButton); });
    E2E_EQ(gui.run([] { return curve(kWaveforms, 3)->pen().width(); }), 3);

    // The spectrum legend starts with nothing selected; its menu chooses the spectra shown.
    gui.showTab(kMainWindow, kSpectrum);
    E2E_CHECK(gui.run([] { return !curve(kSpectrum, 1) && !curve(kSpectrum, 3); }));
    choose(gui, kSpectrum, 1, "Show All Traces");
    gui.waitUntil("both spectra shown", [] { return curve(kSpectrum, 1) && curve(kSpectrum, 3); });
    choose(gui, kSpectrum, 3, "Show Only This Trace");
    gui.waitUntil("channel 3's spectrum alone", [] { return !curve(kSpectrum, 1) && curve(kSpectrum, 3); });
    gui.showTab(kMainWindow, kWaveforms);
    E2E_CHECK(gui.run([] { return cursorsShown(false); }), "cursors shown before they were asked for");
    pressShortcut(gui, Qt::Key_K, Qt::ControlModifier);
    gui.waitUntil("the cursors on", [] { return cursorsShown(); });

    // Cursor 1 to 0.2 s with Ctrl + left click; cursor 2 dragged from where it came up to 0.75 s.
    gui.run([] {
        const uint zoom = zoomer()->zoomRectIndex();
        mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::ControlModifier, pixelOf(0.2));
        mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::ControlModifier, pixelOf(0.2));
        // Grabbed a few pixels beside the line.
        drag(pixelOf(cursor(2)->xValue()) + 4, pixelOf(0.75));
        E2E_CHECK(zoomer()->zoomRectIndex() == zoom && !zoomer()->isActive()); // no zoom begun
        checkReadout();
    });
    gui.shot("cursors");

    // A drag that starts away from both cursors is a zoom, as before; the cursors stay.
    gui.run([] {
        const uint zoom = zoomer()->zoomRectIndex();
        mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::NoModifier, pixelOf(0.3));
        for (QEvent::Type type : {QEvent::MouseMove, QEvent::MouseButtonRelease})
            mouse(type, Qt::LeftButton, Qt::NoModifier, pixelOf(0.6), canvas()->height() / 4);
        E2E_EQ(zoomer()->zoomRectIndex(), zoom + 1);
        checkReadout();
        // The middle button steps back, with Shift forward.
        QTest::mouseClick(canvas(), Qt::MiddleButton, Qt::NoModifier, canvas()->rect().center());
        E2E_EQ(zoomer()->zoomRectIndex(), zoom);
        QTest::mouseClick(canvas(), Qt::MiddleButton, Qt::ShiftModifier, canvas()->rect().center());
        E2E_EQ(zoomer()->zoomRectIndex(), zoom + 1);
    });

    // Off from the plot's context menu: cursors and read-out go.
    gui.run([] {
        for (QAction *entry : plot()->findChild<QMenu *>()->actions())
            if (entry->text() == "Cursors")
                entry->trigger();
    });
    E2E_CHECK(gui.run([] { return cursorsShown(false); }), "the cursors stayed");
    closeProgram(gui);
}

Registration cursors{{"waveform_legend_cursors", "", writeRecording, run, nullptr}};

} // namespace
