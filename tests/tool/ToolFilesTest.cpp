// kq7150-tool on recordings and on files its reader refuses: the command line, the header text,
// the refusals and exit statuses, a FLAC recording read as its ViReal64 twin, the CSV
// conversion (its bytes, where it writes them, what an interruption leaves), and measure and
// spectrum against the window they stand in for.
#include "ToolRun.h"

#include "AcquisitionStatus.h"
#include "DataFileReader.h"
#include "DataFileWriter.h"
#include "FlacRecordingFiles.h"
#include "FlacStreamWriter.h"
#include "ScriptedBoxes.h"
#include "StoredFileSettings.h"
#include "kq7150_fc.h"
#include "kq7150fp_App.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_Waveform.h"
#include "kq7150fp_chCfg.h"
#include "measurement.h"
#include "measurementText.h"
#include "plot_voltage.h"

#include <qwt_plot_curve.h>

#include <QAbstractItemModel>
#include <QComboBox>
#include <QSlider>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <tuple>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// 6 decimals with a point: the application object has set the user's locale.
std::string fixed6(double value) {
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6).ptr);
}

std::string contents(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The comma-separated numbers of a line; NaN where a cell holds none.
std::vector<double> numbers(const std::string &line) {
    std::vector<double> values;
    for (std::size_t at = 0, end; at <= line.size(); at = end + 1) {
        end = std::min(line.find(',', at), line.size());
        double v = std::numeric_limits<double>::quiet_NaN();
        std::from_chars(line.data() + at, line.data() + end, v);
        values.push_back(v);
    }
    return values;
}

QStringList args(std::initializer_list<std::string> list) {
    QStringList result;
    for (const std::string &a : list)
        result << QString::fromStdString(a);
    return result;
}

// "Name:" to value, of info's output; a name that comes again gets a "'" more.
std::map<std::string, std::string> infoRows(const std::string &out) {
    std::map<std::string, std::string> rows;
    for (const std::string &line : lines(out)) {
        const std::size_t name = line.find_first_not_of(' '), colon = line.find(':');
        const std::size_t value = line.find_first_not_of(' ', colon + 1);
        std::string key = line.substr(name, colon - name);
        while (rows.count(key)) // a card's stream comes after its mask: "FC1'"
            key += "'";
        if (colon != std::string::npos && value != std::string::npos)
            rows[key] = line.substr(value);
    }
    return rows;
}

class ToolFilesTest : public ::testing::Test {
protected:
    std::string path(const std::string &name) const {
        return (dir.path() + "/" + name.c_str()).toStdString();
    }
    std::set<std::string> names() const {
        std::set<std::string> result;
        for (const auto &entry : fs::directory_iterator(dir.path().toStdString()))
            result.insert(entry.path().filename());
        return result;
    }

    QTemporaryDir dir;
};

// Every refusal ends with its status and one message on standard error, nothing on standard
// output, and leaves the file as it was: bad arguments (2; those the file does not decide point
// to --help) before the file is read, a block past its end included; files the reader refuses (which, its own
// tests say: here every command passes the reason on) and blocks too short to analyse (1).
TEST_F(ToolFilesTest, RefusalsEndWithTheirStatusAndOneMessage) {
    const std::string file = path("rec.bin7150"), raw = path("raw.bin7150");
    ASSERT_EQ(programRecordings()[0].write(file), "");
    ASSERT_EQ(toolRecording(StorageFormat::kRawCounts, {0x01}, false).write(raw), "");
    // The fewest scans each command analyses, and one fewer. A spectrum padded to two points
    // per scan would have a point even for a single scan.
    const auto shortBlocks = [this](int scans) { return path(std::to_string(scans) + ".bin7150"); };
    for (int scans : {1, 2, 9, 10})
        ASSERT_EQ(toolRecording(StorageFormat::kBinary64, {0x03}, false, 2, scans).write(shortBlocks(scans)),
                  "");
    const std::string before = contents(file);
    std::vector<std::tuple<QStringList, int, std::string>> refusals = {
        {{}, 2, "no command given"},
        {args({"play", file}), 2, "unknown command 'play'"},
        {args({"info"}), 2, "info needs FILE"},
        {args({"info", file, "more"}), 2, "info needs FILE, not 'more'"},
        {args({"convert", file}), 2, "convert needs FILE and OUT.csv"},
        {args({"measure", file, "--window", "1"}), 2, "measure has no option '--window'"},
        // The strict number routine is used here: one row for all it refuses.
        {args({"measure", file, "--block", "0"}), 2, "--block 0: blocks are counted from 1"},
        {args({"measure", file, "--block=2", "--all"}), 2, "measure takes --block K or --all, not both"},
        {args({"measure", file, "--zero-padding", "3"}), 2, "--zero-padding 3: the zero padding is one of"},
        {args({"measure", file, "--fit", "8"}), 2, "--fit 8: the sine fit is 0"},
        {args({"spectrum", file, "--block=1", "--window=6"}), 2, "--window 6: the window is 0 rectangular"},
        {args({"spectrum", file, "--block=1", "--window=Hann"}), 2,
         "--window Hann: the window is 0 rectangular"},
        {args({"spectrum", file}), 2, "spectrum needs --block K"},
        {args({"convert", file, "out.csv", "--millivolts=1"}), 2, "--millivolts takes no value"},
        {args({"spectrum", file, "--block", "4"}), 2, "--block 4: '" + file + "' has 3 whole blocks\n"},
        {args({"convert", file, file}), 2, "'" + file + "' is the file to convert itself\n"},
        {args({"measure", shortBlocks(9), "--block=2"}), 1,
         "'" + shortBlocks(9) + "' has 9 scans per block; measure needs at least 10\n"},
        {args({"spectrum", shortBlocks(1), "--block=2", "--zero-padding=2"}), 1,
         "'" + shortBlocks(1) + "' has 1 scan per block; spectrum needs at least 2\n"},
    };
    const std::pair<std::string, std::string> unreadable[] = {
        {raw, "FORMAT=raw: only ViReal64, ViReal32 (volts) and FLAC (counts) can be read"},
        {path("missing.bin7150"), "No such file or directory"},
        {dir.path().toStdString(), "Is a directory"}};
    for (const auto &[bad, why] : unreadable)
        for (const QStringList &command :
             {args({"info", bad}), args({"measure", bad, "--all"}), args({"spectrum", bad, "--block", "1"}),
              args({"convert", bad, bad + ".csv"})})
            refusals.push_back({command, 1, "cannot read '" + bad + "': " + why + "\n"});
    for (const auto &[arguments, status, message] : refusals) {
        const ToolRun run = runTool(arguments);
        EXPECT_EQ(std::tuple(run.status, run.out), std::tuple(status, std::string()))
            << arguments.join(' ').toStdString();
        if (message.back() == '\n') // what only the file can refuse: no usage to point to
            EXPECT_EQ(run.err, "kq7150-tool: " + message);
        else
            EXPECT_TRUE(run.err.rfind("kq7150-tool: " + message, 0) == 0 &&
                        run.err.find("\nTry 'kq7150-tool --help'.\n") == run.err.find('\n'))
                << run.err;
    }
    EXPECT_EQ(contents(file), before);
    for (const auto &[bad, why] : unreadable)
        EXPECT_FALSE(fs::exists(bad + ".csv"));

    const ToolRun help = runTool({"convert", "--help"});
    EXPECT_EQ(std::tuple(help.status, help.err), std::tuple(0, std::string()));
    EXPECT_EQ(help.out.rfind("Usage: kq7150-tool COMMAND FILE [options]\n", 0), 0u) << help.out;
    for (const auto &[command, scans] : {std::pair("measure", 10), std::pair("spectrum", 2)}) {
        const ToolRun run = runTool(args({command, shortBlocks(scans), "--block=2", "--zero-padding=2"}));
        EXPECT_EQ(std::tuple(run.status, run.err), std::tuple(0, std::string())) << command;
        EXPECT_EQ(run.out.find("inf"),
                  std::string(command) == "spectrum" ? std::string::npos : run.out.find("inf"));
    }
}

TEST_F(ToolFilesTest, InfoDescribesTheHeaderAndWhetherThePayloadIsWhole) {
    for (const StoredRecording &r : programRecordings()) {
        const std::string file = path("info.bin7150");
        ASSERT_NO_FATAL_FAILURE(storeThroughTheStorage(r, file));
        SCOPED_TRACE(contents(file).substr(0, 300));
        const std::string measured = runTool(args({"measure", file})).out;
        ToolRun run = runTool(args({"info", file}));
        ASSERT_EQ(std::tuple(run.status, run.err), std::tuple(0, std::string())) << run.err;
        const uint64_t block =
            uint64_t(r.channels()) * r.scans * (r.floats() ? 4 : 8) + (r.timestamps ? 8 * r.scans : 0);
        std::map<std::string, std::string> expected = {
            {"File", file},
            {"Format", r.floats() ? "ViReal32 (4-byte floats, volts)" : "ViReal64 (8-byte doubles, volts)"},
            {"Sampling rate", fixed6(r.rate) + " Hz"},
            {"Function cards", std::to_string(r.masks.size())},
            {"Channels", std::to_string(r.channels())},
            {"Scans per block", std::to_string(r.scans) + " (" + fixed6(r.scans / r.rate) + " s)"},
            {"Time offset", fixed6(-r.preTrigger / r.rate) + " s"},
            {"Timestamps",
             r.timestamps ? "yes (every block starts with its scans' seconds and nanoseconds)" : "no"},
            {"Header", std::to_string(fs::file_size(file) - r.blocks * block) + " bytes"},
            {"Block length", std::to_string(block) + " bytes"},
            {"Blocks", std::to_string(r.blocks)},
            {"Payload", std::to_string(r.blocks * block) + " bytes, whole"},
        };
        for (std::size_t c = 0; c < r.masks.size(); ++c) {
            std::string list;
            for (int k = 0; k < 8; ++k)
                if (r.masks[c] >> k & 1)
                    list += (list.empty() ? "CH" : ", CH") + std::to_string(k + 1);
            char mask[8];
            std::snprintf(mask, sizeof mask, "0x%02x", r.masks[c]);
            expected["FC" + std::to_string(c + 1)] = list + " (" + mask + ")";
        }
        EXPECT_EQ(infoRows(run.out), expected);

        // A partial block at the end: the reader's warning reaches standard error, not the
        // output, and only the whole blocks are measured.
        ASSERT_EQ(StoredRecording(r).withGarbage(std::string(100, '\0')).write(file), "");
        run = runTool(args({"info", file}));
        EXPECT_EQ(std::tuple(run.status, run.err),
                  std::tuple(0, "Warning. The binary data seems corrupt.\n"));
        EXPECT_EQ(infoRows(run.out)["Payload"],
                  std::to_string(r.blocks * block + 100) +
                      " bytes, not whole: 100 bytes of a last, partial block, which is not read");
        run = runTool(args({"measure", file}));
        EXPECT_EQ(std::tuple(run.status, run.out), std::tuple(0, measured));
    }
}

// What a writer that died leaves of a FLAC stream: no scan count in its stream info, and a
// last frame the file does not hold in full.
void cutLikeADeadWriter(const std::string &stream) {
    std::string bytes = contents(stream);
    ASSERT_EQ(bytes.compare(0, 4, "fLaC"), 0);
    // The stream info's 36-bit scan count: the low 4 bits of byte 21, and bytes 22..25.
    bytes[21] = char(bytes[21] & 0xF0);
    std::fill(bytes.begin() + 22, bytes.begin() + 26, '\0');
    bytes.resize(bytes.size() - 100);
    std::ofstream(stream, std::ios::binary | std::ios::trunc) << bytes;
}

// A FLAC recording reads as the ViReal64 recording it holds the counts of, with scan times and
// without; info tells what the recording is, its streams, and the whole blocks they hold, also
// once a writer died.
TEST_F(ToolFilesTest, AFlacRecordingReadsAsItsViReal64Twin) {
    // Blocks end inside the streams' frames (FlacStreamWriter::kFrameScans).
    const StoredRecording recordings[] = {
        toolRecording(StorageFormat::kBinary64, {0x05}, true, 5, 2000).withWholeCounts(),
        toolRecording(StorageFormat::kBinary64, {0x03, 0x30, 0x81}, false, 4, 600, 6000.0, 60)
            .withWholeCounts()};
    const auto run = [](QStringList command, const std::string &file) {
        command.insert(1, QString::fromStdString(file));
        return runTool(command);
    };
    for (const StoredRecording &r : recordings) {
        const std::string binary = path("twin.bin7150"), flac = path("twin.flac7150");
        ASSERT_EQ(r.write(binary), "");
        ASSERT_EQ(r.twin(StorageFormat::kFlacCounts).write(flac), "");
        SCOPED_TRACE(contents(flac));
        // Every command reads through the program's reader, which FlacRecordingTest proves
        // gives a FLAC recording's volts bit for bit; one command shows the tool goes through it.
        const ToolRun a = run({"convert", "-"}, binary), b = run({"convert", "-"}, flac);
        EXPECT_TRUE(b.status == 0 && b.err.empty() && a.out.size() > 300 && a.out == b.out) << b.err;

        // As the binary file's, but for the format, the scan times and the layout: each
        // channel's volts per count, the streams beside the description and their whole blocks.
        std::map<std::string, std::string> expected = infoRows(run({"info"}, binary).out);
        for (const char *row : {"Header", "Block length", "Payload"})
            expected.erase(row);
        expected["File"] = flac;
        expected["Format"] = "FLAC (24-bit counts, lossless; read as volts)";
        expected["Timestamps"] =
            r.timestamps ? "yes (every scan's seconds and nanoseconds, in a stream of their own)" : "no";
        expected["Volts per count"] = "of each channel; a count times it is the volts read";
        const std::vector<std::string> channels = DataFileWriter::channelNames(r.masks);
        for (int k = 0; k < r.channels(); ++k)
            expected[channels[size_t(k)]] =
                DataFileWriter::exactNumber(r.lsbOf(k)) + " V (gain " + (k % 2 ? "2)" : "1)");
        const std::vector<std::string> streams =
            FlacRecordingFiles::streams(flac, int(r.masks.size()), r.timestamps);
        const auto expectInfo = [&](uint64_t firstScans, const std::string &blocks) {
            uint64_t total = 0;
            for (std::size_t k = 0; k < streams.size(); ++k) {
                const uint64_t bytes = fs::file_size(streams[k]),
                               scans = k ? uint64_t(r.blocks) * r.scans : firstScans;
                total += bytes;
                expected[k < r.masks.size() ? "FC" + std::to_string(k + 1) + "'" : "Scan times"] =
                    streams[k] + ", " + std::to_string(bytes) + " bytes, " + std::to_string(scans) + " scans";
            }
            expected["Streams"] = std::to_string(streams.size()) + " beside the description, " +
                                  std::to_string(total) + " bytes";
            expected["Blocks"] = blocks;
            const ToolRun info = run({"info"}, flac);
            EXPECT_EQ(std::tuple(info.status, info.err), std::tuple(0, std::string()));
            EXPECT_EQ(infoRows(info.out), expected) << info.out;
            EXPECT_EQ(lines(info.out).size(), expected.size());
        };
        const uint64_t all = uint64_t(r.blocks) * r.scans;
        ASSERT_NO_FATAL_FAILURE(expectInfo(all, std::to_string(r.blocks)));

        // The first card's writer died: the blocks up to its last whole frame are read.
        ASSERT_NO_FATAL_FAILURE(cutLikeADeadWriter(streams[0]));
        const uint64_t kept = (all - 1) / FlacStreamWriter::kFrameScans * FlacStreamWriter::kFrameScans;
        const uint64_t blocks = kept / uint64_t(r.scans);
        ASSERT_NO_FATAL_FAILURE(expectInfo(kept, std::to_string(blocks) + "; not whole: streams hold up to " +
                                                     std::to_string(all - blocks * r.scans) +
                                                     " scans more, which are not read"));
    }
}

// The tool's CSV is byte for byte what the continuous storage writes of the same volts, in
// volts and in millivolts, over a file left as it was before.
TEST_F(ToolFilesTest, ConvertWritesTheBytesOfTheContinuousStoragesCsv) {
    for (const StoredRecording &r : programRecordings())
        for (int format : {StorageFormat::kCsvVolts, StorageFormat::kCsvMilli}) {
            SCOPED_TRACE(std::to_string(r.masks.size()) + " cards, format " + std::to_string(format));
            const std::string binary = path("rec.bin7150"), stored = path("stored.csv"),
                              converted = path("converted.csv");
            ASSERT_EQ(r.write(binary), "");
            ASSERT_NO_FATAL_FAILURE(storeThroughTheStorage(r.twin(format), stored));
            std::ofstream(converted) << "an earlier file of that name";
            QStringList command = args({"convert", binary, converted});
            if (format == StorageFormat::kCsvMilli)
                command << "--millivolts";
            const ToolRun run = runTool(command);
            EXPECT_EQ(std::tuple(run.status, run.out + run.err), std::tuple(0, std::string())) << run.err;
            EXPECT_TRUE(contents(stored).size() > 1000 && contents(converted) == contents(stored))
                << "the two files differ";
        }
}

// What the output path names decides how it is written: a file is replaced (keeping its
// permissions), a link followed and kept, a FIFO written into, and "-" is standard output.
TEST_F(ToolFilesTest, ConvertWritesWhereItsOutputPathLeads) {
    const std::string binary = path("rec.bin7150");
    ASSERT_EQ(programRecordings()[0].write(binary), "");
    const auto convert = [&](const std::string &output) {
        return runTool(args({"convert", binary, output}));
    };
    const std::string file = path("file.csv");
    ASSERT_EQ(convert(file).status, 0);
    const std::string expected = contents(file);

    const fs::perms privateFile = fs::perms::owner_read | fs::perms::owner_write;
    fs::permissions(file, privateFile);
    EXPECT_EQ(convert(file).status, 0);
    EXPECT_EQ(fs::status(file).permissions(), privateFile);

    // Links in another folder than what they name, to a file and to none yet.
    fs::create_directory(path("sub"));
    std::ofstream(path("sub/old.csv")) << "an earlier file";
    fs::create_symlink("sub/old.csv", path("old-link.csv"));
    fs::create_symlink(path("sub/new.csv"), path("new-link.csv"));
    for (const std::string name : {"old", "new"}) {
        EXPECT_EQ(convert(path(name + "-link.csv")).status, 0) << name;
        EXPECT_TRUE(fs::is_symlink(path(name + "-link.csv")));
        EXPECT_TRUE(contents(path("sub/" + name + ".csv")) == expected) << name;
    }

    // A FIFO while a reader has it open. The test holds it open for writing
    // too, from once the reader is there until the tool is done: the reader then ends either way.
    const std::string fifo = path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    {
        QProcess reader;
        reader.setStandardOutputFile(QString::fromStdString(path("read.csv")));
        reader.start("cat", {QString::fromStdString(fifo)});
        int held = -1;
        for (int wait = 0; held < 0 && wait < 10000; ++wait, std::this_thread::sleep_for(1ms))
            held = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        ASSERT_GE(held, 0) << "no reader";
        const ToolRun run = convert(fifo);
        close(held);
        reader.waitForFinished();
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(fs::is_fifo(fifo));
        EXPECT_TRUE(contents(path("read.csv")) == expected);
    }
    // What cannot be written leaves nothing behind.
    const std::string folder = path("folder.csv");
    fs::create_directory(folder);
    const std::pair<std::string, std::string> refusals[] = {
        {folder, "Is a directory"},
        {path("missing/out.csv"), "No such file or directory"},
        {fifo, "no process reads the FIFO"}};
    const std::set<std::string> before = names();
    for (const auto &[output, why] : refusals) {
        const ToolRun run = convert(output);
        EXPECT_EQ(std::tuple(run.status, run.err),
                  std::tuple(1, "kq7150-tool: cannot write '" + output + "': " + why + "\n"));
    }
    EXPECT_EQ(names(), before);
    EXPECT_TRUE(fs::is_empty(folder));

    const ToolRun standardOutput = convert("-");
    EXPECT_EQ(std::tuple(standardOutput.status, standardOutput.err), std::tuple(0, std::string()));
    EXPECT_TRUE(standardOutput.out == expected);
}

// An interrupted conversion removes its temporary file and dies of the signal; an earlier
// output stays as it was.
TEST_F(ToolFilesTest, AnInterruptedConvertLeavesNoTemporaryBehind) {
    const std::string binary = path("long.bin7150");
    // Blocks of zeros, which take no room on the disk, make it long to convert.
    ASSERT_EQ(toolRecording(StorageFormat::kBinary64, {0x0f}, false, 1, 16384).write(binary), "");
    fs::resize_file(binary, fs::file_size(binary) + 2000 * 4 * 16384 * sizeof(double));
    const std::string output = path("out.csv");
    std::ofstream(output) << "an earlier file";
    const std::set<std::string> before = names();

    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        // The tool inherits the test's action for the signal, which for a background job's INT
        // is to ignore it.
        struct sigaction standard {
        }, inherited{};
        standard.sa_handler = SIG_DFL;
        sigaction(signal, &standard, &inherited);
        QProcess tool;
        tool.start(KQ_TOOL, args({"convert", binary, output}));
        sigaction(signal, &inherited, nullptr);
        ASSERT_TRUE(tool.waitForStarted());
        for (int wait = 0; wait < 10000 && names().size() == before.size(); ++wait)
            std::this_thread::sleep_for(1ms);
        ASSERT_GT(names().size(), before.size()) << "no temporary file";
        kill(pid_t(tool.processId()), signal);
        ASSERT_TRUE(tool.waitForFinished());
        EXPECT_EQ(std::pair(tool.exitStatus(), tool.exitCode()), std::pair(QProcess::CrashExit, signal));
        EXPECT_EQ(names(), before);
        EXPECT_EQ(contents(output), "an earlier file");
    }
}

