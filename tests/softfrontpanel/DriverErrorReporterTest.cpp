#include "DriverErrorReporter.h"

#include "kq7150.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class DriverErrorReporterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DriverErrorReporter::setErrorBox([this](const std::string &m) { boxed.push_back(m); });
    }
    void TearDown() override { DriverErrorReporter::setErrorBox(nullptr); }
    std::vector<std::string> boxed;
};

TEST_F(DriverErrorReporterTest, PrintsTheLineAndHandsTheSameTextToTheErrorBox)
{
    char driverText[kq7150_ERROR_MSG_BUFLEN] = {};
    ASSERT_EQ(kq7150_error_message(VI_NULL, kq7150_ERROR_RATE, driverText), VI_SUCCESS);
    const char *call = "kq7150_multConfig(d_vi, kq7150_SYNC_MBA, chMask, freq, mode, scans_trig, synch, synch)";

    testing::internal::CaptureStdout();
    const std::string text = DriverErrorReporter::report(kq7150_ERROR_RATE, call);
    const std::string printed = testing::internal::GetCapturedStdout();

    const std::string expected = std::string(call) + " failed due to [" + driverText + "]";
    EXPECT_EQ(text, expected);
    EXPECT_EQ(printed, expected + "\n");
    ASSERT_EQ(boxed.size(), 1u);
    EXPECT_EQ(boxed[0], expected);
}

TEST_F(DriverErrorReporterTest, StatusUnknownToTheDriverIsStillExplained)
{
    const ViStatus unknown = static_cast<ViStatus>(0xBFFC0FEEu);
    char driverText[kq7150_ERROR_MSG_BUFLEN] = {};
    ASSERT_NE(kq7150_error_message(VI_NULL, unknown, driverText), VI_SUCCESS);

    testing::internal::CaptureStdout();
    const std::string text = DriverErrorReporter::report(unknown, "viOpen(rm, name, 0, 0, &vi)");
    testing::internal::GetCapturedStdout();

    EXPECT_EQ(text.rfind("viOpen(rm, name, 0, 0, &vi) failed due to [", 0), 0u);
    EXPECT_NE(text.find("BFFC0FEE"), std::string::npos) << text;
    EXPECT_EQ(text.back(), ']');
}

TEST_F(DriverErrorReporterTest, WithoutAnErrorBoxOnlyTheLineIsPrinted)
{
    DriverErrorReporter::setErrorBox(nullptr);
    testing::internal::CaptureStdout();
    DriverErrorReporter::report(kq7150_ERROR_NO_VREF, "kq7150_calibrateChannel(fc_vi, i+1, NULL, NULL)");
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.rfind("kq7150_calibrateChannel(fc_vi, i+1, NULL, NULL) failed due to [", 0), 0u);
    EXPECT_TRUE(boxed.empty());
}

} // namespace
