#include "kq7150_fc.h"

#include "kq7150.h"

#include <gtest/gtest.h>

TEST(DescriptorTest, ModelTextIsTheCodeInFourHexDigits)
{
    EXPECT_EQ(kq7150_fc().modelText(), "7150");
}

TEST(DescriptorTest, SupportsOnlyItsOwnModel)
{
    kq7150_fc fc;
    EXPECT_TRUE(fc.isSupportedModel(0x7150));
    EXPECT_FALSE(fc.isSupportedModel(0x7140));
    EXPECT_FALSE(fc.isSupportedModel(0));
}

TEST(DescriptorTest, ErrorMessageIsEmptyForAStatusTheDriverDoesNotKnow)
{
    kq7150_fc fc;
    EXPECT_TRUE(fc.errorMessage(static_cast<ViStatus>(0xBFFC0FEEu)).empty());
    EXPECT_FALSE(fc.errorMessage(kq7150_ERROR_NO_CARD).empty());
    EXPECT_FALSE(fc.driverRevision().empty());
}

TEST(DescriptorTest, OpensResetsAndClosesCardsAndReopensWhatItStored)
{
    kq7150_fc fc;
    ViInt16 numbers[] = {2, 5};
    ViSession vi = 0;
    ASSERT_EQ(fc.openCardsStored("VXI0::5::INSTR,VXI0::5::INSTR", numbers, 2, 1, 1, &vi), VI_SUCCESS);
    EXPECT_EQ(fc.resetCards(vi), VI_SUCCESS);
    EXPECT_EQ(fc.closeCards(vi), VI_SUCCESS);
    numbers[1] = 4; // the caller's array may change; the stored copy does not
    ViSession again = 0;
    ASSERT_EQ(fc.reopenStored(&again), VI_SUCCESS);
    EXPECT_EQ(fc.closeCards(again), VI_SUCCESS);
    ViInt16 empty[] = {4};
    EXPECT_LT(fc.openCards("VXI0::5::INSTR", empty, 1, 1, &vi), 0);
}