// measure and spectrum give the figures of the window they stand in for (`kq7150fp FILE -acperf`
// with the same settings on "Acquisition", at the same block): its table's rows, card by card,
// and its spectrum curves point for point. The figures are acperf's; the tool's own part is the
// block chosen, the settings passed through and the columns written.
TEST_F(ToolFilesTest, MeasureAndSpectrumGiveTheWindowsFigures) {
    kq7150fp_chCfg::forgetReference();
    acquisitionStatus.resetForStart();
    ScriptedBoxes boxes;
    kq7150_fc descriptor;
    const std::vector<StoredRecording> recordings = programRecordings();
    // The window goes by name or by number.
    const struct {
        int recording, zeroPadding, fit, window;
        const char *windowName;
        int block;
    } rows[] = {{1, 2, 3, 1, "hann", 2}, {2, 5, 7, 5, "5", 3}};
    for (const auto &s : rows) {
        const StoredRecording &r = recordings[size_t(s.recording)];
        SCOPED_TRACE("recording " + std::to_string(s.recording));
        const std::string file = path("window.bin7150");
        ASSERT_EQ(r.write(file), "");
        fileInfo_t info{};
        ASSERT_EQ(DataFileReader::readHeader(file.c_str(), info), 0);
        kq7150fp_App app(descriptor, info.cards, true);
        for (const auto &[choice, value] :
             {std::pair(app.daq->zeroPadding, s.zeroPadding), std::pair(app.daq->sineFitting, s.fit),
              std::pair(app.daq->fftWindow, s.window)})
            choice->setCurrentIndex(choice->findData(value));
        StoredFileSettings::apply(app, info);
        app.waveform->slider()->setValue(s.block);
        const auto settled = [&] {
            return QTest::qWaitFor(
                [&] { return !app.waveform->analysing() && !app.measurements->calculating(); }, 10000);
        };
        ASSERT_TRUE(settled());

        const QString f = QString::fromStdString(file), block = QString::number(s.block),
                      padding = QString::number(s.zeroPadding);
        const ToolRun measured = runTool(
            {"measure", f, "--block", block, "--zero-padding", padding, "--fit", QString::number(s.fit)});
        ASSERT_EQ(std::tuple(measured.status, measured.err), std::tuple(0, std::string()));
        std::vector<std::string> expected = {measurementText::heading(r.scans, r.rate), "",
                                             "Block, Card, " + measurementText::columnLine()};
        const QAbstractItemModel *table = app.measurements->findChild<QTableView *>()->model();
        std::string titles = "Frequency (Hz)";
        std::vector<const QwtPlotCurve *> curves;
        for (int c = 0; c < info.cards; ++c) {
            app.measurements->findChild<QComboBox *>()->setCurrentIndex(c);
            ASSERT_TRUE(settled());
            for (int k = 0; k < 8; ++k)
                if (info.channelMasks[c] >> k & 1) {
                    std::string row = block.toStdString() + "," + std::to_string(c + 1) + "," +
                                      std::to_string(k + 1) + ",,";
                    for (int col = 0; col < measurement::columns; ++col)
                        row += "," + table->index(k, col).data().toString().toStdString();
                    expected.push_back(row);
                    titles += ", FC" + std::to_string(c + 1) + "_CH" + std::to_string(k + 1) + " (dB)";
                    curves.push_back(app.spectrum->curveList()[c * 8 + k]);
                }
        }
        EXPECT_EQ(lines(measured.out), expected);
        EXPECT_NEAR(numbers(expected[3])[5], 0.5, 1e-2)
            << "the first channel's amplitude: a real measurement";

        // Every block: the same lines in block order.
        const ToolRun all =
            runTool({"measure", f, "--all", "--zero-padding", padding, "--fit", QString::number(s.fit)});
        const std::vector<std::string> every = lines(all.out);
        ASSERT_EQ(every.size(), 3 + std::size_t(r.blocks * r.channels())) << all.err;
        const auto first = every.begin() + 3 + (s.block - 1) * r.channels();
        EXPECT_EQ(std::vector<std::string>(first, first + r.channels()),
                  std::vector<std::string>(expected.begin() + 3, expected.end()));
        for (std::size_t l = 3; l < every.size(); ++l)
            EXPECT_EQ(every[l].substr(0, 2), std::to_string((l - 3) / r.channels() + 1) + ",") << l;

        const ToolRun spectrum =
            runTool({"spectrum", f, "--block", block, "--window", s.windowName, "--zero-padding", padding});
        ASSERT_EQ(spectrum.status, 0) << spectrum.err;
        const std::vector<std::string> points = lines(spectrum.out);
        const std::size_t size = std::size_t(r.scans) * s.zeroPadding / 2;
        ASSERT_EQ(points.size(), size + 1);
        EXPECT_EQ(points[0], titles);
        for (std::size_t p = 0; p < size; ++p) {
            const std::vector<double> v = numbers(points[p + 1]);
            ASSERT_EQ(v.size(), curves.size() + 1) << points[p + 1];
            for (std::size_t e = 0; e < curves.size(); ++e) {
                ASSERT_EQ(curves[e]->dataSize(), size);
                const QPointF point = curves[e]->sample(p);
                ASSERT_EQ(std::pair(v[0], v[e + 1]), std::pair(point.x(), point.y())) << p << ", " << e;
            }
        }
        EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('|').toStdString();
    }
}

