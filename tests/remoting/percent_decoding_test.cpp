#include <gtest/gtest.h>

#include <string>

#include "remoting/percent_decoding.h"

namespace Zarvo {
namespace {

TEST(PercentDecode, DecodesEscapesAndPlusAndNeverFails) {
    using namespace std::string_literals;
    struct Case {
        std::string input;
        std::string expected;
    };
    const Case cases[] = {
        {"", ""},
        {"plain/text-1", "plain/text-1"},
        {"%41b+c%2", "Ab c2"},      // the last "%" has one byte after it and is dropped
        {"%", ""},
        {"a%", "a"},
        {"%4", "4"},
        {"%2f%2F", "//"},
        {"%e2%82%AC", "\xE2\x82\xAC"},
        {"%00x", "\0x"s},           // an escaped zero byte stays in the text
        {"%zz", "\x10"},            // 16 * 16 | 16 keeps its low 8 bits
        {"%4z", "P"},               // 0x40 | 16
        {"%z4", "\x04"},            // 0x100 | 4
        {"%%41", "\x04" "1"},       // the second "%" is a digit of 16; "1" is copied
        {"%2B+", "+ "},             // a decoded "+" stays a plus
        {"a\0b"s, "a\0b"s},
    };
    for (const Case& c : cases) EXPECT_EQ(PercentDecode(c.input), c.expected) << c.input;
}

}  // namespace
}  // namespace Zarvo
