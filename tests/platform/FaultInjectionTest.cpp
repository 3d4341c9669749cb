// Faults steered by the world and fault files, and refusal of a malformed world file. A read
// failing in the callback and the card memory overflowing meet the ring's tests.
#include "SimFixture.h"

#include <cstdlib>

namespace kqtest {
namespace {

constexpr ViStatus kInjected = static_cast<ViStatus>(0xBFFC0800);

// Two ramp cards on one carrier, with further top-level members.
class FaultInjectionTest : public SimFixture {
protected:
    void load(const std::string &faults, const std::string &extra = R"("calibrationMs": 10)") {
        ASSERT_EQ(loadWorld(world::make({world::card(1, world::kRamp), world::card(2, world::kRamp)}, extra),
                            faults),
                  0);
        ASSERT_NO_FATAL_FAILURE(openCards("VXI0::1::INSTR,VXI0::1::INSTR", {1, 2}));
    }
};

// Which calls a rule fails is FaultPlanTest's; here the driver names the card and channel of
// each call and honours the statuses.
TEST_F(FaultInjectionTest, FiltersLimitAFaultToOneCardOrChannel) {
    ASSERT_NO_FATAL_FAILURE(
        load(R"({"faults": [{"call": "kq7150_getSerNum", "status": "0xBFFC0800", "count": 0, "cardIndex": 1},
            {"call": "kq7150_calibrateChannel", "status": "0xBFFC0801", "count": 0, "channel": 3}]})"));
    ViUInt32 serial = 0;
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(kq7150_getSerNum(card(0), &serial), VI_SUCCESS);
        EXPECT_EQ(kq7150_getSerNum(card(1), &serial), kInjected);
        for (int ch = 2; ch <= 4; ++ch)
            EXPECT_EQ(kq7150_calibrateChannel(card(round), static_cast<ViInt16>(ch), VI_NULL, VI_NULL),
                      ch == 3 ? kInjected + 1 : VI_SUCCESS)
                << "card " << round << " channel " << ch;
    }
}

TEST_F(FaultInjectionTest, ErrorWordIsRaisedAfterTheGivenScans) {
    // Given in the world file itself this time, which may carry faults as well.
    ASSERT_NO_FATAL_FAILURE(load("", R"("errorWord": {"bits": "0x0800", "afterScans": 21600})"));
    const auto t0 = SteadyClock::now();
    ASSERT_NO_FATAL_FAILURE(startPulsed({0x01, 0x01}, 0));
    EXPECT_EQ(check().errors & kq7150_ERR_FIFO_OVERFLOW, 0);
    ASSERT_TRUE(waitFor([&] { return (check().errors & kq7150_ERR_FIFO_OVERFLOW) != 0; }));
    EXPECT_GE(secondsSince(t0), 0.095) << "21600 scans are 100 ms";
    EXPECT_EQ(check().overflow, 0) << "the memory itself did not overflow";
}

TEST_F(FaultInjectionTest, MalformedWorldFileIsNamedWithThePlaceAndLeavesNothingToFind) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(loadWorld("{\n  \"carriers\": [\n    {\"resources\": [\"VXI0::1::INSTR\"],\n  ]\n}"), -1);
    const std::string stderrText = ::testing::internal::GetCapturedStderr();
    const char *path = std::getenv("KQ7150_SIM_CONFIG");
    ASSERT_NE(path, nullptr);
    char error[1024] = "";
    kqsim_loadError(error, sizeof error);
    for (const std::string &message : {std::string(error), stderrText})
        EXPECT_NE(message.find(std::string(path) + ": line 4"), std::string::npos) << message;

    ViSession rm = VI_NULL;
    ViFindList list = VI_NULL;
    ViUInt32 count = 0;
    ViChar desc[VI_FIND_BUFLEN] = "";
    ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
    EXPECT_EQ(viFindRsrc(rm, "?*INSTR", &list, &count, desc), VI_ERROR_RSRC_NFOUND);
    viClose(rm);
}

} // namespace
} // namespace kqtest
