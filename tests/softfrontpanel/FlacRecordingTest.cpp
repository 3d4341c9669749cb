// FLAC recordings: the ring and writer of continuous storage writing the cards' counts to one
// FLAC stream per card, read back through the program's stored-file reader. This executable
// also runs under ThreadSanitizer and AddressSanitizer.
#include "../platform/SimFixture.h"
#include "../support/FlacTwin.h"
#include "../support/RampFileCheck.h"

#include "AcquisitionStatus.h"
#include "DataFileReader.h"
#include "DataFileWriter.h"
#include "FlacRecordingFiles.h"
#include "StorageFormat.h"
#include "contParams_t.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

namespace {

using namespace kqtest;

constexpr int kScans = 1000; // not a divisor of the streams' frames: blocks end inside frames

struct Cards {
    std::vector<ViUInt16> masks;
    std::vector<int> gains; // of the stored channels, in block order
};

std::string resources(size_t cards) {
    std::string list;
    for (size_t c = 0; c < cards; ++c)
        list += std::string(c ? "," : "") + "VXI0::1::INSTR";
    return list;
}

// Every stream of the recording passes the reference decoder's test, where it is installed.
void expectFlacTestPasses(const std::string &description, int cards, bool timestamps) {
    if (std::system("command -v flac >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "the flac program is not installed";
    for (const std::string &stream : FlacRecordingFiles::streams(description, cards, timestamps))
        EXPECT_EQ(std::system(("flac -t -s '" + stream + "'").c_str()), 0) << stream;
}

// Blocks of two readable recordings, as doubles and scan times; false at the first difference.
::testing::AssertionResult sameBlocks(const fileInfo_t &a, const fileInfo_t &b, uint64_t blocks) {
    const size_t values = size_t(a.channels) * size_t(a.scansPerBlock);
    std::vector<double> va(values), vb(values);
    for (uint64_t block = 0; block < blocks; ++block) {
        if (DataFileReader::readBlock(a, va.data(), nullptr, nullptr, block) != 1 ||
            DataFileReader::readBlock(b, vb.data(), nullptr, nullptr, block) != 1)
            return ::testing::AssertionFailure() << "block " << block << " unreadable";
        for (size_t i = 0; i < values; ++i)
            if (std::memcmp(&va[i], &vb[i], sizeof(double)) != 0)
                return ::testing::AssertionFailure()
                       << "block " << block << " value " << i << ": " << va[i] << " and " << vb[i];
    }
    return ::testing::AssertionSuccess();
}

class FlacRecordingTest : public SimFixture {
protected:
    void TearDown() override {
        for (const std::string &path : made)
            std::remove(path.c_str());
        SimFixture::TearDown();
    }

    std::string pathFor(const std::string &name) {
        const std::string path = ::testing::TempDir() + "flac_" + std::to_string(getpid()) + "_" + name;
        made.push_back(path);
        for (const std::string &stream : FlacRecordingFiles::streams(path, 3, true))
            made.push_back(stream);
        return path;
    }

    // Records at least blocks blocks of the open cards into path as the view does: buffers,
    // description, streams, writer, callbacks, then the stop.
    void record(const std::string &path, int format, const Cards &cards, bool timestamps, uint32_t blocks,
                const std::string &error = "") {
        contParams_t ring;
        ring.format = format;
        ring.sampleWidth = StorageFormat::sampleWidth(format);
        ring.channels = int(cards.gains.size());
        ring.scans = ring.displayScans = kScans;
        ring.timestamps = timestamps;
        for (int k = 0; k < ring.channels; ++k)
            ring.lsb[k] = lsb(cards.gains[size_t(k)]);
        ASSERT_TRUE(ring.allocate());
        ring.fileName = path;
        ring.file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(ring.file.load(), nullptr);
        DataFileHeader header;
        header.format = format;
        header.rate = kRate;
        header.channels = ring.channels;
        header.scans = kScans;
        header.masks.assign(cards.masks.begin(), cards.masks.end());
        header.timestamps = timestamps;
        header.lsb.assign(ring.lsb, ring.lsb + ring.channels);
        if (format == StorageFormat::kFlacCounts) {
            ring.flac = std::make_unique<FlacRecordingWriter>();
            ASSERT_TRUE(ring.flac->open(
                {path, kRate, kScans, header.masks, header.lsb, 0.0, timestamps, cards.gains}));
        }
        ASSERT_TRUE(DataFileWriter::writeHeader(ring.file, header));
        ring.running.exchange(true);
        std::thread writer([&ring] { ring.writeAll(); });
        acquisitionStatus.resetForStart();
        acquisitionStatus.callbacksEnabled.exchange(true);
        acquisitionStatus.callbackStopped.exchange(false);
        EXPECT_EQ(trigger(kq7150_TRIG_NONE), VI_SUCCESS);
        EXPECT_EQ(configure(cards.masks, kRate, kq7150_ACQ_UNTRIGGERED, 0), VI_SUCCESS);
        EXPECT_EQ(kq7150_startMultAcquisitionEx(vi_, kScans, &contParams_t::callback, &ring), VI_SUCCESS);
        EXPECT_EQ(itri(), VI_SUCCESS);
        EXPECT_TRUE(waitFor([&] { return acquisitionStatus.blocksRead.load() >= blocks; }));
        acquisitionStatus.callbacksEnabled.exchange(false);
        waitFor([] { return acquisitionStatus.callbackStopped.load(); }, 2000ms);
        EXPECT_EQ(kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
        blocksRead = acquisitionStatus.blocksRead.load();
        ring.running.exchange(false);
        writer.join();
        EXPECT_EQ(ring.error(), error);
        stored = ring.blocksStored.load();
        bytes = ring.fileBytes.load();
        ring.release();
    }

    void openCards(const std::string &signal, const Cards &cards);

    std::vector<std::string> made;
    uint64_t stored = 0;
    uint64_t bytes = 0;
    uint32_t blocksRead = 0;
};

// Opens cards.masks.size() cards of one signal with the gains of cards.
void FlacRecordingTest::openCards(const std::string &signal, const Cards &cards) {
    std::vector<std::string> slots;
    std::vector<ViInt16> numbers;
    for (size_t c = 0; c < cards.masks.size(); ++c) {
        slots.push_back(world::card(int(c + 1), signal));
        numbers.push_back(ViInt16(c + 1));
    }
    ASSERT_EQ(loadWorld(world::make(slots)), 0);
    ASSERT_NO_FATAL_FAILURE(SimFixture::openCards(resources(cards.masks.size()), numbers));
    size_t index = 0;
    for (size_t c = 0; c < cards.masks.size(); ++c)
        for (int k = 0; k < 8; ++k) {
            if (cards.masks[c] >> k & 1) {
                ASSERT_EQ(channel(int(c * 8 + k + 1), cards.gains[index++]), VI_SUCCESS);
            }
        }
}

const std::vector<Cards> kLayouts = {{{0xFF}, {1, 1, 2, 5, 10, 100, 1000, 1}},
                                     {{0x81, 0x12, 0x44}, {1, 10, 1, 1, 100, 5}}};

// A ViReal64 recording and the FLAC recording of its counts read back as the same doubles and
// scan times, bit for bit: one card with all channels, three with two channels each at other
// gains, a ramp and a noisy sine, with scan times and without.
TEST_F(FlacRecordingTest, HoldsTheViReal64VoltsBitForBit) {
    const std::string noisySine = R"({"type":"sine","amplitude":3,"frequency":1234.5,"noiseRms":1e-5})";
    for (const std::string &signal : {std::string(world::kRamp), noisySine})
        for (const Cards &cards : kLayouts)
            for (bool timestamps : {false, true}) {
                SCOPED_TRACE(signal + " on " + std::to_string(cards.masks.size()) + " cards" +
                             (timestamps ? " with scan times" : ""));
                ASSERT_NO_FATAL_FAILURE(openCards(signal, cards));
                const std::string binary = pathFor("same.bin7150"), flac = pathFor("same.flac7150");
                ASSERT_NO_FATAL_FAILURE(record(binary, StorageFormat::kBinary64, cards, timestamps, 6));
                fileInfo_t a{}, b{};
                std::string why;
                ASSERT_EQ(DataFileReader::readHeader(binary.c_str(), a), 0);
                std::vector<double> steps;
                for (int gain : cards.gains)
                    steps.push_back(lsb(gain));
                ASSERT_NO_FATAL_FAILURE(writeFlacTwin(a, flac, steps));
                ASSERT_EQ(DataFileReader::readHeader(flac.c_str(), b, &why), 0) << why;
                EXPECT_EQ(b.blockCount, a.blockCount);
                EXPECT_TRUE(sameBlocks(a, b, a.blockCount));
                expectFlacTestPasses(flac, int(cards.masks.size()), timestamps);
                closeCards();
            }
}

// The ring stores FLAC as it stores the other formats: every block read is in the recording,
// gap-free, with each channel's own volts per count; the blocks and bytes the writer counts are
// those on disk. Without scan times the cards' counts are stored as read, with them the counts
// of the volts read.
TEST_F(FlacRecordingTest, RingStoresEveryBlockReadGapFree) {
    const Cards &cards = kLayouts[1];
    for (bool timestamps : {false, true}) {
        SCOPED_TRACE(timestamps ? "with scan times" : "without scan times");
        ASSERT_NO_FATAL_FAILURE(openCards(world::kRamp, cards));
        const std::string path = pathFor("ring.flac7150");
        ASSERT_NO_FATAL_FAILURE(record(path, StorageFormat::kFlacCounts, cards, timestamps, 12));
        RampFile file;
        ASSERT_TRUE(rampFileIsGapFree(path, 0, file));
        EXPECT_EQ(file.blocks, stored);
        EXPECT_EQ(file.blocks, blocksRead);
        uint64_t onDisk = std::filesystem::file_size(path);
        for (const std::string &stream : FlacRecordingFiles::streams(path, 3, timestamps))
            onDisk += std::filesystem::file_size(stream);
        EXPECT_EQ(bytes, onDisk);
        expectFlacTestPasses(path, 3, timestamps);
        closeCards();
    }
}

// Blocks of the crafted recordings: every other one starts where a frame of 4096 scans does.
constexpr int kCraftedScans = 2048;

// Counts over the whole 24-bit range and scan times at the ends of their range, block by block.
void craftedBlock(uint64_t block, std::vector<int32_t> &counts, std::vector<uint32_t> &seconds,
                  std::vector<uint32_t> &nanoseconds) {
    std::mt19937 random{uint32_t(block)};
    std::uniform_int_distribution<int32_t> any(FlacRecordingWriter::kMinCount,
                                               FlacRecordingWriter::kMaxCount);
    for (size_t i = 0; i < counts.size(); ++i)
        counts[i] = i % 7 == 0   ? FlacRecordingWriter::kMinCount
                    : i % 7 == 1 ? FlacRecordingWriter::kMaxCount
                                 : any(random);
    for (size_t s = 0; s < seconds.size(); ++s) {
        seconds[s] = uint32_t(0xFFFFFF00u + block * seconds.size() + s);
        nanoseconds[s] = uint32_t((block * 7919 + s * 104729) % 1000000000);
    }
}

// Writes blocks crafted blocks of one card with two channels (0x81) and scan times into path:
// the description first, then every block flushed as the writer task does. With finish, the
// streams are completed; without, the process is killed as it stands. Returns the blocks the
// writer counted as whole before the end.
uint64_t writeCrafted(const std::string &path, uint64_t blocks, bool finish) {
    const double lsb = 10.24 / 8388608 / 1000;
    DataFileHeader header{
        StorageFormat::kFlacCounts, 1000.0, 2, kCraftedScans, {0x81}, 0.0, true, {lsb, lsb}, {1000, 1000}};
    std::FILE *description = std::fopen(path.c_str(), "wb");
    if (!description || !DataFileWriter::writeHeader(description, header) || std::fclose(description) != 0)
        return 0;
    FlacRecordingWriter writer;
    if (!writer.open({path, header.rate, kCraftedScans, header.masks, header.lsb, 0.0, true, header.gains}))
        return 0;
    std::vector<int32_t> counts(2 * kCraftedScans);
    std::vector<uint32_t> seconds(kCraftedScans), nanoseconds(kCraftedScans);
    for (uint64_t block = 0; block < blocks; ++block) {
        craftedBlock(block, counts, seconds, nanoseconds);
        if (!writer.write(counts.data(), seconds.data(), nanoseconds.data()) || !writer.flush())
            return 0;
    }
    if (finish && !writer.finish())
        return 0;
    return writer.wholeBlocks();
}

// The whole 24-bit range and scan times near the end of their range come back exactly, and
// flac accepts the streams. A program killed while storing leaves a recording that reads up
// to the last whole frame of its streams: every block the writer had counted, and at most one
// frame's worth fewer than it was given.
TEST_F(FlacRecordingTest, KilledOrFinishedTheWholeFramesReadBackExactly) {
    constexpr uint64_t kBlocks = 23;
    for (bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "killed" : "finished");
        const std::string path = pathFor(killed ? "killed.flac7150" : "finished.flac7150");
        uint64_t whole = 0;
        if (killed) {
            int counted[2];
            ASSERT_EQ(pipe(counted), 0);
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                whole = writeCrafted(path, kBlocks, false);
                (void)!::write(counted[1], &whole, sizeof whole);
                raise(SIGKILL);
            }
            close(counted[1]);
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
            ASSERT_EQ(::read(counted[0], &whole, sizeof whole), ssize_t(sizeof whole));
            close(counted[0]);
        } else {
            whole = writeCrafted(path, kBlocks, true);
            EXPECT_EQ(whole, kBlocks);
            expectFlacTestPasses(path, 1, true);
        }
        fileInfo_t info{};
        std::string why;
        ASSERT_EQ(DataFileReader::readHeader(path.c_str(), info, &why), 0) << why;
        EXPECT_EQ(info.blockCount, whole);
        EXPECT_GE(info.blockCount,
                  kBlocks - (FlacStreamWriter::kFrameScans + kCraftedScans - 1) / kCraftedScans - 1);
        std::vector<int32_t> counts(2 * kCraftedScans);
        std::vector<uint32_t> seconds(kCraftedScans), nanoseconds(kCraftedScans), readSeconds(kCraftedScans),
            readNanoseconds(kCraftedScans);
        std::vector<double> volts(2 * kCraftedScans);
        // To and fro, then every other block: the reader takes what it can from the frame it kept,
        // goes on from it or seeks.
        std::vector<uint64_t> order;
        for (uint64_t block = 0; block < info.blockCount; ++block)
            order.insert(order.end(), {block, info.blockCount - 1 - block});
        for (uint64_t block = 0; block < info.blockCount; ++block)
            order.push_back((2 * block + 1) % (info.blockCount | 1));
        for (uint64_t block : order) {
            ASSERT_EQ(DataFileReader::readBlock(info, volts.data(), readSeconds.data(),
                                                readNanoseconds.data(), block),
                      1);
            craftedBlock(block, counts, seconds, nanoseconds);
            for (size_t i = 0; i < counts.size(); ++i)
                ASSERT_EQ(volts[i], counts[i] * info.channelLsb[i / kCraftedScans])
                    << "block " << block << " value " << i;
            ASSERT_EQ(readSeconds, seconds) << "block " << block;
            ASSERT_EQ(readNanoseconds, nanoseconds) << "block " << block;
        }
        EXPECT_EQ(DataFileReader::readBlock(info, volts.data(), nullptr, nullptr, info.blockCount), -1);
    }
}

// Volts that are no whole counts of the volts per count the recording names (a card scaled
// otherwise than the program assumed) cannot be stored without loss: storing ends with the
// blocks before them, and says why.
TEST_F(FlacRecordingTest, VoltsThatAreNoCountsEndStoring) {
    const Cards atGain10 = {{0x03}, {10, 10}}, assumed = {{0x03}, {1, 1}};
    ASSERT_NO_FATAL_FAILURE(openCards(world::kRamp, atGain10));
    const std::string path = pathFor("scaled.flac7150");
    record(path, StorageFormat::kFlacCounts, assumed, true, 3,
           "A sample is not a 24-bit count: FLAC cannot store it without loss.");
    fileInfo_t info{};
    ASSERT_EQ(DataFileReader::readHeader(path.c_str(), info), 0);
    EXPECT_EQ(info.blockCount, 0u);

    // The counts the cards deliver without scan times must fit 24 bits too.
    const int32_t edges[] = {FlacRecordingWriter::kMinCount, FlacRecordingWriter::kMaxCount};
    const int32_t beyond[] = {FlacRecordingWriter::kMinCount - 1, FlacRecordingWriter::kMaxCount + 1};
    EXPECT_TRUE(FlacRecordingWriter::fits(edges, 2));
    EXPECT_FALSE(FlacRecordingWriter::fits(beyond, 1));
    EXPECT_FALSE(FlacRecordingWriter::fits(beyond + 1, 1));
    const double step = lsb(1), over[] = {(FlacRecordingWriter::kMaxCount + 1) * step},
                 negativeZero[] = {-0.0};
    int32_t count = 0;
    EXPECT_FALSE(FlacRecordingWriter::countsOfVolts(over, &count, 1, 1, &step));
    EXPECT_FALSE(FlacRecordingWriter::countsOfVolts(negativeZero, &count, 1, 1, &step))
        << "it reads back as +0 V";
}

// A full disk (here: a file size limit) ends the writer: every stream is cut back to the frames
// it held at the last whole block, and the blocks and bytes reported are those on disk.
TEST_F(FlacRecordingTest, FullDiskCutsTheStreamsBackToTheirWholeBlocks) {
    const Cards cards = {{0xFF}, {1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000}};
    ASSERT_NO_FATAL_FAILURE(
        openCards(R"({"type":"sine","amplitude":0.001,"frequency":50,"noiseRms":1e-4})", cards));
    const std::string path = pathFor("full.flac7150");
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 200000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    record(path, StorageFormat::kFlacCounts, cards, false, 40, "Disk write failed!");
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    const std::string stream = FlacRecordingFiles::cardStream(path, 1);
    EXPECT_LE(std::filesystem::file_size(stream), small.rlim_cur);
    EXPECT_EQ(bytes, std::filesystem::file_size(path) + std::filesystem::file_size(stream));
    fileInfo_t info{};
    std::string why;
    ASSERT_EQ(DataFileReader::readHeader(path.c_str(), info, &why), 0) << why;
    EXPECT_GE(info.blockCount, 4u);
    EXPECT_EQ(info.blockCount, stored);
    std::vector<double> volts(8 * kScans);
    EXPECT_EQ(DataFileReader::readBlock(info, volts.data(), nullptr, nullptr, info.blockCount - 1), 1);
}

// A stream that cannot be created (a folder has its name) fails the whole recording, and the
// streams created before it are gone again.
TEST_F(FlacRecordingTest, AStreamThatCannotBeCreatedLeavesNone) {
    const std::string path = pathFor("blocked.flac7150");
    const std::string first = FlacRecordingFiles::cardStream(path, 1),
                      second = FlacRecordingFiles::cardStream(path, 2);
    ASSERT_TRUE(std::filesystem::create_directory(second));
    FlacRecordingWriter writer;
    errno = 0;
    EXPECT_FALSE(writer.open({path, 1000.0, kScans, {0x01, 0x01}, {1e-6, 1e-6}, 0.0, false, {}}));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_FALSE(std::filesystem::exists(first));
    std::filesystem::remove(second);
}

// Streams damaged, cut, swapped or replaced after the recording: the description is refused
// with the stream named and why, or the recording reads up to what is whole and a damaged
// block is reported unreadable, never read as other numbers.
TEST_F(FlacRecordingTest, HostileStreamsAreRefusedOrReadOnlyWhereWhole) {
    const std::string path = pathFor("hostile.flac7150");
    const std::string card = FlacRecordingFiles::cardStream(path, 1),
                      times = FlacRecordingFiles::timeStream(path);
    const auto fresh = [&] { ASSERT_EQ(writeCrafted(path, 23, true), 23u); };
    const auto refusal = [&] {
        fileInfo_t info{};
        std::string why;
        return DataFileReader::readHeader(path.c_str(), info, &why) == 0 ? std::string("read") : why;
    };
    fileInfo_t info{};
    std::vector<double> volts(2 * kCraftedScans);

    ASSERT_NO_FATAL_FAILURE(fresh());
    std::filesystem::resize_file(card, std::filesystem::file_size(card) * 6 / 10);
    ASSERT_EQ(DataFileReader::readHeader(path.c_str(), info), 0);
    EXPECT_GT(info.blockCount, 5u);
    EXPECT_LT(info.blockCount, 16u);
    EXPECT_EQ(DataFileReader::readBlock(info, volts.data(), nullptr, nullptr, info.blockCount - 1), 1);

    ASSERT_NO_FATAL_FAILURE(fresh());
    std::filesystem::copy_file(card, times, std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(refusal(), "stream \"" + times + "\" has 2 channels of 24 bits, the description 2 of 32");

    ASSERT_NO_FATAL_FAILURE(fresh());
    std::ofstream(card) << "DEVICE=Movara 7150\n";
    EXPECT_EQ(refusal(), "stream \"" + card + "\": not a FLAC stream");

    std::filesystem::remove(card);
    ASSERT_EQ(mkfifo(card.c_str(), 0600), 0);
    EXPECT_NE(refusal().find("not a regular file"), std::string::npos) << "a FIFO must not block the reader";
    std::filesystem::remove(card);

    ASSERT_NO_FATAL_FAILURE(fresh());
    {
        std::fstream stream(card, std::ios::in | std::ios::out | std::ios::binary);
        stream.seekp(std::streamoff(std::filesystem::file_size(card) / 2));
        stream.put('\x5a').put('\xa5');
    }
    ASSERT_EQ(DataFileReader::readHeader(path.c_str(), info), 0);
    int damaged = 0;
    for (uint64_t block = 0; block < info.blockCount; ++block) {
        const int result = DataFileReader::readBlock(info, volts.data(), nullptr, nullptr, block);
        EXPECT_NE(result, -1);
        damaged += result == 0;
    }
    EXPECT_GE(damaged, 1) << "the damaged frame's blocks";
    EXPECT_LE(damaged, 6) << "only the damaged frame's blocks";
}

} // namespace
