#include "CursorReadout.h"

#include "WaveformTrackerText.h"

#include <cmath>
#include <cstdio>

std::string CursorReadout::frequencyText(double hz) {
    const double size = std::fabs(hz);
    const char *unit = "Hz";
    double value = hz;
    if (size >= 1e6) {
        unit = "MHz";
        value = hz / 1e6;
    } else if (size >= 1e3) {
        unit = "kHz";
        value = hz / 1e3;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.3f %s", value, unit);
    return text;
}

std::string CursorReadout::timeLine() const {
    const double dt = t2 - t1;
    // A distance far below the visible span still gets its digits: its own size picks the unit.
    const double dtSpan = dt == 0.0 ? timeSpan : dt;
    const std::string reciprocal = dt == 0.0 ? std::string("---") : frequencyText(1.0 / dt);
    return "t1 = " + WaveformTrackerText::timeText(t1, timeSpan) +
           ",  t2 = " + WaveformTrackerText::timeText(t2, timeSpan) +
           ",  dt = " + WaveformTrackerText::timeText(dt, dtSpan) + ",  1/dt = " + reciprocal;
}

std::array<std::string, 4> CursorReadout::row(const Channel &channel) const {
    const auto value = [this](double v) { return WaveformTrackerText::valueText(v, valueSpan, unit); };
    return {channel.name, value(channel.atFirst), value(channel.atSecond),
            value(channel.atSecond - channel.atFirst)};
}
