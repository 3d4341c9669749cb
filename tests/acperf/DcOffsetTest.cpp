#include "acperf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

struct Figures {
    double thd, sinad, snr, sfdr, enob;
};

Figures figures(const std::vector<double> &x, double zp, acperf::DcLevel dc = acperf::DcLevel::Remove) {
    Figures f{};
    acperf(static_cast<int>(x.size()), x.data(), 1.0, zp, nullptr, dc)
        .computeMetrics(&f.thd, &f.sinad, &f.snr, &f.sfdr, &f.enob);
    return f;
}

// A 1 V sine at `cycles` periods per record plus 1 uV of white noise (the same noise for
// every offset, so only the offset differs between the records compared).
std::vector<double> record(double cycles, double offset) {
    const int n = 32768;
    std::mt19937_64 rng(7150);
    std::normal_distribution<double> noise(0.0, 1e-6);
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i)
        x[i] = offset + std::sin(2.0 * M_PI * cycles * i / n + 0.3) + noise(rng);
    return x;
}

// An offset is neither noise nor spur. Taking out the mean under the analysis window leaves
// the windowed input without any DC: its bin 0 is zero, whatever the tone's mean.
TEST(DcOffset, RemovingTheLevelLeavesTheFiguresOfTheSineAlone) {
    for (double cycles : {1001.0, 1001.37}) // coherent and not
        for (double zp : {1.0, 10.0}) {
            SCOPED_TRACE(::testing::Message() << cycles << " cycles, zp " << zp);
            const Figures clean = figures(record(cycles, 0.0), zp);
            for (double offset : {1e-3, 1e-2, 0.5}) {
                const std::vector<double> x = record(cycles, offset);
                EXPECT_NEAR(acperf(static_cast<int>(x.size()), x.data(), 1.0, zp).magnitude()[0], 0.0, 1e-12);
                const Figures f = figures(x, zp);
                EXPECT_NEAR(f.sfdr, clean.sfdr, 0.3) << offset;
                EXPECT_NEAR(f.snr, clean.snr, 0.3) << offset;
                EXPECT_NEAR(f.enob, clean.enob, 0.05) << offset;
            }
            // Without taking the mean out, half a volt of offset costs more than 40 dB of SNR.
            EXPECT_LT(figures(record(cycles, 0.5), zp, acperf::DcLevel::Keep).snr, clean.snr - 40.0);
        }
}

} // namespace
