// What the strict number reading accepts and refuses, in the "C" locale and in one with a
// decimal comma: the stored-file reader, the configuration keys, the tool's options and the
// world parser each take their rules from here.
#include "StrictNumber.h"

#include "CommaLocale.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <optional>
#include <string_view>

namespace {

using StrictNumber::Base;
using StrictNumber::Whole;

struct WholeRow {
    std::string_view text;
    Whole rules;
    std::optional<long long> expected; // nullopt: refused
};

struct RealRow {
    std::string_view text;
    double min, max;
    std::optional<double> expected;
};

constexpr Whole small{-5, 5};
constexpr Whole any{LLONG_MIN, LLONG_MAX};
constexpr Whole byte{0, 0xFF, Base::hex};                         // a stored file's channel mask
constexpr Whole word{0, 0xFFFFFFFF, Base::prefixedHex, false, 8}; // a world file's code or status

const WholeRow wholes[] = {
    {"3", small, 3},
    {"004", small, 4},
    {"-5", small, -5},
    {"5", small, 5},
    {"6", small, {}},
    {"-6", small, {}},
    {"", small, {}},
    {"-", small, {}},
    {"+3", small, {}},
    {" 3", small, {}},
    {"3 ", small, {}},
    {"3x", small, {}},
    {"3.0", small, {}},
    {"0x3", small, {}},
    {"9223372036854775807", any, LLONG_MAX},
    {"-9223372036854775808", any, LLONG_MIN},
    {"9223372036854775808", any, {}},
    {"0xa0", byte, 0xA0},
    {"0XA0", byte, 0xA0},
    {"a0", byte, 0xA0},
    {"0xff", byte, 0xFF},
    {"0x100", byte, {}},
    {"0x", byte, {}},
    {"0xg", byte, {}},
    {"0x 1", byte, {}},
    {"-0", byte, 0}, // the digits may carry a sign unless the rules say otherwise
    {"0xBFFC0800", word, 0xBFFC0800},
    {"0xFFFFFFFF", word, 0xFFFFFFFF},
    {"0x00000001", word, 1},
    {"0x000000001", word, {}}, // nine digits
    {"BFFC0800", word, {}},
    {"0x-0", word, {}},
    {"0x+1", word, {}},
};

const RealRow reals[] = {
    {"1.5", -10, 10, 1.5},
    {"-1e-9", -10, 10, -1e-9},
    {"5.", -10, 10, 5.0},
    {".5", -10, 10, 0.5},
    {"10", -10, 10, 10.0},
    {"-10", -10, 10, -10.0},
    {"10.000001", -10, 10, {}},
    {"-10.5", -10, 10, {}},
    {"1,5", -10, 10, {}},
    {"", -10, 10, {}},
    {"+1", -10, 10, {}},
    {" 1", -10, 10, {}},
    {"1 ", -10, 10, {}},
    {"1x", -10, 10, {}},
    {"0x1", -10, 10, {}},
    {"1.7976931348623157e308", -DBL_MAX, DBL_MAX, DBL_MAX},
    {"1e309", -DBL_MAX, DBL_MAX, {}},
    {"inf", -DBL_MAX, DBL_MAX, {}},
    {"-infinity", -DBL_MAX, DBL_MAX, {}},
    {"nan", -DBL_MAX, DBL_MAX, {}},
};

void expectTables() {
    for (const WholeRow &row : wholes)
        EXPECT_EQ(StrictNumber::whole(row.text, row.rules), row.expected) << '"' << row.text << '"';
    for (const RealRow &row : reals)
        EXPECT_EQ(StrictNumber::real(row.text, row.min, row.max), row.expected) << '"' << row.text << '"';
}

TEST(StrictNumberTest, WholeTextInRangeWithAPointWhateverTheLocale) {
    {
        SCOPED_TRACE("C locale");
        expectTables();
    }
    const CommaLocale comma;
    if (!comma.active())
        GTEST_SKIP() << "no locale with a decimal comma installed, and none could be made";
    SCOPED_TRACE("decimal comma locale");
    expectTables();
}

} // namespace
