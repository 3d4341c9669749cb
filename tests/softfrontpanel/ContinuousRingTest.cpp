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

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
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
        if (writer.joinable()) { // a failed assertion left the acquisition running
            acquisitionStatus.callbacksEnabled.exchange(false);
            kq7150_stopMultAcquisition(vi_);
            ring.running.exchange(false);
            writer.join();
        }
        std::remove(path.c_str());
        SimFixture::TearDown();
    }

    // What the view does before the cards start: buffers, file, header, writer, callbacks on.
    // Without the writer the ring only fills, as behind a stalled disk.
    void start(bool withWriter = true, int format = StorageFormat::kBinary64) {
        ring.format = format;
        ring.sampleWidth = 8;
        ring.channels = 4;
        ring.scans = ring.displayScans = kScans;
        for (int k = 0; k < ring.channels; ++k)
            ring.lsb[k] = lsb(1);
        ASSERT_TRUE(ring.allocate());
        ring.fileName = path;
        ring.file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(ring.file.load(), nullptr);
        if (StorageFormat::isCsv(format)) {
            ASSERT_TRUE(DataFileWriter::writeCsvHeader(ring.file, false, kRate, {0x03, 0x81}, false));
        } else {
            DataFileHeader header;
            header.rate = kRate;
            header.channels = ring.channels;
            header.scans = kScans;
            header.masks = {0x03, 0x81};
            ASSERT_TRUE(DataFileWriter::writeHeader(ring.file, header));
        }
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
        ASSERT_EQ(acquisitionStatus.blocksRead.load(), blocks)
            << "a callback read after the stop, run " << run;
        EXPECT_EQ(ring.error(), "") << "run " << run;
        RampFile file;
        ASSERT_TRUE(rampFileIsGapFree(path, lsb(1), file)) << "run " << run;
        // Stopping does not drop what the ring still held.
        ASSERT_EQ(file.blocks, blocks) << "run " << run;
    }
}

// A stop while the ring is full and the callback waits for room (rather than overrun the ring):
// a disk that comes back soon after still gets every block read, the waiting one too.
TEST_F(ContinuousRingTest, StopWhileTheRingIsFullStoresEveryBlockRead) {
    ASSERT_NO_FATAL_FAILURE(start(false));
    ASSERT_TRUE(waitFor([] { return acquisitionStatus.blocksRead.load() >= contParams_t::kSlots; }));
    EXPECT_TRUE(holdsFor([] { return acquisitionStatus.blocksRead.load() == contParams_t::kSlots; }, 100ms));
    acquisitionStatus.callbacksEnabled.exchange(false);
    std::this_thread::sleep_for(50ms); // a disk that is slow, not stalled
    writer = std::thread([this] { ring.writeAll(); });
    const uint32_t blocks = stop();
    EXPECT_EQ(blocks, contParams_t::kSlots);
    RampFile file;
    ASSERT_TRUE(rampFileIsGapFree(path, lsb(1), file));
    EXPECT_EQ(file.blocks, blocks);
    EXPECT_EQ(ring.error(), "");
}

// A driver call failing inside the callback ends the storing with the driver's message, printed
// once however long the fault lasts; the blocks before it are in the file, none after it.
// Without the error word a loss of scans would go unseen, so a failed status read ends it too.
TEST_F(ContinuousRingTest, FailingCallInTheCallbackEndsStorageAndIsPrintedOnce) {
    for (const char *call : {"kq7150_readMultAcquisition", "kq7150_checkMultAcquisition"}) {
        SCOPED_TRACE(call);
        ASSERT_EQ(loadWorld(world::make({world::card(1, world::kRamp), world::card(2, world::kRamp)}),
                            std::string(R"({"faults": [{"call": ")") + call +
                                R"(", "status": "0xBFFC080E", "from": 5, "count": 0, "inCallback": true}]})"),
                  0);
        ASSERT_NO_FATAL_FAILURE(openCards("VXI0::1::INSTR,VXI0::1::INSTR", {1, 2}));
        ::testing::internal::CaptureStdout();
        ASSERT_NO_FATAL_FAILURE(start());
        ASSERT_TRUE(waitFor([this] { return ring.storingEnded.load(); }));
        const uint32_t atTheFault = acquisitionStatus.blocksRead.load();
        ASSERT_TRUE(waitFor([=] { return acquisitionStatus.blocksRead.load() >= atTheFault + 20; }));
        stop();
        const std::string said = ::testing::internal::GetCapturedStdout();
        const std::string shortName =
            std::string(call) == "kq7150_readMultAcquisition" ? "kq7150_readMultAcquisitionEx" : call;
        const std::string expected = shortName + " failed due to [" + driverText(kq7150_ERROR_NO_DATA) + "]";
        EXPECT_EQ(ring.error(), expected);
        EXPECT_EQ(said, expected + "\n\n");
        RampFile file;
        ASSERT_TRUE(rampFileIsGapFree(path, lsb(1), file));
        EXPECT_EQ(file.blocks, ring.blocksStored.load());
        EXPECT_LE(file.blocks, 4u);
        closeCards();
    }
}

