#include "matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST(Matrix, MisuseFailsWithItsMessage) {
    matrix m(2, 3); // 2 columns, 3 rows: (1, 2) exists, (2, 1) does not
    const matrix &readOnly = m;
    const std::string size = "Bad number of columns or rows", bounds = "Column or row out of bounds";
    for (const auto &[misuse, message] : std::vector<std::pair<std::function<void()>, std::string>>{
             {[] { matrix(1, 0); }, size},
             {[] { matrix(-1, 1); }, size},
             {[&] { m.at(2, 1) = 1.0; }, bounds},
             {[&] { m.at(0, -1) = 1.0; }, bounds},
             {[&] { readOnly.at(0, 3); }, bounds},
             {[&] { m.invert(); }, "Can invert only a square matrix"}}) {
        try {
            misuse();
            ADD_FAILURE() << "no failure, expected " << message;
        } catch (const std::runtime_error &e) {
            EXPECT_EQ(e.what(), message);
        }
    }
    m.at(1, 2) = 7.0;
    EXPECT_EQ(readOnly.at(1, 2), 7.0);
}

// That an inverse is the inverse, the sine fit's closed forms show: it is the one user.
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
