// The AC performance measurements ("-acperf"): a single shot of a known sine, the figures on
// the "Measurements" tab and the same figures copied to the clipboard.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>

#include <cmath>
#include <string>

namespace {

// 1015.625 Hz is bin 26 of the default block (256 scans at 10 kHz): a coherent tone, and its
// 2nd to 4th harmonics stay below 5 kHz.
const char kWorld[] = R"({"carriers":[{"resources":["VXI0::7::INSTR"],"interface":"VXI","slot":2,
  "logicalAddress":7,"model":7005,"slots":4,"cards":[{"slot":1,"code":"0x7150","variant":"BB",
  "serial":"0x71500013","signal":{"type":"sine","frequency":1015.625,"amplitude":2.0,
  "harmonics":[-80,-90],"noiseRms":100e-6}}]}]})";

const QStringList kTitles = {"Amplitude (V)", "Mean (V)",   "Vrms (V)", "Frequency (Hz)", "Phase (us)",
                             "THD (dB)",      "SINAD (dB)", "SNR (dB)", "SFDR (dB)",      "ENOB"};

QTableView *table() {
    return Gui::tabPage(Gui::window(kMainWindow), "Measurements")->findChild<QTableView *>();
}

QStringList row(int r) {
    QStringList cells;
    for (int c = 0; c < table()->model()->columnCount(); ++c)
        cells << table()->model()->index(r, c).data().toString();
    return cells;
}

// What a person reads of the column titles: each one whole (the header elides a title its
// section cannot hold with the style's margins) and inside the header's view, not scrolled away.
std::string cutTitles() {
    QHeaderView *header = table()->horizontalHeader();
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    std::string cut;
    for (int c = 0; c < header->count(); ++c) {
        const QString title = table()->model()->headerData(c, Qt::Horizontal).toString();
        const int text = header->fontMetrics().horizontalAdvance(title);
        const int left = header->sectionViewportPosition(c), size = header->sectionSize(c);
        // Titles are centred in their sections.
        if (size < text + 2 * margin || left + (size - text) / 2 < 0 ||
            left + (size + text) / 2 > header->viewport()->width())
            cut += e2eText(title.toStdString(), " (", text, " px in ", size, " px at ", left, " of ",
                           header->viewport()->width(), "); ");
    }
    return cut;
}

// The columns that reach past the table's view, and the horizontal scroll bar if it shows: at
// the size the window opens with, every figure is to be read without scrolling.
std::string overflow() {
    QHeaderView *header = table()->horizontalHeader();
    const int width = table()->viewport()->width();
    std::string out;
    for (int c = 0; c < header->count(); ++c)
        if (const int end = header->sectionViewportPosition(c) + header->sectionSize(c); end > width)
            out += e2eText("column ", c + 1, " ends at ", end, " px of ", width, "; ");
    if (table()->horizontalScrollBar()->isVisible())
        out += "a horizontal scroll bar";
    return out;
}

} // namespace

