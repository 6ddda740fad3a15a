#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "formats/json_reader.h"
#include "platform/allocation.h"
#include "support/describe.h"

namespace Zarvo {
namespace {

using Testing::Describe;

struct JsonCase {
    std::string text;
    std::string expected;
};

class JsonReaderTest : public testing::TestWithParam<JsonCase> {};

TEST_P(JsonReaderTest, BuildsTheTreeOrTheMessage) {
    EXPECT_EQ(Describe(ParseJson(GetParam().text)), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Values, JsonReaderTest,
    testing::Values(
        JsonCase{"", "~"}, JsonCase{" \t\r\n ", "~"}, JsonCase{"null", "~"}, JsonCase{"true", "true"},
        JsonCase{"5", "u5"}, JsonCase{"-5", "i-5"}, JsonCase{"-0", "i0"}, JsonCase{"5.0", "f5"},
        JsonCase{"1e2", "f100"}, JsonCase{"4294967296", "u4294967296"},
        JsonCase{"18446744073709551615", "u18446744073709551615"},
        JsonCase{"18446744073709551616", "f1.8446744073709552e+19"},
        JsonCase{"-9223372036854775808", "i-9223372036854775808"},
        JsonCase{"-9223372036854775809", "f-9.2233720368547758e+18"},
        JsonCase{R"("a\u0000b")", R"("a")"}, JsonCase{R"({"a\u0000b":1})", "{a:u1}"},
        JsonCase{"[null, true]", "[~,true]"}, JsonCase{"[[1],[2,[]]]", "[[u1],[u2,[]]]"},
        JsonCase{R"({"b":1,"a":2,"B":3})", "{B:u3,a:u2,b:u1}"},
        JsonCase{R"({"a":[1],"a":[2]})", "{a:[u1,u2]}"}, JsonCase{R"({"a":1,"a":"x"})", R"({a:"x"})"},
        JsonCase{R"({"o":{"p":1},"o":{"q":2}})", "{o:{p:u1,q:u2}}"}, JsonCase{R"({"a":1,"a":null})", "{a:u1}"},
        JsonCase{R"({"a":null})", "{a:~}"}));

INSTANTIATE_TEST_SUITE_P(
    Errors, JsonReaderTest,
    testing::Values(JsonCase{R"({"a":1,})", "error: Error: Missing a name for object member. at offset 7."},
                    JsonCase{"[1 2]", "error: Error: Missing a comma or ']' after an array element. at offset 3."},
                    JsonCase{R"({"a":1} x)", "error: Error: The document root must not follow by other values. at offset 8."},
                    JsonCase{"nul", "error: Error: Invalid value. at offset 3."},
                    JsonCase{"{1:2}", "error: Error: Missing a name for object member. at offset 1."},
                    JsonCase{R"({"a" 1})", "error: Error: Missing a colon after a name of object member. at offset 5."},
                    JsonCase{R"({"a":1 "b":2})", "error: Error: Missing a comma or '}' after an object member. at offset 7."},
                    JsonCase{R"("\u12G4")", "error: Error: Incorrect hex digit after \\u escape in string. at offset 1."},
                    JsonCase{R"("\uD800x")", "error: Error: The surrogate pair in string is invalid. at offset 1."},
                    JsonCase{R"("\q")", "error: Error: Invalid escape character in string. at offset 1."},
                    JsonCase{R"("abc)", "error: Error: Missing a closing quotation mark in string. at offset 4."},
                    JsonCase{"1e400", "error: Error: Number too big to be stored in double. at offset 0."},
                    JsonCase{"1.", "error: Error: Miss fraction part in number. at offset 2."},
                    JsonCase{"1e", "error: Error: Miss exponent in number. at offset 2."},
                    // A closing bracket, comma or colon where the document starts is an invalid value, not an empty
                    // document.
                    JsonCase{"]", "error: Error: Invalid value. at offset 0."},
                    JsonCase{" }", "error: Error: Invalid value. at offset 1."},
                    JsonCase{", 1", "error: Error: Invalid value. at offset 0."},
                    JsonCase{":[]", "error: Error: Invalid value. at offset 0."}));

TEST(JsonReader, TextEndsAtTheFirstNulOrTheEndOfTheView) {
    EXPECT_EQ(Describe(ParseJson(std::string_view("[1]\0garbage", 11))), "[u1]");
    EXPECT_EQ(Describe(ParseJson(std::string_view("[1, 2]", 4))),
              "error: Error: Invalid value. at offset 4.");
}

// The view is read a piece of 1,024 bytes at a time: a value reads as it does alone, and an error keeps its offset,
// whichever piece boundary it straddles; a view ending at a boundary, or a NUL right there, ends the text as anywhere.
TEST(JsonReader, ValuesAcrossPieceBoundariesReadAsAnywhere) {
    constexpr size_t piece = 1024;
    const struct {
        std::string text;
        std::string error;  // the message up to "at offset ", none for a value
        size_t errorOffset;
    } cases[] = {
        {R"({"key":"t\u00e9xt\"q","n":-12.5e-3,"l":[true,false,null],"big":18446744073709551615})", "", 0},
        {R"("abc)", "error: Error: Missing a closing quotation mark in string. ", 4},
        {"[1e]", "error: Error: Miss exponent in number. ", 3},
        {"[tru]", "error: Error: Invalid value. ", 4},
    };
    for (const auto& c : cases) {
        const std::string alone = Describe(ParseJson(c.text));
        if (c.error.empty()) {
            ASSERT_EQ(alone.find("error"), std::string::npos) << alone;
        }
        for (size_t padding = piece - c.text.size() - 1; padding <= piece + 1; ++padding) {
            const std::string text = std::string(padding, ' ') + c.text;
            const std::string expected =
                c.error.empty() ? alone : c.error + "at offset " + std::to_string(padding + c.errorOffset) + ".";
            EXPECT_EQ(Describe(ParseJson(text)), expected) << c.text << " after " << padding << " spaces";
        }
    }
    for (size_t size : {piece - 1, piece, piece + 1, 2 * piece}) {
        std::string list = "[" + std::string(size - 3, ' ') + "1]";
        EXPECT_EQ(Describe(ParseJson(list)), "[u1]") << size;
        EXPECT_EQ(Describe(ParseJson(list + std::string(1, '\0') + "x")), "[u1]") << size;
        EXPECT_EQ(Describe(ParseJson(std::string_view(list).substr(0, size - 1))),
                  "error: Error: Missing a comma or ']' after an array element. at offset " + std::to_string(size - 1) +
                      ".")
            << size;
    }
}

TEST(JsonReader, DeepNestingIsRefusedWithoutExhaustingTheStack) {
    std::string deep(100000, '[');
    EXPECT_EQ(Describe(ParseJson(deep)), "error: Error: Arrays and objects nest deeper than 512 levels at offset 513.");
    std::string allowed = std::string(512, '[') + std::string(512, ']');
    EXPECT_TRUE(ParseJson(allowed).ok);
    // The offset is just past the refused level's "{".
    std::string objects;
    for (int level = 0; level < 600; ++level) objects += R"({"a":)";
    EXPECT_EQ(Describe(ParseJson(objects)),
              "error: Error: Arrays and objects nest deeper than 512 levels at offset 2561.");
}

// The reader's stack outgrows its buffer on a long string; what it then takes from the heap is counted, and freed.
TEST(JsonReader, TheReadersWorkingMemoryIsCounted) {
    const std::string unterminated = '"' + std::string(10000, 'x');
    const AllocationStatistics& statistics = ProcessAllocationStatistics();
    const uint64_t allocatedBefore = statistics.bytesAllocated, liveBefore = statistics.liveBytes;
    EXPECT_EQ(Describe(ParseJson(unterminated)),
              "error: Error: Missing a closing quotation mark in string. at offset 10001.");
    // The reader's stack holding the string read so far (the text itself is read piece by piece, never copied whole).
    EXPECT_GE(statistics.bytesAllocated - allocatedBefore, unterminated.size());
    EXPECT_EQ(statistics.liveBytes, liveBefore);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

// y_ files must parse and n_ files must fail; i_ files may go either way but must not crash. Two kinds of n_ file
// are accepted by design: those holding a NUL byte (the text ends there) and those of only whitespace (an empty body
// is not an error).
TEST(JsonReader, ConformanceSuite) {
    std::filesystem::path folder = KIV_TESTDATA_DIR "/json-test-suite/test_parsing";
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << "the conformance suite is missing at " << folder;
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        std::string text = ReadFile(entry.path());
        BindingResult result = ParseJson(text);
        if (name[0] == 'y') {
            EXPECT_TRUE(result.ok) << name << ": " << result.ErrorMessage();
        }
        bool acceptedByDesign =
            text.find('\0') != std::string::npos || text.find_first_not_of(" \t\r\n") == std::string::npos;
        if (name[0] == 'n' && !acceptedByDesign) {
            EXPECT_FALSE(result.ok) << name << " was accepted";
        }
        ++checked;
    }
    EXPECT_GT(checked, 300);
}

}  // namespace
}  // namespace Zarvo
