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

struct Stored {
    std::string path;
    double seconds = 0; // from the dialog's Start to the stop
};

// Everything from the connection question to the stop; the rate, length and format as the
// choices show them.
Stored storeRamp(Gui &gui, const char *file, const QString &rate, const QString &length, const QString &format)
{
    Stored stored{e2eWorkDir() + "/" + file};
    startStoring(gui, stored.path, rate, length, format);
    const auto start = Clock::now();

    gui.waitUntil("the file size line", [] { return shownFileSize() > 0; });
    const double first = gui.run(shownFileSize);
    Gui::pause(std::chrono::seconds(3));
    gui.waitUntil("the file size line to grow", [first] { return shownFileSize() > first; });
    // What the line counted is on disk already.
    E2E_CHECK(std::filesystem::file_size(stored.path) >= first, "less on disk than the line showed");
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

Registration binary{{"continuous_binary", rampWorld(), nullptr, [](Gui &gui) {
    const Stored stored = storeRamp(gui, "ramp.bin7150", "50 kHz", "1024", "Binary, ViReal64");
    RampFile file;
    const std::string gap = rampFileGap(stored.path, kRampLsb, file);
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
    checkStorageSummary(gui, stored.path, file.blocks, 1024 / 50000.0, "stopped");
    gui.shot("summary");
    closeProgram(gui);
}, nullptr}};

Registration csv{{"continuous_csv", rampWorld(), nullptr, [](Gui &gui) {
    const Stored stored = storeRamp(gui, "ramp.csv", "10 kHz", "1024", "Text, CSV (V)");
    std::ifstream in(stored.path);
    std::string units, rate, columns;
    std::getline(in, units);
    std::getline(in, rate);
    std::getline(in, columns);
    E2E_CHECK(units == "Units: V" && rate == "Sampling rate: 10000.000000 Hz" && columns == "FC1_CH1, FC1_CH2, ",
              "header lines '", units, "' '", rate, "' '", columns, "'");
    // Every line: both channels' counts, each value followed by ", ", one LSB on from the last line.
    long scans = 0;
    const std::string gap = csvRampFileGap(stored.path, kRampLsb, 2, scans);
    E2E_CHECK(gap.empty(), stored.path, ": ", gap);
    E2E_CHECK(scans % 1024 == 0, scans, " scans: not whole blocks");
    checkDuration(scans / 10000.0, stored.seconds);
    checkStorageSummary(gui, stored.path, scans / 1024, 1024 / 10000.0, "stopped");
    closeProgram(gui);
}, nullptr}};

} // namespace
