// Stored files: the writers' exact text, their numbers in any locale and their failures; the
// header reader, what it refuses and why, what it accepts at the limits, how it counts blocks and
// where a block's parts lie; the storage formats' figures and the output path's extension and
// folder.
#include "../support/CommaLocale.h"

#include "CsvWriter.h"
#include "DataFileReader.h"
#include "DataFileWriter.h"
#include "OfflinePlayback.h"
#include "OutputPath.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// What a stream received, read back from a temporary file.
template <typename Write> std::string written(Write write) {
    std::FILE *file = std::tmpfile();
    EXPECT_TRUE(write(file));
    std::string text(size_t(std::ftell(file)), '\0');
    std::rewind(file);
    EXPECT_EQ(std::fread(&text[0], 1, text.size(), file), text.size());
    std::fclose(file);
    return text;
}

// Written in a locale of decimal commas where one is installed (or can be made): the numbers keep
// their points.
TEST(DataFileWriterTest, HeaderAndCsvHeaderText) {
    // A FLAC recording's description names each channel's volts per count (of gains 1, 1000 and 7)
    // in digits that read back exactly.
    DataFileHeader flac{5, 1000.0, 3, 64, {0x01, 0xa0}, 0.0, true, {}, {1, 1000, 7}};
    flac.lsb = {10.24 / 8388608, 10.24 / 8388608 / 1000, 0.1 + 0.2};
    const std::pair<DataFileHeader, std::string> headers[] = {
        {{3, 216000.0, 3, 1024, {0x01, 0xa0}, -0.001, false, {}, {}},
         "DEVICE=Movara 7150\nFORMAT=ViReal32\nSAMPLING_RATE_HZ=216000.000000\nNUMBER_OF_CHANNELS=3\n"
         "NUMBER_OF_SCANS_PER_BLOCK=1024\nNUMBER_OF_FUNCTION_CARDS=2\nCHANNEL_MASK_FC1=0x01\n"
         "CHANNEL_MASK_FC2=0xa0\nTIME_OFFSET=-0.001000\nTIMESTAMPS=0\n#\n"},
        {flac,
         "DEVICE=Movara 7150\nFORMAT=FLAC\nSAMPLING_RATE_HZ=1000.000000\nNUMBER_OF_CHANNELS=3\n"
         "NUMBER_OF_SCANS_PER_BLOCK=64\nNUMBER_OF_FUNCTION_CARDS=2\nCHANNEL_MASK_FC1=0x01\n"
         "CHANNEL_MASK_FC2=0xa0\nLSB_FC1_CH1=1.220703125e-06\nGAIN_FC1_CH1=1\nLSB_FC2_CH6=1.220703125e-09\n"
         "GAIN_FC2_CH6=1000\nLSB_FC2_CH8=0.30000000000000004\nGAIN_FC2_CH8=7\nTIME_OFFSET=0.000000\n"
         "TIMESTAMPS=1\n#\n"}};
    const CommaLocale comma;
    for (const auto &[header, text] : headers)
        EXPECT_EQ(written([&](std::FILE *f) { return DataFileWriter::writeHeader(f, header); }), text);
    EXPECT_EQ(written([](std::FILE *f) {
                  return DataFileWriter::writeCsvHeader(f, true, 1234.5, {5, 2}, true);
              }),
              "Units: mV\nSampling rate: 1234.500000 Hz\nTimestamp, FC1_CH1, FC1_CH3, FC2_CH2, \n");
}

// Small enough to sit in the stream's buffer: only the flush meets the full disk.
TEST(DataFileWriterTest, FailedWritesAreReported) {
    std::vector<double> samples(64, 1.0);
    std::vector<uint32_t> times(8, 1);
    std::FILE *full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    EXPECT_FALSE(DataFileWriter::writeBlock(full, times.data(), times.data(), 8, samples.data(), 64));
    std::clearerr(full);
    EXPECT_FALSE(CsvWriter::writeBlock(full, samples.data(), 2, 1, false, nullptr, nullptr));
    std::fclose(full);
}

