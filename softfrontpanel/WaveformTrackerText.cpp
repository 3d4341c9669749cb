#include "WaveformTrackerText.h"

#include <cmath>
#include <cstdio>

namespace {

std::string format(double value, const char *suffix) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3lf %s", value, suffix);
    return buf;
}

// The prefix that keeps the digits readable for a range of that width.
std::string scaled(double value, double span, const char *micro, const char *milli, const char *unit) {
    span = std::fabs(span);
    if (span < 0.0001)
        return format(value * 1e6, micro);
    if (span < 0.1)
        return format(value * 1e3, milli);
    return format(value, unit);
}

} // namespace

std::string WaveformTrackerText::timeText(double t, double timeSpan) {
    return scaled(t, timeSpan, "us", "ms", "s");
}

std::string WaveformTrackerText::valueText(double v, double voltSpan, const std::string &unit) {
    if (!unit.empty())
        return format(v, unit.c_str());
    return scaled(v, voltSpan, "uV", "mV", "V");
}

std::string WaveformTrackerText::text(double t, double v, double timeSpan, double voltSpan,
                                      const std::string &unit) {
    return timeText(t, timeSpan) + ", " + valueText(v, voltSpan, unit);
}
