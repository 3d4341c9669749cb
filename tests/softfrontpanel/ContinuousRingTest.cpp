// The ring of continuous storage between the driver's callback thread and the writer thread,
// prepared, started and stopped in the order the acquisition engine uses, against simulated
// cards whose ramp shows any scan lost or stored twice. This executable also runs under
// ThreadSanitizer and AddressSanitizer.
#include "../platform/SimFixture.h"
#include "../support/RampFile.h"

#include "AcquisitionStatus.h"
#include "ContinuousStorage.h"
#include "FlacRecordingFiles.h"
#include "StorageFormat.h"

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <memory>

namespace {

using namespace kqtest;
namespace fs = std::filesystem;

const std::vector<ViUInt16> kMasks = {0x03, 0x81}; // two channels on each card
constexpr int kChannels[] = {1, 2, 9, 16};

class ContinuousRingTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_NO_FATAL_FAILURE(openWorld(world::kRamp));
    }
    void TearDown() override {
        acquisitionStatus.callbacksEnabled.exchange(false); // no callback may find the ring gone
        kq7150_stopMultAcquisition(vi_);
        storage.reset();
        for (const std::string &file : FlacRecordingFiles::streams(path, 2, true))
            fs::remove(file);
        fs::remove(path);
        SimFixture::TearDown();
    }

    // Both cards of one signal, their channels at the gain choices of `gainIndex`.
    void openWorld(const std::string &signal, const std::string &faults = "") {
        ASSERT_EQ(loadWorld(world::make({world::card(1, signal), world::card(2, signal)}), faults), 0);
        ASSERT_NO_FATAL_FAILURE(openCards("VXI0::1::INSTR,VXI0::1::INSTR", {1, 2}));
        for (int k = 0; k < 4; ++k)
            ASSERT_EQ(channel(kChannels[k], StorageFormat::gain(gainIndex[size_t(kChannels[k] - 1)])),
                      VI_SUCCESS);
    }

    // What the engine does before the cards start: buffers, file, writer (none: the ring only
    // fills, as behind a stalled disk), callbacks on; `gainIndex` is what the storage assumes.
    void start(int format = StorageFormat::kBinary64, bool timestamps = false, bool withWriter = true) {
        ContinuousStorage::Plan plan;
        plan.format = format, plan.fileName = path, plan.timestamps = timestamps;
        plan.scans = kBlock, plan.rate = kRate, plan.masks = kMasks;
        plan.gainIndex = gainIndex;
        storage = std::make_unique<ContinuousStorage>();
        ASSERT_EQ(storage->prepare(plan), ContinuousStorage::Result::Ready);
        if (withWriter)
            storage->startWriter();
        acquisitionStatus.resetForStart();
        acquisitionStatus.callbacksEnabled.exchange(true);
        acquisitionStatus.callbackStopped.exchange(false);
        ASSERT_NO_FATAL_FAILURE(startPulsed(kMasks, 0, &contParams_t::callback, &ring()));
    }
    contParams_t &ring() { return storage->params(); }

    // The engine's order: callbacks acknowledged off, cards stopped, writer ended, buffers
    // freed. Returns the blocks the callback read.
    uint32_t stop() {
        acquisitionStatus.callbacksEnabled.exchange(false);
        waitFor([] { return acquisitionStatus.callbackStopped.load(); }, 2000ms);
        EXPECT_EQ(kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
        const uint32_t blocks = acquisitionStatus.blocksRead.load();
        storage->finish();
        EXPECT_EQ(ring().file.load(), nullptr);
        storage->release();
        return blocks;
    }

    // The blocks of the file, which must be the ramp without a gap (lsb: see rampFileGap).
    uint64_t gapFreeBlocks(double lsbs = lsb(1)) {
        RampFile file;
        EXPECT_EQ(rampFileGap(path, lsbs, file), "");
        return file.blocks;
    }

    std::vector<int> gainIndex = std::vector<int>(16, 0);
    const std::string path = ::testing::TempDir() + "ring_" + std::to_string(getpid()) + ".rec";
    std::unique_ptr<ContinuousStorage> storage;
};

// Every block the callback read reaches the file, run after run, and nothing calls back once
// the cards have stopped.
TEST_F(ContinuousRingTest, TwoHundredStartsAndStopsStoreEveryBlockAndEndQuietly) {
    for (int run = 0; run < 200; ++run) {
        SCOPED_TRACE(run);
        ASSERT_NO_FATAL_FAILURE(start());
        ASSERT_TRUE(waitFor([] { return acquisitionStatus.blocksRead.load() >= 3; }));
        const uint32_t blocks = stop();
        EXPECT_EQ(std::pair(ring().callbacksInProgress.load(), ring().error()), std::pair(0, std::string()));
        ASSERT_TRUE(holdsFor([=] { return acquisitionStatus.blocksRead.load() == blocks; }, 2ms))
            << "a callback read after the stop";
        // Stopping does not drop what the ring still held.
        ASSERT_EQ(gapFreeBlocks(), blocks);
    }
}

// A stop while the ring is full and the callback waits for room (rather than overrun the ring):
// a disk that comes back once the stop is asked for still gets every block read, the waiting one too.
TEST_F(ContinuousRingTest, StopWhileTheRingIsFullStoresEveryBlockRead) {
    ASSERT_NO_FATAL_FAILURE(start(StorageFormat::kBinary64, false, false));
    ASSERT_TRUE(waitFor([] { return acquisitionStatus.blocksRead.load() >= contParams_t::kSlots; }));
    EXPECT_TRUE(holdsFor([] { return acquisitionStatus.blocksRead.load() == contParams_t::kSlots; }, 50ms));
    acquisitionStatus.callbacksEnabled.exchange(false);
    storage->startWriter();
    EXPECT_EQ(stop(), contParams_t::kSlots);
    EXPECT_EQ(gapFreeBlocks(), contParams_t::kSlots);
    EXPECT_EQ(ring().error(), "");
}