// The CSV number writer is printf's "%.6lf, ", "%.3lf, " and "%ld.%09ld, " made fast; it must
// part from printf nowhere. Every value class where a shortcut could: the ranges the cards
// produce, values rounding to a negative zero, exact halves (odd multiples of 2^-7 are halves
// at 6 decimals, of 2^-4 at 3), decimal halves that are only near halves in binary and their
// neighbours, magnitudes from denormal to the fast path's limit and beyond, non-finite values;
// and whole blocks longer than one chunk of text, in volts and millivolts.
TEST(CsvWriterTest, LinesValuesAndTimestampsMatchPrintfByteForByte) {
    std::mt19937_64 random(2024);
    std::uniform_real_distribution<double> unit(-1.0, 1.0), exponent(-12.0, 12.0);
    std::uniform_int_distribution<int> odd(-500000, 500000), digits(0, 999999);
    // Halves, sizes, non-finite values.
    std::vector<double> values = {0.0,           -0.0,
                                  0.0000005,     -0.0000005,
                                  2.5e-7,        1.0000005,
                                  0.0005,        -1.0005,
                                  1e-7,          -4e-7,
                                  -1e-9,         1e9,
                                  1e15,          1e300,
                                  -DBL_MAX,      DBL_MIN,
                                  -DBL_TRUE_MIN, HUGE_VAL,
                                  -HUGE_VAL,     double(NAN),
                                  -double(NAN),  999999999.9999995};
    for (int i = 0; i < 20000; ++i) {
        const double half = (odd(random) + 0.5) / (i % 2 ? 1e6 : 1e3);
        values.insert(values.end(), {10240.0 * unit(random), 1e-7 * unit(random),
                                     unit(random) * std::pow(10.0, exponent(random)), double(odd(random)),
                                     (2 * odd(random) + 1) / 128.0, (2 * odd(random) + 1) / 16.0, half,
                                     std::nextafter(half, 0.0), std::nextafter(half, 1e9),
                                     odd(random) + digits(random) / 1e6 + 5e-7});
    }
    const int channels = 8, scans = 12000; // over a megabyte of text
    std::vector<uint32_t> seconds(scans), nanoseconds(scans);
    const uint32_t edges[] = {0u, 5u, 999999999u, 1000000000u, 4294967295u};
    for (int s = 0; s < scans; ++s)
        seconds[s] = s < 25 ? edges[s % 5] : uint32_t(random()),
        nanoseconds[s] = s < 25 ? edges[s / 5] : uint32_t(random());
    // printf's text first, in the C locale: the values at 3 and 6 decimals, then a block in mV (the
    // same numbers in volts are the values at 6 decimals).
    std::string expected[2], got[2];
    const auto print = [&](int i, const char *format, auto... arguments) {
        char text[400];
        std::snprintf(text, sizeof text, format, arguments...);
        expected[i] += text;
    };
    for (const double v : values)
        for (int d : {3, 6})
            print(0, "%.*lf, ", d, v);
    for (int s = 0; s < scans; ++s) {
        print(1, "%ld.%09ld, ", long(seconds[s]), long(nanoseconds[s]));
        for (int k = 0; k < channels; ++k)
            print(1, "%.3lf, ", values[size_t(k) * scans + s] * 1000);
        print(1, "\n");
    }
    const CommaLocale comma; // from here on, printf would write decimal commas where it can
    for (const double v : values)
        for (int d : {3, 6})
            CsvWriter::appendValue(got[0], v, d);
    got[1] = written([&](std::FILE *f) {
        return CsvWriter::writeBlock(f, values.data(), channels, scans, true, seconds.data(),
                                     nanoseconds.data());
    });
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(got[i] == expected[i])
            << i << ": lengths " << got[i].size() << " and " << expected[i].size();
}

// The header the program writes (its text: DataFileWriterTest above) for two cards of channels 1 and 2,
// 16 scans a block with scan times, at 1234.5 Hz from -2 s: 10 lines.
const std::string kHeader =
    "DEVICE=Movara 7150\nFORMAT=ViReal64\nSAMPLING_RATE_HZ=1234.500000\n"
    "NUMBER_OF_CHANNELS=4\nNUMBER_OF_SCANS_PER_BLOCK=16\nNUMBER_OF_FUNCTION_CARDS=2\n"
    "CHANNEL_MASK_FC1=0x03\nCHANNEL_MASK_FC2=0x03\nTIME_OFFSET=-2.000000\nTIMESTAMPS=1\n#\n";

std::string without(std::string h, const std::string &key) { // drops the line starting with key
    const std::size_t at = h.rfind(key, 0) == 0 ? 0 : h.find("\n" + key) + 1;
    return h.erase(at, h.find('\n', at) + 1 - at);
}

std::string added(std::string h, const std::string &lines) { // lines come before the "#" line
    return h.insert(h.size() - 2, lines);
}

// Each line of extra replaces the line of its key, or comes before the "#" line when the header
// has no such key.
std::string header(const std::string &extra) {
    std::string h = kHeader;
    std::istringstream lines(extra);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t eq = line.find('='), old = ("\n" + h).find("\n" + line.substr(0, eq + 1));
        h = eq == std::string::npos || old == std::string::npos
                ? added(h, line + "\n")
                : h.replace(old, h.find('\n', old) + 1 - old, line + "\n");
    }
    return h;
}

