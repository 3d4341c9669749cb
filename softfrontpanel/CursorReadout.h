// What the waveform cursors' read-out says: the two cursor times, their distance and its
// reciprocal, and per shown channel its value at each cursor and the difference. Times and
// values take the units the position tracker would give for the visible ranges.
#pragma once

#include <array>
#include <string>
#include <vector>

struct CursorReadout {
    struct Channel {
        std::string name;
        double atFirst = 0.0;  // at t1
        double atSecond = 0.0; // at t2
    };

    double t1 = 0.0, t2 = 0.0;
    double timeSpan = 1.0;  // width of the visible time range
    double valueSpan = 1.0; // width of the visible value range
    std::string unit;       // custom unit name; empty: volts
    std::vector<Channel> channels;

    // "t1 = ..., t2 = ..., dt = ..., 1/dt = ..."; dt is t2 - t1, and 1/dt is left out ("---")
    // while both cursors stand on the same time.
    std::string timeLine() const;
    // Name, value at t1, value at t2, and the difference (at t2 minus at t1).
    std::array<std::string, 4> row(const Channel &channel) const;

    // Hz, kHz or MHz with three decimals, chosen by the magnitude.
    static std::string frequencyText(double hz);
};
