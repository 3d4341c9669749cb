#include "CsvWriter.h"
#include "DataFileReader.h"
#include "DataFileWriter.h"
#include "OutputPath.h"
#include "StorageFormat.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <cfloat>
#include <clocale>
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
                                F::fromChoice(5)}),
              std::vector<int>({4, 0, 3, 5, 4}));
    EXPECT_EQ(std::vector<int>({F::sampleWidth(0), F::sampleWidth(2), F::sampleWidth(3)}),
              std::vector<int>({8, 8, 4}));
    EXPECT_DOUBLE_EQ(StorageFormat::lsb(2), 2.44140625e-07); // gain 5
    EXPECT_DOUBLE_EQ(StorageFormat::lsb(9), 1.220703125e-09);
    EXPECT_EQ(std::pair(StorageFormat::lsb(10), StorageFormat::lsb(-1)),
              std::pair(StorageFormat::lsb(0), StorageFormat::lsb(0)));
}

// The unit steps at 1024 and 2^20 bytes; 13.2 MB/s and 2.6 kB/s (TEXT) are checked where the dialog shows
// them.
TEST(StorageFormatTest, DataRateAndFileSizeTexts) {
    EXPECT_EQ(StorageFormat::dataRateText(1, 1023, false), "Data Rate: 1023 B/s");
    EXPECT_EQ(StorageFormat::dataRateText(1, 1048575, false), "Data Rate: 1024.0 kB/s");
    EXPECT_EQ(StorageFormat::dataRateText(8, 1 << 30, false), "Data Rate: 8192.0 MB/s") << "past 2^31 bytes";
    EXPECT_EQ(StorageFormat::fileSizeText(1023), "1023 B");
    EXPECT_EQ(StorageFormat::fileSizeText(1536), "1.5 kB");
    EXPECT_EQ(StorageFormat::fileSizeText((1 << 30) - 1), "1024.0 MB");
    EXPECT_EQ(StorageFormat::fileSizeText(5ull << 40), "5120.00 GB");
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

class StorageFilesTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    // Writes a header and three blocks of samples of type T and reads all of it back.
    template <typename T> void roundTrip(int format, bool timestamps) {
        SCOPED_TRACE(std::to_string(format) + (timestamps ? " with timestamps" : ""));
        const int scans = 16, channels = 4; // masks 0x03 and 0x81: two channels on each card
        const std::string path = (dir / "data.bin7150").string();
        std::vector<std::vector<T>> blocks(3, std::vector<T>(channels * scans));
        std::vector<std::vector<uint32_t>> times(3, std::vector<uint32_t>(2 * scans)); // seconds, nanoseconds
        std::FILE *file = std::fopen(path.c_str(), "wb");
        ASSERT_TRUE(DataFileWriter::writeHeader(
            file, {format, 1234.5, channels, scans, {0x03, 0x81}, -0.25, timestamps, {}, {}}));
        for (uint32_t b = 0; b < 3; ++b) {
            for (int i = 0; i < scans; ++i)
                times[b][i] = 100 + b, times[b][scans + i] = b * 1000000 + i;
            for (int i = 0; i < channels * scans; ++i)
                blocks[b][i] = T(b * 1000 + i) + T(0.125) * (b % 2 ? -1 : 1);
            ASSERT_TRUE(DataFileWriter::writeBlock(file, timestamps ? times[b].data() : nullptr,
                                                   times[b].data() + scans, scans, blocks[b].data(),
                                                   blocks[b].size() * sizeof(T)));
        }
        std::fclose(file);

        fileInfo_t info{};
        ASSERT_EQ(DataFileReader::readHeader(path.c_str(), info), 0);
        EXPECT_EQ(std::tuple(info.format, info.rate, info.timeOffset, info.channels, info.scansPerBlock,
                             int(info.cards), int(info.channelMasks[0]), int(info.channelMasks[1]),
                             int(info.timestamps)),
                  std::tuple(format == 0 ? fileFormatViReal64 : fileFormatViReal32, 1234.5, -0.25, channels,
                             scans, 2, 0x03, 0x81, timestamps ? 1 : 0));
        ASSERT_EQ(info.blockCount, 3u);
        ASSERT_EQ(info.payloadLength, 3 * info.blockLength) << "nothing after the blocks";
        for (uint32_t b = 0; b < 3; ++b) {
            std::vector<T> samples(channels * scans);
            std::vector<uint32_t> readTimes(2 * scans, 7);
            ASSERT_EQ(DataFileReader::readBlock(info, samples.data(), readTimes.data(),
                                                readTimes.data() + scans, b),
                      1);
            EXPECT_EQ(samples, blocks[b]) << "block " << b;
            if (timestamps) {
                EXPECT_EQ(readTimes, times[b]) << "block " << b;
            }
        }
    }

    const fs::path dir =
        fs::temp_directory_path() / ("kq-store-" + std::to_string(getpid()) + "-" +
                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(StorageFilesTest, BinaryFilesReadBackThroughTheReader) {
    roundTrip<double>(StorageFormat::kBinary64, true);
    roundTrip<float>(StorageFormat::kBinary32, false);

    const std::string path = (dir / "raw.bin7150").string();
    std::FILE *file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(DataFileWriter::writeHeader(
        file, {StorageFormat::kRawCounts, 1000.0, 1, 8, {0x01}, 0.0, false, {}, {}}));
    std::fclose(file);
    fileInfo_t info{};
    EXPECT_EQ(DataFileReader::readHeader(path.c_str(), info), -1) << "the panel shows volts only";
}

TEST(DataFileWriterTest, HeaderAndCsvHeaderText) {
    EXPECT_EQ(written([](std::FILE *f) {
                  return DataFileWriter::writeHeader(
                      f, {3, 216000.0, 3, 1024, {0x01, 0xa0}, -0.001, false, {}, {}});
              }),
              "DEVICE=Movara 7150\nFORMAT=ViReal32\nSAMPLING_RATE_HZ=216000.000000\nNUMBER_OF_CHANNELS=3\n"
              "NUMBER_OF_SCANS_PER_BLOCK=1024\nNUMBER_OF_FUNCTION_CARDS=2\nCHANNEL_MASK_FC1=0x01\n"
              "CHANNEL_MASK_FC2=0xa0\nTIME_OFFSET=-0.001000\nTIMESTAMPS=0\n#\n");
    // A FLAC recording's description names each channel's volts per count in digits that read
    // back exactly.
    EXPECT_EQ(
        written([](std::FILE *f) {
            return DataFileWriter::writeHeader(f, {5,
                                                   1000.0,
                                                   3,
                                                   64,
                                                   {0x01, 0xa0},
                                                   0.0,
                                                   true,
                                                   {10.24 / 8388608, 10.24 / 8388608 / 1000, 0.1 + 0.2},
                                                   {1, 1000, 7}});
        }),
        "DEVICE=Movara 7150\nFORMAT=FLAC\nSAMPLING_RATE_HZ=1000.000000\nNUMBER_OF_CHANNELS=3\n"
        "NUMBER_OF_SCANS_PER_BLOCK=64\nNUMBER_OF_FUNCTION_CARDS=2\nCHANNEL_MASK_FC1=0x01\n"
        "CHANNEL_MASK_FC2=0xa0\nLSB_FC1_CH1=1.220703125e-06\nGAIN_FC1_CH1=1\nLSB_FC2_CH6=1.220703125e-09\n"
        "GAIN_FC2_CH6=1000\nLSB_FC2_CH8=0.30000000000000004\nGAIN_FC2_CH8=7\nTIME_OFFSET=0."
        "000000\nTIMESTAMPS=1\n#\n");
    EXPECT_EQ(written([](std::FILE *f) {
                  return DataFileWriter::writeCsvHeader(f, true, 1234.5, {0x05, 0x02}, true);
              }),
              "Units: mV\nSampling rate: 1234.500000 Hz\nTimestamp, FC1_CH1, FC1_CH3, FC2_CH2, \n");
    EXPECT_EQ(
        written([](std::FILE *f) { return DataFileWriter::writeCsvHeader(f, false, 10.0, {0x80}, false); }),
        "Units: V\nSampling rate: 10.000000 Hz\nFC1_CH8, \n");
}

TEST(DataFileWriterTest, NumbersKeepTheirDecimalPointInACommaLocale) {
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    const char *comma = nullptr;
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE", "fr_FR"})
        if ((comma = std::setlocale(LC_NUMERIC, name)))
            break;
    if (!comma) {
        // None installed: compile one from the locale sources that the set-up installs.
        const std::string dir = ::testing::TempDir() + "kq_locales";
        const std::string make =
            "mkdir -p '" + dir + "' && localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
        if (std::system(make.c_str()) == 0) {
            setenv("LOCPATH", dir.c_str(), 1);
            comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
        }
    }
    if (!comma)
        GTEST_SKIP() << "no locale with a decimal comma installed, and none could be made";
    const std::string header = written([](std::FILE *f) {
        return DataFileWriter::writeHeader(f, {0, 1234.5, 1, 8, {0x01}, -0.25, false, {}, {}});
    });
    std::string line;
    CsvWriter::appendValue(line, 0.0078125, 6); // an exact half, which the fast path leaves alone
    CsvWriter::appendValue(line, 1.5, 6);
    std::setlocale(LC_NUMERIC, before.c_str());
    EXPECT_NE(header.find("SAMPLING_RATE_HZ=1234.500000\n"), std::string::npos) << header;
    EXPECT_NE(header.find("TIME_OFFSET=-0.250000\n"), std::string::npos) << header;
    EXPECT_EQ(line, "0.007812, 1.500000, ");
}

TEST(DataFileWriterTest, FailedWritesAreReported) {
    std::vector<double> samples(64, 1.0);
    std::vector<uint32_t> times(8, 1);
    if (std::FILE *full = std::fopen("/dev/full", "wb")) {
        // Small enough to sit in the stream's buffer: only the flush meets the full disk.
        EXPECT_FALSE(DataFileWriter::writeBlock(full, times.data(), times.data(), 8, samples.data(), 64));
        std::clearerr(full);
        EXPECT_FALSE(CsvWriter::writeBlock(full, samples.data(), 2, 1, false, nullptr, nullptr));
        std::fclose(full);
    }
    std::FILE *readOnly = std::fopen("/proc/self/exe", "r");
    ASSERT_NE(readOnly, nullptr);
    EXPECT_FALSE(DataFileWriter::writeBlock(readOnly, nullptr, nullptr, 8, samples.data(), 64));
    EXPECT_FALSE(DataFileWriter::writeBlock(readOnly, times.data(), times.data(), 8, samples.data(), 0));
    EXPECT_FALSE(CsvWriter::writeBlock(readOnly, samples.data(), 8, 8, true, nullptr, nullptr));
    std::fclose(readOnly);
}

TEST(CsvWriterTest, ScanLinesInVoltsAndMillivolts) {
    const double samples[] = {0.5, 2.0, -1.25, -0.001}; // two channels of two scans
    const uint32_t seconds[] = {12, 13}, nanoseconds[] = {345, 999999999};
    auto csv = [&](bool milli, const uint32_t *s, const uint32_t *ns) {
        return written([&](std::FILE *f) { return CsvWriter::writeBlock(f, samples, 2, 2, milli, s, ns); });
    };
    EXPECT_EQ(csv(true, nullptr, nullptr), "500.000, -1250.000, \n2000.000, -1.000, \n");
    EXPECT_EQ(csv(false, seconds, nanoseconds),
              "12.000000345, 0.500000, -1.250000, \n13.999999999, 2.000000, -0.001000, \n");
}

TEST(CsvWriterTest, BlocksLongerThanOneChunkMatchPrintfLineByLine) {
    const int channels = 8, scans = 12000; // over a megabyte of text
    std::vector<double> samples(channels * scans);
    std::vector<uint32_t> seconds(scans), nanoseconds(scans);
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> volts(-10.24, 10.24);
    for (double &v : samples)
        v = volts(random);
    for (int s = 0; s < scans; ++s)
        seconds[s] = 1700000000u + s / 1000, nanoseconds[s] = (s % 1000) * 1000000u + 7;
    // The unit only changes the values, which the next test meets in both precisions.
    std::string expected;
    char text[64];
    for (int s = 0; s < scans; ++s) {
        std::snprintf(text, sizeof text, "%ld.%09ld, ", long(seconds[s]), long(nanoseconds[s]));
        expected += text;
        for (int k = 0; k < channels; ++k) {
            std::snprintf(text, sizeof text, "%.6lf, ", samples[size_t(k) * scans + s]);
            expected += text;
        }
        expected += "\n";
    }
    const std::string got = written([&](std::FILE *f) {
        return CsvWriter::writeBlock(f, samples.data(), channels, scans, false, seconds.data(),
                                     nanoseconds.data());
    });
    EXPECT_TRUE(got == expected) << "lengths " << got.size() << " and " << expected.size();
}

// Every value class where a shortcut could part from printf: the ranges the cards produce,
// values rounding to a negative zero, exact halves (odd multiples of 2^-7 are halves at 6
// decimals, of 2^-4 at 3), decimal halves that are only near halves in binary and their
// neighbours, magnitudes from denormal to the fast path's limit and beyond, and non-finite values.
TEST(CsvWriterTest, ValuesAndTimestampsMatchPrintfByteForByte) {
    EXPECT_EQ(
        [] {
            std::string s;
            CsvWriter::appendValue(s, -1e-9, 6);
            CsvWriter::appendValue(s, -0.0, 3);
            return s;
        }(),
        "-0.000000, -0.000, ");
    std::mt19937_64 random(2024);
    std::uniform_real_distribution<double> unit(-1.0, 1.0), exponent(-12.0, 12.0);
    std::uniform_int_distribution<int> odd(-500000, 500000), digits(0, 999999);
    const double pow10[] = {1e3, 1e6};
    int mismatches = 0;
    std::string got, firstMismatch;
    char expected[400];
    auto check = [&](double v) {
        for (int d : {3, 6}) {
            got.clear();
            CsvWriter::appendValue(got, v, d);
            std::snprintf(expected, sizeof expected, "%.*lf, ", d, v);
            if (got != expected && mismatches++ == 0)
                firstMismatch = got + " instead of " + expected;
        }
    };
    for (double v :
         {0.0,      -0.0,    0.0000005,     -0.0000005,        2.5e-7,    1.0000005,   0.0005,
          -1.0005,  1e-7,    -4e-7,         999999999.9999995, 1e9,       1e15,        1e300,
          -DBL_MAX, DBL_MIN, -DBL_TRUE_MIN, HUGE_VAL,          -HUGE_VAL, double(NAN), -double(NAN)})
        check(v);
    for (int i = 0; i < 20000; ++i) {
        check(10240.0 * unit(random));
        check(1e-7 * unit(random));
        check(unit(random) * std::pow(10.0, exponent(random)));
        check(double(odd(random)));
        check((2 * odd(random) + 1) / 128.0);
        check((2 * odd(random) + 1) / 16.0);
        const double half = (odd(random) + 0.5) / pow10[i % 2];
        check(half);
        check(std::nextafter(half, 0.0));
        check(std::nextafter(half, 1e9));
        check(odd(random) + digits(random) / 1e6 + 5e-7);
    }
    EXPECT_EQ(mismatches, 0) << "first: " << firstMismatch;

    std::uniform_int_distribution<uint32_t> any;
    std::string stamps, reference;
    for (uint32_t ns : {0u, 5u, 999999999u, 1000000000u, 4294967295u})
        for (uint32_t s : {0u, 12u, 4294967295u, any(random), any(random)}) {
            CsvWriter::appendTimestamp(stamps, s, ns);
            std::snprintf(expected, sizeof expected, "%ld.%09ld, ", long(s), long(ns));
            reference += expected;
        }
    EXPECT_EQ(stamps, reference);
}

TEST(OutputPathTest, ExtensionFitsTheFormatAndTheFolderMustExist) {
    const std::string cwd = fs::current_path().string();
    const fs::path tmp = fs::temp_directory_path() / ("kq-outpath-" + std::to_string(getpid()));
    EXPECT_EQ(OutputPath::withExtension("data.v2.txt", "bin7150"), cwd + "/data.bin7150");
    EXPECT_EQ(OutputPath::withExtension("run.1/./data", "bin7150"), cwd + "/run.1/data.bin7150")
        << "the file name's dot";
    EXPECT_EQ(OutputPath::withExtension("/data.csv", "flac7150"), "/data.flac7150");
    for (const char *kept : {"./a.txt.BIN7150", "/data/.bin7150"})
        EXPECT_EQ(OutputPath::withExtension(kept, "bin7150"), kept);
    for (const char *kept : {"DATA.CSV", ""})
        EXPECT_EQ(OutputPath::withExtension(kept, "csv"), kept);

    fs::create_directories(tmp);
    std::ofstream(tmp / "plain") << "x";
    EXPECT_EQ(OutputPath::folder("sub/x.csv"), cwd + "/sub");
    EXPECT_TRUE(OutputPath::folderExists((tmp / "x.csv").string()));
    EXPECT_FALSE(OutputPath::folderExists((tmp / "missing" / "x.csv").string()));
    EXPECT_FALSE(OutputPath::folderExists((tmp / "plain" / "x.csv").string())) << "a file is no folder";
    EXPECT_FALSE(OutputPath::folderExists(""));
    fs::remove_all(tmp);
}

} // namespace
