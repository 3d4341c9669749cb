// FLAC recordings as the reader meets them: the volts of a ViReal64 recording of whole counts,
// bit for bit; what a writer killed while storing leaves; streams that cannot be made or that
// are damaged afterwards. The ring's FLAC storing is in ContinuousRingTest.
#include "../support/StoredRecording.h"

#include "DataFileReader.h"
#include "FlacRecordingFiles.h"
#include "FlacRecordingWriter.h"
#include "FlacStreamWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

constexpr int kScans = 2048; // every other block starts where a frame of 4096 scans does
constexpr int kBlocks = 23;

// Counts over the whole 24-bit range, its ends every seventh value, at gains 1 to 1000 in turn,
// and scan times that run past the end of their seconds' range.
StoredRecording crafted(int format, std::vector<uint8_t> masks, bool timestamps) {
    StoredRecording r;
    r.withFormat(format).withMasks(std::move(masks)).withScans(kScans).withBlocks(kBlocks);
    r.withTimestamps(timestamps).withFirstTime(0xFFFFFFF0u, 999999000u).withWholeCounts();
    for (int k = 0; k < r.channels(); ++k)
        r.lsb.push_back(StorageFormat::lsb(k % 10)), r.gains.push_back(StorageFormat::gain(k % 10));
    return r.withSignal([lsb = r.lsb](int k, int64_t scan) {
        const uint64_t z = (uint64_t(scan) * 8 + uint64_t(k)) * 0x9E3779B97F4A7C15u;
        return lsb[size_t(k)] * (scan % 7 == 0   ? FlacRecordingWriter::kMinCount
                                 : scan % 7 == 1 ? FlacRecordingWriter::kMaxCount
                                                 : int32_t(z >> 40) + FlacRecordingWriter::kMinCount);
    });
}

// Reads blocks blocks of the recording at path, to and fro and then every other one (the
// reader takes what it can from the frame it kept, goes on from it or seeks), and compares
// them with r's, bit for bit, scan times too.
::testing::AssertionResult readsBack(const std::string &path, const StoredRecording &r, uint64_t blocks) {
    fileInfo_t info{};
    std::string why;
    if (DataFileReader::readHeader(path.c_str(), info, &why) != 0 || info.blockCount != blocks)
        return ::testing::AssertionFailure() << why << ", " << info.blockCount << " blocks";
    std::vector<uint64_t> order;
    for (uint64_t block = 0; block < blocks; ++block)
        order.insert(order.end(), {block, blocks - 1 - block, (2 * block + 1) % (blocks | 1)});
    std::vector<double> volts(size_t(r.channels()) * kScans);
    std::vector<uint32_t> seconds(kScans), nanoseconds(kScans);
    for (uint64_t block : order) {
        if (DataFileReader::readBlock(info, volts.data(), seconds.data(), nanoseconds.data(), block) != 1)
            return ::testing::AssertionFailure() << "block " << block << " unreadable";
        if (std::memcmp(volts.data(), r.block(int(block)).data(), volts.size() * sizeof(double)) != 0)
            return ::testing::AssertionFailure() << "block " << block << " holds other volts";
        for (int64_t s = 0, scan = int64_t(block) * kScans; r.timestamps && s < kScans; ++s, ++scan)
            if (seconds[size_t(s)] != r.second(scan) || nanoseconds[size_t(s)] != r.nanosecond(scan))
                return ::testing::AssertionFailure() << "block " << block << " scan " << s << ": other time";
    }
    if (DataFileReader::readBlock(info, volts.data(), nullptr, nullptr, blocks) != -1)
        return ::testing::AssertionFailure() << "a block past the end was read";
    return ::testing::AssertionSuccess();
}

class FlacRecordingTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    const fs::path dir = fs::temp_directory_path() / ("kq-flac-" + std::to_string(getpid()));
    const std::string path = (dir / "rec.flac7150").string();
};

// One card with all channels and three with two each, at other gains, with scan times and
// without: the FLAC recording and the ViReal64 file of the same counts read back as the same
// doubles, bit for bit, and the reference decoder accepts the streams.
TEST_F(FlacRecordingTest, HoldsTheViReal64VoltsBitForBit) {
    for (const std::vector<uint8_t> &masks : {std::vector<uint8_t>{0xFF}, {0x81, 0x12, 0x44}})
        for (bool timestamps : {false, true}) {
            SCOPED_TRACE(std::to_string(masks.size()) + " cards" + (timestamps ? " with scan times" : ""));
            const StoredRecording binary = crafted(StorageFormat::kBinary64, masks, timestamps);
            const std::string binaryPath = (dir / "rec.bin7150").string();
            ASSERT_EQ(binary.write(binaryPath), "");
            ASSERT_EQ(binary.twin(StorageFormat::kFlacCounts).write(path), "");
            EXPECT_TRUE(readsBack(binaryPath, binary, kBlocks));
            EXPECT_TRUE(readsBack(path, binary, kBlocks));
            for (const std::string &stream : FlacRecordingFiles::streams(path, int(masks.size()), timestamps))
                EXPECT_EQ(std::system(("flac -t -s '" + stream + "'").c_str()), 0) << stream;
        }
}

