// The acquisition state machine, block layout across cards, and calibration: what it removes and
// its need of the reference module. A channel trigger with its pre-trigger history meets the trigger
// workflow; the cards' clock (TAI, UTC + 37 s) and timed starts, waited for, stopped or refused as past, meet
// the panel's timed start tests.
#include "SimFixture.h"

#include <cmath>
#include <numeric>

namespace kqtest {
namespace {

// Every channel of the card counts its scans (a ramp), which pins down exactly which scans a
// block holds.
class AcquisitionTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_EQ(loadWorld(world::make({world::card(1, world::kRamp)})), 0);
        ASSERT_NO_FATAL_FAILURE(openCards("VXI0::1::INSTR", {1}));
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
    ASSERT_TRUE(waitFor([&] { return check().state == kq7150_STATE_END; }));
    const AcqStatus end = check();
    EXPECT_EQ(std::tuple(end.backlog, end.errors, end.overflow), std::tuple(ViUInt32(scans), 0, 0));
    ViInt32 first = 0;
    ASSERT_EQ(kq7150_readMultAcquisition32(vi_, 1, &first), VI_SUCCESS);
    // The block starts at the scan the pulse arrived in, counted from the start.
    EXPECT_GE(first / kRate, pulseEarliest - 1.0 / kRate);
    EXPECT_LE(first / kRate, pulseLatest + 1.0 / kRate);
    std::vector<ViInt32> ramp(scans - 1);
    std::iota(ramp.begin(), ramp.end(), first + 1);
    EXPECT_EQ(read<ViInt32>(scans - 1), ramp);
    EXPECT_LT(kq7150_readMultAcquisition32(vi_, 1, &first), 0) << "nothing is left after the end";
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

using CalibrationTest = SimFixture;

// The LXI box of the built-in world has none.
TEST_F(CalibrationTest, NeedsTheReferenceModule) {
    ASSERT_NO_FATAL_FAILURE(openCards("TCPIP0::192.0.2.17::INSTR", {1}));
    const ViStatus status = kq7150_calibrateChannel(card(0), 1, VI_NULL, VI_NULL);
    EXPECT_EQ(status, kq7150_ERROR_NO_VREF);
    EXPECT_NE(driverText(status), "");
}

// A 0 V input with a little noise, so that its mean is not biased by the quantiser, shows the
// channel's offset alone; calibrating removes it and reports it, taking the card's time. That a
// calibrated channel reads its input to the LSB, gain error included, the conversion tests show.
TEST_F(CalibrationTest, RemovesTheOffsetItReportsInTheCardsTime) {
    ASSERT_EQ(loadWorld(world::make({world::card(1, world::dc(0.0, 10e-6))}, R"("calibrationMs": 50)")), 0);
    ASSERT_NO_FATAL_FAILURE(openCards("VXI0::1::INSTR", {1}));
    const auto mean = [this] {
        acquireBlock({0x01}, 4096);
        const std::vector<ViReal64> v = read<ViReal64>(4096);
        EXPECT_EQ(kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
        return std::accumulate(v.begin(), v.end(), 0.0) / v.size();
    };
    const double before = mean();
    EXPECT_TRUE(std::fabs(before) > 50 * lsb(1) && std::fabs(before) < 2e-3)
        << "uncalibrated offset " << before;
    double offset = 0.0;
    const auto t0 = SteadyClock::now();
    ASSERT_EQ(kq7150_calibrateChannel(card(0), 1, &offset, VI_NULL), VI_SUCCESS);
    EXPECT_GE(secondsSince(t0), 0.045) << "calibration takes the card's time";
    EXPECT_NEAR(offset, before, 5e-6);
    EXPECT_NEAR(mean(), 0.0, 5e-6);
}

} // namespace
} // namespace kqtest
