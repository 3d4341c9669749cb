#include "RunEnvelope.h"

#include <algorithm>

namespace {

void widen(std::pair<double, double> &e, const double *y, std::size_t i, std::size_t j) {
    for (; i < j; ++i) {
        e.first = std::min(e.first, y[i]);
        e.second = std::max(e.second, y[i]);
    }
}

} // namespace

RunEnvelope::RunEnvelope(const double *y, std::size_t n) {
    const std::size_t groups = n / group;
    m_low.resize(groups);
    m_high.resize(groups);
    for (std::size_t g = 0; g < groups; ++g) {
        std::pair<double, double> e{y[g * group], y[g * group]};
        widen(e, y, g * group, (g + 1) * group);
        m_low[g] = e.first;
        m_high[g] = e.second;
    }
    if (n > 0) {
        m_range = {y[0], y[0]};
        widen(m_range, y, groups * group, n);
        for (std::size_t g = 0; g < groups; ++g) {
            m_range.first = std::min(m_range.first, m_low[g]);
            m_range.second = std::max(m_range.second, m_high[g]);
        }
    }
}

std::pair<double, double> RunEnvelope::extremes(const double *y, std::size_t i, std::size_t j) const {
    std::pair<double, double> e{y[i], y[i]};
    const std::size_t firstWhole = (i + group - 1) / group, endWhole = std::min(j / group, m_low.size());
    if (firstWhole >= endWhole) {
        widen(e, y, i, j);
        return e;
    }
    widen(e, y, i, firstWhole * group);
    for (std::size_t g = firstWhole; g < endWhole; ++g) {
        e.first = std::min(e.first, m_low[g]);
        e.second = std::max(e.second, m_high[g]);
    }
    widen(e, y, endWhole * group, j);
    return e;
}