static Registration acperfMeasurements{
    {"acperf_measurements", kWorld, nullptr,
     [](Gui &gui) {
         connectOneCard(gui);
         gui.showTab(kMainWindow, "Measurements");
         E2E_CHECK(gui.run([] { return row(0).join(""); }).isEmpty(), "figures before any acquisition");

         singleShot(gui, "the figures of the single shot", [] { return !row(0)[0].isEmpty(); });
         const QStringList titles = gui.run([] {
             QStringList t;
             for (int c = 0; c < table()->model()->columnCount(); ++c)
                 t << table()->model()->headerData(c, Qt::Horizontal).toString();
             return t;
         });
         E2E_CHECK(titles == kTitles, "column titles: ", titles.join(" | ").toStdString());
         const std::string cut = gui.run(cutTitles);
         E2E_CHECK(cut.empty(), "cut or hidden column titles: ", cut);
         const std::string over = gui.run(overflow);
         E2E_CHECK(over.empty(), "the table does not fit its view: ", over);

         const QStringList cells = gui.run([] { return row(0); });
         double v[10];
         for (int c = 0; c < 10; ++c) {
             bool number = false;
             v[c] = cells[c].toDouble(&number);
             E2E_CHECK(number, kTitles[c].toStdString(), " reads '", cells[c].toStdString(), "'");
         }
         // The tolerances. An uncalibrated channel is off by up to 0.12 % in gain and 1.7 mV in
         // offset. The tone sits on bin 26, so the spectrum's peak bin is its frequency exactly and a
         // 3-parameter fit keeps it; the fit's amplitude error from 100 uV of noise over 256 scans is
         // about 100 uV * sqrt(2 / 256) = 9 uV.
         E2E_CHECK(std::abs(v[0] - 2.0) < 0.004, "amplitude ", v[0]);
         E2E_CHECK(std::abs(v[1]) < 0.002, "mean ", v[1]);
         E2E_CHECK(std::abs(v[2] - std::sqrt(2.0)) < 0.003, "Vrms ", v[2]);
         E2E_CHECK(std::abs(v[3] - 1015.625) < 0.001, "frequency ", v[3]);
         E2E_CHECK(v[4] == 0.0, "phase of the reference channel ", v[4]);
         // The spectral figures of one block of 256 scans scatter with the noise and with where the
         // block starts on the sine; the limits are about 4.5 standard deviations of that scatter
         // around the expected values:
         // - THD: harmonics at -80 and -90 dBc are -79.59 dB; the noise in the 3 x 5 harmonic bins
         //   lifts it to about -79.45 dB (sd 0.65 dB).
         // - SNR: 2 V peak over 100 uV RMS is 83.01 dB over the whole band; the noise is summed over
         //   the 93 of 128 bins left after the DC region and the lobes of the fundamental and of the
         //   harmonics are set aside, which reads 10 log(128 / 93) = 1.39 dB higher: 84.40 dB (sd 0.85).
         // - SFDR: the largest spur is the 2nd harmonic, 80 dB down (sd 0.6 dB from the noise in its bin).
         // - SINAD combines THD and SNR: 78.2 dB (sd 0.55); ENOB = (SINAD - 1.76) / 6.02 = 12.70 bits.
         E2E_CHECK(std::abs(v[5] + 79.45) < 3.0, "THD ", v[5]);
         E2E_CHECK(std::abs(v[7] - 84.40) < 3.8, "SNR ", v[7]);
         E2E_CHECK(std::abs(v[8] - 80.0) < 2.8, "SFDR ", v[8]);
         E2E_CHECK(std::abs(v[6] - 78.2) < 2.5, "SINAD ", v[6]);
         E2E_CHECK(std::abs(v[9] - 12.70) < 0.41, "ENOB ", v[9]);
         // Only channel 1 is enabled; the other rows say so.
         for (int r = 1; r < 8; ++r)
             E2E_CHECK(gui.run([r] { return row(r).join(' '); }) == "- - - - - - - - - -",
                       "row of disabled channel ", r + 1);
         gui.shot("measurements");

         gui.run([] { QApplication::clipboard()->clear(); });
         gui.press(kMainWindow, "Copy to Clipboard");
         gui.waitUntil("the copied table", [] { return !QApplication::clipboard()->text().isEmpty(); });
         const QStringList lines = gui.run([] { return QApplication::clipboard()->text().split('\n'); });
         // The layout spreadsheets read: a title line, an empty line, the column line, one line per
         // enabled channel ("channel,gain index,gain index,figures...") and a final line feed.
         const QStringList expected = {
             "Number of scans: 256, scan rate: 10000.000 Hz", "",
             "Channel, Gain, Filter (Hz), Amplitude (V), Mean (V), Vrms (V), Frequency (Hz), Phase (us), "
             "THD (dB), SINAD (dB), SNR (dB), SFDR (dB), ENOB",
             "1,0,0," + cells.join(','), ""};
         E2E_CHECK(lines == expected, "clipboard:\n", lines.join('\n').toStdString());
         closeProgram(gui);
     },
     nullptr}};
