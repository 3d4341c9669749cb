// Continuous acquisition with storage, as a person runs it: one VXI card whose channels carry
// the simulation's ramp, channels 1 and 2 on, the storage box, the repetitive start, the storage
// dialog, a few seconds of storing while the file size line under the plot grows, the stop.
// The ramp counts one LSB per scan, so the stored file shows any scan lost or stored twice.
#include "Gui.h"
#include "RampFile.h"
#include "Steps.h"
#include "Workflow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using Clock = std::chrono::steady_clock;

const char kRampWorld[] = R"({"carriers":[{"resources":["VXI0::9::INSTR"],"interface":"VXI","slot":2,
  "logicalAddress":9,"slots":4,"cards":[{"slot":1,"signal":{"type":"ramp"}}]}]})";
const QString kDialogTitle = "Continuous Acquisition Configuration";
const QString kStorageBox = "Continuous Acquisition with Data Storage to File";
constexpr double kLsb = 10.24 / 8388608.0; // gain 1

// Picks the item in the choice of the window with this title that offers it.
void pick(Gui &gui, const QString &title, const QString &item)
{
    const QString shown = gui.choose([=] { return Gui::comboWith(Gui::window(title), item); }, item);
    E2E_CHECK(shown == item, "the choice shows ", shown.toStdString());
}

// Bytes the file size line under the plot shows ("File size: 1.5 MB, sample backlog: 0"); -1
// while it is hidden.
double shownFileSize()
{
    for (QLabel *line : Gui::window(kMainWindow)->findChildren<QLabel *>()) {
        const QString text = line->text();
        if (!line->isVisible() || !text.startsWith("File size: "))
            continue;
        const QStringList size = text.mid(11).section(',', 0, 0).split(' ');
        const double unit = size.value(1) == "GB" ? 1 << 30 : size.value(1) == "MB" ? 1 << 20 : size.value(1) == "kB" ? 1024 : 1;
        return size.value(0).toDouble() * unit;
    }
    return -1;
}

struct Stored {
    std::string path;
    double seconds = 0; // from the dialog's Start to the stop
};