// When the card memory overflows (the callback stalled), scans are lost: no block read after
// the loss is stored, so the file holds every scan up to its end and nothing behind a gap.
TEST_F(ContinuousRingTest, OverflowEndsStorageWithAGapFreeFile) {
    // 16 blocks of card memory (two channels a card): a stall of 250 blocks overflows it.
    ASSERT_EQ(loadWorld(world::make({world::card(1, world::kRamp), world::card(2, world::kRamp)},
                                    R"("fifoSamples": 8192)"),
                        R"({"callbackStall": {"afterBlocks": 20, "milliseconds": 300}})"),
              0);
    ASSERT_NO_FATAL_FAILURE(openCards("VXI0::1::INSTR,VXI0::1::INSTR", {1, 2}));
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(waitFor([this] { return ring.storingEnded.load(); }));
    const uint32_t atTheLoss = acquisitionStatus.blocksRead.load();
    // The cards go on; the callback still reads (for the display) but stores nothing more.
    ASSERT_TRUE(waitFor([=] { return acquisitionStatus.blocksRead.load() >= atTheLoss + 40; }));
    stop();
    EXPECT_EQ(
        ring.error(),
        "Acquisition error 0x0800: the card memory overflowed, the data could not be read fast enough.");
    RampFile file;
    ASSERT_TRUE(rampFileIsGapFree(path, lsb(1), file));
    EXPECT_GE(file.blocks, 20u);
    EXPECT_EQ(file.blocks, ring.blocksStored.load());
}

// The display's block comes with its own number, taken under the same lock, and the number
// stays that block's while the callback reads on and hands over the next one.
TEST_F(ContinuousRingTest, DisplayBlockComesWithItsOwnNumber) {
    ASSERT_NO_FATAL_FAILURE(start());
    std::vector<double> block(4 * kScans);
    const auto count = [&] { return std::llround(block[0] / lsb(1)); };
    std::optional<uint32_t> n;
    ASSERT_TRUE(waitFor([&] { return (n = ring.takePlotBlock(block.data())).has_value(); }));
    EXPECT_EQ(*n, 0u);
    const long long first = count(); // the ramp's count when the trigger came
    // The next block is handed over, and more are read after it before the display takes it.
    ASSERT_TRUE(waitFor([this] { return !ring.plotRequest.load(); }));
    const uint32_t handedOver = acquisitionStatus.blocksRead.load();
    ASSERT_TRUE(waitFor([=] { return acquisitionStatus.blocksRead.load() >= handedOver + 3; }));
    n = ring.takePlotBlock(block.data());
    ASSERT_TRUE(n.has_value());
    EXPECT_EQ(count(), first + static_cast<long long>(*n) * kScans);
    stop();
}

// A full disk (here: a file size limit) ends the writer. The file is cut back to its last whole
// block (binary) or line of a whole block (CSV), and the file size shown is the size it has.
TEST_F(ContinuousRingTest, FullDiskCutsTheFileBackToItsWholeBlocks) {
    for (int format : {StorageFormat::kBinary64, StorageFormat::kCsvVolts}) {
        SCOPED_TRACE(format);
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 1024 + 2 * 4 * kScans * sizeof(double) + 1000; // a header, two blocks and a bit
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        ASSERT_NO_FATAL_FAILURE(start(true, format));
        const bool ended = waitFor([this] { return !ring.running.load(); });
        stop();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previousHandler);

        ASSERT_TRUE(ended);
        EXPECT_EQ(ring.error(), "Disk write failed!");
        const uint64_t size = std::filesystem::file_size(path);
        EXPECT_EQ(acquisitionStatus.bytesWritten.load(), size);
        EXPECT_GE(ring.blocksStored.load(), 1u);
        if (format == StorageFormat::kBinary64) {
            RampFile file;
            ASSERT_TRUE(rampFileIsGapFree(path, lsb(1), file));
            EXPECT_EQ(file.blocks, ring.blocksStored.load());
            EXPECT_EQ(size, file.info.payloadOffset + file.blocks * file.info.blockLength);
        } else {
            std::ifstream text(path);
            std::string line, last;
            uint64_t lines = 0;
            while (std::getline(text, line)) {
                ++lines;
                last = line;
            }
            EXPECT_EQ(lines, 3 + ring.blocksStored.load() * kScans); // units, rate and column lines first
            EXPECT_EQ(std::count(last.begin(), last.end(), ','), 4) << last;
        }
    }
}

} // namespace
