#include "BlockScale.h"
#include "ChannelSelection.h"
#include "DriverAcquisition.h"
#include "DriverErrorReporter.h"
#include "SampleGrid.h"
#include "StatusLine.h"
#include "StorageSummary.h"
#include "TriggerPlan.h"
#include "kq7150_fc.h"

#include "../support/SimWorldFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

namespace {

TEST(ChannelSelectionTest, MasksAndTheWarningThatBlocksAcquisition) {
    const char *first = "At least one channel in first Function Card must be enabled for Data Acquisition.";
    const std::string equalCount = "The number of enabled channels must be the same on all function cards.";
    ChannelSelection sel(3);
    EXPECT_EQ(sel.problem(), first) << "nothing enabled";
    for (const auto &[card, channel] : {std::pair(0, 7), {0, 0}, {1, 1}, {1, 2}, {2, 3}, {2, 4}, {2, 5}})
        sel.setEnabled(card, channel, true);
    EXPECT_EQ(sel.masks(), (std::vector<uint16_t>{0x81, 0x06, 0x38}));
    EXPECT_EQ(sel.problem(), equalCount) << "2, 2 and 3 channels";
    sel.setEnabled(2, 4, false);
    EXPECT_EQ(std::tuple(sel.masks()[2], sel.enabledOn(2), sel.enabledTotal(), sel.problem()),
              std::tuple(uint16_t(0x28), 2, 6, std::string()));

    ChannelSelection laterCardsOnly(2);
    laterCardsOnly.setEnabled(1, 0, true);
    EXPECT_EQ(laterCardsOnly.problem(), equalCount) << "the count is compared first";
}

TEST(TriggerPlanTest, DriverNumbersFollowTheSourcePositionAndBox) {
    // source, position, N, LXI, storage; driver's source, mode, scans per trigger, pre-trigger, synch
    const std::tuple<int, int, int, bool, bool, int, int, int, int, uint16_t> rows[] = {
        // PTP alarm, untriggered: LXI keeps the count; a start at a time has no history before it
        {-1, 2, 1024, true, false, 0, 0, 1024, 0, 0xFFFF},
        {-1, 0, 1024, false, true, 0, 0, 0, 0, 0xFFFE},
        {3, 1, 1000, false, false, 3, 1, 1000, 250, 0xFFFE},
        {9, 3, 1024, true, false, 9, 1, 0, 768, 0xFFFF},
        {10, 4, 1024, false, true, 10, 1, 0, 1023, 0xFFFE},
        {8, 3, 6, false, false, 8, 1, 6, 4, 0xFFFE},                           // 18 / 4, not 3 x (6 / 4)
        {2, 3, 1000000000, false, false, 2, 1, 1000000000, 750000000, 0xFFFE}, // 3N passes 2^31
    };
    for (const auto &[source, position, scans, lxi, storage, driverSource, mode, perTrigger, preTrigger,
                      synch] : rows) {
        const TriggerPlan p = TriggerPlan::make(source, position, scans, lxi, storage);
        EXPECT_EQ(std::tuple(int(p.driverSource), int(p.mode), p.scansPerTrigger, p.preTrigger, p.synch),
                  std::tuple(driverSource, mode, perTrigger, preTrigger, synch))
            << source << " at " << position << " of " << scans;
    }
}

// The names are a table; its ends and the codes outside it are what can go wrong.
TEST(StatusLineTest, StateLooksAndTheErrorWord) {
    const std::string range = " &nbsp; <font color='#f80'>Input Signal Out Of Range</font>";
    const std::string error = " &nbsp; <font color='#f80'>Acquisition error: ";
    const std::pair<StatusLine, std::string> lines[] = {
        {StatusLine::running(8, 0), ""},
        {StatusLine::running(4, 0x0400), "Pre-Trig" + range},
        {StatusLine::running(5, 0x0C01), "Post-Trig" + error + "0x0C01</font>"}, // outranks the range
        {StatusLine::running(3, 0x0100), "Ready" + error + "0x0100</font>"},
        {StatusLine::running(3, 0x02FF), "Ready"}, // channel bits alone say nothing
        {StatusLine::idle(0x0800), "Idle"},
        {StatusLine::idle(0xFFFF), "Idle" + range},
    };
    for (const auto &[line, html] : lines)
        EXPECT_EQ(line.html, html);
}

// A long name is shortened in its middle so that the figures stay on the line; the cuts fall
// between UTF-8 characters (two-byte "é" straddles both cut points here).
TEST(StorageSummaryTest, LongNamesKeepTheirEndsAndWholeCharacters) {
    const std::string a(23, 'a'), z(14, 'z');
    StorageSummary summary{"/data/" + a + "é" + std::string(40, 'm') + "é" + z + ".bin7150", 1, 1024, 1024,
                           10};
    EXPECT_EQ(summary.text(),
              "Stored \"" + a + "...é" + z + ".bin7150\": 1 block (1.000 s), 10 bytes; stopped.");
    summary.end = StorageSummary::End::DiskStalled;
    summary.fileName = std::string(51, 'n');
    EXPECT_EQ(summary.text(), "Stored \"" + summary.fileName +
                                  "\": 1 block (1.000 s), 10 bytes; ended by an error: the disk stalled.");
}

// The cursors snap to the nearest sample of the block: before it its first, far beyond its last
// (without an int overflow), none without samples.
TEST(SampleGridTest, SnapsToTheNearestSampleWithinTheBlock) {
    // Eleven samples 1 ms apart from -5 ms (a pre-trigger block).
    const SampleGrid grid{-0.005, 1000.0, 11}, empty{0.0, 1000.0, 0};
    EXPECT_EQ(
        std::vector<int>({grid.nearestIndex(-0.0046), grid.nearestIndex(-0.0044), grid.nearestIndex(-1.0),
                          grid.nearestIndex(1e300), grid.nearestIndex(NAN), empty.nearestIndex(0.3)}),
        std::vector<int>({0, 1, 0, 10, 0, -1}));
    EXPECT_EQ(empty.snap(0.3), 0.3) << "no samples: the cursor stays where it was put";
}

// A slider of more blocks than it has positions spreads them over its positions.
TEST(BlockScaleTest, EveryPositionHasABlockOfItsOwnAndTheEndsMeet) {
    constexpr uint64_t intMax = std::numeric_limits<int>::max();
    for (const uint64_t blocks : {uint64_t(1), uint64_t(3), intMax, intMax + 1, (uint64_t(1) << 31) + 10,
                                  uint64_t(1) << 40, std::numeric_limits<uint64_t>::max()}) {
        SCOPED_TRACE(blocks);
        const BlockScale scale(blocks);
        const int last = scale.positions();
        EXPECT_EQ(
            std::tuple(uint64_t(last), scale.blockAt(1), scale.blockAt(last), scale.positionOf(blocks - 1)),
            std::tuple(std::min(blocks, intMax), uint64_t(0), blocks - 1, last));
        // Each position's block is its own; the block after it is on that position or the next.
        for (const int p : {1, 2, last / 3, last / 2 + 1, last - 1, last})
            EXPECT_TRUE(p < 1 || p > last ||
                        (scale.positionOf(scale.blockAt(p)) == p &&
                         (p == last || scale.positionOf(scale.blockAt(p) + 1) <= p + 1)))
                << p;
    }
}

std::string failedDueTo(ViStatus status) {
    char text[kq7150_ERROR_MSG_BUFLEN] = "";
    kq7150_error_message(VI_NULL, status, text);
    return std::string(" failed due to [") + text + "]";
}

// Sessions of the two 7150 cards of the built-in VXI carrier, with a trigger configuration and a
// start that fail; the error box collects what is reported. The window's tests meet one card and
// no pipeline; a call that fails is reported and the others are still made.
TEST(DriverErrorReporterTest, TheAcquisitionHandsOverEveryCardsMasksAndEachFailedCallIsToldBoxedOrNot) {
    static std::vector<std::string> boxed; // outlives the test should an assertion end it early
    DriverErrorReporter::setErrorBox([&](const std::string &m) { boxed.push_back(m); });
    SimWorldFiles sim;
    ASSERT_NO_FATAL_FAILURE(
        sim.use(R"({"faults": [{"call": "kq7150_setMultTrigConfig", "status": "0xBFFC080B",
        "count": 0}, {"call": "kq7150_startMultAcquisition", "status": "0xBFFC080D", "count": 0}]})",
                "KQ7150_SIM_FAULTS"));
    ViInt16 cards[] = {2, 5}, empty[] = {4};
    ViSession vi = VI_NULL;
    ASSERT_EQ(kq7150_multInit("VXI0::5::INSTR,VXI0::5::INSTR", cards, VI_TRUE, VI_TRUE, &vi), VI_SUCCESS);
    kqsim_clearCallLog();
    DriverAcquisition acq(vi);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(
        acq.configure(TriggerPlan::make(2, 0, 1024, true, false), 1, 0.5, {0x03, 0x05}, 216000.0, 1));
    EXPECT_NE(lastSimCall("kq7150_multConfig").find("masks=0x0003,0x0005 "), std::string::npos);
    EXPECT_EQ(std::tuple(kqsim_callCount("kq7150_multConfig"), lastSimCall("kq7150_setAcquisitionAttribute")),
              std::tuple(1, std::string("attribute=2 value=1")));
    EXPECT_FALSE(acq.start());
    EXPECT_FALSE(acq.rearm());
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(boxed, std::vector<std::string>(
                         {"kq7150_setMultTrigConfig(d_vi, trg, kq7150_MODE_EDGE, edge, level, preTrig)" +
                              failedDueTo(kq7150_ERROR_TRIGGER),
                          "kq7150_startMultAcquisition(d_vi)" + failedDueTo(kq7150_ERROR_RUNNING),
                          "status" + failedDueTo(kq7150_ERROR_RUNNING)}));
    EXPECT_EQ(printed, boxed.at(0) + "\n" + boxed.at(1) + "\n" + boxed.at(2) + "\n")
        << "each printed as boxed";
    EXPECT_EQ(kq7150_multClose(vi), VI_SUCCESS);

    // Without an error box the line is still printed; a status the driver has no text for is
    // explained all the same, never with empty brackets. The descriptor refuses an empty slot.
    DriverErrorReporter::setErrorBox(nullptr);
    const ViStatus unknown = static_cast<ViStatus>(0xBFFC0FEEu);
    kq7150_fc fc;
    EXPECT_TRUE(fc.errorMessage(unknown).empty() && !fc.errorMessage(kq7150_ERROR_NO_CARD).empty());
    testing::internal::CaptureStdout();
    const std::string text = DriverErrorReporter::report(unknown, "viOpen(rm, name, 0, 0, &vi)");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), text + "\n");
    EXPECT_EQ(text.rfind("viOpen(rm, name, 0, 0, &vi) failed due to [", 0), 0u);
    EXPECT_TRUE(text.find("BFFC0FEE") != std::string::npos && text.back() == ']') << text;
    EXPECT_LT(fc.openCards("VXI0::5::INSTR", empty, 1, 1, &vi), 0);
}

} // namespace
