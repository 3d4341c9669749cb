// The acquisition engine against the simulated cards, without a window: the recorder below
// takes what the engine reports and stops it as the waveform view does. Storage threads start
// and stop here, so this runs under the sanitizers as well.
#include "../platform/SimFixture.h"
#include "../support/AddressSpaceLimit.h"
#include "../support/RampFile.h"

#include "AcquisitionEngine.h"
#include "AcquisitionObserver.h"
#include "AcquisitionStatus.h"
#include "DriverErrorReporter.h"
#include "StorageFormat.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <memory>
#include <optional>

namespace {

using namespace kqtest;

// Takes what the engine reports and stops it as the waveform view does. What it is told, but
// the blocks, status lines and file sizes that come with every poll, is kept in order in `told`.
class Recorder : public AcquisitionObserver {
public:
    // What the view's stop does; false while the disk has not taken the last blocks.
    bool stop() {
        engine->stopCards();
        return !engine->storing() || engine->endStorage();
    }

    AcquisitionEngine *engine = nullptr;
    std::vector<double> view = std::vector<double>(16 * 16384);
    std::vector<std::string> told;
    std::optional<StorageSummary> summaryShown;
    uint64_t bytes = ~uint64_t(0);
    std::function<void()> whileWaiting; // what the user does while the start waits for its alarm

private:
    void blockRange(double, double) override {}
    void blockReady() override {}
    void status(const StatusLine &) override {}
    void overrange(uint16_t errors) override { told.push_back("overrange " + std::to_string(errors & 0xFF)); }
    void fileSize(uint64_t written, uint32_t) override { bytes = written; }
    void summary(const StorageSummary &summary) override { summaryShown = summary; }
    void error(const std::string &text) override { told.push_back("error " + text); }
    void cannotOpen(const std::string &fileName) override { told.push_back("cannot open " + fileName); }
    void ended() override { told.push_back("ended"), stop(); }
    void singleShotStored() override { told.push_back("stored"), stop(); }
    void failed() override { told.push_back("failed"); }
    void awaitAlarm(const std::function<bool()> &reached) override {
        while (!reached()) {
            if (whileWaiting)
                std::exchange(whileWaiting, nullptr)();
            std::this_thread::sleep_for(10ms);
        }
    }
};

class AcquisitionEngineTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        DriverErrorReporter::setErrorBox(
            [this](const std::string &text) { recorder.told.push_back("box " + text); });
    }
    void TearDown() override {
        if (engine)
            recorder.stop();
        engine.reset();
        DriverErrorReporter::setErrorBox(nullptr);
        std::remove(path.c_str());
        SimFixture::TearDown();
    }
    // LXI cards with a clock to start at, a ramp on every channel; the first channelsOn on.
    void open(const std::string &faults = "", int cards = 1, int channelsOn = 1) {
        const std::string lxi = "TCPIP0::192.0.2.7::INSTR", two = cards > 1 ? "," + lxi : "";
        ASSERT_EQ(loadWorld(describe(R"({"carriers":[{"resources":[")", lxi, R"("],"interface":"TCPIP",
          "ipAddress":"192.0.2.7","hostName":"lxi7","slots":)",
                                     cards, R"(,"cards":[)", world::card(1, world::kRamp),
                                     cards > 1 ? "," + world::card(2, world::kRamp) : "", "]}]}"),
                            faults),
                  0);
        acquisitionStatus.resetForStart(); // as the view does at every start
        ASSERT_NO_FATAL_FAILURE(
            openCards(lxi + two, cards > 1 ? std::vector<ViInt16>{1, 2} : std::vector<ViInt16>{1}));
        recorder = Recorder();
        engine = std::make_unique<AcquisitionEngine>(vi_, recorder);
        recorder.engine = engine.get();
        settings = AcquisitionSettings();
        settings.lxi = true, settings.rate = 10000.0, settings.scans = 256;
        settings.channels = ChannelSelection(cards);
        for (int k = 0; k < 8 * cards; ++k)
            settings.channels.setEnabled(k / 8, k % 8, k < channelsOn);
        settings.gainIndex.assign(static_cast<size_t>(8 * cards), 0);
    }
    void store(const std::string &fileName, int scans, double rate, bool repetitive = true) {
        settings.storage = true, settings.fileName = fileName, settings.format = StorageFormat::kBinary64;
        settings.scans = scans, settings.rate = rate, settings.repetitive = repetitive;
    }
    // Polls as the view's timer does, until pred() holds.
    template <class Pred> bool pollUntil(Pred pred, Millis deadline = 3000ms) {
        return waitFor([&] { return engine->poll(recorder.view.data()), pred(); }, deadline);
    }
    static int calls(const char *name) { return kqsim_callCount(name); }

    Recorder recorder;
    std::unique_ptr<AcquisitionEngine> engine;
    AcquisitionSettings settings;
    const std::string path = ::testing::TempDir() + "engine_" + std::to_string(getpid()) + ".bin7150";
};

