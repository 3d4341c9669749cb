// The simulated cards through the driver: the multi-card sessions and what they refuse, the
// acquisition state machine, the block layout across cards, the 24-bit conversion and
// calibration. The per-card records of the multi-card block and the card sessions' attributes
// meet the connection workflows, which show them in the legend headings; the search of the
// built-in world, CardSearchTest's card tree. A channel trigger with its pre-trigger history
// meets the trigger workflow; the cards' clock and timed starts, the panel's timed start tests.
#include "SimFixture.h"

#include "../support/AddressSpaceLimit.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>

namespace kqtest {
namespace {

// The front panel reads card j's record at byte 254 + 20 * j of the multi-card block.
static_assert(offsetof(kq7150_multEnv, cards) == 254 && sizeof(kq7150_multCard) == 20, "multEnv layout");

using SimulatedCards = SimFixture;

TEST_F(SimulatedCards, SessionsOpenOnlyWhatTheWorldHoldsAndCloseWithoutATrace) {
    // Resource list, card numbers, status (0: any error).
    using BadList = std::tuple<const char *, std::vector<ViInt16>, ViStatus>;
    for (auto [list, cards, expected] : std::vector<BadList>{
             {"VXI0::9::INSTR", {2}, VI_ERROR_RSRC_NFOUND},
             {"VXI0::5::INSTR", {4}, kq7150_ERROR_NO_CARD}, // an empty slot
             {"VXI0::5::INSTR", {7}, kq7150_ERROR_NO_CARD}, // beyond the carrier
             {"VXI0::5::INSTR", {3}, kq7150_ERROR_WRONG_MODEL},
             {"VXI0::5::INSTR,VXI0::5::INSTR", {2, 2}, kq7150_ERROR_DUPLICATE_CARD},
             {"TCPIP0::192.0.2.17::INSTR,TCPIP0::kq7000-lxi::INSTR", {1, 1}, kq7150_ERROR_DUPLICATE_CARD},
             {"VXI0::5::INSTR,", {2, 5}, kq7150_ERROR_RSRC_LIST},
             {"ASRL1::INSTR", {1}, 0}}) {
        ViSession vi = VI_NULL;
        const ViStatus status = kq7150_multInit(list, cards.data(), VI_TRUE, VI_TRUE, &vi);
        EXPECT_TRUE((expected == 0 ? status < 0 : status == expected) && driverText(status).size() > 10 &&
                    kqsim_openSessions() == sessionsBefore_)
            << list << ": " << status << " " << driverText(status);
    }

    // A session holds itself and one per card; a VXI card's session knows its slot. The panel
    // never asks for a card outside its session, nor of a closed one. The LXI box of the
    // built-in world has no reference module to calibrate with.
    ASSERT_NO_FATAL_FAILURE(openCards("VXI0::5::INSTR,TCPIP0::192.0.2.17::INSTR", {5, 1}));
    EXPECT_EQ(kqsim_openSessions(), sessionsBefore_ + 3);
    ViInt16 slot = -1;
    EXPECT_TRUE(viGetAttribute(card(0), VI_ATTR_SLOT, &slot) == VI_SUCCESS && slot == 3) << slot;
    const ViStatus status = kq7150_calibrateChannel(card(1), 1, VI_NULL, VI_NULL);
    EXPECT_TRUE(status == kq7150_ERROR_NO_VREF && !driverText(status).empty()) << status;
    closeCards();
    EXPECT_EQ(kqsim_openSessions(), sessionsBefore_);

    // A malformed world file loads nothing, and its load error names the file and the place.
    EXPECT_EQ(loadWorld("{\n  \"carriers\": [\n    {\"resources\": [\"VXI0::1::INSTR\"],\n  ]\n}"), -1);
    char error[1024] = "";
    kqsim_loadError(error, sizeof error);
    EXPECT_NE(std::string(error).find(std::getenv("KQ7150_SIM_CONFIG") + std::string(": line 4")),
              std::string::npos)
        << error;
    ViInt16 builtIn = 5; // a card of the built-in world
    ViSession vi = VI_NULL;
    EXPECT_EQ(kq7150_multInit("VXI0::5::INSTR", &builtIn, VI_TRUE, VI_TRUE, &vi), VI_ERROR_RSRC_NFOUND);
}

// Every channel counts its scans (a ramp), which pins down exactly which scans a block holds.
TEST_F(SimulatedCards, SoftwarePulseAcquiresExactlyTheScansPerTrigger) {
    ASSERT_EQ(loadWorld(world::make({world::card(1, world::kRamp)})), 0);
    ASSERT_NO_FATAL_FAILURE(openCards("VXI0::1::INSTR", {1}));
    const ViInt32 scans = 4096;
    ASSERT_NO_FATAL_FAILURE(acquireBlock({0x01}, scans));
    const AcqStatus end = check();
    EXPECT_EQ(std::tuple(end.backlog, end.errors, end.overflow), std::tuple(ViUInt32(scans), 0, 0));
    const std::vector<ViInt32> block = read<ViInt32>(scans);
    std::vector<ViInt32> ramp(scans);
    std::iota(ramp.begin(), ramp.end(), block[0]);
    EXPECT_EQ(block, ramp);
    EXPECT_LT(kq7150_readMultAcquisition32(vi_, 1, ramp.data()), 0) << "nothing is left after the end";
}

// The card memory is mapped when an acquisition starts. A host that cannot give it makes the
// allocation throw; the caller is C and must get a status, and the session stays usable.
// 32 cards of 8 channels need 256 MB, more than earlier tests can have left mapped.
TEST_F(SimulatedCards, StartWithoutMemoryForTheCardMemoryReturnsAStatus) {
    std::vector<std::string> cards;
    std::vector<ViInt16> slots;
    std::string list = "VXI0::1::INSTR";
    for (ViInt16 slot = 1; slot <= 32; ++slot)
        cards.push_back(world::card(slot, world::kRamp)), slots.push_back(slot);
    for (int k = 1; k < 32; ++k)
        list += ",VXI0::1::INSTR";
    std::string text = world::make(cards);
    ASSERT_EQ(loadWorld(text.insert(text.find("\"VXI\",") + 6, "\"slots\":32,")), 0);
    ASSERT_NO_FATAL_FAILURE(openCards(list, slots));
    ASSERT_EQ(trigger(kq7150_TRIG_NONE), VI_SUCCESS);
    ASSERT_EQ(configure(std::vector<ViUInt16>(32, 0xFF), kRate, kq7150_ACQ_UNTRIGGERED, 0), VI_SUCCESS);
    ViStatus status;
    {
        AddressSpaceLimit limit(4 << 20);
        status = kq7150_startMultAcquisition(vi_);
    }
    EXPECT_TRUE(status == VI_ERROR_ALLOC && !driverText(status).empty()) << status;
    EXPECT_EQ(check().state, kq7150_STATE_IDLE);
    EXPECT_EQ(kq7150_startMultAcquisition(vi_), VI_SUCCESS);
}

// Two cards whose channels each hold a different DC level, so every value names its source: the
// first ("BB") with a 0 V input with a little noise on channel 6, the second ("BA", gain 1 only)
// with channels 2 and 3 beyond the range.
TEST_F(SimulatedCards, BlocksAreChannelMajorAndCalibratedCountsTheInputInLsbs) {
    const double levels[2][8] = {{0.5, 1.0, 1.5, 1.9876, 2.5, 0.0, -0.987654, 4.0},
                                 {-0.5, 12.0, -12.0, -2.0, -2.5, -3.0, -3.5, -4.0}};
    std::vector<std::string> cards;
    for (int c = 0; c < 2; ++c) {
        std::map<int, std::string> channels;
        for (int ch = 1; ch <= 8; ++ch)
            channels[ch] = world::dc(levels[c][ch - 1], c == 0 && ch == 6 ? 10e-6 : 0.0);
        cards.push_back(world::card(1 + c, world::dc(0.0), channels, c == 0 ? "BB" : "BA"));
    }
    ASSERT_EQ(loadWorld(world::make(cards, R"("calibrationMs": 50)")), 0);
    ASSERT_NO_FATAL_FAILURE(openCards("VXI0::1::INSTR,VXI0::1::INSTR", {1, 2}));
    // (The panel's channel selection acquires only equal channel counts of at least one channel,
    // so the cards' refusal of others is never met.)
    for (const std::vector<ViUInt16> &masks : {std::vector<ViUInt16>{0x80, 0x01}, {0xFF, 0xFF}}) {
        std::vector<double> expected;
        for (int c = 0; c < 2; ++c)
            for (int ch = 1; ch <= 8; ++ch)
                if (masks[c] & (1u << (ch - 1)))
                    expected.push_back(std::clamp(levels[c][ch - 1], -10.24, 10.24));
        ASSERT_NO_FATAL_FAILURE(acquireBlock(masks, 64));
        const std::vector<ViReal64> v = read<ViReal64>(64, static_cast<int>(expected.size()));
        // Uncalibrated channels are off by up to a few mV; neighbouring levels are 0.5 V apart.
        for (size_t k = 0; k < v.size(); ++k)
            ASSERT_NEAR(v[k], expected[k / 64], 0.01) << "masks " << masks[0] << " " << masks[1] << ", " << k;
        ASSERT_EQ(kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
    }

    // The 0 V input's mean, not biased by the quantiser thanks to the noise, is the channel's
    // offset alone; calibrating removes it and reports it, taking the card's time.
    const auto mean = [this] {
        acquireBlock({0x20, 0x01}, 4096);
        const std::vector<ViReal64> v = read<ViReal64>(4096, 2); // card 0's channel first
        EXPECT_EQ(kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
        return std::accumulate(v.begin(), v.begin() + 4096, 0.0) / 4096;
    };
    const double before = mean();
    EXPECT_TRUE(std::fabs(before) > 50 * lsb(1) && std::fabs(before) < 2e-3)
        << "uncalibrated offset " << before;
    double offset = 0.0;
    const auto t0 = SteadyClock::now();
    ASSERT_EQ(kq7150_calibrateChannel(card(0), 6, &offset, VI_NULL), VI_SUCCESS);
    EXPECT_GE(secondsSince(t0), 0.045) << "calibration takes the card's time";
    EXPECT_NEAR(offset, before, 5e-6);
    EXPECT_NEAR(mean(), 0.0, 5e-6);

    // Calibrated, a channel reads its input in LSBs of the gain, clipped at the range, with latched
    // overrange bits. Error word bit k belongs to channel k + 1 of the first card; the bits above
    // are status and acquisition-error flags, so an overrange on a later card raises only the
    // common flag. Which gains a card variant offers is the channel page's; that the bits stay until
    // the next start, the channel lamps' test shows. Card, channel, gain, expected error word:
    // Channel 4 lies 0.6 and channel 7 (negative) 0.784 of a count past a whole count, so that
    // truncating, flooring or ceiling shows.
    for (const auto &[c, ch, gain, bits] :
         std::vector<std::tuple<int, int, int, ViUInt16>>{{0, 4, 5, 0},
                                                          {0, 7, 5, 0},
                                                          {0, 5, 5, kq7150_ERR_OUT_OF_RANGE | 0x010},
                                                          {1, 2, 1, kq7150_ERR_OUT_OF_RANGE},
                                                          {1, 3, 1, kq7150_ERR_OUT_OF_RANGE}}) {
        SCOPED_TRACE(::testing::Message() << "card " << c << ", channel " << ch);
        const ViInt32 expected = ViInt32(
            std::clamp<long long>(std::llround(levels[c][ch - 1] / lsb(gain)), -(1 << 23), (1 << 23) - 1));
        ASSERT_EQ(channel(c * 8 + ch, gain), VI_SUCCESS);
        ASSERT_EQ(kq7150_calibrateChannel(card(c), ViInt16(ch), VI_NULL, VI_NULL), VI_SUCCESS);
        // Both cards need the same channel count; the other card's channel 1 is within the range.
        std::vector<ViUInt16> masks{0x01, 0x01};
        masks[c] = ViUInt16(1u << (ch - 1));
        ASSERT_NO_FATAL_FAILURE(acquireBlock(masks, 256));
        const std::vector<ViInt32> counts = read<ViInt32>(128, 2);
        const std::vector<ViReal64> volts = read<ViReal64>(128, 2);
        for (int s = c * 128; s < (c + 1) * 128; ++s) {
            ASSERT_EQ(counts[s], expected) << "scan " << s;
            ASSERT_DOUBLE_EQ(volts[s], expected * lsb(gain)) << "scan " << s;
        }
        EXPECT_EQ(check().errors, bits);
        ASSERT_EQ(kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
    }
}

} // namespace
} // namespace kqtest
