#include "kq7150_fc.h"

#include "kq7150.h"

#include <gtest/gtest.h>

// The model text and the supported models meet the window titles and the card tree.
TEST(DescriptorTest, ModelTextAndSupportedModel) {
    kq7150_fc fc;
    EXPECT_EQ(fc.modelText(), "7150");
    EXPECT_TRUE(fc.isSupportedModel(0x7150));
    EXPECT_FALSE(fc.isSupportedModel(0x7140));
    EXPECT_FALSE(fc.isSupportedModel(0));
}

TEST(DescriptorTest, ErrorMessageIsEmptyOnlyForAStatusTheDriverDoesNotKnow) {
    kq7150_fc fc;
    EXPECT_TRUE(fc.errorMessage(static_cast<ViStatus>(0xBFFC0FEEu)).empty());
    EXPECT_FALSE(fc.errorMessage(kq7150_ERROR_NO_CARD).empty());
}

TEST(DescriptorTest, OpensResetsAndClosesCards) {
    kq7150_fc fc;
    ViInt16 numbers[] = {2, 5}, empty[] = {4};
    ViSession vi = 0;
    ASSERT_EQ(fc.openCards("VXI0::5::INSTR,VXI0::5::INSTR", numbers, 1, 1, &vi), VI_SUCCESS);
    EXPECT_EQ(fc.resetCards(vi), VI_SUCCESS);
    EXPECT_EQ(fc.closeCards(vi), VI_SUCCESS);
    EXPECT_LT(fc.openCards("VXI0::5::INSTR", empty, 1, 1, &vi), 0);
}
