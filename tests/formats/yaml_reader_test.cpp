#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "formats/json_reader.h"
#include "formats/yaml_reader.h"
#include "support/describe.h"

namespace Zarvo {
namespace {

using Testing::Describe;

struct YamlCase {
    std::string text;
    std::string expected;
};

class YamlReaderTest : public testing::TestWithParam<YamlCase> {};

TEST_P(YamlReaderTest, BuildsTheTreeOrTheMessage) {
    EXPECT_EQ(Describe(ReadYaml(GetParam().text)), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Scalars, YamlReaderTest,
    testing::Values(YamlCase{"", "~"}, YamlCase{"5", "u5"}, YamlCase{"-5", "i-5"}, YamlCase{"5.5", "f5.5"},
                    YamlCase{"1e2", "u100"}, YamlCase{"'5'", "\"5\""}, YamlCase{"\"5\"", "\"5\""},
                    YamlCase{"yes", "true"}, YamlCase{"Off", "false"}, YamlCase{"~", "~"}, YamlCase{"Null", "~"},
                    YamlCase{"inf", "\"inf\""}, YamlCase{"hello world", "\"hello world\""},
                    YamlCase{"1e30", "f1e+30"}, YamlCase{"-1e30", "f-1e+30"},
                    YamlCase{"!!int -12", "i-12"}, YamlCase{"!!int 12", "u12"}, YamlCase{"!!str 12", "\"12\""},
                    YamlCase{"!!float 2", "f2"}, YamlCase{"!!bool yes", "true"}, YamlCase{"!!bool maybe", "~"},
                    YamlCase{"|\n  5\n", "\"5\n\""}));

// Plain numbers are typed as strtod reads them, whichever way they are read: integers of up to fifteen digits and
// decimals directly, every other form through strtod (a 16-digit integer beyond 2^53 rounds as a double does).
INSTANTIATE_TEST_SUITE_P(
    PlainNumbers, YamlReaderTest,
    testing::Values(YamlCase{"123456789012345", "u123456789012345"},
                    YamlCase{"-123456789012345", "i-123456789012345"},
                    YamlCase{"1234567890123456", "u1234567890123456"},
                    YamlCase{"9007199254740993", "u9007199254740992"}, YamlCase{"-0", "u0"}, YamlCase{"007", "u7"},
                    YamlCase{".5", "f0.5"}, YamlCase{"5.", "u5"}, YamlCase{"-.5e1", "i-5"},
                    YamlCase{"2.5E-1", "f0.25"}, YamlCase{"+5", "u5"}, YamlCase{"0x1A", "u26"},
                    YamlCase{"1e400", "\"1e400\""}, YamlCase{"1e-400", "u0"},
                    YamlCase{"4.9e-324", "f4.9406564584124654e-324"}, YamlCase{"1e", "\"1e\""},
                    YamlCase{"1-2", "\"1-2\""}, YamlCase{"+", "\"+\""}, YamlCase{"-.", "\"-.\""},
                    YamlCase{"12abc", "\"12abc\""}, YamlCase{"1_000", "\"1_000\""},
                    YamlCase{"Infinity", "\"Infinity\""}));

INSTANTIATE_TEST_SUITE_P(
    Containers, YamlReaderTest,
    // Plain y is one of the boolean words.
    testing::Values(YamlCase{"{a: 1, b: [x, y]}", "{a:u1,b:[\"x\",true]}"},
                    YamlCase{"- a\n- - 1\n  - 2\n- {}\n", "[\"a\",[u1,u2],{}]"},
                    YamlCase{"b: 1\na: 2\nB: 3\n", "{B:u3,a:u2,b:u1}"},
                    YamlCase{"list: &a [1, 2]\ncopy: *a\n", "{copy:[u1,u2],list:[u1,u2]}"},
                    YamlCase{"&k key: 1\nother: *k\n", "{key:u1,other:\"key\"}"},
                    YamlCase{"base: &b {x: 1}\n*b : 2\n", "error: Invalid mapping key. Only string scalar keys are allowed. At line: 2 col: 1"},
                    YamlCase{"name: &n text\n*n : 2\n", "{name:\"text\",text:u2}"},
                    YamlCase{"'': 1\nb: 2\n", "{:u1,b:u2}"},
                    YamlCase{"---\na: 1\n...\n", "{a:u1}"},
                    YamlCase{"---\n---\na: 1\n", "{a:u1}"}));

INSTANTIATE_TEST_SUITE_P(
    Errors, YamlReaderTest,
    testing::Values(
        YamlCase{"!!int 12x", "error: Value 12x for 'yaml' of type uint64_t is in an incorrect format"},
        YamlCase{"!!int -12x", "error: Value -12x for 'yaml' of type int64_t is in an incorrect format"},
        YamlCase{"!!int 18446744073709551616", "error: Value 18446744073709551616 for 'yaml' of type uint64_t is out of range"},
        YamlCase{"!!float 1e999", "error: Value 1e999 for 'yaml' of type double is out of range"},
        YamlCase{"!!null ~", "error: Unsupported YAML tag 'tag:yaml.org,2002:null'."},
        YamlCase{"a: 1\n---\nb: 2\n", "error: Multi-document YAML is not supported."},
        YamlCase{"? [a]\n: 1\n", "error: Unexpected start of sequence. At line: 1 col: 3"},
        YamlCase{"? {a: 1}\n: 1\n", "error: Unexpected start of mapping. At line: 1 col: 3"},
        YamlCase{"!!int 1: x\n", "error: Invalid mapping key. Only string scalar keys are allowed. At line: 1 col: 1"},
        YamlCase{"&a [*a]", "error: Cannot deserialize cyclic aliases. Alias \"a\". At line: 1 col: 5"},
        YamlCase{"a: &x 1\nb: &x 2\n", "error: Duplicate occurrence of anchor \"x\". At line: 2 col: 4"},
        YamlCase{"a: *nothing\n", "error: Undefined alias encountered: \"nothing\". At line: 1 col: 4"},
        YamlCase{"a: [1, 2\n", "error: YAML parser error: did not find expected ',' or ']'. At line: 1 col: 0"}));

TEST(YamlReader, NestedAliasesCannotGrowBeyondABound) {
    std::string laughs = "a: &a [x, x, x, x, x, x, x, x, x, x]\n";
    for (char level = 'b'; level <= 'j'; ++level) {
        std::string previous(1, static_cast<char>(level - 1));
        laughs += std::string(1, level) + ": &" + level + " [*" + previous + ", *" + previous + ", *" + previous +
                  ", *" + previous + ", *" + previous + ", *" + previous + ", *" + previous + ", *" + previous +
                  ", *" + previous + ", *" + previous + "]\n";
    }
    std::string message(ReadYaml(laughs).ErrorMessage());
    EXPECT_EQ(message.rfind("Aliases expand to more than ", 0), 0u) << message;
}

std::string Repeated(std::string_view piece, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += piece;
    return text;
}

// Sequences and mappings nest at most 512 levels; the start of the 513th is refused at its position, before the
// parser reads far beyond it (libyaml's scanner grows slower with every open flow level).
TEST(YamlReader, NestingDeeperThan512LevelsIsRefusedAtTheFirstLevelTooDeep) {
    const std::string tooDeep = "Sequences and mappings nest deeper than 512 levels.";
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {Repeated("[", 511) + "1" + Repeated("]", 511), ""},
        {Repeated("[", 512) + "1" + Repeated("]", 512), ""},
        {Repeated("[", 513) + "1" + Repeated("]", 513), tooDeep + " At line: 1 col: 513"},
        {Repeated("{a: ", 512) + "1" + Repeated("}", 512), ""},
        {Repeated("{a: ", 513) + "1" + Repeated("}", 513), tooDeep + " At line: 1 col: 2049"},
        {Repeated("- ", 513) + "1\n", tooDeep + " At line: 1 col: 1025"},
        {"a:\n " + Repeated("[", 511) + Repeated("]", 511), ""},
        {"a:\n " + Repeated("[", 512) + Repeated("]", 512), tooDeep + " At line: 2 col: 513"},
        {Repeated("[", 100000), tooDeep + " At line: 1 col: 513"},
        {Repeated("[", 100000) + Repeated("]", 100000), tooDeep + " At line: 1 col: 513"},
        {Repeated("{a: ", 100000), tooDeep + " At line: 1 col: 2049"},
    };
    for (const auto& c : cases) {
        BindingResult result = ReadYaml(c.text);
        EXPECT_EQ(result.ErrorMessage(), c.expected) << c.text.substr(0, 12) << " (" << c.text.size() << " bytes)";
    }
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

// Every document of the suite is read without a crash, a hang or unbounded growth. Documents that the suite calls
// valid and that have a single JSON value are mostly read; the reader's own scalar typing differs in places.
TEST(YamlReader, ConformanceSuite) {
    std::filesystem::path folder = KIV_TESTDATA_DIR "/yaml-test-suite";
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << "the conformance suite is missing at " << folder;
    int documents = 0, valid = 0, read = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().filename() != "in.yaml") continue;
        ++documents;
        BindingResult result = ReadYaml(ReadFile(entry.path()));
        std::filesystem::path json = entry.path().parent_path() / "in.json";
        if (std::filesystem::exists(entry.path().parent_path() / "error") || !std::filesystem::exists(json)) continue;
        if (!ParseJson(ReadFile(json)).ok) continue;
        ++valid;
        read += result.ok;
    }
    EXPECT_GT(documents, 300);
    EXPECT_GT(read, valid * 8 / 10) << read << " of " << valid;
}

}  // namespace
}  // namespace Zarvo
