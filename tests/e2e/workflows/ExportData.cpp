// Exporting what the plots show, as a person does it: one block of two channels, its waveforms
// written with Ctrl+E (in a custom unit) and its spectrum with the plot's
// context menu, each file read back and compared with the curves drawn, value for value; the
// spectrum saved as a picture; a file that cannot be written is told.
#include "Steps.h"

namespace {

const std::string kWorld = vxiWorld(R"({"slot":1,"serial":"0x71500011","signal":{"type":"sine",
  "frequency":625,"amplitude":2.0,"noiseRms":50e-6}})");

// An action of the context menu of the plot on that tab.
void fromMenu(Gui &gui, const QString &tab, const QString &item) {
    openContextMenu(gui, [tab] { return plotOn(tab)->canvas(); });
    gui.shot("plot-menu");
    clickMenuItem(gui, item);
}

// The curves on the tab exported (with Ctrl+E, or the plot's menu) to the file name, which
// appears whole once written (it is renamed into place). Its lines: settings, column names, then
// one row per point, each compared with the curves drawn, which must read back exactly.
void exportAndCheck(Gui &gui, const QString &tab, bool shortcut, const char *name, const QString &settings,
                    const QString &columns) {
    const std::string path = e2eWorkDir(name);
    if (shortcut)
        pressShortcut(gui, Qt::Key_E, Qt::ControlModifier);
    else
        fromMenu(gui, tab, "Export Data...");
    answerFileDialog(gui, "Export Data", path);
    gui.waitUntil(path, [path] { return std::filesystem::exists(path); });
    const std::vector<Curve> curves = gui.run([tab] { return drawnCurves(tab); });
    const QStringList lines = QString::fromStdString(fileText(path)).split('\n', Qt::SkipEmptyParts);
    const size_t points = curves[0].x.size();
    E2E_EQ(lines.size(), int(2 + points));
    E2E_EQ(lines.mid(0, 2), QStringList({settings, columns}));
    for (size_t row = 0; row < points; ++row) {
        const QStringList cells = lines[int(2 + row)].split(',');
        bool same = cells.size() == int(1 + curves.size()) && cells[0].toDouble() == curves[0].x[row];
        for (size_t c = 0; same && c < curves.size(); ++c)
            same = cells[int(1 + c)].toDouble() == curves[c].y[row];
        E2E_CHECK(same, "row ", row, ": ", cells);
    }
}

void exportData(Gui &gui) {
    connectOneCard(gui);
    showChannel(gui, 1, 2);
    gui.run([] { Gui::tick(channelPage(1, 2), "Enabled"); });
    gui.showTab(kMainWindow, "Acquisition");
    pick(gui, kMainWindow, "Hann");
    pick(gui, kMainWindow, "2 x");
    gui.showTab(kMainWindow, "Waveforms");
    singleShot(gui, "the block", [] { return drawnCurves("Waveforms").size() == 2; });

    // A custom unit whose name needs quoting: its values and name as the axis shows them.
    gui.post([] { QTest::mouseClick(plotOn("Waveforms")->axisWidget(QwtPlot::yLeft), Qt::LeftButton); });
    gui.waitWindow("Axis Configuration");
    gui.run([] {
        QWidget *dialog = Gui::window("Axis Configuration");
        for (QGroupBox *group : dialog->findChildren<QGroupBox *>())
            if (group->title() == "Custom Unit Display") {
                group->setChecked(true);
                // The name's field; the number fields have theirs inside.
                QTest::keyClicks(group->findChild<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly),
                                 "mV, \"AC\"");
            }
        dialog->findChildren<QDoubleSpinBox *>().last()->setValue(0.25); // the offset
    });
    gui.press("Axis Configuration", "OK");
    gui.waitWindow("Axis Configuration", false);
    exportAndCheck(gui, "Waveforms", true, "units.csv", "\"Sampling rate: 10000 Hz, N: 256\"",
                   "Time (s),\"FC1_CH1 (mV, \"\"AC\"\")\",\"FC1_CH2 (mV, \"\"AC\"\")\"");

    gui.showTab(kMainWindow, "FFT Amplitude Spectrum");
    gui.press(kMainWindow, "All");
    gui.waitUntil("the spectra", [] { return drawnCurves("FFT Amplitude Spectrum").size() == 2; });
    exportAndCheck(gui, "FFT Amplitude Spectrum", false, "spectra.csv",
                   "\"Sampling rate: 10000 Hz, N: 256, Window: Hann, Zero padding: 2 x\"",
                   "Frequency (Hz),FC1_CH1 (dB),FC1_CH2 (dB)");

    // "Save Plot As..." of the spectrum at its size on screen: the picture has that width and,
    // below the plot, room for the legend and the settings.
    const std::string path = e2eWorkDir("spectrum.png");
    const QSize plotSize = gui.run([] { return plotOn("FFT Amplitude Spectrum")->size(); });
    fromMenu(gui, "FFT Amplitude Spectrum", "Save Plot As...");
    answerFileDialog(gui, "Save Plot As", path);
    gui.press("Plot Size", "OK");
    gui.waitUntil(path, [path] { return std::filesystem::exists(path); });
    const QImage picture(QString::fromStdString(path));
    E2E_CHECK(picture.width() == plotSize.width() && picture.height() > plotSize.height() + 20);

    // A folder nobody may write in (not even root): told, and nothing written.
    fromMenu(gui, "FFT Amplitude Spectrum", "Export Data...");
    answerFileDialog(gui, "Export Data", "/proc/spectra.csv");
    E2E_CHECK(messageText(gui, kBoxTitle).startsWith("Cannot write the file: \"/proc/spectra.csv\" ("));
    E2E_CHECK(!std::filesystem::exists("/proc/spectra.csv"));
    gui.press(kBoxTitle, "OK");
    closeProgram(gui);
}

Registration exportWorkflow{{"export_data", kWorld, nullptr, exportData, nullptr}};

} // namespace
