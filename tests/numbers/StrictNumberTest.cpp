// What the strict number reading accepts and refuses, in the "C" locale and in one with a
// decimal comma: the stored-file reader, the configuration keys, the tool's options and the
// world parser each take their rules from here.
#include "StrictNumber.h"

#include "CommaLocale.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using StrictNumber::Base;
using StrictNumber::Whole;

// Texts a reading takes, with the numbers it gives, and texts it refuses.
template <class T> struct Case {
    std::function<std::optional<T>(std::string_view)> read;
    std::vector<std::pair<std::string_view, T>> taken;
    std::vector<std::string_view> refused;
};

auto whole(Whole rules) {
    return [rules](std::string_view text) { return StrictNumber::whole(text, rules); };
}

auto real(double min, double max) {
    return [=](std::string_view text) { return StrictNumber::real(text, min, max); };
}

const Case<long long> wholes[] = {
    {whole({-5, 5}),
     {{"3", 3}, {"004", 4}, {"-5", -5}, {"5", 5}},
     {"6", "-6", "", "-", "+3", " 3", "3 ", "3x", "3.0", "0x3"}},
    {whole({LLONG_MIN, LLONG_MAX}),
     {{"9223372036854775807", LLONG_MAX}, {"-9223372036854775808", LLONG_MIN}},
     {"9223372036854775808"}},
    // A stored file's channel mask. The digits may carry a sign unless the rules say otherwise.
    {whole({0, 0xFF, Base::hex}),
     {{"0xa0", 0xA0}, {"0XA0", 0xA0}, {"a0", 0xA0}, {"0xff", 0xFF}, {"-0", 0}},
     {"0x100", "0x", "0xg", "0x 1"}},
    // A world file's code or status: at most eight digits.
    {whole({0, 0xFFFFFFFF, Base::prefixedHex, false, 8}),
     {{"0xBFFC0800", 0xBFFC0800}, {"0xFFFFFFFF", 0xFFFFFFFF}, {"0x00000001", 1}},
     {"0x000000001", "BFFC0800", "0x-0", "0x+1"}},
};

const Case<double> reals[] = {
    {real(-10, 10),
     {{"1.5", 1.5}, {"-1e-9", -1e-9}, {"5.", 5.0}, {".5", 0.5}, {"10", 10.0}, {"-10", -10.0}},
     {"10.000001", "-10.5", "1,5", "", "+1", " 1", "1 ", "1x", "0x1"}},
    {real(-DBL_MAX, DBL_MAX), {{"1.7976931348623157e308", DBL_MAX}}, {"1e309", "inf", "-infinity", "nan"}},
};

template <class T, std::size_t n> void expectCases(const Case<T> (&cases)[n]) {
    for (const Case<T> &c : cases) {
        for (const auto &[text, value] : c.taken)
            EXPECT_EQ(c.read(text), value) << '"' << text << '"';
        for (std::string_view text : c.refused)
            EXPECT_EQ(c.read(text), std::nullopt) << '"' << text << '"';
    }
}

TEST(StrictNumberTest, WholeTextInRangeWithAPointWhateverTheLocale) {
    expectCases(wholes);
    expectCases(reals);
    const CommaLocale comma;
    if (!comma.active())
        GTEST_SKIP() << "no locale with a decimal comma installed, and none could be made";
    SCOPED_TRACE("decimal comma locale");
    expectCases(wholes);
    expectCases(reals);
}

} // namespace