// FORMAT=FLAC and the volts per count of the default header's channels.
const std::string kFlac = "FORMAT=FLAC\nLSB_FC1_CH1=1.220703125e-06\nLSB_FC1_CH2=1.220703125e-06\n"
                          "LSB_FC2_CH1=1.220703125e-06\nLSB_FC2_CH2=1.220703125e-06\n";

class DataFileReaderTest : public ::testing::Test {
protected:
    void TearDown() override { fs::remove_all(dir); }
    std::string write(const std::string &content, const std::string &name = "data.bin7150") {
        fs::create_directories(dir);
        std::ofstream(dir / name, std::ios::binary) << content;
        return (dir / name).string();
    }
    const fs::path dir = fs::temp_directory_path() / ("kq-dfr-" + std::to_string(getpid()));
    fileInfo_t info{};
};

TEST_F(DataFileReaderTest, RefusesHeadersTheProgramCannotUseAndSaysWhy) {
    // Each row breaks one rule of the default header; second: part of the reason given.
    std::vector<std::pair<std::string, std::string>> refusals = {
        {header("FORMAT=raw\n"), "FORMAT=raw: only ViReal64, ViReal32 (volts) and FLAC (counts) can be read"},
        {added(without(kHeader, "NUMBER_OF_FUNCTION_CARDS"), "NUMBER_OF_FUNCTION_CARDS=2\n"),
         "CHANNEL_MASK_FC1=0x03: comes before NUMBER_OF_FUNCTION_CARDS"},
        {header("CHANNEL_MASK_FC3=0x01\nNUMBER_OF_CHANNELS=5\n"), "FC3=0x01: names no card of"},
        {header("CHANNEL_MASK_FC0=0x02\n"), "FC0=0x02: names no card"},
        {header("CHANNEL_MASK_FC2=0x103\n"), "FC2=0x103: a mask is a hexadecimal byte"},
        {header("NUMBER_OF_FUNCTION_CARDS=65\n"), "CARDS=65: the card count must be"},
        {header("NUMBER_OF_FUNCTION_CARDS=300\n"), "CARDS=300: the card count"}, // 44 once narrowed
        {header("NUMBER_OF_FUNCTION_CARDS=0\n"), "CARDS=0: the card count"},
        {header("NUMBER_OF_CHANNELS=3\n"), "NUMBER_OF_CHANNELS=3, but the channel masks enable 4 channels"},
        {header("NUMBER_OF_CHANNELS=0\nCHANNEL_MASK_FC1=0x00\nCHANNEL_MASK_FC2=0x00\n"),
         "NUMBER_OF_CHANNELS=0: the file stores no channel"},
        {header("NUMBER_OF_SCANS_PER_BLOCK=0\n"), "BLOCK=0: a block needs at least 1 scan"},
        // One sample over the buffer.
        {header("NUMBER_OF_SCANS_PER_BLOCK=524289\n"), "524289 scans is larger than the program's buffer"},
        {header("SAMPLING_RATE_HZ=nan\n"), "HZ=nan: the rate must be"},
        // An infinite block duration; too small for the fixed format of the CSV.
        {header("SAMPLING_RATE_HZ=5e-324\n"),
         "5e-324: the rate must be a number from 0.001 to 10000000 (Hz)"},
        {header("SAMPLING_RATE_HZ=10000000.000001\n"), "HZ=10000000.000001: the rate"},
        {header("TIME_OFFSET=nan\n"), "OFFSET=nan: the time offset must be"},
        {header("TIME_OFFSET=1e13\n"), "OFFSET=1e13: the time offset must be"},
        {header("NUMBER_OF_SCANS_PER_BLOCK=" + std::string(67, '0') + "1024\n"),
         "BLOCK=" + std::string(67, '0') + "1024: the value is longer than 64 characters"},
        {header("DEVICE=" + std::string(248, 'x') + "\n"), "header line 1 is longer than 254 characters"},
        {added(kHeader, "SAMPLING_RATE_HZ=1000\n"), "SAMPLING_RATE_HZ=1000: SAMPLING_RATE_HZ is given twice"},
        {added(kHeader, "CHANNEL_MASK_FC2=0x03\n"), "CHANNEL_MASK_FC2 is given twice"},
        {header("FORMAT=\x1b]0;owned\x07\n"), "FORMAT=\\x1B]0;owned\\x07: only ViReal64"},
        {header(std::string("NUMBER_OF_CHANNELS=4\0\n", 22)), "CHANNELS=4\\x00: not a whole"},
        {header("TIMESTAMPS=2\n"), "TIMESTAMPS=2: must be 0 or 1"},
        {without(kHeader, "#"), "no '#' line ends the header"},
        {added(kHeader, std::string(1016, '\n')), "more than 1025 header lines"},
        // A FLAC recording's counts need each stored channel's volts per count, and its streams.
        {header(without(kFlac, "LSB_FC2_CH2")), "has no LSB_FC2_CH2 (volts"},
        {header(kFlac + "LSB_FC1_CH3=1e-6\n"), "LSB_FC1_CH3=1e-6: names no stored channel"},
        {header(kFlac + "LSB_FC1_CH2=0\n"), "=0: volts per count must be a number from 1e-15 to 1"},
        {added(header(kFlac), "LSB_FC2_CH1=2e-6\n"), "LSB_FC2_CH1 is given twice"},
        {header(kFlac), ".fc1.flac\": No such file or directory"},
    };
    for (const char *key : {"FORMAT", "SAMPLING_RATE_HZ", "NUMBER_OF_CHANNELS", "NUMBER_OF_SCANS_PER_BLOCK",
                            "TIME_OFFSET", "TIMESTAMPS"}) // without the card count, the masks come first
        refusals.push_back({without(kHeader, key), std::string("the header has no ") + key + "\n"});
    // Where it cannot read a header at all, the reason is all it says.
    const std::string fifo = (dir / "fifo.bin7150").string();
    std::vector<std::pair<std::string, std::string>> paths = {
        {fifo, "\nnot a regular file (a pipe, socket or character device cannot hold a stored file)\n"},
        {dir.string(), "\nIs a directory\n"},
        {write(kHeader, std::string(250, 'n')), "\nthe path is longer than 259 characters\n"}};
    for (const auto &[text, why] : refusals)
        paths.push_back({write(text, std::to_string(paths.size())), why});
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0); // without a writer: an open for reading would block
    for (const auto &[path, why] : paths) {
        std::string reason;
        EXPECT_EQ(DataFileReader::readHeader(path.c_str(), info, &reason), -1) << why;
        EXPECT_NE(("\n" + reason + "\n").find(why), std::string::npos) << reason;
    }
}