// Everything from the connection question to the stop; the rate, length and format as the
// choices show them.
Stored storeRamp(Gui &gui, const char *file, const QString &rate, const QString &length, const QString &format)
{
    Stored stored{e2eWorkDir() + "/" + file};
    answerConnection(gui, "Auto Find"); // the one card of the world opens without a choice
    waitMainWindow(gui);
    showChannel(gui, 1, 2);
    gui.run([] { Gui::tick(channelPage(1, 2), "Enabled"); });
    gui.showTab(kMainWindow, "Acquisition");
    pick(gui, kMainWindow, rate);
    pick(gui, kMainWindow, length);
    gui.run([] { Gui::tick(Gui::window(kMainWindow), kStorageBox); });
    gui.showTab(kMainWindow, "Waveforms");

    gui.click(kMainWindow, "repetitiveButton");
    gui.waitWindow(kDialogTitle);
    pick(gui, kDialogTitle, format); // first: a new format would correct the name's extension
    gui.run([name = QString::fromStdString(stored.path)] {
        auto *path = Gui::window(kDialogTitle)->findChild<QLineEdit *>();
        QTest::keyClick(path, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(path, name);
    });
    gui.shot("dialog");
    gui.press(kDialogTitle, "Start");
    const auto start = Clock::now();
    gui.waitNoWindow(kDialogTitle);

    gui.waitUntil("the file size line", [] { return shownFileSize() > 0; });
    const double first = gui.run(shownFileSize);
    Gui::pause(std::chrono::seconds(3));
    gui.waitUntil("the file size line to grow", [first] { return shownFileSize() > first; });
    // What the line counted is on disk already.
    E2E_CHECK(std::filesystem::file_size(stored.path) > first, "less on disk than the line showed");
    gui.shot("storing");

    gui.click(kMainWindow, "repetitiveButton");
    stored.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    gui.waitUntil("the stop", [] {
        auto *repeat = Gui::child<QAbstractButton>(Gui::window(kMainWindow), "repetitiveButton");
        return !repeat->isChecked() && shownFileSize() < 0;
    });
    E2E_CHECK(!gui.run([] { return Gui::window(kBoxTitle) != nullptr; }), "a message after the stop");
    return stored;
}

// The file covers the time from start to stop: a second lost would be a gap the ramp cannot
// show when it happens at the ends. Starting and stopping take a little of that time.
void checkDuration(double storedSeconds, double elapsed)
{
    E2E_CHECK(storedSeconds > elapsed - 1.5 && storedSeconds < elapsed + 0.5, storedSeconds, " s stored in ", elapsed,
              " s of storing");
}

Registration binary{{"continuous_binary", kRampWorld, nullptr, [](Gui &gui) {
    const Stored stored = storeRamp(gui, "ramp.bin7150", "50 kHz", "1024", "Binary, ViReal64");
    RampFile file;
    const std::string gap = rampFileGap(stored.path, kLsb, file);
    E2E_CHECK(gap.empty(), stored.path, ": ", gap);
    const fileInfo_t &info = file.info;
    E2E_CHECK(info.format == fileFormatViReal64 && info.rate == 50000.0 && info.scansPerBlock == 1024 &&
                  info.cards == 1 && info.channels == 2 && info.channelMasks[0] == 0x03 && info.timeOffset == 0.0 &&
                  info.timestamps == 0,
              "header: format ", info.format, ", ", info.rate, " Hz, ", info.scansPerBlock, " scans, ", int(info.cards),
              " cards, ", info.channels, " channels, mask ", int(info.channelMasks[0]), ", offset ", info.timeOffset,
              ", timestamps ", int(info.timestamps));
    // Whole blocks only: the writer never leaves half a block behind.
    E2E_CHECK(std::filesystem::file_size(stored.path) == info.payloadOffset + file.blocks * info.blockLength,
              std::filesystem::file_size(stored.path), " bytes for ", file.blocks, " blocks");
    checkDuration(file.blocks * 1024 / 50000.0, stored.seconds);
    closeProgram(gui);
}, nullptr}};

Registration csv{{"continuous_csv", kRampWorld, nullptr, [](Gui &gui) {
    const Stored stored = storeRamp(gui, "ramp.csv", "10 kHz", "1024", "Text, CSV (V)");
    std::ifstream in(stored.path);
    std::string units, rate, columns, line;
    std::getline(in, units);
    std::getline(in, rate);
    std::getline(in, columns);
    E2E_CHECK(units == "Units: V" && rate == "Sampling rate: 10000.000000 Hz" && columns == "FC1_CH1, FC1_CH2, ",
              "header lines '", units, "' '", rate, "' '", columns, "'");
    // Every line: both channels' counts, each value followed by ", ", one LSB on from the last line.
    long scans = 0, first = -1;
    std::string rest;
    while (std::getline(in, line)) {
        E2E_CHECK(line.size() > 2 && line.compare(line.size() - 2, 2, ", ") == 0, "line ", scans, ": '", line, "'");
        std::istringstream values(line);
        for (int channel = 0; channel < 2; ++channel) {
            double volts = 0;
            char comma = 0;
            E2E_CHECK(values >> volts >> comma && comma == ',', "line ", scans, ": '", line, "'");
            const long count = std::lround(volts / kLsb);
            if (first < 0)
                first = count;
            E2E_CHECK(count == (first + scans) % (1 << 23), "line ", scans, " channel ", channel + 1, ": count ",
                      count, ", expected ", (first + scans) % (1 << 23));
        }
        E2E_CHECK(!(values >> rest), "line ", scans, ": '", line, "' has more than two values");
        ++scans;
    }
    E2E_CHECK(scans % 1024 == 0, scans, " scans: not whole blocks");
    checkDuration(scans / 10000.0, stored.seconds);
    closeProgram(gui);
}, nullptr}};

} // namespace
