// One notion of "close enough" for every numeric test: a relative tolerance with an
// absolute floor for values near zero.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

inline bool nearRel(double actual, double expected, double rel, double absFloor = 0.0) {
    return std::fabs(actual - expected) <= std::max(rel * std::fabs(expected), absFloor);
}

#define EXPECT_NEAR_REL(actual, expected, rel) EXPECT_NEAR((actual), (expected), (rel)*std::fabs(expected))