TEST_F(DataFileReaderTest, AcceptsTheLimitsIgnoresWhatItDoesNotKnowAndCountsWholeBlocks) {
    // The payload starts right after the "#" line: a line of the longest length is taken whole.
    std::string crlf = header("TIMESTAMPS=1   \n");
    for (std::size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2)
        crlf.insert(at, "\r");
    std::string cards64 =
        "FORMAT=ViReal32\nNUMBER_OF_FUNCTION_CARDS=64\nNUMBER_OF_CHANNELS=64\nTIMESTAMPS=0\n";
    for (int c = 1; c <= 64; ++c)
        cards64 += "CHANNEL_MASK_FC" + std::to_string(c) + "=0x01\n";
    const struct {
        std::string text;
        int channels;
        double rate;
        uint64_t block; // sample width x channels x scans + 2 x 4 x scans with scan times
        uint64_t payload, blocks;
    } accepted[] = {
        {header(cards64), 64, 1234.5, 4 * 64 * 16, 8192, 2},
        {header("FORMAT=ViReal32\nNUMBER_OF_SCANS_PER_BLOCK=524288\n"), 4, 1234.5, 24 * 524288, 0, 0},
        {added(kHeader, std::string(1015, '\n')), 4, 1234.5, 640, 100, 0},
        {header("COMMENT=" + std::string(246, 'a') + "\nnot a key line\n"), 4, 1234.5, 640, 1920, 3},
        {header("SAMPLING_RATE_HZ=1e+04\nTIME_OFFSET=-1e12\n"), 4, 1e4, 640, 1281, 2},
        {header("SAMPLING_RATE_HZ=0.001\n"), 4, 1e-3, 640, 1280, 2},
        {header("SAMPLING_RATE_HZ=10000000\n"), 4, 1e7, 640, 640, 1},
        {crlf, 4, 1234.5, 640, 1280, 2}};
    for (const auto &[text, channels, rate, block, payload, blocks] : accepted) {
        std::string why;
        const std::string path = write(text + std::string(payload, 'Z'));
        testing::internal::CaptureStdout();
        EXPECT_EQ(DataFileReader::readHeader(path.c_str(), info, &why), 0) << text.substr(0, 300) << why;
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  payload % block ? "Warning. The binary data seems corrupt.\n" : "");
        EXPECT_EQ(std::tuple(info.channels, info.rate, info.payloadOffset, info.blockLength,
                             info.payloadLength, info.blockCount),
                  std::tuple(channels, rate, uint64_t(text.size()), block, payload, blocks));
        for (int c = info.cards; c < fileInfoMaskSlots; ++c)
            EXPECT_EQ(info.channelMasks[c], 0) << "card " << c + 1;
    }
}

