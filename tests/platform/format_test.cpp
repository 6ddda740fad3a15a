#include "platform/format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace Zarvo {
namespace {

struct Case {
    std::string actual;
    std::string expected;
};

void ExpectAll(const std::vector<Case>& cases) {
    for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(cases[i].actual, cases[i].expected) << "case " << i;
}

TEST(FormatString, NumberedAndSequentialPlaceholders) {
    ExpectAll({
        {FormatString("%1 (%2)", "Bad", 5), "Bad (5)"},
        {FormatString("%2 then %1", "a", "b"), "b then a"},
        {FormatString("%1.%2.%3", 1u, 2u, 3u), "1.2.3"},
        {FormatString("%1%2%1", "a", "b"), "aba"},
        {FormatString("'%1' of type %2", std::string("name"), "uint32"), "'name' of type uint32"},
        {FormatString("%d and %d", 1, 2), "1 and 2"},
        {FormatString("%2$05d|%1$s", "x", 42), "00042|x"},
        {FormatString("100%%", 1), "100%"},
        {FormatString("%%1 %1", 7), "%1 7"},
        {FormatString("Value: %", 9), "Value: 9"},
        // Not a reference when beyond the count: a width for the next argument, the next character its letter.
        {FormatString("%3!", 7, 8), "  7"},
        {FormatString("%10", 4), "         4"},
        // After a numbered placeholder the sequence goes on with the argument after it.
        {FormatString("%2 %s", "a", "b", "c"), "b c"},
    });
}

TEST(FormatString, EachKindAcceptsOnlyItsLetters) {
    ExpectAll({
        {FormatString("%s", 42), "42"},
        {FormatString("%x", 255), "ff"},
        {FormatString("%5s", 7), "    7"},
        {FormatString("%u", -1), "4294967295"},
        {FormatString("%c", 65), "A"},
        {FormatString("%1", 4294967295u), "4294967295"},
        {FormatString("%d", 4294967295u), "-1"},
        {FormatString("%1", 'A'), "A"},
        {FormatString("%d", 'A'), "65"},
        {FormatString("%x", static_cast<char>(-1)), "ffffffff"},
        {FormatString("%1", int64_t{5000000000}), "5000000000"},
        {FormatString("%1", INT64_MIN), "-9223372036854775808"},
        {FormatString("%x", int64_t{-1}), "ffffffffffffffff"},
        {FormatString("%c", int64_t{66}), "B"},
        {FormatString("%1", UINT64_MAX), "18446744073709551615"},
        {FormatString("%i", UINT64_MAX), "-1"},
        {FormatString("%1$.2f", 3.14159), "3.14"},
        {FormatString("%1", 0.5), "0.5"},
        {FormatString("%d", 2.5), "2.5"},
        {FormatString("%1", 0.25f), "0.25"},
        {FormatString("%e", 1.5), "1.500000e+00"},
        {FormatString("%d", "abc"), "abc"},
        {FormatString("%5s|%-5s|%.2s", "ab", "ab", "abc"), "   ab|ab   |ab"},
        {FormatString("%05s|%+s|%#s", "ab", "ab", "ab"), "   ab|ab|ab"},
    });
}

TEST(FormatString, OtherIntegerSpellingsMapByWidthAndSignedness) {
    ExpectAll({
        {FormatString("%1 %2", short{-3}, static_cast<unsigned short>(65535)), "-3 65535"},
        {FormatString("%1 %2", int8_t{-5}, uint8_t{200}), "-5 200"},
        {FormatString("%1 %2", -7L, 7UL), "-7 7"},
        {FormatString("%1 %2", LLONG_MIN, ULLONG_MAX), "-9223372036854775808 18446744073709551615"},
        {FormatString("%1", SIZE_MAX), std::to_string(SIZE_MAX)},
        {FormatString("%1", LONG_MIN), std::to_string(LONG_MIN)},
    });
}

// Width, precision and flags reach printf as written, whatever route the argument takes.
TEST(FormatString, PrintfStyleSpecsMatchPrintf) {
    auto printf = [](const char* spec, auto value) {
        char buffer[512];
        std::snprintf(buffer, sizeof buffer, spec, value);
        return std::string(buffer);
    };
    for (const char* spec : {"%d", "%5d|", "%-5d|", "%05d", "%+d", "% d", "%x", "%#x", "%X", "%#o", "%.3d", "%8.3d",
                             "%-+8.3i|", "%u", "%0u", "%#.0x"}) {
        for (int value : {0, 42, -42, INT_MIN, INT_MAX}) EXPECT_EQ(FormatString(spec, value), printf(spec, value)) << spec;
    }
    for (const char* spec : {"%lld", "%20lld|", "%-+20lli|", "%#llx", "%020llu", "%.25llo"}) {
        for (long long value : {0LL, -1LL, LLONG_MIN, LLONG_MAX}) {
            std::string bare = spec;
            bare.erase(bare.find("ll"), 2);
            EXPECT_EQ(FormatString(bare.c_str(), value), printf(spec, value)) << spec;
        }
    }
    for (const char* spec : {"%g", "%.3e", "%10.2f|", "%-10.2f|", "%a", "%G", "%E", "%F", "%+g", "%#g", "%012.4f"}) {
        for (double value : {0.5, -1e300, 3.14159, 1e-5, DBL_MIN, HUGE_VAL, -0.0})
            EXPECT_EQ(FormatString(spec, value), printf(spec, value)) << spec;
    }
}

// A written length modifier never makes printf read an argument at another width.
TEST(FormatString, LengthModifiersFollowTheArgumentType) {
    ExpectAll({
        {FormatString("%ld|%lld|%jd", 5, 6, 7), "5|6|7"},
        {FormatString("%zd|%td|%Lu", 8, 9, 10u), "8|9|10"},
        {FormatString("%d", int64_t{5000000000}), "5000000000"},
        {FormatString("%hd", int64_t{5000000000}), "-3584"},
        {FormatString("%hd|%hhx", 70000, 0x1ff), "4464|ff"},
        {FormatString("%ls|%lc", "abc", 'A'), "abc|A"},
        {FormatString("%Lf|%lf", 1.5, 2.5), "1.500000|2.500000"},
        {FormatString("%llc", int64_t{67}), "C"},
    });
}

TEST(FormatString, CountConversionWritesNothing) {
    ExpectAll({
        {FormatString("a%nb", 5), "ab"},
        {FormatString("%1$n|%1", 5), "|5"},
        {FormatString("%n%s", "x", "y"), "y"},
        {FormatString("%5n|", "x"), "|"},
    });
}

TEST(FormatString, StarWidthAndPrecisionComeFromIntegerArguments) {
    ExpectAll({
        {FormatString("%*d|", 5, 42), "   42|"},
        {FormatString("%-*d|", 5, 42), "42   |"},
        {FormatString("%*d|", -5, 42), "42   |"},
        {FormatString("%.*f", 2, 3.14159), "3.14"},
        {FormatString("%*.*f|", 8, 2, 3.14159), "    3.14|"},
        {FormatString("%*.*s|", 4, 1, "abc"), "   a|"},
        {FormatString("%.*s", -1, "abc"), "abc"},
        {FormatString("%1$*2$d|", 42, 6), "    42|"},
        {FormatString("%*3$.*2$f|", 3.14159, 1, 6), "   3.1|"},
        {FormatString("%*d|", int64_t{0x100000003}, 1), "  1|"},
        {FormatString("%*d|", '\x03', 1), "  1|"},
        {FormatString("%*s|", 4u, std::string_view("ab")), "  ab|"},
    });
}

TEST(FormatString, StopsAtTheFirstPlaceholderItCannotServe) {
    const std::string fits = "%" + std::string(55, '-') + "10d";
    const std::string tooLong = "%" + std::string(56, '-') + "10d";
    ExpectAll({
        {FormatString("%1 %2", 5), "5 "},
        {FormatString("a%s b%s c", 1), "a1 b"},
        {FormatString(("a" + fits + "|").c_str(), 7), "a7         |"},
        {FormatString(("a" + tooLong + "b").c_str(), 7), "a"},
        {FormatString("a%*db", "x", 42), "a"},
        {FormatString("a%.*fb", 2.0, 1.0), "a"},
        {FormatString("a%*db", 5), "a"},
        {FormatString("a%*4$db", 1, 2, 3), "a"},
        {FormatString("a%*0$db", 1, 2), "a"},
        {FormatString("a%1$*9$db", 1, 2), "a"},
    });
}

TEST(FormatString, VersionSpelling) {
    ExpectAll({
        {FormatString("%1", Version{1, 2, 3}), "1.2.3"},
        {FormatString("%1", Version{1, 2, 3, "beta"}), "1.2.3-beta"},
        {FormatString("%1", Version{1, 2, 3, "beta", "77"}), "1.2.3-beta+77"},
        {FormatString("%1", Version{1, 2, 3, "", "77"}), "1.2.3+77"},
        {FormatString("%1", Version{2, 0, 0, "rc1", ""}), "2.0.0-rc1"},
        {FormatString("%1", Version{UINT32_MAX, UINT32_MAX, UINT32_MAX}), "4294967295.4294967295.4294967295"},
        {FormatString("%-12s|%8d|%.3s", Version{1, 2, 3}, Version{1, 2, 3}, Version{1, 2, 3, "x"}),
         "1.2.3       |   1.2.3|1.2"},
        {FormatString("%1 which supports plugin API %2 is not compatible with core's plugin API %3", "kiv",
                      Version{18, 0, 0}, Version{17, 9, 9}),
         "kiv which supports plugin API 18.0.0 is not compatible with core's plugin API 17.9.9"},
    });
}

TEST(FormatString, ParameterErrorSpelling) {
    ExpectAll({
        {FormatString("%1", ParameterError{}), "Success"},
        {FormatString("%1", ParameterError{true, 3, "Bad value"}), "Bad value (3)"},
        {FormatString("%1", ParameterError{true, -2, nullptr}), " (-2)"},
        {FormatString("[%9s]", ParameterError{}), "[  Success]"},
        {FormatString("%.3s", ParameterError{true, 3, "Bad value"}), "Bad"},
    });
}

TEST(FormatString, TextsEndAtTheirLengthOrFirstNul) {
    const char unterminated[3] = {'a', 'b', 'c'};
    char mutableText[8] = "mut";
    const char* nothing = nullptr;
    ExpectAll({
        {FormatString("%1|", std::string_view(unterminated, 2)), "ab|"},
        {FormatString("%1|", unterminated), "abc|"},
        {FormatString("%1|%2", mutableText, static_cast<char*>(mutableText)), "mut|mut"},
        {FormatString("[%1][%3s]", nothing, nothing), "[][   ]"},
        {FormatString("[%1]", std::string("a\0b", 3)), "[a]"},
        {FormatString("[%1]", std::string_view("a\0b", 3)), "[a]"},
    });
}

TEST(FormatString, ResultIsCutAt4095Characters) {
    ExpectAll({
        {FormatString("%1", std::string(5000, 'x')), std::string(4095, 'x')},
        {FormatString(std::string(5000, 'y').c_str(), 1), std::string(4095, 'y')},
        {FormatString("ab%1", std::string(4093, 'x') + "zz"), "ab" + std::string(4093, 'x')},
        // Huge widths and precisions fill the buffer as far as it goes and no further.
        {FormatString("%999999999999d", 1), std::string(4095, ' ')},
        {FormatString("%-999999999999s|", "ab"), "ab" + std::string(4093, ' ')},
        {FormatString("%*d|", INT_MIN, 5), "5" + std::string(4094, ' ')},
        {FormatString("%.999999999f", 1.5), "1.5" + std::string(4092, '0')},
        {FormatString("%0*d", INT_MAX, -5), "-" + std::string(4094, '0')},
    });
}

TEST(FormatToBuffer, WritesAtMostSizeLessOneAndTheNul) {
    const char* text = "abcdefghij";
    const void* values[] = {&text};
    const FormatArgument* table = kFormatArguments<const char*>;
    char buffer[16];
    struct BufferCase {
        size_t size;
        const char* format;
        const char* expected;
    };
    for (const BufferCase& c : {BufferCase{8, "%1", "abcdefg"}, BufferCase{4, "%12d", "  a"},
                                BufferCase{4, "wxyz%1", "wxy"}, BufferCase{4, "%%%%%%%%", "%%%"},
                                BufferCase{1, "%1", ""}, BufferCase{16, nullptr, ""}, BufferCase{12, "%1%1", "abcdefghija"}}) {
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(FormatToBuffer(buffer, c.size, c.format, table, values, 1), std::strlen(c.expected)) << c.format;
        EXPECT_STREQ(buffer, c.expected);
    }
    buffer[0] = '#';
    EXPECT_EQ(FormatToBuffer(buffer, 0, "%1", table, values, 1), 0u);
    EXPECT_EQ(buffer[0], '#');
    const int32_t number = 7;
    const void* numberValues[] = {&number};
    EXPECT_EQ(FormatToBuffer(buffer, 4, "%5d|", kFormatArguments<int32_t>, numberValues, 1), 3u);
    EXPECT_STREQ(buffer, "   ");
    EXPECT_EQ(FormatToBuffer(buffer, 4, "%-5d|", kFormatArguments<int32_t>, numberValues, 1), 3u);
    EXPECT_STREQ(buffer, "7  ");
}

// What the engine hands an argument: the collected spec, the written letter and the star values in printf order.
TEST(FormatToBuffer, HandsTheArgumentItsPlaceholder) {
    static PlaceholderContext seen;
    const FormatArgument recorder{[](PlaceholderContext& context) {
                                      seen = context;
                                      return 0;
                                  },
                                  [](const void* value) { return *static_cast<const int32_t*>(value); }, true};
    const FormatArgument table[] = {recorder, recorder, recorder};
    const int32_t width = 7, precision = 3, value = 0;
    const void* values[] = {&value, &precision, &width};
    char buffer[32];
    EXPECT_EQ(FormatToBuffer(buffer, sizeof buffer, "ab%1$-*3$.*2$hhx", table, values, 3), 2u);
    EXPECT_STREQ(seen.spec, "%-*.*hhx");
    EXPECT_EQ(seen.specLength, 8u);
    EXPECT_EQ(seen.conversion, 'x');
    EXPECT_EQ(seen.starCount, 2u);
    EXPECT_EQ(seen.starValues[0], 7);
    EXPECT_EQ(seen.starValues[1], 3);
    EXPECT_EQ(seen.out, buffer + 2);
    EXPECT_EQ(seen.written, 2u);
    EXPECT_EQ(seen.remaining, 30u);
    EXPECT_EQ(seen.value, &value);
}

}  // namespace
}  // namespace Zarvo
