// Numbers in text that people and programs write: file headers, configuration and world files,
// command lines. The whole text is the number: no blanks, no '+', nothing after it. The decimal
// point is '.' whatever the locale, so a file reads the same everywhere. A number outside the
// range the reader asks for, or not finite, is no number.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace StrictNumber {

enum class Base {
    decimal,     // digits, e.g. "-12"
    hex,         // hex digits in either case, "0x" or "0X" before them or not, e.g. "0xa0" or "a0"
    prefixedHex, // "0x" or "0X" and hex digits, e.g. "0xBFFC0800"
};

// What a whole number may look like besides its digits.
struct Whole {
    long long min;
    long long max;
    Base base = Base::decimal;
    bool minus = true;         // the digits may start with '-'
    std::size_t maxDigits = 0; // characters after any "0x"; 0: as many as the range allows
};

std::optional<long long> whole(std::string_view text, const Whole &rules);

// A decimal number in any form std::from_chars reads ("0.5", "-1e-9", "5."), from min to max.
std::optional<double> real(std::string_view text, double min, double max);

} // namespace StrictNumber