// Repetitive: re-armed after every block until stopped. With storage but no file name the
// cards acquire and nothing is stored: the file size stays 0 B and there is no summary.
TEST_F(AcquisitionEngineTest, RepetitiveRearmsAfterEveryBlockAndAnEmptyNameStoresNothing) {
    ASSERT_NO_FATAL_FAILURE(open());
    settings.repetitive = true;
    ASSERT_EQ(engine->start(settings), AcquisitionEngine::Start::Running);
    ASSERT_TRUE(pollUntil([] { return calls("kq7150_readMultAcquisition") >= 3; }));
    EXPECT_EQ(calls("kq7150_startMultAcquisition"), 1 + calls("kq7150_readMultAcquisition"));
    EXPECT_TRUE(recorder.stop());
    EXPECT_GT(calls("kq7150_stopMultAcquisition"), 0);
    EXPECT_TRUE(recorder.told.empty()) << recorder.told[0];

    ASSERT_NO_FATAL_FAILURE(open());
    store("", 1024, 10000.0);
    ASSERT_EQ(engine->start(settings), AcquisitionEngine::Start::Running);
    ASSERT_TRUE(pollUntil([&] { return acquisitionStatus.blocksRead.load() >= 3 && recorder.bytes == 0; }));
    EXPECT_TRUE(recorder.stop());
    EXPECT_FALSE(recorder.summaryShown.has_value());
    EXPECT_TRUE(recorder.told.empty()) << recorder.told[0];
}

// A single shot with storage stores its block and ends by itself.
TEST_F(AcquisitionEngineTest, SingleShotStoresItsBlockAndEndsByItself) {
    ASSERT_NO_FATAL_FAILURE(open());
    store(path, 1024, 10000.0, false);
    ASSERT_EQ(engine->start(settings), AcquisitionEngine::Start::Running);
    ASSERT_TRUE(pollUntil([&] { return !recorder.told.empty(); }));
    EXPECT_EQ(recorder.told, std::vector<std::string>{"stored"});
    RampFile file;
    EXPECT_EQ(rampFileGap(path, lsb(1), file), "");
    EXPECT_GE(file.blocks, 1u);
}

// Two cards, all 16 channels at the highest rate, started at the PTP alarm with timestamps:
// every scan reaches the file once and in order. The stop waits for the callback to read no
// more before the cards stop. The benchmark measures long runs.
TEST_F(AcquisitionEngineTest, SecondsAtTheHighestRateAreStoredWithoutAGap) {
    ASSERT_NO_FATAL_FAILURE(open("", 2, 16));
    store(path, 16384, 216000.0);
    settings.triggerSource = TriggerPlan::kPtpAlarm;
    settings.timestamps = true;
    settings.alarmTime = std::time(nullptr) + 37 + 1; // the card clock runs on TAI, 37 s ahead of UTC
    ASSERT_EQ(engine->start(settings), AcquisitionEngine::Start::Running);
    const auto started = SteadyClock::now();
    EXPECT_FALSE(pollUntil([&] { return !recorder.told.empty(); }, 2000ms)) << recorder.told[0];
    engine->stopCards();
    const double seconds = secondsSince(started);
    EXPECT_TRUE(acquisitionStatus.callbackStopped.load()) << "the cards stopped under the callback";
    ASSERT_TRUE(engine->endStorage());

    ASSERT_TRUE(recorder.told.empty() && recorder.summaryShown && !recorder.summaryShown->failed())
        << ::testing::PrintToString(recorder.told);
    RampFile file;
    ASSERT_EQ(rampFileGap(path, lsb(1), file), "");
    EXPECT_EQ(std::pair(file.info.channels, int(file.info.timestamps)), std::pair(16, 1));
    EXPECT_GE(file.blocks, static_cast<uint64_t>((seconds - 0.5) * 216000 / 16384));
    EXPECT_EQ(file.blocks, acquisitionStatus.blocksRead.load());
}