// A program killed while storing leaves a recording that reads up to the last whole frame of
// its streams: every block the writer had counted, and at most one frame's worth fewer than it
// was given.
TEST_F(FlacRecordingTest, AKilledWriterLeavesItsWholeFramesReadable) {
    StoredRecording r = crafted(StorageFormat::kFlacCounts, {0x81}, true);
    int counted[2];
    ASSERT_EQ(pipe(counted), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        r.beforeFinish = [&](uint64_t whole) {
            (void)!::write(counted[1], &whole, sizeof whole);
            raise(SIGKILL);
        };
        r.write(path);
        _exit(1);
    }
    close(counted[1]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    uint64_t whole = 0;
    ASSERT_EQ(::read(counted[0], &whole, sizeof whole), ssize_t(sizeof whole));
    close(counted[0]);
    EXPECT_GE(whole, kBlocks - (FlacStreamWriter::kFrameScans + kScans - 1) / kScans - 1);
    EXPECT_TRUE(readsBack(path, r, whole));
}

// The writer refuses what it cannot store: a stream that cannot be created (a folder has its
// name) fails the whole recording, the streams created before it gone again; counts outside 24
// bits; volts that are no exact counts (a negative zero would read back as +0 V).
TEST_F(FlacRecordingTest, WhatCannotBeStoredIsRefused) {
    const std::string first = FlacRecordingFiles::cardStream(path, 1);
    ASSERT_TRUE(fs::create_directory(FlacRecordingFiles::cardStream(path, 2)));
    FlacRecordingWriter writer;
    errno = 0;
    EXPECT_FALSE(writer.open({path, 1000.0, kScans, {0x01, 0x01}, {1e-6, 1e-6}, 0.0, false, {}}));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_FALSE(fs::exists(first));

    for (const int32_t count : {FlacRecordingWriter::kMinCount - 1, FlacRecordingWriter::kMaxCount + 1})
        EXPECT_FALSE(FlacRecordingWriter::fits(&count, 1)) << count;
    const double step = StorageFormat::lsb(0);
    int32_t count = 0;
    for (const double volts : {(FlacRecordingWriter::kMaxCount + 1) * step, 2.5 * step, -0.0})
        EXPECT_FALSE(FlacRecordingWriter::countsOfVolts(&volts, &count, 1, 1, &step)) << volts;
}

// Streams damaged, swapped or replaced after the recording: the description is refused
// with the stream named and why, or the recording reads up to what is whole and a damaged
// block is reported unreadable, never read as other numbers.
TEST_F(FlacRecordingTest, HostileStreamsAreRefusedOrReadOnlyWhereWhole) {
    const std::string card = FlacRecordingFiles::cardStream(path, 1),
                      times = FlacRecordingFiles::timeStream(path);
    fileInfo_t info{};
    std::string why;
    const auto fresh = [&] { ASSERT_EQ(crafted(StorageFormat::kFlacCounts, {0x81}, true).write(path), ""); };
    const auto refusal = [&] {
        return DataFileReader::readHeader(path.c_str(), info, &why) == 0 ? "read" : why;
    };
    std::vector<double> volts(2 * kScans);

    ASSERT_NO_FATAL_FAILURE(fresh());
    fs::copy_file(card, times, fs::copy_options::overwrite_existing);
    EXPECT_EQ(refusal(), "stream \"" + times + "\" has 2 channels of 24 bits, the description 2 of 32");
    std::ofstream(card) << "DEVICE=Movara 7150\n";
    EXPECT_EQ(refusal(), "stream \"" + card + "\": not a FLAC stream");
    fs::remove(card);
    ASSERT_EQ(mkfifo(card.c_str(), 0600), 0);
    EXPECT_NE(refusal().find("not a regular file"), std::string::npos) << "a FIFO must not block the reader";
    fs::remove(card);

    ASSERT_NO_FATAL_FAILURE(fresh());
    std::fstream(card, std::ios::in | std::ios::out | std::ios::binary)
            .seekp(std::streamoff(fs::file_size(card) / 2))
        << "\x5a\xa5";
    ASSERT_EQ(refusal(), "read");
    int damaged = 0, result = 0;
    for (uint64_t block = 0; block < info.blockCount; damaged += result == 0, ++block)
        EXPECT_NE(result = DataFileReader::readBlock(info, volts.data(), nullptr, nullptr, block), -1);
    EXPECT_TRUE(damaged >= 1 && damaged <= 6) << damaged << " blocks unreadable, those of one frame";
}

} // namespace
