// Multi-card sessions over the built-in world: what they refuse, and a malformed world file. The
// per-card records of the multi-card block and the card sessions' attributes meet the connection
// workflows, which show them in the legend headings. The search of the built-in world, as the
// panel makes it, and what the carriers report of themselves, CardSearchTest's card tree shows.
#include "SimFixture.h"

#include <cstddef>
#include <cstdlib>
#include <tuple>

namespace kqtest {
namespace {

// The front panel reads card j's record at byte 254 + 20 * j of the multi-card block.
static_assert(offsetof(kq7150_multEnv, cards) == 254 && sizeof(kq7150_multCard) == 20, "multEnv layout");

using SessionTest = SimFixture;

TEST_F(SessionTest, RefusedListFailsWithATextAndLeavesNoSession) {
    // Name, resource list, card numbers, status (0: any error).
    using BadList = std::tuple<const char *, const char *, std::vector<ViInt16>, ViStatus>;
    for (auto [name, list, cards, expected] : std::vector<BadList>{
             {"UnknownResource", "VXI0::9::INSTR", {2}, VI_ERROR_RSRC_NFOUND},
             {"EmptySlot", "VXI0::5::INSTR", {4}, kq7150_ERROR_NO_CARD},
             {"SlotBeyondCarrier", "VXI0::5::INSTR", {7}, kq7150_ERROR_NO_CARD},
             {"OtherModel", "VXI0::5::INSTR", {3}, kq7150_ERROR_WRONG_MODEL},
             {"RepeatedCard", "VXI0::5::INSTR,VXI0::5::INSTR", {2, 2}, kq7150_ERROR_DUPLICATE_CARD},
             {"SameCardUnderTwoNames",
              "TCPIP0::192.0.2.17::INSTR,TCPIP0::kq7000-lxi::INSTR",
              {1, 1},
              kq7150_ERROR_DUPLICATE_CARD},
             {"EmptyName", "VXI0::5::INSTR,", {2, 5}, kq7150_ERROR_RSRC_LIST},
             {"NotACarrier", "ASRL1::INSTR", {1}, 0}}) {
        ViSession vi = VI_NULL;
        const ViStatus status = kq7150_multInit(list, cards.data(), VI_TRUE, VI_TRUE, &vi);
        EXPECT_TRUE(expected == 0 ? status < 0 : status == expected) << name << ": " << status;
        EXPECT_GT(driverText(status).size(), 10u) << name << ": " << driverText(status);
        EXPECT_EQ(kqsim_openSessions(), sessionsBefore_) << name;
    }
}

// A session holds itself and one per card, and the slot attribute exists on VXI only. The panel
// never asks for a card outside its session, nor of a closed one.
TEST_F(SessionTest, CardSessionsAnswerWithinTheSessionAndNotAfterItsClose) {
    ASSERT_NO_FATAL_FAILURE(openCards("VXI0::5::INSTR,TCPIP0::192.0.2.17::INSTR", {5, 1}));
    EXPECT_EQ(kqsim_openSessions(), sessionsBefore_ + 3);
    ViInt16 slot = -1;
    EXPECT_EQ(viGetAttribute(card(0), VI_ATTR_SLOT, &slot), VI_SUCCESS);
    EXPECT_EQ(slot, 3);
    EXPECT_EQ(viGetAttribute(card(1), VI_ATTR_SLOT, &slot), VI_ERROR_NSUP_ATTR);
    closeCards();
    EXPECT_EQ(kqsim_openSessions(), sessionsBefore_);
}

using FaultInjectionTest = SimFixture;

// The place of the mistake reaches both the load error and stderr; nothing is left to find.
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