// Where nothing can be stored nothing starts, and the observer is told why.
TEST_F(AcquisitionEngineTest, FilesOrBuffersThatCannotBeHadStartNothing) {
    ASSERT_NO_FATAL_FAILURE(open());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); // a pipe nobody reads would block the opening for good
    for (const std::string &name : {std::string("/proc/data.bin7150"), path}) {
        store(name, 1024, 10000.0);
        EXPECT_EQ(engine->start(settings), AcquisitionEngine::Start::Refused);
    }
    EXPECT_EQ(recorder.told,
              (std::vector<std::string>{"cannot open /proc/data.bin7150", "cannot open " + path}));
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // Nor where the ring's buffers cannot be had (17 blocks of 8 MB), which the user is told.
    for (int k = 1; k < 8; ++k)
        settings.channels.setEnabled(0, k, true);
    store("/proc/data.bin7150", 131072, 10000.0);
    AcquisitionEngine::Start result;
    {
        AddressSpaceLimit limit(16 << 20);
        result = engine->start(settings);
    }
    EXPECT_EQ(result, AcquisitionEngine::Start::Refused);
    EXPECT_EQ(recorder.told.back().rfind("error Unable to allocate memory.", 0), 0u) << recorder.told.back();
#endif
    EXPECT_EQ(calls("kq7150_startMultAcquisitionEx"), 0);
}

// A recording into a pipe whose reader stopped reading, as a hung network drive would: the
// cards stop at once, the writer is left to finish, and once the reader goes on the file gets
// every block the ring held.
TEST_F(AcquisitionEngineTest, StopBehindAStalledDiskLeavesTheWriterToFinish) {
    ASSERT_NO_FATAL_FAILURE(open("", 1, 8));
    store(path, 1024, 50000.0);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(engine->start(settings), AcquisitionEngine::Start::Running);
    // The pipe takes less than a block of 64 KiB, the ring 15: the callback then waits for the
    // writer, which waits for the reader.
    EXPECT_TRUE(pollUntil([] { return acquisitionStatus.blocksRead.load() >= 16; }, 5000ms));
    const auto stopping = SteadyClock::now();
    engine->stopCards();
    EXPECT_FALSE(engine->endStorage());
    EXPECT_LT(secondsSince(stopping), 4.0);
    EXPECT_GE(calls("kq7150_stopMultAcquisition"), 1);

    std::vector<char> chunk(65536); // the reader goes on: a chunk a poll until nothing is left
    EXPECT_TRUE(waitFor(
        [&] { return ::read(reader, chunk.data(), chunk.size()) <= 0 && engine->writerDone(); }, 10000ms));
    engine->completeStorage();
    ::close(reader);
    EXPECT_TRUE(recorder.told.empty()) << recorder.told[0];
}

// An alarm already past cannot be met: the failure names the call. A stop while the start
// waits for its alarm gives the start up, and nothing is acquired once the alarm time comes.
TEST_F(AcquisitionEngineTest, TimedStartFailsInThePastAndIsGivenUpByAStop) {
    ASSERT_NO_FATAL_FAILURE(open());
    settings.triggerSource = TriggerPlan::kPtpAlarm;
    settings.alarmTime = std::time(nullptr) + 37 - 5;
    engine->start(settings);
    EXPECT_EQ(recorder.told.at(0).rfind("box kq7150_startMultAcquisitionTimed64 failed due to [", 0), 0u);
    recorder.stop();
    kqsim_clearCallLog();
    settings.repetitive = true;
    settings.alarmTime = std::time(nullptr) + 37 + 2;
    recorder.whileWaiting = [&] { recorder.stop(); };
    ASSERT_EQ(engine->start(settings), AcquisitionEngine::Start::Running);
    EXPECT_EQ(std::tuple(calls("kq7150_startMultAcquisitionTimed64"), calls("kq7150_stopMultAcquisition") > 0,
                         recorder.told.size()),
              std::tuple(1, true, size_t(1)));
    EXPECT_TRUE(holdsFor([] { return kqsim_callCount("kq7150_readMultAcquisition") == 0; }, 2500ms));
}

} // namespace
