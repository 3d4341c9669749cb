#include "StrictNumber.h"

#include <charconv>
#include <cmath>

namespace StrictNumber {

namespace {

bool startsWithHexPrefix(std::string_view text) {
    return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

} // namespace

std::optional<long long> whole(std::string_view text, const Whole &rules) {
    const bool prefixed = rules.base != Base::decimal && startsWithHexPrefix(text);
    if (rules.base == Base::prefixedHex && !prefixed)
        return std::nullopt;
    if (prefixed)
        text.remove_prefix(2);
    if (text.empty() || (!rules.minus && text.front() == '-') ||
        (rules.maxDigits != 0 && text.size() > rules.maxDigits))
        return std::nullopt;
    // std::from_chars ignores the locale and takes no blanks and no '+'.
    long long value = 0;
    const char *end = text.data() + text.size();
    const auto [stop, error] =
        std::from_chars(text.data(), end, value, rules.base == Base::decimal ? 10 : 16);
    if (error != std::errc() || stop != end || value < rules.min || value > rules.max)
        return std::nullopt;
    return value;
}

std::optional<double> real(std::string_view text, double min, double max) {
    double value = 0;
    const char *end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value) || value < min || value > max)
        return std::nullopt;
    return value;
}

} // namespace StrictNumber
