// Continuous acquisition with storage, as a person runs it: one VXI card whose channels carry
// the simulation's ramp, channels 1 and 2 on, the storage box, the repetitive start, the storage
// dialog, a few seconds of storing while the file size line under the plot grows, the stop.
// The ramp counts one LSB per scan, so the stored file shows any scan lost or stored twice.
// The FLAC recording is chosen by its name in "Browse" and then played back in the program's
// offline view through "Open Recording...".
#include "DataFileReader.h"
#include "FlacRecordingFiles.h"
#include "FlacStreamWriter.h"
#include "Gui.h"
#include "RampFile.h"
#include "Steps.h"
#include "Workflow.h"

#include <FLAC/metadata.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTest>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Stored {
    std::string path;
    double seconds = 0; // from the dialog's Start to the stop
};

// Everything from the connection question to the stop; startDialog: up to the dialog's "Start" for
// the recording at path.
Stored storeRamp(Gui &gui, const char *file,
                 const std::function<void(const std::string &path)> &startDialog) {
    Stored stored{e2eWorkDir() + "/" + file};
    startDialog(stored.path);
    const auto start = Clock::now();

    gui.waitUntil("the file size line", [] { return shownFileSize() > 0; });
    const double first = gui.run(shownFileSize);
    Gui::pause(std::chrono::seconds(3));
    gui.waitUntil("the file size line to grow", [first] { return shownFileSize() > first; });
    // What the line counted is on disk already (a FLAC recording's streams too), and the line
    // is not far behind the disk: it shows the size at its last refresh, to a tenth of its unit.
    E2E_CHECK(recordingBytes(stored.path) >= first, "less on disk than the line showed");
    const double shown = gui.run(shownFileSize);
    const uint64_t onDisk = recordingBytes(stored.path);
    E2E_CHECK(shown <= onDisk * 1.05 + 52 && shown >= onDisk * 0.5, "the line shows ", shown,
              " bytes, the disk holds ", onDisk);
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

// The dialog given the format and the path.
std::function<void(const std::string &)> chosen(Gui &gui, const QString &rate, const QString &length,
                                                const QString &format) {
    return [&gui, rate, length, format](const std::string &path) {
        startStoring(gui, path, rate, length, format);
    };
}

// The file covers the time from start to stop: a second lost would be a gap the ramp cannot
// show when it happens at the ends. Starting and stopping take a little of that time.
void checkDuration(double storedSeconds, double elapsed) {
    E2E_CHECK(storedSeconds > elapsed - 1.5 && storedSeconds < elapsed + 0.5, storedSeconds, " s stored in ",
              elapsed, " s of storing");
}

Registration binary{
    {"continuous_binary", rampWorld(), nullptr,
     [](Gui &gui) {
         const Stored stored =
             storeRamp(gui, "ramp.bin7150", chosen(gui, "50 kHz", "1024", "Binary, ViReal64"));
         RampFile file;
         const std::string gap = rampFileGap(stored.path, kRampLsb, file);
         E2E_CHECK(gap.empty(), stored.path, ": ", gap);
         const fileInfo_t &info = file.info;
         E2E_CHECK(info.format == fileFormatViReal64 && info.rate == 50000.0 && info.scansPerBlock == 1024 &&
                       info.cards == 1 && info.channels == 2 && info.channelMasks[0] == 0x03 &&
                       info.timeOffset == 0.0 && info.timestamps == 0,
                   "header: format ", info.format, ", ", info.rate, " Hz, ", info.scansPerBlock, " scans, ",
                   int(info.cards), " cards, ", info.channels, " channels, mask ", int(info.channelMasks[0]),
                   ", offset ", info.timeOffset, ", timestamps ", int(info.timestamps));
         // Whole blocks only: the writer never leaves half a block behind.
         E2E_CHECK(std::filesystem::file_size(stored.path) ==
                       info.payloadOffset + file.blocks * info.blockLength,
                   std::filesystem::file_size(stored.path), " bytes for ", file.blocks, " blocks");
         checkDuration(file.blocks * 1024 / 50000.0, stored.seconds);
         checkStorageSummary(gui, stored.path, file.blocks, 1024 / 50000.0, "stopped");
         gui.shot("summary");
         closeProgram(gui);
     },
     nullptr}};

Registration csv{{"continuous_csv", rampWorld(), nullptr,
                  [](Gui &gui) {
                      const Stored stored =
                          storeRamp(gui, "ramp.csv", chosen(gui, "10 kHz", "1024", "Text, CSV (V)"));
                      std::ifstream in(stored.path);
                      std::string units, rate, columns;
                      std::getline(in, units);
                      std::getline(in, rate);
                      std::getline(in, columns);
                      E2E_CHECK(units == "Units: V" && rate == "Sampling rate: 10000.000000 Hz" &&
                                    columns == "FC1_CH1, FC1_CH2, ",
                                "header lines '", units, "' '", rate, "' '", columns, "'");
                      // Every line: both channels' counts, each value followed by ", ", one LSB on from the
                      // last line.
                      long scans = 0;
                      const std::string gap = csvRampFileGap(stored.path, kRampLsb, 2, scans);
                      E2E_CHECK(gap.empty(), stored.path, ": ", gap);
                      E2E_CHECK(scans % 1024 == 0, scans, " scans: not whole blocks");
                      checkDuration(scans / 10000.0, stored.seconds);
                      checkStorageSummary(gui, stored.path, scans / 1024, 1024 / 10000.0, "stopped");
                      closeProgram(gui);
                  },
                  nullptr}};

// The FLAC format as a person may come to it: the list of formats looked at and left as it was,
// then "Browse" and a name ending in ".flac7150", which brings the format with it.
void storeFlacByName(Gui &gui, const std::string &path) {
    openStorageDialog(gui, "50 kHz", "1024");
    const auto formats = [] { return Gui::comboWith(Gui::window(kStorageDialog), kFlacFormat); };
    // The first click may fall into the dialog's opening; a person clicks again (see Gui::choose).
    for (int attempt = 1;; ++attempt) {
        gui.run([=] { Gui::clickWidget(formats()); });
        try {
            gui.waitUntil(
                "the list of formats", [=] { return formats()->view()->isVisible(); },
                std::chrono::seconds(attempt < 3 ? 2 : 20));
            break;
        } catch (const E2eFailure &) {
            if (attempt == 3)
                throw;
        }
    }
    gui.shot("formats");
    gui.run([=] { QTest::keyClick(formats()->view(), Qt::Key_Escape); });
    gui.waitUntil("the list closed", [=] { return !formats()->view()->isVisible(); });
    const QString before = gui.run([=] { return formats()->currentText(); });
    E2E_CHECK(before == "Binary, ViReal64", "a fresh dialog offers ", before.toStdString());

    gui.press(kStorageDialog, "Browse");
    answerFileDialog(gui, "Set Output File Name", path);
    gui.waitUntil("the FLAC format brought by the name", [=] {
        auto *name = Gui::window(kStorageDialog)->findChild<QLineEdit *>();
        return formats()->currentText() == kFlacFormat && name->text() == QString::fromStdString(path);
    });
    gui.shot("dialog");
    gui.press(kStorageDialog, "Start");
    gui.waitNoWindow(kStorageDialog);
}

// What a FLAC stream's stream info says, as libFLAC reads it.
struct StreamInfo {
    unsigned minFrame = 0, maxFrame = 0, rate = 0, channels = 0, bits = 0;
    uint64_t scans = 0;
};

StreamInfo streamInfo(const std::string &path) {
    FLAC__StreamMetadata read{};
    E2E_CHECK(FLAC__metadata_get_streaminfo(path.c_str(), &read), path, ": no FLAC stream info");
    const FLAC__StreamMetadata_StreamInfo &i = read.data.stream_info;
    return {i.min_blocksize, i.max_blocksize, i.sample_rate, i.channels, i.bits_per_sample, i.total_samples};
}

QWidget *waveforms() {
    return Gui::tabPage(Gui::window(kMainWindow), "Waveforms");
}
QSlider *blockSlider() {
    return waveforms()->findChild<QSlider *>();
}

// The offline view draws block b (from 0) of the recording: each stored channel's volts as the
// program's reader gives them, at the block's times, and the slider stands at it.
void expectDrawn(Gui &gui, const fileInfo_t &info, uint64_t b) {
    const auto n = size_t(info.scansPerBlock);
    std::vector<double> volts(size_t(info.channels) * n);
    E2E_CHECK(DataFileReader::readBlock(info, volts.data(), nullptr, nullptr, b) == 1, "block ", b,
              " unreadable");
    gui.waitUntil("block " + std::to_string(b + 1) + " drawn", [&] {
        const std::vector<Curve> curves = drawnCurves("Waveforms");
        if (curves.size() != size_t(info.channels) || blockSlider()->value() != int(b + 1))
            return false;
        for (size_t k = 0; k < curves.size(); ++k) {
            if (curves[k].y.size() != n)
                return false;
            for (size_t s = 0; s < n; ++s)
                if (curves[k].y[s] != volts[k * n + s] ||
                    std::abs(curves[k].x[s] - (info.timeOffset + double(b * n + s) / info.rate)) > 1e-9)
                    return false;
        }
        return true;
    });
}

Registration flac{
    {"continuous_flac", rampWorld(), nullptr,
     [](Gui &gui) {
         const Stored stored =
             storeRamp(gui, "ramp.flac7150", [&gui](const std::string &path) { storeFlacByName(gui, path); });
         RampFile file;
         // Each channel's volts per count as the description gives it.
         const std::string gap = rampFileGap(stored.path, 0, file);
         E2E_CHECK(gap.empty(), stored.path, ": ", gap);
         const fileInfo_t &info = file.info;
         E2E_CHECK(info.format == fileFormatFlac && info.rate == 50000.0 && info.scansPerBlock == 1024 &&
                       info.cards == 1 && info.channels == 2 && info.channelMasks[0] == 0x03 &&
                       info.timeOffset == 0.0 && info.timestamps == 0 && info.channelLsb[0] == kRampLsb &&
                       info.channelLsb[1] == kRampLsb,
                   "description: format ", info.format, ", ", info.rate, " Hz, ", info.scansPerBlock,
                   " scans, ", int(info.cards), " cards, ", info.channels, " channels, mask ",
                   int(info.channelMasks[0]), ", offset ", info.timeOffset, ", timestamps ",
                   int(info.timestamps), ", LSB ", info.channelLsb[0], " ", info.channelLsb[1]);
         // One stream for the one card, none of scan times; the stream is complete (its info counts
         // every scan) and holds whole blocks only, in frames of 4096 scans.
         const std::string stream = FlacRecordingFiles::cardStream(stored.path, 1);
         E2E_CHECK(!std::filesystem::exists(FlacRecordingFiles::timeStream(stored.path)),
                   "scan times stored");
         const StreamInfo streamed = streamInfo(stream);
         E2E_CHECK(streamed.rate == 50000 && streamed.channels == 2 && streamed.bits == 24 &&
                       streamed.minFrame == FlacStreamWriter::kFrameScans &&
                       streamed.maxFrame == FlacStreamWriter::kFrameScans &&
                       streamed.scans == file.blocks * 1024,
                   stream, ": ", streamed.rate, " Hz, ", streamed.channels, " channels of ", streamed.bits,
                   " bits, frames of ", streamed.minFrame, "..", streamed.maxFrame, " scans, ",
                   streamed.scans, " scans for ", file.blocks, " blocks");
         if (std::system("command -v flac >/dev/null 2>&1") == 0)
             E2E_CHECK(std::system(("flac -t -s '" + stream + "'").c_str()) == 0, "flac -t refuses ", stream);
         checkDuration(file.blocks * 1024 / 50000.0, stored.seconds);
         checkStorageSummary(gui, stored.path, file.blocks, 1024 / 50000.0, "stopped");
         gui.shot("summary");

         // Played back in place of the cards: the first block, the last, then all of them.
         fileMenuItem(gui, "Open Recording...");
         answerFileDialog(gui, "Open Recording", stored.path);
         waitViewing(gui, "ramp.flac7150", file.blocks);
         expectDrawn(gui, info, 0);
         gui.shot("opened");
         gui.run([] { QTest::keyClick(blockSlider(), Qt::Key_End); });
         expectDrawn(gui, info, file.blocks - 1);
         gui.run([] { QTest::keyClick(blockSlider(), Qt::Key_Home); });
         expectDrawn(gui, info, 0);
         gui.click(kMainWindow, "repetitiveButton");
         gui.waitUntil(
             "the end of the recording",
             [] {
                 return !Gui::child<QAbstractButton>(Gui::window(kMainWindow), "repetitiveButton")
                             ->isChecked();
             },
             std::chrono::seconds(60));
         expectDrawn(gui, info, file.blocks - 1);
         gui.shot("played");
         closeProgram(gui);
     },
     nullptr}};

} // namespace
