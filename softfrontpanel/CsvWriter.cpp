#include "CsvWriter.h"

#include <charconv>
#include <cmath>

namespace {

// Longest text of one value of at most 9 decimals: a sign, the 309 digits of the largest
// double, the point, the decimals and ", ".
constexpr size_t maxValueText = 330;
// "4294967295.4294967295, ": nanoseconds above 999999999 come out in full, as with printf.
constexpr size_t maxTimestampText = 24;
// The stream gets the lines in pieces of about this size: large enough that fwrite passes them
// on without copying them into its own buffer, small enough to stay in the cache.
constexpr size_t chunkSize = size_t(1) << 18;

constexpr char digitPairs[] = "00010203040506070809"
                              "10111213141516171819"
                              "20212223242526272829"
                              "30313233343536373839"
                              "40414243444546474849"
                              "50515253545556575859"
                              "60616263646566676869"
                              "70717273747576777879"
                              "80818283848586878889"
                              "90919293949596979899";

// Exactly width digits of value (value < 10^width), leading zeros included.
char *writePadded(char *p, uint32_t value, int width) {
    char *const end = p + width;
    char *q = end;
    for (; width >= 2; width -= 2) {
        const uint32_t pair = value % 100;
        value /= 100;
        q -= 2;
        q[0] = digitPairs[2 * pair];
        q[1] = digitPairs[2 * pair + 1];
    }
    if (width)
        q[-1] = char('0' + value);
    return end;
}

int digitCount(uint32_t value) {
    // Volts have one or two digits before the point, millivolts up to five.
    if (value < 100)
        return value < 10 ? 1 : 2;
    if (value < 10000)
        return value < 1000 ? 3 : 4;
    int digits = 5;
    for (value /= 100000; value; value /= 10)
        ++digits;
    return digits;
}

char *writeUnsigned(char *p, uint32_t value) {
    return writePadded(p, value, digitCount(value));
}

char *writeSeparator(char *p) {
    p[0] = ',';
    p[1] = ' ';
    return p + 2;
}

// printf's own rounding of the exact binary value, in the "C" locale's notation. Not printf
// itself: once the application object has set the user's locale, printf may write a decimal
// comma, which would add a column to the line and differ from the values around it.
char *writeExact(char *p, double value, int decimals) {
    p = std::to_chars(p, p + maxValueText, value, std::chars_format::fixed, decimals).ptr;
    return writeSeparator(p);
}

// printf("%.*lf, ", Decimals, value). printf rounds the exact binary value to Decimals places;
// here it is scaled by 10^Decimals in floating point (10^Decimals itself is exact), which is
// off from the exact product by at most half a unit in the last place. The fraction of the
// scaled value is exact and a whole number of such units, so only a fraction of one half
// leaves printf's rounding in doubt; the margin around one half is wider than that, as it
// costs nothing. In doubt, and for values too large or not finite, the exact conversion decides.
template <int Decimals> char *writeValue(char *p, double value) {
    constexpr uint32_t scale = [] {
        uint32_t s = 1;
        for (int i = 0; i < Decimals; ++i)
            s *= 10;
        return s;
    }();
    const double magnitude = std::fabs(value);
    if (magnitude < 1e9) { // false for NaN
        const double scaled = magnitude * scale;
        const double whole = std::floor(scaled);
        const double fraction = scaled - whole; // exact
        // The last term alone exceeds a unit in the last place of scaled at any magnitude.
        if (std::fabs(fraction - 0.5) > 1e-6 + scaled * 1e-15) {
            const uint64_t rounded = uint64_t(whole) + (fraction > 0.5 ? 1 : 0);
            // printf keeps the sign of values that round to zero: -1e-9 is "-0.000000".
            if (std::signbit(value))
                *p++ = '-';
            p = writeUnsigned(p, uint32_t(rounded / scale));
            *p++ = '.';
            p = writePadded(p, uint32_t(rounded % scale), Decimals);
            return writeSeparator(p);
        }
    }
    return writeExact(p, value, Decimals);
}

char *writeTimestamp(char *p, uint32_t seconds, uint32_t nanoseconds) {
    p = writeUnsigned(p, seconds);
    *p++ = '.';
    p = nanoseconds < 1000000000u ? writePadded(p, nanoseconds, 9) : writeUnsigned(p, nanoseconds);
    return writeSeparator(p);
}

bool flush(std::FILE *file, const char *begin, const char *end) {
    const size_t length = size_t(end - begin);
    return std::fwrite(begin, 1, length, file) == length;
}

} // namespace

bool CsvWriter::writeBlock(std::FILE *file, const double *samples, int channels, int scans, bool millivolts,
                           const uint32_t *seconds, const uint32_t *nanoseconds) {
    // Seconds without nanoseconds would leave the timestamp column half made.
    if (channels < 0 || scans < 0 || (seconds && !nanoseconds))
        return false;
    const bool withTimes = seconds != nullptr;
    const size_t lineMax = maxTimestampText + size_t(channels) * maxValueText + 1;
    // Reused from block to block: a block is one to two megabytes of text, written in chunks.
    thread_local std::string buffer;
    if (buffer.size() < chunkSize + lineMax)
        buffer.resize(chunkSize + lineMax);
    char *const begin = &buffer[0];
    char *p = begin;
    const size_t stride = size_t(scans);
    for (size_t s = 0; s < stride; ++s) {
        if (size_t(p - begin) >= chunkSize) {
            if (!flush(file, begin, p))
                return false;
            p = begin;
        }
        if (withTimes)
            p = writeTimestamp(p, seconds[s], nanoseconds[s]);
        const double *sample = samples + s;
        if (millivolts) {
            for (int k = 0; k < channels; ++k, sample += stride)
                p = writeValue<3>(p, *sample * 1000.0);
        } else {
            for (int k = 0; k < channels; ++k, sample += stride)
                p = writeValue<6>(p, *sample);
        }
        *p++ = '\n';
    }
    if (p != begin && !flush(file, begin, p))
        return false;
    // As with binary blocks: the block is with the system when we return, and a full disk is
    // reported for the block that met it, not for some later one.
    return std::fflush(file) == 0 && !std::ferror(file);
}

void CsvWriter::appendValue(std::string &out, double value, int decimals) {
    if (decimals == 6 || decimals == 3) {
        char text[maxValueText];
        out.append(text, decimals == 6 ? writeValue<6>(text, value) : writeValue<3>(text, value));
        return;
    }
    if (decimals < 0)
        decimals = 6; // what printf does with a negative precision
    std::string text(maxValueText + size_t(decimals), '\0');
    const auto result =
        std::to_chars(&text[0], &text[0] + text.size(), value, std::chars_format::fixed, decimals);
    out.append(&text[0], result.ptr);
    out += ", ";
}

void CsvWriter::appendTimestamp(std::string &out, uint32_t seconds, uint32_t nanoseconds) {
    char text[maxTimestampText];
    out.append(text, writeTimestamp(text, seconds, nanoseconds));
}
