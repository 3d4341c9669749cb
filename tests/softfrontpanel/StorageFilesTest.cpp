// The stored-file writers: their exact text, their numbers in any locale and their failures;
// the storage formats' figures and the output path's extension and folder.
#include "../support/CommaLocale.h"

#include "CsvWriter.h"
#include "DataFileWriter.h"
#include "OutputPath.h"
#include "StorageFormat.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The CSV choices store 8-byte values in their buffers; a stale choice and a stale gain fall back.
TEST(StorageFormatTest, ChoicesWidthsAndVoltsPerCount) {
    using F = StorageFormat;
    EXPECT_EQ(std::vector<int>({F::fromChoice(-1), F::fromChoice(0), F::fromChoice(3), F::fromChoice(4),
                                F::fromChoice(5), F::sampleWidth(0), F::sampleWidth(2), F::sampleWidth(3)}),
              std::vector<int>({4, 0, 3, 5, 4, 8, 8, 4}));
    EXPECT_TRUE(F::lsb(10) == F::lsb(0) && F::lsb(-1) == F::lsb(0));
}

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

TEST(DataFileWriterTest, FailedWritesAreReported) {
    std::vector<double> samples(64, 1.0);
    std::vector<uint32_t> times(8, 1);
    std::FILE *full = std::fopen("/dev/full", "wb"), *readOnly = std::fopen("/proc/self/exe", "r");
    ASSERT_TRUE(full && readOnly);
    // Small enough to sit in the stream's buffer: only the flush meets the full disk.
    EXPECT_FALSE(DataFileWriter::writeBlock(full, times.data(), times.data(), 8, samples.data(), 64));
    std::clearerr(full);
    EXPECT_FALSE(CsvWriter::writeBlock(full, samples.data(), 2, 1, false, nullptr, nullptr));
    EXPECT_FALSE(DataFileWriter::writeBlock(readOnly, nullptr, nullptr, 8, samples.data(), 64));
    EXPECT_FALSE(DataFileWriter::writeBlock(readOnly, times.data(), times.data(), 8, samples.data(), 0));
    EXPECT_FALSE(CsvWriter::writeBlock(readOnly, samples.data(), 8, 8, true, nullptr, nullptr));
    std::fclose(full);
    std::fclose(readOnly);
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
    std::uniform_int_distribution<uint32_t> any;
    std::vector<uint32_t> seconds(scans), nanoseconds(scans);
    const uint32_t edges[] = {0u, 5u, 999999999u, 1000000000u, 4294967295u};
    for (int s = 0; s < scans; ++s)
        seconds[s] = s < 25 ? edges[s % 5] : any(random),
        nanoseconds[s] = s < 25 ? edges[s / 5] : any(random);
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

TEST(OutputPathTest, ExtensionFitsTheFormatAndTheFolderMustExist) {
    const std::string cwd = fs::current_path().string();
    const fs::path tmp = fs::temp_directory_path() / ("kq-outpath-" + std::to_string(getpid()));
    // The file name's dot, not the folder's; an extension of any case is kept.
    const std::tuple<const char *, const char *, std::string> paths[] = {
        {"data.v2.txt", "bin7150", cwd + "/data.bin7150"},
        {"run.1/./data", "bin7150", cwd + "/run.1/data.bin7150"},
        {"/data.csv", "flac7150", "/data.flac7150"},
        {"./a.txt.BIN7150", "bin7150", "./a.txt.BIN7150"},
        {"/data/.bin7150", "bin7150", "/data/.bin7150"},
        {"DATA.CSV", "csv", "DATA.CSV"},
        {"", "csv", ""}};
    for (const auto &[path, extension, result] : paths)
        EXPECT_EQ(OutputPath::withExtension(path, extension), result);
    EXPECT_EQ(OutputPath::folder("sub/x.csv"), cwd + "/sub");
    fs::create_directories(tmp);
    std::ofstream(tmp / "plain") << "x"; // a file is no folder
    EXPECT_EQ(std::vector<bool>({OutputPath::folderExists((tmp / "x.csv").string()),
                                 OutputPath::folderExists((tmp / "missing" / "x.csv").string()),
                                 OutputPath::folderExists((tmp / "plain" / "x.csv").string()),
                                 OutputPath::folderExists("")}),
              std::vector<bool>({true, false, false, false}));
    fs::remove_all(tmp);
}

} // namespace
