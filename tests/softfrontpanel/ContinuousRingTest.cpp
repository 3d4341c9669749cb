// The ring of continuous storage between the driver's callback thread and the writer thread,
// started and stopped in the order the waveform view uses, against the simulated cards. This
// executable also runs under ThreadSanitizer and AddressSanitizer.
#include "../platform/SimFixture.h"
#include "../support/RampFileCheck.h"

#include "AcquisitionStatus.h"
#include "DataFileWriter.h"
#include "StorageFormat.h"
#include "contParams_t.h"

#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <thread>

namespace {

using namespace kqtest;

constexpr int kScans = 256;
const std::vector<ViUInt16> kMasks = {0x03, 0x81}; // two channels on each card

class ContinuousRingTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_EQ(loadWorld(world::make({world::card(1, world::kRamp), world::card(2, world::kRamp)})), 0);
        ASSERT_NO_FATAL_FAILURE(openCards("VXI0::1::INSTR,VXI0::1::INSTR", {1, 2}));
        path = ::testing::TempDir() + "ring_" + std::to_string(getpid()) + ".bin7150";
    }
    void TearDown() override {
        std::remove(path.c_str());
        SimFixture::TearDown();
    }

    // What the view does before the cards start: buffers, file, header, writer, callbacks on.
    // Without the writer the ring only fills, as behind a stalled disk.
    void start(bool withWriter = true) {
        ring.format = StorageFormat::kBinary64;
        ring.sampleWidth = 8;
        ring.channels = 4;
        ring.scans = ring.displayScans = kScans;
        for (int k = 0; k < ring.channels; ++k)
            ring.lsb[k] = lsb(1);
        ASSERT_TRUE(ring.allocate());
        ring.file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(ring.file.load(), nullptr);
        DataFileHeader header;
        header.rate = kRate;
        header.channels = ring.channels;
        header.scans = kScans;
        header.masks = {0x03, 0x81};
        ASSERT_TRUE(DataFileWriter::writeHeader(ring.file, header));
        ring.running.exchange(true);
        if (withWriter)
            writer = std::thread([this] { ring.writeAll(); });
        acquisitionStatus.resetForStart();
        acquisitionStatus.callbacksEnabled.exchange(true);
        acquisitionStatus.callbackStopped.exchange(false);
        ASSERT_EQ(trigger(kq7150_TRIG_NONE), VI_SUCCESS);
        ASSERT_EQ(configure(kMasks, kRate, kq7150_ACQ_UNTRIGGERED, 0), VI_SUCCESS);
        ASSERT_EQ(kq7150_startMultAcquisitionEx(vi_, kScans, &contParams_t::callback, &ring), VI_SUCCESS);
        ASSERT_EQ(itri(), VI_SUCCESS);
    }

    // The view's order: callbacks acknowledged off, cards stopped, writer ended, buffers freed.
    // Returns the blocks the callback read.
    uint32_t stop() {
        acquisitionStatus.callbacksEnabled.exchange(false);
        waitFor([] { return acquisitionStatus.callbackStopped.load(); }, 2000ms);
        EXPECT_EQ(kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
        const uint32_t blocks = acquisitionStatus.blocksRead.load();
        ring.running.exchange(false);
        if (!writer.joinable()) // the disk comes back only now
            writer = std::thread([this] { ring.writeAll(); });
        writer.join();
        EXPECT_EQ(ring.file.load(), nullptr);
        ring.release();
        return blocks;
    }

    std::string path;
    contParams_t ring;
    std::thread writer;
};

// Every block the callback read reaches the file, run after run, and nothing calls back once
// the cards have stopped.
TEST_F(ContinuousRingTest, TwoHundredStartsAndStopsStoreEveryBlockAndEndQuietly) {
    for (int run = 0; run < 200; ++run) {
        ASSERT_NO_FATAL_FAILURE(start());
        ASSERT_TRUE(waitFor([] { return acquisitionStatus.blocksRead.load() >= 3; })) << "run " << run;
        const uint32_t blocks = stop();
        EXPECT_EQ(ring.callbacksInProgress.load(), 0);
        std::this_thread::sleep_for(2ms);
        ASSERT_EQ(acquisitionStatus.blocksRead.load(), blocks) << "a callback read after the stop, run " << run;
        EXPECT_EQ(ring.error(), "") << "run " << run;
        RampFile file;
        ASSERT_TRUE(rampFileIsGapFree(path, lsb(1), file)) << "run " << run;
        // Stopping does not drop what the ring still held.
        ASSERT_EQ(file.blocks, blocks) << "run " << run;
    }
}

// Blocks still waiting in the ring when the user stops reach the file all the same.
TEST_F(ContinuousRingTest, StopBehindAStalledDiskStillStoresTheWholeRing) {
    ASSERT_NO_FATAL_FAILURE(start(false));
    ASSERT_TRUE(waitFor([] { return acquisitionStatus.blocksRead.load() >= 10; }));
    const uint32_t blocks = stop();
    ASSERT_LE(blocks, contParams_t::kSlots - 1); // the callback waits rather than overrun the writer
    RampFile file;
    ASSERT_TRUE(rampFileIsGapFree(path, lsb(1), file));
    EXPECT_EQ(file.blocks, blocks);
    EXPECT_EQ(ring.error(), "");
}

// A block that could not be read is neither stored nor shown; the error names the read.
TEST_F(ContinuousRingTest, ReadFailureEndsStorageWithTheDriversMessage) {
    ASSERT_EQ(loadWorld(world::make({world::card(1, world::kRamp), world::card(2, world::kRamp)}),
                        R"({"faults": [{"call": "kq7150_readMultAcquisition", "status": "0xBFFC080E",
                            "from": 5, "count": 0, "inCallback": true}]})"),
              0);
    ASSERT_NO_FATAL_FAILURE(openCards("VXI0::1::INSTR,VXI0::1::INSTR", {1, 2}));
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(waitFor([this] { return !ring.running.load(); }));
    EXPECT_EQ(ring.error(), "kq7150_readMultAcquisitionEx failed due to [" + driverText(kq7150_ERROR_NO_DATA) + "]");
    stop();
    RampFile file;
    ASSERT_TRUE(rampFileIsGapFree(path, lsb(1), file));
    EXPECT_LE(file.blocks, 4u);
}

// A full disk (here: a file size limit) ends the writer; the file keeps its header and the
// whole blocks before the failure.
TEST_F(ContinuousRingTest, FullDiskEndsTheWriterAndKeepsTheWholeBlocks) {
    const size_t block = 4 * kScans * sizeof(double);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1024 + 2 * block + block / 2; // header, two blocks and half of a third
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    ASSERT_NO_FATAL_FAILURE(start());
    const bool ended = waitFor([this] { return !ring.running.load(); });
    stop();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    ASSERT_TRUE(ended);
    EXPECT_EQ(ring.error(), "Disk write failed!");
    RampFile file;
    ASSERT_TRUE(rampFileIsGapFree(path, lsb(1), file));
    EXPECT_EQ(file.blocks, 2u);
}

} // namespace
