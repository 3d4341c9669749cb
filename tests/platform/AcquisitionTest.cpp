// The acquisition state machine, trigger sources, pre-trigger history, block layout across
// cards, and starts and closes that meet a running acquisition.
#include "SimFixture.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <future>

namespace kqtest {
namespace {

// Channel 2 is a 1 V, 1 kHz sine; every other channel counts its scans (a ramp), which
// pins down exactly which scans a block holds.
const std::string kTriggerWorld =
    world::make({world::card(1, world::kRamp, {{2, R"({"type":"sine","frequency":1000,"amplitude":1})"}})},
                R"("frontPanelTriggerPeriodMs": 100)");

class AcquisitionTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_EQ(loadWorld(kTriggerWorld), 0);
        ASSERT_NO_FATAL_FAILURE(openCards("VXI0::1::INSTR", {1}));
    }
    // Starts a triggered acquisition of the channels in mask; it waits for its trigger.
    void arm(int source, double level, int edge, ViUInt16 mask, ViInt32 scans, ViInt32 pre = 0,
             double rate = kRate) {
        ASSERT_EQ(trigger(source, level, edge, pre), VI_SUCCESS);
        ASSERT_EQ(configure({mask}, rate, kq7150_ACQ_TRIGGERED, scans), VI_SUCCESS);
        ASSERT_EQ(kq7150_startMultAcquisition(vi_), VI_SUCCESS);
    }
    // Waits for the end, recording every state seen on the way.
    std::vector<ViInt16> statesUntilEnd() {
        std::vector<ViInt16> states;
        EXPECT_TRUE(waitFor([&] {
            const ViInt16 s = check().state;
            if (states.empty() || states.back() != s)
                states.push_back(s);
            return s == kq7150_STATE_END;
        }));
        return states;
    }
};

TEST_F(AcquisitionTest, SoftwarePulseAcquiresExactlyTheScansPerTrigger) {
    const ViInt32 scans = 4096;
    ASSERT_EQ(trigger(kq7150_TRIG_NONE), VI_SUCCESS);
    ASSERT_EQ(configure({0x01}, kRate, kq7150_ACQ_UNTRIGGERED, scans), VI_SUCCESS);
    const auto beforeStart = SteadyClock::now();
    ASSERT_EQ(kq7150_startMultAcquisition(vi_), VI_SUCCESS);
    const auto afterStart = SteadyClock::now();
    const AcqStatus waiting = check();
    EXPECT_TRUE(waiting.state == kq7150_STATE_READY && waiting.backlog == 0) << "stored before the pulse";
    const double pulseEarliest = secondsSince(afterStart);
    ASSERT_EQ(itri(), VI_SUCCESS);
    const double pulseLatest = secondsSince(beforeStart);
    ASSERT_TRUE(waitForState(kq7150_STATE_END));
    const AcqStatus end = check();
    EXPECT_EQ(std::tuple(end.backlog, end.errors, end.overflow), std::tuple(ViUInt32(scans), 0, 0));
    const std::vector<ViInt32> counts = read<ViInt32>(scans);
    EXPECT_TRUE(consecutive(counts.data(), counts.size()));
    // The block starts at the scan the pulse arrived in, counted from the start.
    EXPECT_GE(counts[0] / kRate, pulseEarliest - 1.0 / kRate);
    EXPECT_LE(counts[0] / kRate, pulseLatest + 1.0 / kRate);
    ViInt32 one = 0;
    EXPECT_LT(kq7150_readMultAcquisition32(vi_, 1, &one), 0) << "nothing is left after the end";
}

// 10000 scans/s: slow enough to watch every state go by.
TEST_F(AcquisitionTest, PreTriggerHistoryPrecedesTheTriggerScan) {
    const ViInt32 pre = 2000, scans = 4000;
    const int triggerScan = 3001; // the first ramp value at or above the level
    ASSERT_NO_FATAL_FAILURE(arm(1, (triggerScan - 0.5) * lsb(1), 1, 0x01, scans, pre, 10000.0));
    EXPECT_EQ(statesUntilEnd(), (std::vector<ViInt16>{kq7150_STATE_PRE_TRIG, kq7150_STATE_READY,
                                                      kq7150_STATE_POST_TRIG, kq7150_STATE_END}));
    EXPECT_EQ(check().backlog, static_cast<ViUInt32>(scans));
    const std::vector<ViInt32> counts = read<ViInt32>(scans);
    EXPECT_EQ(counts[0], triggerScan - pre);
    EXPECT_TRUE(consecutive(counts.data(), counts.size()));
}

