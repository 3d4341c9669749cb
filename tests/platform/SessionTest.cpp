// Multi-card sessions over the built-in world: opening, refusing, per-card sessions and the
// environment blocks the front panel reads (the variant and reference module in them meet the
// window's tests).
#include "SimFixture.h"

#include <cstddef>
#include <cstring>
#include <tuple>

namespace kqtest {
namespace {

// The front panel reads card j's record at byte 254 + 20 * j of the multi-card block.
static_assert(offsetof(kq7150_multEnv, cards) == 254 && sizeof(kq7150_multCard) == 20, "multEnv layout");

using SessionTest = SimFixture;

TEST_F(SessionTest, MultiSessionOpensEveryListedCardAndClosesThemAgain) {
    // Slot, interface type, VXI logical address (-1 off VXI) of each card.
    const std::vector<std::tuple<ViInt16, ViUInt16, ViInt16>> cards{
        {5, VI_INTF_VXI, 5}, {1, VI_INTF_TCPIP, -1}, {2, VI_INTF_VXI, 5}};
    ASSERT_NO_FATAL_FAILURE(openCards("VXI0::5::INSTR,TCPIP0::192.0.2.17::INSTR,VXI0::5::INSTR", {5, 1, 2}));
    EXPECT_EQ(kqsim_openSessions(), sessionsBefore_ + 1 + static_cast<int>(cards.size()));
    ViAddr address = nullptr;
    ASSERT_EQ(viGetAttribute(vi_, VI_ATTR_USER_DATA, &address), VI_SUCCESS);
    ASSERT_NE(address, nullptr);
    for (size_t j = 0; j < cards.size(); ++j) {
        const auto [slot, intfType, vxiLa] = cards[j];
        // The front panel reads the per-card records at fixed byte offsets, so check the bytes:
        // interface type, slot, interface number, VXI logical address.
        ViInt16 words[4];
        std::memcpy(words, static_cast<const ViByte *>(address) + 254 + 20 * j, sizeof words);
        EXPECT_EQ(std::tuple(words[0], words[1], words[2], words[3]), std::tuple(intfType, slot, 0, vxiLa))
            << j;

        const ViSession fc = card(static_cast<int>(j));
        ViAddr instAddress = nullptr;
        ASSERT_EQ(viGetAttribute(fc, VI_ATTR_USER_DATA, &instAddress), VI_SUCCESS);
        EXPECT_EQ(static_cast<const kq7150_instEnv *>(instAddress)->fcNumber, slot) << j;
        // The card sessions answer their carrier's attributes; VI_ATTR_SLOT only on VXI.
        ViInt16 carrierSlot = -1;
        const bool vxi = intfType == VI_INTF_VXI;
        EXPECT_EQ(viGetAttribute(fc, VI_ATTR_SLOT, &carrierSlot), vxi ? VI_SUCCESS : VI_ERROR_NSUP_ATTR) << j;
        EXPECT_TRUE(!vxi || carrierSlot == 3) << carrierSlot;
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