// A file written by hand pins where the seconds, nanoseconds and samples of a block lie, and the
// playback's doubles of a ViReal32 block: the block filled and nothing beyond it. Playing a
// ViReal64 and a FLAC recording block by block is the Playback workflow's.
TEST_F(DataFileReaderTest, ReadsTheBlockAskedForAndPlaysItAsDoubles) {
    const int n = 16, samples = 4 * n; // ViReal32, four channels
    // Three blocks in which every word tells its block and position apart: scan times as 32-bit
    // integers, samples as floats.
    std::vector<uint32_t> words;
    for (uint32_t b = 0; b < 3; ++b)
        for (int i = 0; i < 2 * n + samples; ++i) {
            const float sample = float(1000 * b + i);
            words.push_back(1000 * b + i);
            if (i >= 2 * n)
                std::memcpy(&words.back(), &sample, sizeof sample);
        }
    const std::string path =
        write(header("FORMAT=ViReal32\n") +
              std::string(reinterpret_cast<const char *>(words.data()), 4 * words.size()));
    ASSERT_EQ(DataFileReader::readHeader(path.c_str(), info), 0);
    std::vector<float> data(samples);
    std::vector<uint32_t> sec(n), nsec(n);
    std::vector<double> volts(samples + 1, -99.0);
    OfflinePlayback playback(info);
    EXPECT_EQ(DataFileReader::readBlock(info, data.data(), sec.data(), nsec.data(), 1), 1);
    ASSERT_EQ(playback.load(1, volts.data()), OfflinePlayback::Result::Loaded);
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(std::tuple(sec[i], nsec[i]), std::tuple(1000u + i, 1000u + n + i));
    for (int k = 0; k < samples; ++k)
        ASSERT_EQ(std::pair(double(data[k]), volts[k]), std::pair(1032.0 + k, 1032.0 + k)) << "sample " << k;
    EXPECT_EQ(volts[samples], -99.0);
    fs::resize_file(path, info.payloadOffset + 3 * info.blockLength - 1);
    EXPECT_EQ(DataFileReader::readBlock(info, data.data(), sec.data(), nsec.data(), 2), 0);
    EXPECT_EQ(DataFileReader::readBlock(info, data.data(), sec.data(), nsec.data(), 3), -1);
    EXPECT_EQ(playback.load(2, volts.data()), OfflinePlayback::Result::ReadFailed) << "a partial block";
    // Block times in 64 bits: block 3e6 of 131072 scans starts at scan 393216000000, far past 2^32.
    info.scansPerBlock = 131072;
    info.rate = 1000.0;
    EXPECT_DOUBLE_EQ(playback.blockStart(3000000), 393216000.0 - 2.0);
}

using OutputPathTest = DataFileReaderTest;

TEST_F(OutputPathTest, ExtensionFitsTheFormatAndTheFolderMustExist) {
    const std::string cwd = fs::current_path().string();
    // The file name's dot, not the folder's; an extension of any case is kept.
    const std::tuple<const char *, const char *, std::string> paths[] = {
        {"data.v2.txt", "bin7150", cwd + "/data.bin7150"},
        {"run.1/./data", "bin7150", cwd + "/run.1/data.bin7150"},
        {"/data.csv", "flac7150", "/data.flac7150"},
        {"./a.txt.BIN7150", "bin7150", "./a.txt.BIN7150"},
        {"/data/.bin7150", "bin7150", "/data/.bin7150"},
        {"", "csv", ""}};
    for (const auto &[path, extension, result] : paths)
        EXPECT_EQ(OutputPath::withExtension(path, extension), result);
    EXPECT_EQ(OutputPath::folder("sub/x.csv"), cwd + "/sub");
    write("x", "plain"); // a file is no folder
    EXPECT_EQ(std::vector<bool>({OutputPath::folderExists((dir / "x.csv").string()),
                                 OutputPath::folderExists((dir / "missing" / "x.csv").string()),
                                 OutputPath::folderExists((dir / "plain" / "x.csv").string()),
                                 OutputPath::folderExists("")}),
              std::vector<bool>({true, false, false, false}));
}

} // namespace
