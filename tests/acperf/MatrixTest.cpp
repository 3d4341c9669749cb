#include "matrix.h"

#include "Tolerance.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

matrix square(int n, const std::vector<double> &rowByRow) {
    matrix m(n, n);
    for (int i = 0; i < n * n; ++i)
        m.at(i % n, i / n) = rowByRow[i];
    return m;
}

std::string failure(const std::function<void()> &action) {
    try {
        action();
    } catch (const std::runtime_error &e) {
        return e.what();
    }
    return "no failure";
}

TEST(Matrix, MisuseFailsWithItsMessage) {
    matrix m(2, 3); // 2 columns, 3 rows: (1, 2) exists, (2, 1) does not
    const matrix &readOnly = m;
    EXPECT_EQ(failure([] { matrix(1, 0); }), "Bad number of columns or rows");
    EXPECT_EQ(failure([] { matrix(-1, 1); }), "Bad number of columns or rows");
    EXPECT_EQ(failure([&] { m.at(2, 1) = 1.0; }), "Column or row out of bounds");
    EXPECT_EQ(failure([&] { m.at(0, -1) = 1.0; }), "Column or row out of bounds");
    EXPECT_EQ(failure([&] { readOnly.at(0, 3); }), "Column or row out of bounds");
    EXPECT_EQ(failure([&] { m.invert(); }), "Can invert only a square matrix");
    m.at(1, 2) = 7.0;
    EXPECT_EQ(readOnly.at(1, 2), 7.0);
}

// That an inverse is the inverse, the sine fit's closed forms show: it is the one user.
// Rows are never exchanged; every pivot of magnitude up to 0.001, whatever its sign, is taken
// as +0.001.
TEST(Matrix, SmallPivotsAreReplacedByPlusOneThousandthNotExchanged) {
    for (const auto &[pivot, inverse] : {std::pair{0.0, 1000.0}, {-0.001, 1000.0}, {-0.002, -500.0}}) {
        matrix m = square(2, {pivot, 0, 0, 4});
        m.invert();
        EXPECT_NEAR_REL(m.at(0, 0), inverse, 1e-15) << "pivot " << pivot;
    }
    // [[0, 1], [1, 0]] is its own inverse, as an elimination that exchanges rows finds. Without
    // the exchange the zero pivot becomes 0.001: row 1 turns into (1, -1000 | -1000, 1), back
    // substitution leaves row 0 as (0, 0 | 0, 0.001), and scaling gives [[0, 1], [1, -0.001]].
    matrix swap = square(2, {0, 1, 1, 0});
    swap.invert();
    const double expected[] = {0, 1, 1, -0.001};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(swap.at(i % 2, i / 2), expected[i]);
}

} // namespace
