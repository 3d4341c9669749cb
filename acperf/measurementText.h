// The text of the measurement table: its column titles, each figure with its column's
// decimals, and the comma-separated lines of "Copy to Clipboard". The window's cells, its
// clipboard and the command-line tool all write the figures through here, so the three agree
// to the last digit.
#pragma once

#include "blockMeasurement.h"

#include <string>

class measurementText {
public:
    static const char *title(int column);
    static int decimals(int column);

    // value with that many decimals, as Qt's QString::number(value, 'f', decimals) writes it, so
    // the table reads as it always has: exact halves round away from zero (0.125 is "0.13"),
    // a negative zero has no sign while -0.0001 is "-0.000", NaN is "nan", infinities "inf" and
    // "-inf". The decimal point is a point whatever the locale.
    static std::string number(double value, int decimals);
    static std::string cell(const blockMeasurement::figures &v, int column) {
        return number(v[column], decimals(column));
    }

    // Why a row's figures cannot be taken as true, empty when nothing says so: fewer than 3
    // periods of the signal in the record, ENOB above 24 bits or below 0, SFDR below 0 dB.
    // Several reasons are joined with "; ".
    static std::string doubt(const blockMeasurement::figures &v, double periods);
    // The periods of a signal in n samples, from its crossings of its mean with a hysteresis of
    // a tenth of its range: the fit's frequency cannot say, it finds a leakage peak instead.
    static double periods(const double *samples, int n);

    // "Number of scans: N, scan rate: R Hz" (rate with 3 decimals).
    static std::string heading(int scans, double rate);
    // "Channel, Gain, Filter (Hz), Amplitude (V), ..., ENOB".
    static std::string columnLine();
    // "channel,gain,filter,figure,figure,...": the fields as given, then every figure as its cell.
    static std::string channelLine(int channel, const std::string &gain, const std::string &filter,
                                   const blockMeasurement::figures &v);
};