// A failed status read or block read inside the callback ends the storing with the driver's
// message, printed once however long the fault lasts; the blocks before it are in the file, none
// after it (a block not read is no block). Without the error word a loss of scans would go unseen.
TEST_F(ContinuousRingTest, FailingDriverCallInTheCallbackEndsStorageAndIsPrintedOnce) {
    for (const auto &[call, named] : {std::pair("checkMultAcquisition", "checkMultAcquisition"),
                                      std::pair("readMultAcquisition", "readMultAcquisitionEx")}) {
        SCOPED_TRACE(call);
        ASSERT_NO_FATAL_FAILURE(openWorld(world::kRamp, describe(R"({"faults": [{"call": "kq7150_)", call,
                                                                 R"(", "status": "0xBFFC080E", "from": 5,
                                                                 "count": 0, "inCallback": true}]})")));
        ::testing::internal::CaptureStdout();
        ASSERT_NO_FATAL_FAILURE(start());
        // The cards go on after the storing ended: the callback still reads for the display.
        ASSERT_TRUE(waitFor([this] { return ring().storingEnded.load(); }));
        const uint32_t atTheEnd = acquisitionStatus.blocksRead.load();
        ASSERT_TRUE(waitFor([=] { return acquisitionStatus.blocksRead.load() >= atTheEnd + 20; }));
        stop();
        const std::string expected =
            describe("kq7150_", named, " failed due to [", driverText(kq7150_ERROR_NO_DATA), "]");
        EXPECT_EQ(std::pair(ring().error(), ::testing::internal::GetCapturedStdout()),
                  std::pair(expected, expected + "\n\n"));
        EXPECT_EQ(gapFreeBlocks(), ring().blocksStored.load());
        EXPECT_LE(ring().blocksStored.load(), 4u);
    }
}

// The display's block comes with its own number, taken under the same lock, and the number
// stays that block's while the callback reads on and hands over the next one.
TEST_F(ContinuousRingTest, DisplayBlockComesWithItsOwnNumber) {
    ASSERT_NO_FATAL_FAILURE(start());
    std::vector<double> block(4 * kBlock);
    std::optional<uint32_t> n;
    ASSERT_TRUE(waitFor([&] { return (n = ring().takePlotBlock(block.data())).has_value(); }));
    EXPECT_EQ(*n, 0u);
    const double first = block[0]; // the ramp's count when the trigger came
    // The next block is handed over, and more are read after it before the display takes it.
    ASSERT_TRUE(waitFor([this] { return !ring().plotRequest.load(); }));
    const uint32_t handedOver = acquisitionStatus.blocksRead.load();
    ASSERT_TRUE(waitFor([=] { return acquisitionStatus.blocksRead.load() >= handedOver + 3; }));
    ASSERT_TRUE((n = ring().takePlotBlock(block.data())).has_value());
    EXPECT_EQ(std::llround((block[0] - first) / lsb(1)), int64_t(*n) * kBlock);
    stop();
}

// The ring stores FLAC as it stores the other formats: every block read is in the recording,
// gap-free, with each channel's own volts per count; the blocks the writer counts are those on
// disk (the bytes shown against those on disk: the continuous_flac workflow). Without scan times the cards'
// counts are stored as read, with them the counts of the volts read.
TEST_F(ContinuousRingTest, FlacStoresEveryBlockReadWithEachChannelsVoltsPerCount) {
    gainIndex[1] = 3, gainIndex[8] = 6, gainIndex[15] = 2; // 10, 100 and 5 on channels 2, 9 and 16
    ASSERT_NO_FATAL_FAILURE(openWorld(world::kRamp));
    for (bool timestamps : {false, true}) {
        SCOPED_TRACE(timestamps ? "with scan times" : "without scan times");
        ASSERT_NO_FATAL_FAILURE(start(StorageFormat::kFlacCounts, timestamps));
        ASSERT_TRUE(waitFor([] { return acquisitionStatus.blocksRead.load() >= 12; }));
        const uint32_t blocks = stop();
        EXPECT_EQ(ring().error(), "");
        EXPECT_EQ(std::pair(gapFreeBlocks(0), ring().blocksStored.load()),
                  std::pair(uint64_t(blocks), uint64_t(blocks)));
    }
}

// A full disk (here: a file size limit) ends the writer and the recording is cut back to the
// frames its streams held at the last whole block. The binary and CSV files cut back, and the
// size shown against the size they have, are the StorageFaults workflow's.
TEST_F(ContinuousRingTest, FullDiskCutsAFlacRecordingBackToItsWholeBlocks) {
    // Noise, which FLAC cannot make small: frames of 16 blocks of about 1 kB each.
    ASSERT_NO_FATAL_FAILURE(openWorld(R"({"type":"sine","amplitude":0.001,"frequency":50,"noiseRms":1e-4})"));
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{100000, old.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    ASSERT_NO_FATAL_FAILURE(start(StorageFormat::kFlacCounts));
    const bool ended = waitFor([this] { return !ring().running.load(); });
    stop();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    ASSERT_TRUE(ended);
    EXPECT_EQ(ring().error(), "Disk write failed!");
    fileInfo_t info{};
    ASSERT_EQ(DataFileReader::readHeader(path.c_str(), info), 0);
    EXPECT_GE(info.blockCount, 1u);
    EXPECT_EQ(info.blockCount, ring().blocksStored.load());
    std::vector<double> volts(4 * kBlock);
    EXPECT_EQ(DataFileReader::readBlock(info, volts.data(), nullptr, nullptr, info.blockCount - 1), 1);
}

} // namespace
