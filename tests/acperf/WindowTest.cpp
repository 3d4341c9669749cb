// The windows against their defining coefficients: a periodic cosine-sum window
// w = a0 - a1 cos(x) + a2 cos(2x) - ... has mean a0 and mean square a0^2 + sum(ak^2)/2 once N
// exceeds twice its highest order, and is sum((-1)^k ak) at i = 0 and sum(ak) at i = N/2.
#include "fftWindow.h"

#include "Tolerance.h"

#include <cmath>
#include <ostream>
#include <vector>

namespace {

struct CosineSum {
    int type;
    std::vector<double> a;
};

// Hann is sin^2(pi i / N) = 0.5 - 0.5 cos(x). The others are the published coefficients.
const CosineSum kWindows[] = {
    {fftWindowRectangular, {1.0}},
    {fftWindowHann, {0.5, 0.5}},
    {fftWindowHamming, {25.0 / 46.0, 21.0 / 46.0}},
    {fftWindowBlackman, {0.42, 0.5, 0.08}},
    {fftWindowBlackmanHarris4, {0.35875, 0.48829, 0.14128, 0.01168}},
    {fftWindowBlackmanHarris7,
     {0.27105140069342, 0.43329793923448, 0.21812299954311, 0.06592544638803, 0.01081174209837,
      0.00077658482522, 1.388721735e-5}},
    // Unknown types are rectangular.
    {-1, {1.0}},
    {6, {1.0}},
};

// Names the case by its type, not by the bytes of the struct (which hold addresses, and would make
// the test names of each build differ).
void PrintTo(const CosineSum &c, std::ostream *os) {
    *os << "type" << c.type;
}

class CosineSumWindow : public ::testing::TestWithParam<CosineSum> {};

TEST_P(CosineSumWindow, MeanRmsAndEndValuesFollowFromCoefficients) {
    const CosineSum &c = GetParam();
    double meanSquare = c.a[0] * c.a[0], atZero = 0.0, atMiddle = 0.0;
    for (std::size_t k = 0; k < c.a.size(); ++k) {
        meanSquare += (k > 0) ? c.a[k] * c.a[k] / 2.0 : 0.0;
        atZero += (k % 2 ? -1.0 : 1.0) * c.a[k];
        atMiddle += c.a[k];
    }
    for (int N : {1000, 999}) {
        std::vector<double> w(N, -5.0);
        double mean = 0.0, rms = 0.0;
        fftWindow(c.type, N, w.data(), &mean, &rms);
        EXPECT_NEAR_REL(mean, c.a[0], 1e-13) << N;
        EXPECT_NEAR_REL(rms, std::sqrt(meanSquare), 1e-13) << N;
        EXPECT_TRUE(nearRel(w[0], atZero, 1e-13, 1e-15)) << N;
        EXPECT_TRUE(N % 2 == 1 || nearRel(w[N / 2], atMiddle, 1e-13));
    }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, CosineSumWindow, ::testing::ValuesIn(kWindows));

} // namespace
