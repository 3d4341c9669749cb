// What the 24-bit converter returns through the driver: quantisation to the gain's LSB,
// clipping at the range and the latched overrange bits. Which gains a card variant offers is the
// channel page's, which the channel configuration tests meet.
#include "SimFixture.h"

#include <algorithm>
#include <cmath>

namespace kqtest {
namespace {

// Card 0 (slot 1, "BB"): 0.25 V, with DC levels on channels 4 and 5 (beyond the range at gain 5).
// Card 1 (slot 2, "BA", gain 1 only): 0.5 V, with channels 2 and 3 beyond the range. Rounding
// ties and clipping at the last count are ChannelSignalTest's.
const std::string kConversionWorld =
    world::make({world::card(1, world::dc(0.25), {{4, world::dc(3.0)}, {5, world::dc(-0.987654)}}),
                 world::card(2, world::dc(0.5), {{2, world::dc(12.0)}, {3, world::dc(-12.0)}}, "BA")},
                R"("calibrationMs": 20)");

struct ConversionCase {
    const char *name;
    int cardIndex;
    int channel; // on that card, 1..8
    int gain;
    double volts;  // the channel's input
    ViUInt16 bits; // expected error word
};

class Quantisation : public SimFixture, public ::testing::WithParamInterface<ConversionCase> {};

TEST_P(Quantisation, CountsAreTheInputInLsbsClippedWithALatchedOverrangeBit) {
    const ConversionCase &c = GetParam();
    const ViInt32 expected = static_cast<ViInt32>(
        std::clamp<long long>(std::llround(c.volts / lsb(c.gain)), -(1 << 23), (1 << 23) - 1));
    ASSERT_EQ(loadWorld(kConversionWorld), 0);
    ASSERT_NO_FATAL_FAILURE(openCards("VXI0::1::INSTR,VXI0::1::INSTR", {1, 2}));
    ASSERT_EQ(channel(c.cardIndex * 8 + c.channel, c.gain), VI_SUCCESS);
    ASSERT_EQ(kq7150_calibrateChannel(card(c.cardIndex), static_cast<ViInt16>(c.channel), VI_NULL, VI_NULL),
              VI_SUCCESS);
    // Both cards need the same channel count; the other card's channel 1 is within the range.
    std::vector<ViUInt16> masks{0x01, 0x01};
    masks[c.cardIndex] = static_cast<ViUInt16>(1u << (c.channel - 1));
    const ViInt32 scans = 128;
    ASSERT_NO_FATAL_FAILURE(acquireBlock(masks, 2 * scans));
    const std::vector<ViInt32> counts = read<ViInt32>(scans, 2);
    const std::vector<ViReal64> volts = read<ViReal64>(scans, 2);
    for (int s = c.cardIndex * scans; s < (c.cardIndex + 1) * scans; ++s) {
        ASSERT_EQ(counts[s], expected) << "scan " << s;
        ASSERT_DOUBLE_EQ(volts[s], expected * lsb(c.gain)) << "scan " << s;
    }
    // That the bits stay until the next start, the channel lamps' test shows.
    EXPECT_EQ(check().errors, c.bits);
}

// Error word bit k belongs to channel k + 1 of the first card; the bits above are status and
// acquisition-error flags, so an overrange on a later card raises only the common flag.
INSTANTIATE_TEST_SUITE_P(
    DcInputs, Quantisation,
    ::testing::Values(ConversionCase{"NegativeGain5", 0, 5, 5, -0.987654, 0},
                      ConversionCase{"ClippedByTheGain", 0, 4, 5, 3.0, kq7150_ERR_OUT_OF_RANGE | 0x008},
                      ConversionCase{"Card1Channel2", 1, 2, 1, 12.0, kq7150_ERR_OUT_OF_RANGE},
                      ConversionCase{"Card1Channel3", 1, 3, 1, -12.0, kq7150_ERR_OUT_OF_RANGE}),
    [](const ::testing::TestParamInfo<ConversionCase> &info) { return std::string(info.param.name); });

} // namespace
} // namespace kqtest
