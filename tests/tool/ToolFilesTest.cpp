// kq7150-tool run as a process on recordings and on files its reader refuses: the command line
// and its refusals, every command on the recordings the program stores and a FLAC recording's
// twin, and where convert writes and what an interruption leaves.
#include "ContinuousStorage.h"
#include "FlacStreamWriter.h"
#include "StoredRecording.h"
#include "measurementText.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <tuple>

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status = -1; // -1: did not end normally
    std::string out, err;
};

ToolRun runTool(const std::vector<std::string> &args) {
    QStringList list;
    for (const std::string &a : args)
        list << QString::fromStdString(a);
    QProcess process;
    process.start(KQ_TOOL, list);
    const bool ended = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

std::string contents(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// "Name: value" rows of info's output; a name that comes again (a card's stream after its
// mask) gets a "'" more.
std::map<std::string, std::string> infoRows(const std::string &out) {
    std::map<std::string, std::string> rows;
    std::smatch row;
    for (const std::string &line : lines(out))
        if (std::regex_match(line, row, std::regex(" *([^:]+): +(.+)"))) {
            std::string name = row[1];
            while (rows.count(name))
                name += "'";
            rows[name] = row[2];
        }
    return rows;
}

// One and three cards, with and without timestamps, both sample widths. The storage dialog
// offers timestamps with ViReal64 only; the storage itself writes them with ViReal32 too, and
// the reader takes such files. The ViReal64 ones hold whole counts, as a FLAC twin does, and
// their blocks end inside the twin's frames (FlacStreamWriter::kFrameScans). Channels are at
// gains 1 and 2 in turn.
std::vector<StoredRecording> programRecordings() {
    const auto recording = [](int format, std::vector<uint8_t> masks, bool timestamps, int blocks, int scans,
                              double rate, int preTrigger) {
        StoredRecording r;
        r.withFormat(format).withMasks(std::move(masks)).withTimestamps(timestamps).withBlocks(blocks);
        r.withScans(scans).withRate(rate).withPreTrigger(preTrigger).withWholeCounts(!r.floats());
        for (int k = 0; k < r.channels(); ++k)
            r.lsb.push_back(StorageFormat::lsb(k % 2));
        return r;
    };
    return {recording(StorageFormat::kBinary64, {0x05}, true, 5, 2000, 10000.0, 250),
            recording(StorageFormat::kBinary32, {0x81}, false, 2, 1024, 20000.0, 0),
            recording(StorageFormat::kBinary64, {0x03, 0x30, 0x81}, false, 4, 600, 6000.0, 60),
            recording(StorageFormat::kBinary32, {0x01, 0x02, 0x80}, true, 3, 1000, 10000.0, 250)};
}

// Stores r through the continuous storage, as during an acquisition: its plan, the ring's slots
// filled as the driver's callback fills them, its writer task and its end. The header and the
// CSV lines are then the storage's own.
void storeThroughTheStorage(const StoredRecording &r, const std::string &path) {
    ContinuousStorage storage;
    const std::vector<uint16_t> masks(r.masks.begin(), r.masks.end());
    const ContinuousStorage::Plan plan{
        r.format, path,   "",           r.timestamps, false,
        r.scans,  r.rate, r.preTrigger, masks,        std::vector<int>(masks.size() * 8)};
    ASSERT_EQ(storage.prepare(plan), ContinuousStorage::Result::Ready) << path;
    contParams_t &p = storage.params();
    for (int b = 0; b < r.blocks; ++b) {
        const std::vector<double> v = r.block(b);
        if (r.floats())
            std::copy(v.begin(), v.end(), static_cast<float *>(p.data[b]));
        else
            std::copy(v.begin(), v.end(), static_cast<double *>(p.data[b]));
        for (int i = 0; i < r.scans; ++i) {
            p.seconds[b][i] = r.second(int64_t(b) * r.scans + i);
            p.nanoseconds[b][i] = r.nanosecond(int64_t(b) * r.scans + i);
        }
    }
    p.writeIndex.exchange(uint32_t(r.blocks));
    storage.startWriter();
    ASSERT_EQ(storage.finish(), "") << path;
    storage.release();
}

class ToolFilesTest : public ::testing::Test {
protected:
    std::string path(const std::string &name) const { return dir.filePath(name.c_str()).toStdString(); }
    QStringList names() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    }

    QTemporaryDir dir;
};

// Every refusal ends with its status and one message on standard error, nothing on standard
// output, and leaves the file as it was: bad arguments (2; those the file does not decide point
// to --help) before the file is read, a block past its end included; files the reader refuses
// (which, its own tests say: here the reason is passed on) and blocks too short to analyse (1).
TEST_F(ToolFilesTest, RefusalsEndWithTheirStatusAndOneMessage) {
    const std::string file = path("rec.bin7150"), missing = path("missing.bin7150"),
                      folder = dir.path().toStdString();
    ASSERT_EQ(programRecordings()[0].write(file), "");
    // Blocks of the fewest scans each command analyses, and of one fewer. A spectrum padded to
    // two points per scan would have a point even for a single scan.
    const auto blocksOf = [this](int scans) {
        const std::string name = path(std::to_string(scans) + ".bin7150");
        EXPECT_EQ(StoredRecording().withMasks({0x03}).withBlocks(2).withScans(scans).write(name), "");
        return name;
    };
    const std::string before = contents(file), nine = blocksOf(9), one = blocksOf(1);
    const std::tuple<std::vector<std::string>, int, std::string> refusals[] = {
        {{}, 2, "no command given"},
        {{"play", file}, 2, "unknown command 'play'"},
        {{"info", file, "more"}, 2, "info needs FILE, not 'more'"},
        {{"convert", file}, 2, "convert needs FILE and OUT.csv"},
        {{"measure", file, "--window", "1"}, 2, "measure has no option '--window'"},
        // The strict number routine is used here: one row for all it refuses.
        {{"measure", file, "--block", "0"}, 2, "--block 0: blocks are counted from 1"},
        {{"measure", file, "--block=2", "--all"}, 2, "measure takes --block K or --all, not both"},
        {{"measure", file, "--zero-padding", "3"}, 2, "--zero-padding 3: the zero padding is one of"},
        {{"measure", file, "--fit", "8"}, 2, "--fit 8: the sine fit is 0"},
        {{"spectrum", file, "--block=1", "--window=6"}, 2, "--window 6: the window is 0 rectangular"},
        {{"spectrum", file, "--block=1", "--window=Hann"}, 2, "--window Hann: the window is 0 rectangular"},
        {{"spectrum", file}, 2, "spectrum needs --block K"},
        {{"convert", file, "out.csv", "--millivolts=1"}, 2, "--millivolts takes no value"},
        {{"spectrum", file, "--block", "6"}, 2, "--block 6: '" + file + "' has 5 whole blocks\n"},
        {{"convert", file, file}, 2, "'" + file + "' is the file to convert itself\n"},
        {{"measure", nine}, 1, "'" + nine + "' has 9 scans per block; measure needs at least 10\n"},
        {{"spectrum", one, "--block=2", "--zero-padding=2"},
         1,
         "'" + one + "' has 1 scan per block; spectrum needs at least 2\n"},
        // Files the reader refuses, the same for every command: the file is read before any runs.
        {{"measure", missing}, 1, "cannot read '" + missing + "': No such file or directory\n"},
        {{"convert", folder, path("out.csv")}, 1, "cannot read '" + folder + "': Is a directory\n"},
    };
    for (const auto &[arguments, status, message] : refusals) {
        const ToolRun run = runTool(arguments);
        // What only the file can refuse has no usage to point to.
        const std::string usage = message.back() == '\n' ? "" : "Try 'kq7150-tool --help'.\n";
        EXPECT_TRUE(run.status == status && run.out.empty() &&
                    run.err.rfind("kq7150-tool: " + message, 0) == 0 &&
                    run.err.substr(run.err.find('\n') + 1) == usage)
            << run.status << " " << run.err;
    }
    EXPECT_EQ(contents(file), before);
    EXPECT_FALSE(fs::exists(path("out.csv")));

    const ToolRun help = runTool({"convert", "--help"});
    EXPECT_TRUE(help.status == 0 && help.err.empty() && help.out.rfind("Usage: kq7150-tool COMMAND", 0) == 0);
    for (const auto &[command, scans] : {std::pair("measure", 10), std::pair("spectrum", 2)}) {
        const ToolRun run = runTool({command, blocksOf(scans), "--block=2", "--zero-padding=2"});
        EXPECT_TRUE(run.status == 0 && run.err.empty() &&
                    (scans == 10 || run.out.find("inf") == std::string::npos))
            << command << run.err;
    }
}

// Every command on each recording the storage writes. info: its header and whether its payload
// is whole; measure: each channel's sine (stored channel e holds (0.5 + 0.25 e) V at
// 130 (e + 1) + 7.3 e Hz around 0.01 e V) in every block in block order, one block as every
// block has it, the zero padding and the fit passed on; spectrum: each channel's peak at its
// sine, the points the zero padding makes, the window by name as by number; convert: byte for byte the
// storage's CSV of the same volts. A FLAC twin reads as the same volts, and info tells what it is, its
// streams and the whole blocks they hold, also once a writer died.
TEST_F(ToolFilesTest, EveryCommandOnTheStoredRecordingsAndTheirFlacTwins) {
    const std::string file = path("r.bin7150"), partial = path("partial.bin7150"), flac = path("r.flac7150");
    const std::string csv = path("stored.csv"), converted = path("converted.csv");
    for (const StoredRecording &r : programRecordings()) {
        ASSERT_NO_FATAL_FAILURE(storeThroughTheStorage(r, file));
        SCOPED_TRACE(contents(file).substr(0, 300));
        const uint64_t block =
            uint64_t(r.channels()) * r.scans * (r.floats() ? 4 : 8) + (r.timestamps ? 8 * r.scans : 0);
        const auto fixed6 = [](double value) { return QString::number(value, 'f', 6).toStdString(); };
        std::map<std::string, std::string> expected = {
            {"File", file},
            {"Sampling rate", fixed6(r.rate) + " Hz"},
            {"Function cards", std::to_string(r.masks.size())},
            {"Channels", std::to_string(r.channels())},
            {"Scans per block", std::to_string(r.scans) + " (" + fixed6(r.scans / r.rate) + " s)"},
            {"Time offset", fixed6(-r.preTrigger / r.rate) + " s"},
            {"Blocks", std::to_string(r.blocks)},
            {"Format", r.floats() ? "ViReal32 (4-byte floats, volts)" : "ViReal64 (8-byte doubles, volts)"},
            {"Timestamps",
             r.timestamps ? "yes (every block starts with its scans' seconds and nanoseconds)" : "no"}};
        std::vector<std::string> channels; // "card,channel,gain,filter," of measure's rows
        std::string titles = "Frequency (Hz)";
        for (std::size_t c = 0; c < r.masks.size(); ++c) {
            std::string list;
            for (int k = 0; k < 8; ++k)
                if (r.masks[c] >> k & 1) {
                    list += (list.empty() ? "CH" : ", CH") + std::to_string(k + 1);
                    channels.push_back(std::to_string(c + 1) + "," + std::to_string(k + 1) + ",,,");
                    titles += ", FC" + std::to_string(c + 1) + "_CH" + std::to_string(k + 1) + " (dB)";
                }
            const QString mask = QString::number(r.masks[c], 16).rightJustified(2, '0');
            expected["FC" + std::to_string(c + 1)] = list + " (0x" + mask.toStdString() + ")";
        }
        std::map<std::string, std::string> binary = expected;
        binary["Header"] = std::to_string(fs::file_size(file) - r.blocks * block) + " bytes";
        binary["Block length"] = std::to_string(block) + " bytes";
        binary["Payload"] = std::to_string(r.blocks * block) + " bytes, whole";
        ToolRun run = runTool({"info", file});
        EXPECT_EQ(std::tuple(run.status, run.err, infoRows(run.out)), std::tuple(0, std::string(), binary));

        // A partial block at the end: the reader's warning reaches standard error, not the
        // output, and only the whole blocks are measured.
        ASSERT_EQ(StoredRecording(r).withGarbage(std::string(100, '\0')).write(partial), "");
        run = runTool({"info", partial});
        binary["File"] = partial;
        binary["Payload"] = std::to_string(r.blocks * block + 100) +
                            " bytes, not whole: 100 bytes of a last, partial block, which is not read";
        EXPECT_EQ(std::tuple(run.status, run.err, infoRows(run.out)),
                  std::tuple(0, "Warning. The binary data seems corrupt.\n", binary));
        const std::string padding = r.timestamps ? "2" : "5", fit = std::to_string(2 + r.masks.size());
        const ToolRun measured = runTool({"measure", file, "--zero-padding", padding, "--fit", fit});
        EXPECT_EQ(runTool({"measure", partial, "--zero-padding", padding, "--fit", fit}).out, measured.out);

        const std::size_t n = channels.size();
        const auto sine = [](std::size_t e) { return std::pair(0.5 + 0.25 * e, 130.0 * (e + 1) + 7.3 * e); };
        const auto cell = [](const std::string &line, std::size_t c) {
            return QString::fromStdString(line).section(',', int(c), int(c)).toDouble();
        };
        const std::vector<std::string> every = lines(measured.out);
        ASSERT_EQ(std::tuple(measured.status, measured.err, every.size()),
                  std::tuple(0, std::string(), 3 + r.blocks * n));
        for (std::size_t l = 3; l < every.size(); ++l) {
            const std::size_t e = (l - 3) % n;
            EXPECT_EQ(every[l].rfind(std::to_string((l - 3) / n + 1) + "," + channels[e], 0), 0u) << every[l];
            // Amplitude, mean and frequency.
            EXPECT_TRUE(std::abs(cell(every[l], 5) - sine(e).first) < 1e-4 &&
                        std::abs(cell(every[l], 6) - 0.01 * e) < 1e-4 &&
                        std::abs(cell(every[l], 8) - sine(e).second) < 1e-2)
                << every[l];
        }
        const std::vector<std::string> one =
            lines(runTool({"measure", file, "--block=2", "--zero-padding", padding, "--fit", fit}).out);
        EXPECT_EQ(std::vector(one.begin() + 3, one.end()),
                  std::vector(every.begin() + 3 + n, every.begin() + 3 + 2 * n));
        // Without the padding, the spectrum's figures change: the tool passes it on.
        EXPECT_NE(lines(runTool({"measure", file, "--block=2", "--fit", fit}).out), one);

        const ToolRun spectrum =
            runTool({"spectrum", file, "--block=2", "--window=hann", "--zero-padding", padding});
        EXPECT_EQ(runTool({"spectrum", file, "--block=2", "--window=1", "--zero-padding", padding}).out,
                  spectrum.out);
        EXPECT_NE(runTool({"spectrum", file, "--block=2", "--zero-padding", padding}).out, spectrum.out);
        const std::vector<std::string> points = lines(spectrum.out);
        ASSERT_EQ(points.size(), std::size_t(r.scans) * std::stoul(padding) / 2 + 1) << spectrum.err;
        EXPECT_EQ(points[0], titles);
        for (std::size_t e = 0; e < n; ++e) {
            const auto peak = std::max_element(points.begin() + 1, points.end(), [&](auto &a, auto &b) {
                return cell(a, e + 1) < cell(b, e + 1);
            });
            EXPECT_NEAR(cell(*peak, 0), sine(e).second, r.rate / r.scans) << e;
        }

        // "--" ends the options: the volts' conversion takes none.
        for (const auto &[format, option] : {std::pair(StorageFormat::kCsvVolts, "--"),
                                             std::pair(StorageFormat::kCsvMilli, "--millivolts")}) {
            ASSERT_NO_FATAL_FAILURE(storeThroughTheStorage(r.twin(format), csv));
            run = runTool({"convert", file, converted, option});
            EXPECT_TRUE(run.status == 0 && run.out + run.err == "" && contents(csv).size() > 1000 &&
                        contents(converted) == contents(csv))
                << option << run.err;
        }
        if (r.floats())
            continue;

        // Every command reads through the program's reader, which FlacRecordingTest proves gives
        // a FLAC recording's volts bit for bit; one command shows the tool goes through it.
        ASSERT_EQ(r.twin(StorageFormat::kFlacCounts).write(flac), "");
        const ToolRun a = runTool({"convert", file, "-"}), b = runTool({"convert", flac, "-"});
        EXPECT_TRUE(b.status == 0 && b.err.empty() && a.out.size() > 300 && a.out == b.out) << b.err;
        expected["File"] = flac;
        expected["Format"] = "FLAC (24-bit counts, lossless; read as volts)";
        expected["Timestamps"] =
            r.timestamps ? "yes (every scan's seconds and nanoseconds, in a stream of their own)" : "no";
        expected["Volts per count"] = "of each channel; a count times it is the volts read";
        const std::vector<std::string> labels = DataFileWriter::channelNames(r.masks);
        for (int k = 0; k < r.channels(); ++k)
            expected[labels[size_t(k)]] =
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
            const ToolRun info = runTool({"info", flac});
            EXPECT_EQ(std::tuple(info.status, info.err, infoRows(info.out)),
                      std::tuple(0, std::string(), expected));
            EXPECT_EQ(lines(info.out).size(), expected.size()) << info.out;
        };
        const uint64_t all = uint64_t(r.blocks) * r.scans;
        ASSERT_NO_FATAL_FAILURE(expectInfo(all, std::to_string(r.blocks)));

        // What a writer that died leaves of the first card's stream: no scan count in its stream
        // info (the low 4 bits of byte 21 and bytes 22..25), and a last frame not held in full.
        // The blocks up to its last whole frame are read.
        std::string bytes = contents(streams[0]);
        bytes[21] = char(bytes[21] & 0xF0);
        std::fill(bytes.begin() + 22, bytes.begin() + 26, '\0');
        std::ofstream(streams[0], std::ios::binary | std::ios::trunc) << bytes.substr(0, bytes.size() - 100);
        const uint64_t kept = (all - 1) / FlacStreamWriter::kFrameScans * FlacStreamWriter::kFrameScans;
        const uint64_t blocks = kept / uint64_t(r.scans);
        ASSERT_NO_FATAL_FAILURE(expectInfo(kept, std::to_string(blocks) + "; not whole: streams hold up to " +
                                                     std::to_string(all - blocks * r.scans) +
                                                     " scans more, which are not read"));
    }
}

