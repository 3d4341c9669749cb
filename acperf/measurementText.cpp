#include "measurementText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

const int columnDecimals[blockMeasurement::columns] = {6, 6, 6, 3, 3, 2, 2, 2, 2, 2};
const char *const columnTitles[blockMeasurement::columns] = {
    "Amplitude (V)", "Mean (V)",   "Vrms (V)", "Frequency (Hz)", "Phase (us)",
    "THD (dB)",      "SINAD (dB)", "SNR (dB)", "SFDR (dB)",      "ENOB"};

// Whether |value| x 10^decimals lies exactly halfway between two integers. That needs
// 2 |value| 10^decimals = |value| 2^(decimals+1) 5^decimals to be odd, and 5^decimals is odd: so
// |value| 2^(decimals+1), exact in binary, must be an odd integer.
bool exactHalf(double value, int decimals) {
    const double scaled = std::ldexp(std::fabs(value), decimals + 1);
    return std::isfinite(scaled) && scaled == std::floor(scaled) && std::fmod(scaled, 2.0) == 1.0;
}

// Adds one unit in the last place of a string of digits and at most one point.
void incrementLastDigit(std::string &digits) {
    for (std::size_t i = digits.size(); i-- > 0;) {
        if (digits[i] == '.')
            continue;
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
}

std::string fixed(double value, int decimals) {
    // A sign, the 309 digits of the largest double, the point and the decimals.
    std::string text(312 + std::size_t(decimals), '\0');
    const auto result =
        std::to_chars(&text[0], &text[0] + text.size(), value, std::chars_format::fixed, decimals);
    text.resize(std::size_t(result.ptr - &text[0]));
    return text;
}

} // namespace

const char *measurementText::title(int column) {
    return columnTitles[column];
}

int measurementText::decimals(int column) {
    return columnDecimals[column];
}

std::string measurementText::number(double value, int decimals) {
    if (std::isnan(value))
        return "nan";
    if (value == 0.0)
        value = 0.0; // drops the sign of a negative zero
    decimals = std::max(decimals, 0);
    if (!exactHalf(value, decimals))
        return fixed(value, decimals); // correctly rounded, as Qt does away from halves
    // to_chars breaks a tie towards an even digit, Qt away from zero. One more decimal is
    // exact here: it is the 5 of the half, which goes in favour of the digit before it.
    std::string digits = fixed(std::fabs(value), decimals + 1);
    digits.pop_back();
    if (digits.back() == '.')
        digits.pop_back();
    incrementLastDigit(digits);
    return value < 0 ? "-" + digits : digits;
}

std::string measurementText::doubt(const blockMeasurement::figures &v, double periods) {
    using column = blockMeasurement::column;
    std::string why;
    const auto add = [&why](const std::string &reason) { why += (why.empty() ? "" : "; ") + reason; };
    // A fit and a spectrum need a few whole periods to tell the signal from its leakage.
    if (!(periods >= 3.0))
        add(number(periods, 1) + " periods of the signal in the record, fewer than 3");
    // A 24-bit converter resolves no more; a negative figure means no sine was found.
    if (v[column::enob] > 24.0)
        add("ENOB above the converter's 24 bits");
    if (v[column::enob] < 0.0)
        add("ENOB below 0");
    if (v[column::sfdr] < 0.0)
        add("SFDR below 0 dB: a spur is larger than the signal");
    return why;
}

double measurementText::periods(const double *samples, int n) {
    if (n < 2)
        return 0.0;
    double mean = 0.0, low = samples[0], high = samples[0];
    for (int i = 0; i < n; ++i) {
        mean += samples[i] / n;
        low = std::min(low, samples[i]);
        high = std::max(high, samples[i]);
    }
    const double h = (high - low) / 10.0;
    int side = 0, crossings = 0; // -1 below the band, +1 above, 0 not yet outside
    for (int i = 0; i < n; ++i) {
        const int now = samples[i] > mean + h ? 1 : samples[i] < mean - h ? -1 : side;
        crossings += side != 0 && now != side;
        side = now;
    }
    return crossings / 2.0;
}

std::string measurementText::heading(int scans, double rate) {
    return "Number of scans: " + std::to_string(scans) + ", scan rate: " + number(rate, 3) + " Hz";
}

std::string measurementText::columnLine() {
    std::string line = "Channel, Gain, Filter (Hz)";
    for (const char *title : columnTitles)
        line += std::string(", ") + title;
    return line;
}

std::string measurementText::channelLine(int channel, const std::string &gain, const std::string &filter,
                                         const blockMeasurement::figures &v) {
    std::string line = std::to_string(channel) + "," + gain + "," + filter;
    for (int column = 0; column < blockMeasurement::columns; ++column)
        line += "," + cell(v, column);
    return line;
}
