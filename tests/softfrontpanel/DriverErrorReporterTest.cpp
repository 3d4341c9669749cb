// The driver's error texts, and the card descriptor's calls the end-to-end connections do not
// meet. The error box is met by DriverAcquisitionTest.
#include "DriverErrorReporter.h"
#include "kq7150_fc.h"

#include "kq7150.h"

#include <gtest/gtest.h>

namespace {

// Without an error box the line is still printed; a status the driver has no text for is
// explained all the same, never with empty brackets.
TEST(DriverErrorReporterTest, PrintsWithoutABoxAndExplainsAStatusUnknownToTheDriver) {
    const ViStatus unknown = static_cast<ViStatus>(0xBFFC0FEEu);
    kq7150_fc fc;
    EXPECT_TRUE(fc.errorMessage(unknown).empty());
    EXPECT_FALSE(fc.errorMessage(kq7150_ERROR_NO_CARD).empty());
    testing::internal::CaptureStdout();
    const std::string text = DriverErrorReporter::report(unknown, "viOpen(rm, name, 0, 0, &vi)");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), text + "\n");
    EXPECT_EQ(text.rfind("viOpen(rm, name, 0, 0, &vi) failed due to [", 0), 0u);
    EXPECT_NE(text.find("BFFC0FEE"), std::string::npos) << text;
    EXPECT_EQ(text.back(), ']');
}

TEST(DescriptorTest, OpensResetsAndClosesCardsAndRefusesAnEmptySlot) {
    kq7150_fc fc;
    ViInt16 numbers[] = {2, 5}, empty[] = {4};
    ViSession vi = 0;
    ASSERT_EQ(fc.openCards("VXI0::5::INSTR,VXI0::5::INSTR", numbers, 1, 1, &vi), VI_SUCCESS);
    EXPECT_EQ(fc.resetCards(vi), VI_SUCCESS);
    EXPECT_EQ(fc.closeCards(vi), VI_SUCCESS);
    EXPECT_LT(fc.openCards("VXI0::5::INSTR", empty, 1, 1, &vi), 0);
}

} // namespace
