// Its misuse (a size or index out of range, inverting a non-square matrix) never arises in the
// sine fit, its one user, which sizes its matrices itself.
#include "matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

namespace {

// That an inverse is the inverse, the sine fit's closed forms show.
// Rows are never exchanged; every pivot of magnitude up to 0.001, whatever its sign, is taken
// as +0.001. [[0, 1], [1, 0]] is its own inverse, as an elimination that exchanges rows finds.
// Without the exchange the zero pivot becomes 0.001: row 1 turns into (1, -1000 | -1000, 1),
// back substitution leaves row 0 as (0, 0 | 0, 0.001), and scaling gives [[0, 1], [1, -0.001]].
TEST(Matrix, SmallPivotsAreReplacedByPlusOneThousandthNotExchanged) {
    for (const auto &[rowByRow, inverse] : std::vector<std::pair<std::vector<double>, std::vector<double>>>{
             {{0, 0, 0, 4}, {1000, 0, 0, 0.25}},
             {{-0.001, 0, 0, 4}, {1000, 0, 0, 0.25}},
             {{-0.002, 0, 0, 4}, {-500, 0, 0, 0.25}},
             {{0, 1, 1, 0}, {0, 1, 1, -0.001}}}) {
        matrix m(2, 2);
        for (int i = 0; i < 4; ++i)
            m.at(i % 2, i / 2) = rowByRow[i];
        m.invert();
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(m.at(i % 2, i / 2), inverse[i], 1e-15 * std::abs(inverse[i]))
                << rowByRow[0] << " " << i;
    }
}

} // namespace
