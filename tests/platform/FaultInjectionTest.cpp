// Faults steered by the world and fault files, refusal of a malformed world file and a host
// without memory for the card memory. A read failing in the callback and the card memory
// overflowing meet the ring's tests.
#include "SimFixture.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sys/resource.h>

namespace kqtest {
namespace {

// Two ramp cards on one carrier, with further top-level members.
std::string rampWorld(const std::string &extra = R"("calibrationMs": 10)") {
    return world::make({world::card(1, world::kRamp), world::card(2, world::kRamp)}, extra);
}

constexpr ViStatus kInjected = static_cast<ViStatus>(0xBFFC0800);

class FaultInjectionTest : public SimFixture {
protected:
    void load(const std::string &faults, const std::string &worldJson = rampWorld()) {
        ASSERT_EQ(loadWorld(worldJson, faults), 0);
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
    ASSERT_NO_FATAL_FAILURE(load("", rampWorld(R"("errorWord": {"bits": "0x0800", "afterScans": 21600})")));
    const auto t0 = SteadyClock::now();
    ASSERT_NO_FATAL_FAILURE(startPulsed({0x01, 0x01}, 0));
    EXPECT_EQ(check().errors & kq7150_ERR_FIFO_OVERFLOW, 0);
    ASSERT_TRUE(waitFor([&] { return (check().errors & kq7150_ERR_FIFO_OVERFLOW) != 0; }));
    EXPECT_GE(secondsSince(t0), 0.095) << "21600 scans are 100 ms";
    EXPECT_EQ(check().overflow, 0) << "the memory itself did not overflow";
}

// Lets the process map only a little more memory than it has now, until it goes.
class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(rlim_t room) {
        EXPECT_EQ(getrlimit(RLIMIT_AS, &old_), 0);
        rlimit small = old_;
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmSize:", 0) == 0)
                small.rlim_cur = std::stoull(line.substr(7)) * 1024 + room;
        EXPECT_EQ(setrlimit(RLIMIT_AS, &small), 0);
    }
    ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &old_); }

private:
    rlimit old_{};
};

// The card memory is allocated when an acquisition starts. A host that cannot give it makes
// the allocation throw; the caller is C and must get a status, and the session stays usable.
// 32 cards of 8 channels need 256 MB, more than earlier tests can have left mapped.
TEST_F(FaultInjectionTest, StartWithoutMemoryForTheCardMemoryReturnsAStatus) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "AddressSanitizer's allocator ends the process where operator new would throw";
#endif
    std::string cards, list;
    std::vector<ViInt16> slots;
    for (ViInt16 slot = 1; slot <= 32; ++slot) {
        cards += (slot > 1 ? "," : "") + world::card(slot, world::kRamp);
        list += (slot > 1 ? ",VXI0::1::INSTR" : "VXI0::1::INSTR");
        slots.push_back(slot);
    }
    const std::string carrier = R"({"carriers":[{"resources":["VXI0::1::INSTR"],"interface":"VXI",)";
    ASSERT_EQ(loadWorld(carrier + R"("slots":32,"cards":[)" + cards + "]}]}"), 0);
    ASSERT_NO_FATAL_FAILURE(openCards(list, slots));
    ASSERT_EQ(trigger(kq7150_TRIG_NONE), VI_SUCCESS);
    ASSERT_EQ(configure(std::vector<ViUInt16>(32, 0xFF), kRate, kq7150_ACQ_UNTRIGGERED, 0), VI_SUCCESS);
    ViStatus status = VI_SUCCESS;
    {
        AddressSpaceLimit limit(4 << 20);
        status = kq7150_startMultAcquisition(vi_);
    }
    EXPECT_EQ(status, VI_ERROR_ALLOC);
    EXPECT_NE(driverText(status), "");
    EXPECT_EQ(check().state, kq7150_STATE_IDLE);
    EXPECT_EQ(kq7150_startMultAcquisition(vi_), VI_SUCCESS);
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