// A rising edge on a channel is the trigger workflow's; here the falling one and a level out of
// reach. The sine moves at most 2 pi 1000 / kRate V a scan.
TEST_F(AcquisitionTest, FallingChannelEdgeFiresWhereTheSineCrossesTheLevel) {
    ASSERT_NO_FATAL_FAILURE(arm(2, -0.3, 0, 0x02, 4096));
    ASSERT_TRUE(waitForState(kq7150_STATE_END));
    const std::vector<ViReal64> v = read<ViReal64>(4096);
    EXPECT_LE(v[0], -0.3 + lsb(1));
    EXPECT_GT(v[0], -0.3 - 2 * M_PI * 1000 / kRate);
    EXPECT_LT(v[1], v[0]);
    // Out of the sine's reach: 300 ms are 300 periods, in which a reachable level is crossed.
    ASSERT_EQ(kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
    ASSERT_NO_FATAL_FAILURE(arm(2, 5.0, 1, 0x02, 4096));
    EXPECT_TRUE(holdsFor([&] { return check().state == kq7150_STATE_READY && check().backlog == 0; }, 300ms));
}

TEST_F(AcquisitionTest, FrontPanelTriggerFiresOnThePeriodsGrid) {
    for (const int source : {kq7150_TRIG_FRONT_PANEL_HIGH, kq7150_TRIG_FRONT_PANEL_LOW}) {
        ASSERT_NO_FATAL_FAILURE(arm(source, 0.0, 1, 0x01, 1024));
        ASSERT_TRUE(waitForState(kq7150_STATE_END)) << source;
        const std::vector<ViInt32> counts = read<ViInt32>(1024);
        EXPECT_GT(counts[0], 0) << source;
        EXPECT_EQ(counts[0] % static_cast<int>(0.100 * kRate), 0) << source;
        ASSERT_EQ(kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
    }
}

void stopWhenAsked(ViSession vi, ViAddr user) {
    if (*static_cast<std::atomic<bool> *>(user))
        kq7150_stopMultAcquisition(vi);
}

// A start during a running acquisition must be refused, not wait for that acquisition.
TEST_F(AcquisitionTest, StartWhileRunningIsRefusedAtOnce) {
    std::atomic<bool> stop{false};
    ASSERT_NO_FATAL_FAILURE(startPulsed({0x01}, 0, stopWhenAsked, &stop));
    EXPECT_EQ(configure({0x01}, kRate, kq7150_ACQ_UNTRIGGERED, 0), kq7150_ERROR_RUNNING);
    auto second = std::async(std::launch::async, [this] { return kq7150_startMultAcquisition(vi_); });
    if (second.wait_for(1s) == std::future_status::ready) {
        EXPECT_EQ(second.get(), kq7150_ERROR_RUNNING);
    } else {
        ADD_FAILURE() << "kq7150_startMultAcquisition blocks while a callback acquisition runs";
        stop = true; // lets the blocked call go on without a second joiner
        second.wait();
    }
    EXPECT_EQ(kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
}

// Error handling in a callback may end its own session; the driver thread must survive that.
// Run in a child process, since a failure here aborts the whole process.
std::atomic<int> calls{0};
std::atomic<ViStatus> closeStatus{1}; // 1: not closed yet

void closeOnThirdBlock(ViSession vi, ViAddr) {
    if (++calls == 3)
        closeStatus = kq7150_multClose(vi);
}

using AcquisitionDeathTest = AcquisitionTest;

TEST_F(AcquisitionDeathTest, CallbackMayCloseItsOwnSession) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            startPulsed({0x01}, 0, closeOnThirdBlock, nullptr);
            const bool closed = waitFor([&] { return closeStatus != 1; });
            // The driver thread runs on past the callback that closed, and calls none again.
            const bool quiet = holdsFor([&] { return calls == 3; }, 50ms);
            std::exit(closed && quiet && closeStatus == VI_SUCCESS && kqsim_openSessions() == sessionsBefore_
                          ? 0
                          : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// Two cards whose channels each hold a different DC level, so every value names its source.
double levelOf(int card, int channel) {
    return (card == 0 ? 0.5 : -0.5) * channel;
}

std::string dcCard(int slot, int cardIndex) {
    std::map<int, std::string> channels;
    for (int ch = 1; ch <= 8; ++ch)
        channels[ch] = world::dc(levelOf(cardIndex, ch));
    return world::card(slot, world::dc(0.0), channels);
}

using BlockLayout = SimFixture;

TEST_F(BlockLayout, IsChannelMajorOverCardsOfEqualChannelCounts) {
    ASSERT_EQ(loadWorld(world::make({dcCard(1, 0), dcCard(3, 1)})), 0);
    ASSERT_NO_FATAL_FAILURE(openCards("VXI0::1::INSTR,VXI0::1::INSTR", {1, 3}));
    // Unequal channel counts, no channel at all and a ninth channel are refused.
    for (std::vector<ViUInt16> masks : {std::vector<ViUInt16>{0x03, 0x07}, {0x00, 0x00}, {0x100, 0x100}})
        EXPECT_LT(configure(masks, kRate, kq7150_ACQ_UNTRIGGERED, 64), 0) << masks[0] << " " << masks[1];

    for (const std::vector<ViUInt16> &masks : {std::vector<ViUInt16>{0x80, 0x01}, {0xFF, 0xFF}}) {
        std::vector<double> expected;
        for (int c = 0; c < 2; ++c)
            for (int ch = 1; ch <= 8; ++ch)
                if (masks[c] & (1u << (ch - 1)))
                    expected.push_back(levelOf(c, ch));
        ASSERT_NO_FATAL_FAILURE(acquireBlock(masks, 64));
        const std::vector<ViReal64> v = read<ViReal64>(64, static_cast<int>(expected.size()));
        // Uncalibrated channels are off by up to a few mV; neighbouring levels are 0.5 V apart.
        for (size_t k = 0; k < v.size(); ++k)
            ASSERT_NEAR(v[k], expected[k / 64], 0.01) << "masks " << masks[0] << " " << masks[1] << ", " << k;
        ASSERT_EQ(kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
    }
}

} // namespace
} // namespace kqtest
