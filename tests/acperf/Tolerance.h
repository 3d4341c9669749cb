// One notion of "close enough" for every numeric test: a relative tolerance with an
// absolute floor for values near zero.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

inline ::testing::AssertionResult nearRel(double actual, double expected, double rel, double absFloor = 0.0) {
    const double tol = std::max(rel * std::fabs(expected), absFloor);
    if (std::fabs(actual - expected) <= tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual << " differs from " << expected << " by "
                                         << std::fabs(actual - expected) << " (tolerance " << tol << ")";
}

#define EXPECT_NEAR_REL(actual, expected, rel) EXPECT_TRUE(nearRel((actual), (expected), (rel)))
