// Resource search and carrier probing over the built-in world, as "Auto Find" meets it.
#include "SimFixture.h"

#include <set>

namespace kqtest {
namespace {

// A session left open by a failed assertion is closed by the fixture's reload.
using VisaSearchTest = SimFixture;

TEST_F(VisaSearchTest, FindsEveryResourceOfTheBuiltInWorldOnce)
{
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
    for (const auto &[expression, matches] : std::vector<std::pair<const char *, ViUInt32>>{
             {"TCPIP?*INSTR", 2}, {"vxi?*", 1}, {"ASRL?::INSTR", 1}, {"TCPIP0::*::INSTR", 2}, {"?*::5::INSTR", 1}}) {
        ASSERT_EQ(viFindRsrc(rm, expression, &list, &count, desc), VI_SUCCESS) << expression;
        EXPECT_EQ(count, matches) << expression;
    }
    EXPECT_EQ(viFindRsrc(rm, "GPIB?*INSTR", &list, &count, desc), VI_ERROR_RSRC_NFOUND);
    ViSession vi = VI_NULL;
    EXPECT_EQ(viOpen(rm, "VXI0::9::INSTR", 0, 0, &vi), VI_ERROR_RSRC_NFOUND);

    // Closing the resource manager closes the find lists opened through it.
    ASSERT_EQ(viClose(rm), VI_SUCCESS);
    EXPECT_EQ(kqsim_openSessions(), sessionsBefore_);
}

TEST_F(VisaSearchTest, OpensAndDescribesEachCarrier)
{
    ViSession rm = VI_NULL;
    ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
    struct CarrierCase {
        const char *resource;
        ViUInt32 model;
        ViUInt16 slots;
        std::map<int, std::pair<ViUInt16, ViUInt16>> cards; // slot -> code, variant word (0: not checked)
        bool lxi;
    };
    // Both names of the LXI box reach the same card, which SessionTest's refusal of the pair shows.
    for (const CarrierCase &c : std::vector<CarrierCase>{
             {"VXI0::5::INSTR", 7005, 6, {{2, {0x7150, 0x4242}}, {3, {0x7140, 0}}, {5, {0x7150, 0x4241}}}, false},
             {"TCPIP0::kq7000-lxi::INSTR", 7014, 2, {{1, {0x7150, 0x4242}}}, true}}) {
        SCOPED_TRACE(c.resource);
        ViSession vi = VI_NULL;
        const auto t0 = SteadyClock::now();
        ASSERT_EQ(viOpen(rm, c.resource, 0, 2000, &vi), VI_SUCCESS);
        EXPECT_EQ(secondsSince(t0) >= 0.2, c.lxi) << "only a network probe takes a noticeable time";

        kq7000_carrier *carrier = nullptr;
        ASSERT_EQ(kq7000_openCarrier(vi, &carrier), VI_SUCCESS);
        ASSERT_TRUE(carrier && carrier->regs);
        EXPECT_EQ(carrier->model, c.model);
        EXPECT_EQ(carrier->slotCount, c.slots);
        for (int slot = 1; slot <= c.slots; ++slot) {
            const auto it = c.cards.find(slot);
            EXPECT_EQ(carrier->cardCodes[slot - 1], it == c.cards.end() ? 0 : it->second.first) << "slot " << slot;
            ViUInt16 variant = 0;
            const ViStatus read =
                carrier->regs->readWord(carrier->ctx, static_cast<ViUInt16>(slot), kq7000_REG_VARIANT, &variant);
            if (it == c.cards.end()) {
                EXPECT_LT(read, 0) << "empty slot " << slot;
            } else if (it->second.second != 0) {
                EXPECT_EQ(variant, it->second.second) << "slot " << slot;
            }
        }
        EXPECT_EQ(kq7000_releaseCarrier(carrier), VI_SUCCESS);

        // The program tells a VXI carrier from an LXI box by whether VI_ATTR_SLOT answers.
        ViUInt16 intf = 0, intfNum = 99;
        ViInt16 slot = -1, la = -1;
        ViChar text[256] = "";
        EXPECT_EQ(viGetAttribute(vi, VI_ATTR_INTF_TYPE, &intf), VI_SUCCESS);
        EXPECT_EQ(intf, c.lxi ? VI_INTF_TCPIP : VI_INTF_VXI);
        EXPECT_EQ(viGetAttribute(vi, VI_ATTR_INTF_NUM, &intfNum), VI_SUCCESS);
        EXPECT_EQ(intfNum, 0);
        if (c.lxi) {
            EXPECT_LT(viGetAttribute(vi, VI_ATTR_SLOT, &slot), 0);
            ASSERT_EQ(viGetAttribute(vi, VI_ATTR_TCPIP_ADDR, text), VI_SUCCESS);
            EXPECT_STREQ(text, "192.0.2.17");
            ASSERT_EQ(viGetAttribute(vi, VI_ATTR_TCPIP_HOSTNAME, text), VI_SUCCESS);
            EXPECT_STREQ(text, "kq7000-lxi");
            ASSERT_EQ(viGetAttribute(vi, VI_ATTR_TCPIP_DEVICE_NAME, text), VI_SUCCESS);
            EXPECT_STREQ(text, "inst0");
        } else {
            ASSERT_EQ(viGetAttribute(vi, VI_ATTR_SLOT, &slot), VI_SUCCESS);
            EXPECT_EQ(slot, 3);
            ASSERT_EQ(viGetAttribute(vi, VI_ATTR_VXI_LA, &la), VI_SUCCESS);
            EXPECT_EQ(la, 5);
            EXPECT_LT(viGetAttribute(vi, VI_ATTR_TCPIP_ADDR, text), 0);
        }
        EXPECT_EQ(viClose(vi), VI_SUCCESS);
    }

    // An instrument that is no carrier is not opened as one.
    ViSession vi = VI_NULL;
    ASSERT_EQ(viOpen(rm, "ASRL1::INSTR", 0, 2000, &vi), VI_SUCCESS);
    kq7000_carrier *carrier = nullptr;
    const ViStatus status = kq7000_openCarrier(vi, &carrier);
    EXPECT_EQ(status, kq7000_ERROR_NOT_CARRIER);
    EXPECT_EQ(carrier, nullptr);
    ViChar text[kq7000_STATUS_BUFLEN] = "";
    EXPECT_EQ(kq7000_statusText(status, text), VI_SUCCESS);
    EXPECT_STRNE(text, "");
    EXPECT_EQ(viClose(rm), VI_SUCCESS);
    EXPECT_EQ(kqsim_openSessions(), sessionsBefore_) << "closing the resource manager closes its sessions";
}

} // namespace
} // namespace kqtest
