// Multi-card sessions over the built-in world: opening, refusing, per-card sessions and the
// environment blocks the front panel reads.
#include "SimFixture.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace kqtest {
namespace {

// A 7150 of the built-in world and what its sessions must report.
struct CardRef {
    const char *resource;
    ViInt16 slot;
    ViUInt16 intfType;
    ViUInt16 variant;
    ViInt16 vxiLa; // -1 off VXI
};
// The front panel reads card j's record at byte 254 + 20 * j of the multi-card block.
static_assert(offsetof(kq7150_multEnv, cards) == 254 && sizeof(kq7150_multCard) == 20, "multEnv layout");

const CardRef kVxiSlot2{"VXI0::5::INSTR", 2, VI_INTF_VXI, 0x4242, 5};
const CardRef kVxiSlot5{"VXI0::5::INSTR", 5, VI_INTF_VXI, 0x4241, 5};
const CardRef kLxiSlot1{"TCPIP0::192.0.2.17::INSTR", 1, VI_INTF_TCPIP, 0x4242, -1};

using SessionTest = SimFixture;

TEST_F(SessionTest, MultiSessionOpensEveryListedCardAndClosesThemAgain)
{
    for (const std::vector<CardRef> &cards : {std::vector<CardRef>{kVxiSlot2}, {kVxiSlot5, kLxiSlot1, kVxiSlot2}}) {
        SCOPED_TRACE(std::to_string(cards.size()) + " cards");
        std::string list;
        std::vector<ViInt16> numbers;
        for (const CardRef &c : cards) {
            list += (list.empty() ? "" : ",") + std::string(c.resource);
            numbers.push_back(c.slot);
        }
        ASSERT_NO_FATAL_FAILURE(openCards(list, numbers));
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
            EXPECT_EQ(word(0), cards[j].intfType);
            EXPECT_EQ(word(2), cards[j].slot);
            EXPECT_EQ(word(4), 0) << "interface number";
            EXPECT_EQ(word(6), cards[j].vxiLa);

            const ViSession fc = card(static_cast<int>(j));
            EXPECT_EQ(std::count(seen.begin(), seen.end(), fc), 0);
            seen.push_back(fc);
            ViAddr instAddress = nullptr;
            ASSERT_EQ(viGetAttribute(fc, VI_ATTR_USER_DATA, &instAddress), VI_SUCCESS);
            const auto *inst = static_cast<const kq7150_instEnv *>(instAddress);
            ASSERT_NE(inst, nullptr);
            EXPECT_EQ(inst->variant, cards[j].variant);
            EXPECT_EQ(inst->fcNumber, cards[j].slot);
            EXPECT_EQ(inst->head.ifVref == nullptr, cards[j].intfType == VI_INTF_TCPIP);
            ViChar subType[kq7150_TEXT_BUFLEN] = "";
            ASSERT_EQ(kq7150_getSubType(fc, subType), VI_SUCCESS);
            EXPECT_EQ(subType[0] * 256 + subType[1], cards[j].variant);
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
}

TEST_F(SessionTest, RefusedListFailsWithATextAndLeavesNoSession)
{
    struct BadList {
        const char *name;
        const char *list;
        std::vector<ViInt16> cards;
        ViStatus expected; // 0: any error
    };
    for (BadList b : std::vector<BadList>{
             {"UnknownResource", "VXI0::9::INSTR", {2}, VI_ERROR_RSRC_NFOUND},
             {"EmptySlot", "VXI0::5::INSTR", {4}, kq7150_ERROR_NO_CARD},
             {"SlotBeyondCarrier", "VXI0::5::INSTR", {7}, kq7150_ERROR_NO_CARD},
             {"OtherModel", "VXI0::5::INSTR", {3}, kq7150_ERROR_WRONG_MODEL},
             {"RepeatedCard", "VXI0::5::INSTR,VXI0::5::INSTR", {2, 2}, kq7150_ERROR_DUPLICATE_CARD},
             {"SameCardUnderTwoNames", "TCPIP0::192.0.2.17::INSTR,TCPIP0::kq7000-lxi::INSTR", {1, 1},
              kq7150_ERROR_DUPLICATE_CARD},
             {"EmptyName", "VXI0::5::INSTR,", {2, 5}, kq7150_ERROR_RSRC_LIST},
             {"NotACarrier", "ASRL1::INSTR", {1}, 0}}) {
        ViSession vi = VI_NULL;
        const ViStatus status = kq7150_multInit(b.list, b.cards.data(), VI_TRUE, VI_TRUE, &vi);
        EXPECT_TRUE(b.expected == 0 ? status < 0 : status == b.expected) << b.name << ": " << status;
        EXPECT_GT(driverText(status).size(), 10u) << b.name << ": " << driverText(status);
        EXPECT_EQ(kqsim_openSessions(), sessionsBefore_) << b.name;
    }
}

} // namespace
} // namespace kqtest
