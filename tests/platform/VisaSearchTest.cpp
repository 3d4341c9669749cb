// Resource search and carrier probing over the built-in world, as "Auto Find" meets it.
#include "SimFixture.h"

#include <set>

namespace kqtest {
namespace {

// A session left open by a failed assertion is closed by the fixture's reload.
using VisaSearchTest = SimFixture;

TEST_F(VisaSearchTest, FindsEveryResourceOfTheBuiltInWorldOnceAndOpensOnlyCarriersAsCarriers) {
    ViSession rm = VI_NULL;
    ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
    ViFindList list = VI_NULL;
    ViUInt32 count = 0;
    ViChar desc[VI_FIND_BUFLEN] = "";
    ASSERT_EQ(viFindRsrc(rm, "?*INSTR", &list, &count, desc), VI_SUCCESS);
    std::multiset<std::string> found{desc};
    for (ViUInt32 i = 1; i < count; ++i) {
        ASSERT_EQ(viFindNext(list, desc), VI_SUCCESS) << "entry " << i;
        found.insert(desc);
    }
    EXPECT_EQ(viFindNext(list, desc), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(found, (std::multiset<std::string>{"VXI0::5::INSTR", "TCPIP0::192.0.2.17::INSTR",
                                                 "TCPIP0::kq7000-lxi::INSTR", "ASRL1::INSTR"}));

    // '?' is one character, '*' any run, and case does not matter.
    for (const auto &[expression, matches] :
         std::vector<std::pair<const char *, ViUInt32>>{{"TCPIP?*INSTR", 2},
                                                        {"vxi?*", 1},
                                                        {"ASRL?::INSTR", 1},
                                                        {"TCPIP0::*::INSTR", 2},
                                                        {"?*::5::INSTR", 1}}) {
        ASSERT_EQ(viFindRsrc(rm, expression, &list, &count, desc), VI_SUCCESS) << expression;
        EXPECT_EQ(count, matches) << expression;
    }
    EXPECT_EQ(viFindRsrc(rm, "GPIB?*INSTR", &list, &count, desc), VI_ERROR_RSRC_NFOUND);
    ViSession vi = VI_NULL;
    EXPECT_EQ(viOpen(rm, "VXI0::9::INSTR", 0, 0, &vi), VI_ERROR_RSRC_NFOUND);

    // An instrument that is no carrier opens, but not as a carrier. What the carriers report of
    // themselves, CardSearchTest's card tree shows.
    ASSERT_EQ(viOpen(rm, "ASRL1::INSTR", 0, 2000, &vi), VI_SUCCESS);
    kq7000_carrier *carrier = nullptr;
    EXPECT_EQ(kq7000_openCarrier(vi, &carrier), kq7000_ERROR_NOT_CARRIER);
    EXPECT_EQ(carrier, nullptr);
    ViChar text[kq7000_STATUS_BUFLEN] = "";
    EXPECT_EQ(kq7000_statusText(kq7000_ERROR_NOT_CARRIER, text), VI_SUCCESS);
    EXPECT_STRNE(text, "");

    // Closing the resource manager closes the find lists and sessions opened through it.
    ASSERT_EQ(viClose(rm), VI_SUCCESS);
    EXPECT_EQ(kqsim_openSessions(), sessionsBefore_);
}

} // namespace
} // namespace kqtest
