#include "acperf.h"
#include "fftWindow.h"

#include "Tolerance.h"

#include <cmath>
#include <random>
#include <vector>

namespace {

struct Figures {
    double thd, sinad, snr, sfdr, enob;
};

Figures figures(const std::vector<double> &x, double zp, acperf::DcLevel dc = acperf::DcLevel::Remove) {
    acperf a(static_cast<int>(x.size()), x.data(), 1.0, zp, nullptr, dc);
    Figures f{};
    a.computeMetrics(&f.thd, &f.sinad, &f.snr, &f.sfdr, &f.enob);
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

const double kCycles[] = {1001.0, 1001.37}; // coherent and not

// The record less its mean under the analysis window: input without any DC component.
std::vector<double> withoutMean(std::vector<double> x) {
    std::vector<double> w(x.size());
    fftWindow(5, static_cast<int>(x.size()), w.data(), nullptr, nullptr);
    double weighted = 0.0, weights = 0.0;
    for (size_t i = 0; i < x.size(); ++i) {
        weighted += x[i] * w[i];
        weights += w[i];
    }
    for (double &v : x)
        v -= weighted / weights;
    return x;
}

TEST(DcOffset, ZeroMeanInputGivesTheRawFigures) {
    for (double cycles : kCycles)
        for (double zp : {1.0, 10.0}) {
            const std::vector<double> x = withoutMean(record(cycles, 0.0));
            const Figures removed = figures(x, zp), raw = figures(x, zp, acperf::DcLevel::Keep);
            EXPECT_NEAR_REL(removed.thd, raw.thd, 1e-12);
            EXPECT_NEAR_REL(removed.sinad, raw.sinad, 1e-12);
            EXPECT_NEAR_REL(removed.snr, raw.snr, 1e-12);
            EXPECT_NEAR_REL(removed.sfdr, raw.sfdr, 1e-12);
            EXPECT_NEAR_REL(removed.enob, raw.enob, 1e-12);
        }
}

TEST(DcOffset, AnOffsetIsNeitherNoiseNorSpur) {
    for (double cycles : kCycles)
        for (double zp : {1.0, 10.0}) {
            const Figures clean = figures(record(cycles, 0.0), zp);
            for (double offset : {1e-3, 1e-2, 0.5}) {
                SCOPED_TRACE(::testing::Message() << cycles << " cycles, zp " << zp << ", offset " << offset);
                const Figures f = figures(record(cycles, offset), zp);
                EXPECT_NEAR(f.sfdr, clean.sfdr, 0.3);
                EXPECT_NEAR(f.snr, clean.snr, 0.3);
                EXPECT_NEAR(f.enob, clean.enob, 0.05);
            }
            // Without taking the mean out, half a volt of offset costs more than 40 dB of SNR.
            const Figures raw = figures(record(cycles, 0.5), zp, acperf::DcLevel::Keep);
            EXPECT_LT(raw.snr, clean.snr - 40.0);
        }
}

} // namespace
