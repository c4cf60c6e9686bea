// Comparisons of geometry at the precision of the build's CGFloat: a 32-bit
// build rounds every step to single precision, so a result that is exact in
// double precision may be a few units in the last place of a float away.
#pragma once

#include "graphics/CGGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace testing_support {

// The tolerance for a CGFloat result near `expected`: `tolerance` where
// CGFloat is double; where it is float, no less than 16 units in the last
// place of a float of that size (of 1, for results near zero).
inline double cgTolerance(double tolerance, double expected)
{
    if constexpr (CGFLOAT_IS_DOUBLE)
        return tolerance;
    return std::max(tolerance, std::max(1.0, std::abs(expected)) * 16 * double(std::numeric_limits<float>::epsilon()));
}

} // namespace testing_support

// EXPECT_DOUBLE_EQ, EXPECT_NEAR and ASSERT_NEAR at the precision of CGFloat.
#define EXPECT_CGFLOAT_EQ(actual, expected) \
    EXPECT_PRED_FORMAT2(::testing::internal::CmpHelperFloatingPointEQ<CGFloat>, actual, expected)
#define EXPECT_CGFLOAT_NEAR(actual, expected, tolerance) \
    EXPECT_NEAR(actual, expected, ::testing_support::cgTolerance(tolerance, expected))
#define ASSERT_CGFLOAT_NEAR(actual, expected, tolerance) \
    ASSERT_NEAR(actual, expected, ::testing_support::cgTolerance(tolerance, expected))
