// Channel calibration against the carrier's reference module, the reference as an input,
// and the cards' PTP clock with timed starts.
#include "SimFixture.h"

#include <cmath>
#include <ctime>
#include <numeric>

namespace kqtest {
namespace {

// Channel 1 sees 0 V and channel 2 1 V, each with a little noise so that averages are not
// biased by the quantiser.
const std::string kCalibrationWorld =
    world::make({world::card(1, world::dc(0.0), {{1, world::dc(0.0, 10e-6)}, {2, world::dc(1.0, 10e-6)}})},
                R"("calibrationMs": 50)");

class CalibrationTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_EQ(loadWorld(kCalibrationWorld), 0);
        ASSERT_NO_FATAL_FAILURE(openCards("VXI0::1::INSTR", {1}));
    }
    // Mean of one channel over one block.
    double mean(int channelNumber) {
        const ViInt32 scans = 4096;
        acquireBlock({static_cast<ViUInt16>(1u << (channelNumber - 1))}, scans);
        const std::vector<ViReal64> v = read<ViReal64>(scans);
        EXPECT_EQ(kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
        return std::accumulate(v.begin(), v.end(), 0.0) / scans;
    }
    ViUInt64 cardSeconds() {
        ViUInt64 sec = 0;
        EXPECT_EQ(kq7150_getCurrentTimeEx(card(0), &sec, VI_NULL, VI_NULL, VI_NULL), VI_SUCCESS);
        return sec;
    }
    void configureFree() {
        ASSERT_EQ(trigger(kq7150_TRIG_NONE), VI_SUCCESS);
        ASSERT_EQ(configure({0x01}, kRate, kq7150_ACQ_UNTRIGGERED, 0), VI_SUCCESS);
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

// The module's voltages and their choice meet the window's tests; here the output reaches a
// channel whose source is the reference while the card connects it.
TEST_F(CalibrationTest, ReferenceSourceReadsTheModuleOutputWhileSwitchedOn) {
    const ViSession fc = card(0);
    ViAddr address = nullptr;
    ASSERT_EQ(viGetAttribute(fc, VI_ATTR_USER_DATA, &address), VI_SUCCESS);
    const kq7000_envHead &head = static_cast<const kq7150_instEnv *>(address)->head;
    ASSERT_NE(head.ifVref, nullptr);
    ASSERT_EQ(head.ifVref->setVoltRefOutput(head.libEnv, 2.5), VI_SUCCESS);
    ASSERT_EQ(channel(3, 1, kq7150_SRC_VREF), VI_SUCCESS);
    ASSERT_EQ(kq7150_calibrateChannel(fc, 3, VI_NULL, VI_NULL), VI_SUCCESS);
    for (const auto &[state, volts] : {std::pair{kq7150_ON, 2.5}, {kq7150_OFF, 0.0}}) {
        ASSERT_EQ(kq7150_setVoltRef(fc, state), VI_SUCCESS);
        EXPECT_NEAR(mean(3), volts, 5e-6) << state;
    }
}

TEST_F(CalibrationTest, CardClockIsUtcPlus37SecondsAndRefusesAStartInThePast) {
    ASSERT_NO_FATAL_FAILURE(configureFree());
    const auto before = static_cast<ViUInt64>(std::time(nullptr));
    ViUInt64 sec = 0;
    ViInt16 offset = 0, ptp = 0;
    ASSERT_EQ(kq7150_getCurrentTimeEx(card(0), &sec, VI_NULL, &offset, &ptp), VI_SUCCESS);
    const auto after = static_cast<ViUInt64>(std::time(nullptr));
    EXPECT_EQ(offset, 37);
    EXPECT_TRUE(sec >= before + 37 && sec <= after + 37) << sec - before;
    const ViStatus status = kq7150_startMultAcquisitionTimed64(vi_, sec - 2);
    EXPECT_LT(status, 0);
    EXPECT_NE(driverText(status), "");
    EXPECT_EQ(check().state, kq7150_STATE_IDLE);
}

// Its scans carry their card time: the first the start second, each next one scan period later.
TEST_F(CalibrationTest, TimedStartBeginsAtTheGivenSecond) {
    ASSERT_NO_FATAL_FAILURE(configureFree());
    const ViUInt64 startAt = cardSeconds() + 1;
    ASSERT_EQ(kq7150_startMultAcquisitionTimed64(vi_, startAt), VI_SUCCESS);
    EXPECT_GE(cardSeconds(), startAt) << "returned early";
    EXPECT_EQ(check().state, kq7150_STATE_POST_TRIG);
    const int n = 1000;
    std::vector<ViReal64> volts(n);
    std::vector<ViUInt32> s(n), ns(n);
    ASSERT_EQ(kq7150_readMultAcquisitionEx(vi_, n, volts.data(), s.data(), ns.data()), VI_SUCCESS);
    EXPECT_EQ(s[0], static_cast<ViUInt32>(startAt));
    EXPECT_LT(ns[0], 1000u);
    for (int i = 0; i < n; ++i) {
        ASSERT_LT(ns[i], 1000000000u);
        ASSERT_NEAR((double(s[i]) - double(s[0])) + (double(ns[i]) - double(ns[0])) * 1e-9, i / kRate, 2e-9)
            << i;
    }
}

TEST_F(CalibrationTest, StopAbortsAWaitingTimedStart) {
    ASSERT_NO_FATAL_FAILURE(configureFree());
    const ViUInt64 sec = cardSeconds();
    SteadyClock::time_point stoppedAt{};
    std::thread stopper([&] {
        // Stop only once the start is waiting, so the stop is the one that ends the wait.
        EXPECT_TRUE(waitFor([&] { return check().state != kq7150_STATE_IDLE; }));
        stoppedAt = SteadyClock::now();
        EXPECT_EQ(kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
    });
    const ViStatus status = kq7150_startMultAcquisitionTimed64(vi_, sec + 3);
    const auto returnedAt = SteadyClock::now();
    stopper.join();
    EXPECT_LT(status, 0);
    EXPECT_NE(driverText(status), "");
    EXPECT_LT(std::chrono::duration<double>(returnedAt - stoppedAt).count(), 0.5);
    EXPECT_EQ(check().state, kq7150_STATE_IDLE);
}

} // namespace
} // namespace kqtest
