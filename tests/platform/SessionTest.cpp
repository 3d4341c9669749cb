// Multi-card sessions over the built-in world: opening, refusing, per-card sessions and the
// environment blocks the front panel reads (the variant and reference module in them meet the
// window's tests).
#include "SimFixture.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <tuple>

namespace kqtest {
namespace {

// A 7150 of the built-in world and what its sessions must report.
struct CardRef {
    ViInt16 slot;
    ViUInt16 intfType;
    ViInt16 vxiLa; // -1 off VXI
};
// The front panel reads card j's record at byte 254 + 20 * j of the multi-card block.
static_assert(offsetof(kq7150_multEnv, cards) == 254 && sizeof(kq7150_multCard) == 20, "multEnv layout");

using SessionTest = SimFixture;

TEST_F(SessionTest, MultiSessionOpensEveryListedCardAndClosesThemAgain) {
    const std::vector<CardRef> cards{{5, VI_INTF_VXI, 5}, {1, VI_INTF_TCPIP, -1}, {2, VI_INTF_VXI, 5}};
    ASSERT_NO_FATAL_FAILURE(openCards("VXI0::5::INSTR,TCPIP0::192.0.2.17::INSTR,VXI0::5::INSTR", {5, 1, 2}));
    EXPECT_EQ(kqsim_openSessions(), sessionsBefore_ + 1 + static_cast<int>(cards.size()));

    ViAddr address = nullptr;
    ASSERT_EQ(viGetAttribute(vi_, VI_ATTR_USER_DATA, &address), VI_SUCCESS);
    ASSERT_NE(address, nullptr);
    std::vector<ViSession> seen;
    for (size_t j = 0; j < cards.size(); ++j) {
        SCOPED_TRACE("card " + std::to_string(j));
        // The front panel reads the per-card records at fixed byte offsets, so check the bytes.
        auto word = [&](size_t offset) {
            ViInt16 value = 0;
            std::memcpy(&value, static_cast<const ViByte *>(address) + 254 + 20 * j + offset, 2);
            return value;
        };
        // Interface type, slot, interface number, VXI logical address.
        EXPECT_EQ(std::tuple(word(0), word(2), word(4), word(6)),
                  std::tuple(cards[j].intfType, cards[j].slot, 0, cards[j].vxiLa));

        const ViSession fc = card(static_cast<int>(j));
        EXPECT_EQ(std::count(seen.begin(), seen.end(), fc), 0);
        seen.push_back(fc);
        ViAddr instAddress = nullptr;
        ASSERT_EQ(viGetAttribute(fc, VI_ATTR_USER_DATA, &instAddress), VI_SUCCESS);
        const auto *inst = static_cast<const kq7150_instEnv *>(instAddress);
        ASSERT_NE(inst, nullptr);
        EXPECT_EQ(inst->fcNumber, cards[j].slot);
        // The card sessions answer their carrier's attributes; VI_ATTR_SLOT only on VXI.
        ViInt16 slot = -1;
        const bool vxi = cards[j].intfType == VI_INTF_VXI;
        EXPECT_EQ(viGetAttribute(fc, VI_ATTR_SLOT, &slot), vxi ? VI_SUCCESS : VI_ERROR_NSUP_ATTR);
        EXPECT_TRUE(!vxi || slot == 3) << slot;
    }
    ViSession fc = VI_NULL;
    EXPECT_LT(kq7150_getMultFCsession(vi_, -1, &fc), 0);
    EXPECT_LT(kq7150_getMultFCsession(vi_, static_cast<ViInt16>(cards.size()), &fc), 0);

    const ViSession closed = vi_;
    closeCards();
    EXPECT_EQ(kqsim_openSessions(), sessionsBefore_);
    EXPECT_LT(kq7150_multClose(closed), 0);
    EXPECT_LT(kq7150_getMultFCsession(closed, 0, &fc), 0);
}

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

} // namespace
} // namespace kqtest
