// Formats CSV scan lines exactly as printf's "%ld.%09ld, ", "%.6lf, " and "%.3lf, " would, but
// several times faster: text storage must keep up with the cards, and printf spends most of
// its time on generality the samples do not need. Values whose rounding printf might decide
// differently (near halves, huge or non-finite values) go through an exact conversion. Both
// write a decimal point whatever the locale, as printf does in the "C" locale.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class CsvWriter {
public:
    // samples: channels blocks of scans doubles, channel-major (volts). millivolts writes
    // value x 1000 with 3 decimals, else volts with 6. seconds/nanoseconds may be null.
    // Returns false when the stream failed.
    static bool writeBlock(std::FILE *file, const double *samples, int channels, int scans, bool millivolts,
                           const uint32_t *seconds, const uint32_t *nanoseconds);

    // Appends one value as printf("%.*lf, ", decimals, value) would (decimals 3 or 6).
    static void appendValue(std::string &out, double value, int decimals);
    // Appends printf("%ld.%09ld, ", seconds, nanoseconds).
    static void appendTimestamp(std::string &out, uint32_t seconds, uint32_t nanoseconds);
};
