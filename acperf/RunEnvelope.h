// The lowest and highest value of each group of `group` consecutive samples of a long series,
// so that the extremes of any run of it cost a read per group instead of a read per sample.
// A spectrum of millions of points is drawn from it run by run, one run per pixel column; built
// once per block away from the window, it keeps the drawing at a few milliseconds.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

class RunEnvelope {
public:
    static constexpr std::size_t group = 64;

    RunEnvelope() = default;
    RunEnvelope(const double *y, std::size_t n);

    // The lowest and highest of y[i .. j-1] (i < j <= n) of the series it was built from.
    std::pair<double, double> extremes(const double *y, std::size_t i, std::size_t j) const;
    // The lowest and highest of the whole series; (0, 0) for an empty one.
    std::pair<double, double> range() const { return m_range; }

private:
    std::vector<double> m_low, m_high; // per whole group
    std::pair<double, double> m_range{0.0, 0.0};
};
