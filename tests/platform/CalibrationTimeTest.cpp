// Channel calibration against the carrier's reference module, and the cards' PTP clock with
// timed starts.
#include "SimFixture.h"

#include <cmath>
#include <ctime>
#include <numeric>

namespace kqtest {
namespace {

// Channel 1 sees 0 V and channel 2 1 V, each with a little noise so that averages are not
// biased by the quantiser.
class CalibrationTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_EQ(
            loadWorld(world::make(
                {world::card(1, world::dc(0.0), {{1, world::dc(0.0, 10e-6)}, {2, world::dc(1.0, 10e-6)}})},
                R"("calibrationMs": 50)")),
            0);
        ASSERT_NO_FATAL_FAILURE(openCards("VXI0::1::INSTR", {1}));
    }
    // Mean of one channel over one block.
    double mean(int channelNumber) {
        acquireBlock({static_cast<ViUInt16>(1u << (channelNumber - 1))}, 4096);
        const std::vector<ViReal64> v = read<ViReal64>(4096);
        EXPECT_EQ(kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
        return std::accumulate(v.begin(), v.end(), 0.0) / v.size();
    }
};

// A 0 V input shows the offset alone; 1 V shows (1 + gain error) plus the offset. That a
// calibrated channel then reads its input to the LSB, ConversionTest shows.
TEST_F(CalibrationTest, RemovesTheOffsetAndGainErrorsItReportsInTheCardsTime) {
    const double before[] = {mean(1), mean(2)};
    EXPECT_GT(std::fabs(before[0]), 50 * lsb(1)) << "an uncalibrated channel has an offset";
    EXPECT_LT(std::fabs(before[0]), 2e-3);
    double offset[2] = {}, gain[2] = {};
    for (int ch = 1; ch <= 2; ++ch) {
        const auto t0 = SteadyClock::now();
        ASSERT_EQ(kq7150_calibrateChannel(card(0), static_cast<ViInt16>(ch), &offset[ch - 1], &gain[ch - 1]),
                  VI_SUCCESS);
        EXPECT_GE(secondsSince(t0), 0.045) << "calibration takes the card's time";
    }
    EXPECT_NEAR(before[0], offset[0], 5e-6);
    EXPECT_NEAR(before[1], 1.0 * (1.0 + gain[1]) + offset[1], 5e-6);
    EXPECT_GT(std::fabs(gain[1]), 0.0);
}

TEST_F(CalibrationTest, NeedsTheReferenceModule) {
    // The LXI box of the built-in world has none.
    ASSERT_EQ(loadWorld(""), 0);
    ASSERT_NO_FATAL_FAILURE(openCards("TCPIP0::192.0.2.17::INSTR", {1}));
    const ViStatus status = kq7150_calibrateChannel(card(0), 1, VI_NULL, VI_NULL);
    EXPECT_EQ(status, kq7150_ERROR_NO_VREF);
    EXPECT_NE(driverText(status), "");
}

// The card clock runs on TAI, UTC + 37 s. A stop ends a timed start that waits for its second;
// one already past is refused at once.
TEST_F(CalibrationTest, StopAbortsAWaitingTimedStart) {
    ASSERT_EQ(trigger(kq7150_TRIG_NONE), VI_SUCCESS);
    ASSERT_EQ(configure({0x01}, kRate, kq7150_ACQ_UNTRIGGERED, 0), VI_SUCCESS);
    const auto utcBefore = static_cast<ViUInt64>(std::time(nullptr));
    ViUInt64 sec = 0;
    ViInt16 utcOffset = 0;
    ASSERT_EQ(kq7150_getCurrentTimeEx(card(0), &sec, VI_NULL, &utcOffset, VI_NULL), VI_SUCCESS);
    EXPECT_EQ(utcOffset, 37);
    EXPECT_TRUE(sec >= utcBefore + 37 && sec <= static_cast<ViUInt64>(std::time(nullptr)) + 37) << sec;
    SteadyClock::time_point stoppedAt{};
    std::thread stopper([&] {
        // Stop only once the start is waiting, so the stop is the one that ends the wait.
        EXPECT_TRUE(waitFor([&] { return check().state != kq7150_STATE_IDLE; }));
        stoppedAt = SteadyClock::now();
        EXPECT_EQ(kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
    });
    for (const ViUInt64 startAt : {sec + 3, sec - 2}) {
        const ViStatus status = kq7150_startMultAcquisitionTimed64(vi_, startAt);
        if (stopper.joinable())
            stopper.join();
        EXPECT_LT(std::chrono::duration<double>(SteadyClock::now() - stoppedAt).count(), 0.5)
            << startAt - sec;
        EXPECT_LT(status, 0) << startAt - sec;
        EXPECT_NE(driverText(status), "");
        EXPECT_EQ(check().state, kq7150_STATE_IDLE);
    }
}

} // namespace
} // namespace kqtest
