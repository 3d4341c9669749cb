// Continuous acquisition with storage, as a person runs it: one VXI card whose channels carry
// the simulation's ramp, channels 1 and 2 on, the storage box, the repetitive start, the storage
// dialog, a few seconds of storing while the file size line under the plot grows, the stop.
// The ramp counts one LSB per scan, so the stored file shows any scan lost or stored twice.
// The FLAC recording is chosen by its name in "Browse" and then opened in the program's
// offline view through "Open Recording...".
#include "DataFileReader.h"
#include "FlacRecordingFiles.h"
#include "Steps.h"

#include <FLAC/metadata.h>

namespace {

// Everything from the connection question to the stop; startDialog: up to the dialog's "Start"
// for the recording at path. Returns the blocks stored, checked gap-free, with the header.
uint64_t storeRamp(Gui &gui, const std::string &path, double rate, fileInfo_t *info,
                   const std::function<void()> &startDialog) {
    startDialog();
    const auto start = std::chrono::steady_clock::now();
    gui.waitUntil("the file size line", [] { return shownFileSize() > 0; });
    const double first = gui.run(shownFileSize);
    // The person lets it store for a while: the duration is what the file is checked against.
    Gui::pause(seconds(2));
    gui.waitUntil("the file size line to grow", [first] { return shownFileSize() > first; });
    // What the line counted is on disk already (a FLAC recording's streams too), and the line
    // is not far behind the disk: it shows the size at its last refresh, to a tenth of its unit.
    E2E_CHECK(recordingBytes(path) >= first, first);
    const double shown = gui.run(shownFileSize);
    const uint64_t onDisk = recordingBytes(path);
    E2E_CHECK(shown <= onDisk * 1.05 + 52 && shown >= onDisk * 0.5, shown, " shown, ", onDisk, " on disk");
    gui.shot("storing");

    gui.click(kMainWindow, "repetitiveButton");
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    gui.waitUntil("the stop", [] { return !repetitiveDown() && shownFileSize() < 0; });
    E2E_CHECK(!gui.run([] { return Gui::window(kBoxTitle); }), "a message after the stop");
    const uint64_t blocks = storedRampBlocks(path, info);
    // The file covers the time from start to stop: a second lost would be a gap the ramp cannot
    // show when it happens at the ends. Starting and stopping take a little of that time.
    const double stored = blocks * 1024 / rate;
    E2E_CHECK(stored > elapsed - 1.5 && stored < elapsed + 0.5, stored, " s stored in ", elapsed, " s");
    checkStorageSummary(gui, path, blocks, 1024 / rate, "stopped");
    return blocks;
}

// One card's channels 1 and 2 at 50 kHz in blocks of 1024 scans.
void expectHeader(const fileInfo_t &info, int format) {
    E2E_EQ(describe("format ", info.format, ", ", info.rate, " Hz, ", info.scansPerBlock, " scans, ",
                    int(info.cards), " cards, ", info.channels, " channels, mask ", int(info.channelMasks[0]),
                    ", offset ", info.timeOffset, ", timestamps ", int(info.timestamps)),
           describe("format ", format,
                    ", 50000 Hz, 1024 scans, 1 cards, 2 channels, mask 3, offset 0, timestamps 0"));
}

void binary(Gui &gui) {
    const std::string path = e2eWorkDir("ramp.bin7150");
    fileInfo_t info{};
    storeRamp(gui, path, 50000, &info,
              [&] { startStoring(gui, path, "50 kHz", "1024", "Binary, ViReal64"); });
    expectHeader(info, fileFormatViReal64);
    closeProgram(gui);
}

void csv(Gui &gui) {
    const std::string path = e2eWorkDir("ramp.csv");
    storeRamp(gui, path, 10000, nullptr, [&] { startStoring(gui, path, "10 kHz", "1024", "Text, CSV (V)"); });
    const std::string header = "Units: V\nSampling rate: 10000.000000 Hz\nFC1_CH1, FC1_CH2, \n";
    E2E_EQ(fileText(path).substr(0, header.size()), header);
    closeProgram(gui);
}

// The FLAC format as a person may come to it: the list of formats looked at and left as it was,
// then "Browse" and a name ending in ".flac7150", which brings the format with it.
void storeFlacByName(Gui &gui, const std::string &path) {
    openStorageDialog(gui, "50 kHz", "1024");
    const auto formats = [] { return Gui::comboWith(Gui::window(kStorageDialog), kFlacFormat); };
    gui.openList(formats, kFlacFormat);
    gui.shot("formats");
    gui.run([=] { QTest::keyClick(formats()->view(), Qt::Key_Escape); });
    gui.waitUntil("the list closed", [=] { return !formats()->view()->isVisible(); });
    E2E_EQ(gui.run([=] { return formats()->currentText(); }), "Binary, ViReal64");

    gui.press(kStorageDialog, "Browse");
    answerFileDialog(gui, "Set Output File Name", path);
    gui.waitUntil("the FLAC format brought by the name", [=] {
        auto *name = Gui::window(kStorageDialog)->findChild<QLineEdit *>();
        return formats()->currentText() == kFlacFormat && name->text() == QString::fromStdString(path);
    });
    gui.shot("dialog");
    gui.press(kStorageDialog, "Start");
    gui.waitWindow(kStorageDialog, false);
}

void flac(Gui &gui) {
    const std::string path = e2eWorkDir("ramp.flac7150");
    fileInfo_t info{};
    const uint64_t blocks = storeRamp(gui, path, 50000, &info, [&] { storeFlacByName(gui, path); });
    expectHeader(info, fileFormatFlac);
    E2E_CHECK(info.channelLsb[0] == kRampLsb && info.channelLsb[1] == kRampLsb, info.channelLsb[0]);
    // One stream for the one card, none of scan times; the stop finished the stream: its info
    // counts every scan stored (what libFLAC and flac -t make of the streams: the recording's
    // unit tests).
    const std::string stream = FlacRecordingFiles::cardStream(path, 1);
    E2E_CHECK(!std::filesystem::exists(FlacRecordingFiles::timeStream(path)), "scan times stored");
    FLAC__StreamMetadata read{};
    E2E_CHECK(FLAC__metadata_get_streaminfo(stream.c_str(), &read), stream);
    const FLAC__StreamMetadata_StreamInfo &i = read.data.stream_info;
    E2E_EQ(describe(i.sample_rate, " Hz, ", i.channels, " channels, ", i.total_samples, " scans"),
           describe("50000 Hz, 2 channels, ", blocks * 1024, " scans"));

    // Opened in place of the cards, its first block drawn as the program's reader gives it.
    fileMenuItem(gui, "Open Recording...");
    answerFileDialog(gui, "Open Recording", path);
    waitViewing(gui, "ramp.flac7150", blocks);
    std::vector<double> volts(2 * 1024);
    E2E_EQ(DataFileReader::readBlock(info, volts.data(), nullptr, nullptr, 0), 1);
    gui.waitUntil("block 1 drawn", [&] {
        const std::vector<Curve> curves = drawnCurves("Waveforms");
        return curves.size() == 2 &&
               curves[0].y == std::vector<double>(volts.begin(), volts.begin() + 1024) &&
               curves[1].y == std::vector<double>(volts.begin() + 1024, volts.end()) &&
               std::abs(curves[1].x[1023] - 1023 / 50000.0) < 1e-9;
    });
    closeProgram(gui);
}

Registration binaryWorkflow{{"continuous_binary", rampWorld(), nullptr, binary, nullptr}};
Registration csvWorkflow{{"continuous_csv", rampWorld(), nullptr, csv, nullptr}};
Registration flacWorkflow{{"continuous_flac", rampWorld(), nullptr, flac, nullptr}};

} // namespace
