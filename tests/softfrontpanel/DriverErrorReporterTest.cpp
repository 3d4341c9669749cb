#include "DriverErrorReporter.h"

#include "kq7150.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class DriverErrorReporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        DriverErrorReporter::setErrorBox([this](const std::string &m) { boxed.push_back(m); });
    }
    void TearDown() override { DriverErrorReporter::setErrorBox(nullptr); }
    std::vector<std::string> boxed;
};

TEST_F(DriverErrorReporterTest, PrintsTheLineAndHandsTheSameTextToTheErrorBoxWhenThereIsOne) {
    char driverText[kq7150_ERROR_MSG_BUFLEN] = {};
    ASSERT_EQ(kq7150_error_message(VI_NULL, kq7150_ERROR_RATE, driverText), VI_SUCCESS);
    const char *call =
        "kq7150_multConfig(d_vi, kq7150_SYNC_MBA, chMask, freq, mode, scans_trig, synch, synch)";
    const std::string expected = std::string(call) + " failed due to [" + driverText + "]";
    for (const bool box : {true, false}) {
        if (!box)
            DriverErrorReporter::setErrorBox(nullptr);
        testing::internal::CaptureStdout();
        EXPECT_EQ(DriverErrorReporter::report(kq7150_ERROR_RATE, call), expected);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expected + "\n");
        EXPECT_EQ(boxed, std::vector<std::string>{expected}) << "box " << box;
    }
}

TEST_F(DriverErrorReporterTest, StatusUnknownToTheDriverIsStillExplained) {
    const ViStatus unknown = static_cast<ViStatus>(0xBFFC0FEEu); // no text: see DescriptorTest
    testing::internal::CaptureStdout();
    const std::string text = DriverErrorReporter::report(unknown, "viOpen(rm, name, 0, 0, &vi)");
    testing::internal::GetCapturedStdout();

    EXPECT_EQ(text.rfind("viOpen(rm, name, 0, 0, &vi) failed due to [", 0), 0u);
    EXPECT_NE(text.find("BFFC0FEE"), std::string::npos) << text;
    EXPECT_EQ(text.back(), ']');
}

} // namespace