// The window's cells and the tool write figures through measurementText, which must write them
// as the table always has: as QString::number(value, 'f', decimals).
TEST(MeasurementTextTest, FiguresReadAsQtWritesThem) {
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    std::vector<double> values = {0.125,    -0.125, 100.0625, 2.5,   -2.5, 9.5,   1048576.5,
                                  999.9995, 0.0,    -0.0,     -1e-4, 1e-7, -1e-7, 1e20,
                                  99.995,   0.375,  nan,      -nan,  inf,  -inf};
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        // Odd multiples of 2^-(d+1): a half at d decimals, the case to_chars and Qt round apart.
        const int d = i % 7;
        values.push_back(std::ldexp(double(2 * (random() % 100000) + 1), -(d + 1)) * (i % 2 ? 1 : -1));
        values.push_back(std::ldexp(double(random() % (1ull << 53)), -int(random() % 70)) - 10.0);
    }
    for (std::size_t i = 0; i < values.size(); ++i)
        for (int d = i < 20 ? 0 : int((i - 20) / 2 % 7), end = i < 20 ? 6 : d; d <= end; ++d)
            ASSERT_EQ(measurementText::number(values[i], d), QString::number(values[i], 'f', d).toStdString())
                << values[i] << " with " << d << " decimals";
}

} // namespace