// What the output path names decides how convert writes it: a file is replaced (keeping its
// permissions), a link followed and kept, a FIFO written into, "-" is standard output; what
// cannot be written leaves nothing behind. An interrupted conversion removes its temporary file
// and dies of the signal; an earlier output stays as it was.
TEST_F(ToolFilesTest, ConvertWritesWhereItsOutputPathLeadsAndLeavesNoTemporaryBehind) {
    const std::string binary = path("rec.bin7150"), file = path("file.csv");
    ASSERT_EQ(programRecordings()[0].write(binary), "");
    const auto convert = [&](const std::string &output) { return runTool({"convert", binary, output}); };
    ASSERT_EQ(convert(file).status, 0);
    const std::string expected = contents(file);
    // Neither what mkstemp makes nor what a new file gets.
    fs::permissions(file, fs::perms(0640));
    EXPECT_TRUE(convert(file).status == 0 && fs::status(file).permissions() == fs::perms(0640));
    EXPECT_TRUE(convert("-").out == expected);

    // Links in another folder than what they name, to a file and to none yet.
    fs::create_directory(path("sub"));
    std::ofstream(path("sub/old.csv")) << "an earlier file";
    fs::create_symlink("sub/old.csv", path("old-link.csv"));
    fs::create_symlink(path("sub/new.csv"), path("new-link.csv"));
    for (const std::string name : {"old", "new"})
        EXPECT_TRUE(convert(path(name + "-link.csv")).status == 0 &&
                    fs::is_symlink(path(name + "-link.csv")) &&
                    contents(path("sub/" + name + ".csv")) == expected)
            << name;

    // A FIFO while a reader has it open. The test holds it open for writing too, from once the
    // reader is there until the tool is done: the reader then ends either way.
    const std::string fifo = path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    QProcess reader;
    reader.setStandardOutputFile(QString::fromStdString(path("read.csv")));
    reader.start("cat", {QString::fromStdString(fifo)});
    int held = -1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (held = open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) >= 0; }))
        << "no reader";
    const ToolRun run = convert(fifo);
    close(held);
    reader.waitForFinished();
    EXPECT_TRUE(run.status == 0 && fs::is_fifo(fifo) && contents(path("read.csv")) == expected) << run.err;
    const std::string folder = path("folder.csv");
    fs::create_directory(folder);
    const std::pair<std::string, std::string> refusals[] = {
        {folder, "Is a directory"},
        {path("missing/out.csv"), "No such file or directory"},
        {fifo, "no process reads the FIFO"}};
    QStringList before = names();
    for (const auto &[output, why] : refusals) {
        const ToolRun run = convert(output);
        EXPECT_EQ(std::tuple(run.status, run.err),
                  std::tuple(1, "kq7150-tool: cannot write '" + output + "': " + why + "\n"));
    }
    EXPECT_TRUE(names() == before && fs::is_empty(folder)) << names().join(' ').toStdString();

    const std::string zeros = path("long.bin7150");
    // Blocks of zeros, which take no room on the disk, make it long to convert.
    ASSERT_EQ(StoredRecording().withMasks({0x0f}).withScans(16384).write(zeros), "");
    fs::resize_file(zeros, fs::file_size(zeros) + 2000 * 4 * 16384 * sizeof(double));
    before = names();
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        // The tool inherits the test's action for the signal, which for a background job's INT
        // is to ignore it.
        struct sigaction standard = {}, inherited = {};
        standard.sa_handler = SIG_DFL;
        sigaction(signal, &standard, &inherited);
        QProcess tool;
        tool.start(KQ_TOOL, {"convert", QString::fromStdString(zeros), QString::fromStdString(file)});
        sigaction(signal, &inherited, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return names().size() > before.size(); })) << "no temporary file";
        kill(pid_t(tool.processId()), signal);
        ASSERT_TRUE(tool.waitForFinished());
        EXPECT_EQ(std::pair(tool.exitStatus(), tool.exitCode()), std::pair(QProcess::CrashExit, signal));
        EXPECT_TRUE(names() == before && contents(file) == expected) << names().join(' ').toStdString();
    }
}

// The tool writes figures through measurementText, which must write them as the window's table
// always has: as QString::number(value, 'f', decimals).
TEST(MeasurementTextTest, FiguresReadAsQtWritesThem) {
    // Exact halves at 0 to 3 decimals, which to_chars and Qt round apart, one that carries into a
    // new digit, and what is no plain number.
    for (const double value : {2.5, -2.5, 9.5, 99.75, 0.125, -0.125, 100.0625, 1048576.5, 999.9995, 1e20,
                               -0.0, -1e-4, 1e-7, std::nan(""), -std::nan(""), HUGE_VAL, -HUGE_VAL})
        for (int d = 0; d <= 6; ++d)
            ASSERT_EQ(measurementText::number(value, d), QString::number(value, 'f', d).toStdString())
                << value << " with " << d << " decimals";
}

} // namespace
