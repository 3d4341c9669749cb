// The ramp-file check of RampFile.h as a test assertion.
#pragma once

#include "RampFile.h"

#include <gtest/gtest.h>

// lsb: volts per count of every channel (all at the same gain), 0 for each channel's own.
inline ::testing::AssertionResult rampFileIsGapFree(const std::string &path, double lsb, RampFile &out) {
    const std::string gap = rampFileGap(path, lsb, out);
    if (gap.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << path << ": " << gap;
}
