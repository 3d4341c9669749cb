// The AC performance measurements ("-acperf"): a single shot of a known sine, the figures on
// the "Measurements" tab and the same figures copied to the clipboard.
#include "Steps.h"

namespace {

// 1015.625 Hz is bin 26 of the default block (256 scans at 10 kHz): a coherent tone, and its
// 2nd to 4th harmonics stay below 5 kHz.
const std::string kWorld = vxiWorld(R"({"slot":1,"serial":"0x71500013","signal":{"type":"sine",
  "frequency":1015.625,"amplitude":2.0,"harmonics":[-80,-90],"noiseRms":100e-6}})");

const QStringList kTitles = {"Amplitude (V)", "Mean (V)",   "Vrms (V)", "Frequency (Hz)", "Phase (us)",
                             "THD (dB)",      "SINAD (dB)", "SNR (dB)", "SFDR (dB)",      "ENOB"};

QTableView *table() {
    return mainTab("Measurements")->findChild<QTableView *>();
}

QStringList row(int r) {
    QStringList cells;
    for (int c = 0; c < table()->model()->columnCount(); ++c)
        cells << table()->model()->index(r, c).data().toString();
    return cells;
}

// What a person reads of the column titles at the size the window opens with, without
// scrolling: the figures' names, each one whole (the header elides a title its
// section cannot hold with the style's margins) and inside the header's view, not scrolled away.
std::string cutTitles() {
    QHeaderView *header = table()->horizontalHeader();
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const int width = table()->viewport()->width();
    std::string cut = table()->horizontalScrollBar()->isVisible() ? "a horizontal scroll bar; " : "";
    for (int c = 0; c < std::max(header->count(), int(kTitles.size())); ++c) {
        const QString title = table()->model()->headerData(c, Qt::Horizontal).toString();
        const int text = header->fontMetrics().horizontalAdvance(title);
        const int left = header->sectionViewportPosition(c), size = header->sectionSize(c);
        // Titles are centred in their sections, which must end inside the view.
        if (title != kTitles.value(c) || size < text + 2 * margin || left + (size - text) / 2 < 0 ||
            left + size > width)
            cut += describe(title.toStdString(), " (", text, " px in ", size, " px at ", left, " of ", width,
                            "); ");
    }
    return cut;
}

} // namespace

static Registration acperfMeasurements{
    {"acperf_measurements", kWorld, nullptr,
     [](Gui &gui) {
         connectOneCard(gui);
         gui.showTab(kMainWindow, "Measurements");
         E2E_EQ(gui.run([] { return row(0).join(""); }), "");

         singleShot(gui, "the figures of the single shot", [] { return !row(0)[0].isEmpty(); });
         E2E_EQ(gui.run(cutTitles), ""); // no other, cut or hidden column

         // The figures come from the card's block: the tone's amplitude and frequency, every figure a
         // number; the rows of the channels not acquired say so.
         const QStringList cells = gui.run([] { return row(0); });
         bool number = false;
         for (int c = 0; c < 10; ++c)
             E2E_CHECK((cells[c].toDouble(&number), number), kTitles[c], " reads ", cells[c]);
         E2E_CHECK(std::abs(cells[0].toDouble() - 2.0) < 0.004 &&
                   std::abs(cells[3].toDouble() - 1015.625) < 0.001);
         E2E_EQ(gui.run([] { return row(1).join(' '); }), "- - - - - - - - - -");
         gui.shot("measurements");

         gui.run([] { QApplication::clipboard()->clear(); });
         gui.press(kMainWindow, "Copy to Clipboard");
         gui.waitUntil("the copied table", [] { return !QApplication::clipboard()->text().isEmpty(); });
         // The button copies what the table shows (the layout: the plot's unit tests).
         const QStringList lines = gui.run([] { return QApplication::clipboard()->text().split('\n'); });
         E2E_EQ(lines.value(3), "1,0,0," + cells.join(','));
         closeProgram(gui);
     },
     nullptr}};
