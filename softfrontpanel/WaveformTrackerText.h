// What the voltage plot's position tracker shows: time, then value, each in a unit that suits
// the visible range (s/ms/us, V/mV/uV), or the custom unit's name when one is set.
#pragma once

#include <string>

struct WaveformTrackerText {
    // timeSpan and voltSpan: widths of the visible ranges. unit: custom unit name, or empty.
    static std::string text(double t, double v, double timeSpan, double voltSpan, const std::string &unit);
    static std::string timeText(double t, double timeSpan);
    static std::string valueText(double v, double voltSpan, const std::string &unit);
};
