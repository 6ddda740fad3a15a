#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "binding/conversion.h"
#include "binding/registration.h"
#include "conversion_test_support.h"

namespace Zarvo {
namespace {

using namespace Testing;

template <class T>
struct Case {
    BindingProperty input;
    T expected;
    // Null when the conversion succeeds.
    const char* error = nullptr;
};

// Converts each input into a target that holds a non-zero value first: a failure must leave the zero value.
template <class T>
void ExpectConversions(const std::vector<Case<T>>& cases, const BindingRegistry& registry, T sentinel) {
    for (const Case<T>& c : cases) {
        T target = sentinel;
        BindingResult result;
        ConvertFromProperty(result, target, c.input, "field", registry);
        if (c.error) {
            EXPECT_FALSE(result.ok) << c.error;
            EXPECT_EQ(result.ErrorMessage(), c.error);
            EXPECT_EQ(target, T{}) << c.error;
        } else {
            EXPECT_TRUE(result.ok) << result.ErrorMessage();
            EXPECT_EQ(target, c.expected);
        }
    }
}

const char* const kRequired = "A value for 'field' is required.";

TEST(IntegerConversion, Int8) {
    BindingRegistry registry;
    ExpectConversions<int8_t>({{Text("0x7f"), 127},
                 {Text("128"), 0, "Value 128 for 'field' of type int8 is out of range"},
                 {Text("12abc"), 0, "Value 12abc for 'field' of type int8 is in an incorrect format"},
                 {Text(""), 0},
                 {Text(" -12"), -12},
                 {Text("010"), 8},
                 {Text("-0x80"), -128},
                 {Text(" "), 0, "Value   for 'field' of type int8 is in an incorrect format"},
                 {Text(std::string_view("1\0" "2", 3)), 0, "Value 1 for 'field' of type int8 is in an incorrect format"},
                 {Text("99999999999999999999"), 0, "Value 99999999999999999999 for 'field' of type int8 is out of range"},
                 {Signed(-128), -128},
                 {Signed(128), 0, "Value 128 for 'field' of type int8 is out of range"},
                 {Unsigned(127), 127},
                 {Unsigned(200), 0, "Value 200 for 'field' of type int8 is out of range"},
                 {Float(-3.9), -3},
                 {Float(127.5), 0, "Value 127.5 for 'field' of type int8 is out of range"},
                 {Float(std::numeric_limits<double>::quiet_NaN()), 0,
                  "Value nan for 'field' of type int8 is out of range"},
                 {EnumNumber(5), 5},
                 {EnumNumber(300), 0, "Value 300 for 'field' of type int8 is out of range"},
                 {Empty(), 0, kRequired},
                 {Flag(true), 0,
                  "Couldn't assign value to 'field' of type int8 because the input is of an invalid type bool."},
                 {List({}), 0,
                  "Couldn't assign value to 'field' of type int8 because the input is of an invalid type collection."},
                 {Bytes({1}), 0,
                  "Couldn't assign value to 'field' of type int8 because the input is of an invalid type blob."},
                 {Object({}), 0,
                  "Couldn't assign value to 'field' of type int8 because the input is of an invalid type structure."}},
                registry, 42);
}

TEST(IntegerConversion, OtherWidthsAtTheirBounds) {
    BindingRegistry registry;
    ExpectConversions<int16_t>({{Signed(-32768), -32768},
                  {Signed(-32769), 0, "Value -32769 for 'field' of type int16 is out of range"},
                  {Text("0x7FFF"), 32767}},
                 registry, 1);
    ExpectConversions<uint16_t>({{Text("0xffff"), 65535},
                   {Text("0x10000"), 0, "Value 0x10000 for 'field' of type uint16 is out of range"},
                   {Signed(-1), 0, "Value -1 for 'field' of type uint16 is out of range"}},
                  registry, 1);
    ExpectConversions<int32_t>({{Signed(2147483647), 2147483647},
                  {Signed(2147483648), 0, "Value 2147483648 for 'field' of type int32 is out of range"},
                  {Float(2147483647.5), 0, "Value 2.14748e+09 for 'field' of type int32 is out of range"},
                  {Flag(false), 0,
                   "Couldn't assign value to 'field' of type int32 because the input is of an invalid type bool."}},
                 registry, 1);
    ExpectConversions<uint32_t>({{Unsigned(4294967295u), 4294967295u},
                   {Unsigned(4294967296u), 0, "Value 4294967296 for 'field' of type uint32 is out of range"},
                   {EnumNumber(-1), 0, "Value -1 for 'field' of type uint32 is out of range"},
                   {Float(-0.5), 0, "Value -0.5 for 'field' of type uint32 is out of range"}},
                  registry, 1);
}

TEST(IntegerConversion, SixtyFourBitEdges) {
    BindingRegistry registry;
    ExpectConversions<uint8_t>({{Signed(-1), 0, "Value -1 for 'field' of type uint8 is out of range"},
                  {Text("255"), 255},
                  {Text("-0"), 0, "Value -0 for 'field' of type uint8 is out of range"}},
                 registry, 9);
    ExpectConversions<uint64_t>({{Text("-1"), 0, "Value -1 for 'field' of type uint64 is out of range"},
                   {Text("  -1"), 0, "Value   -1 for 'field' of type uint64 is out of range"},
                   {Text("18446744073709551615"), std::numeric_limits<uint64_t>::max()},
                   {Text("18446744073709551616"), 0,
                    "Value 18446744073709551616 for 'field' of type uint64 is out of range"},
                   {Float(18446744073709551616.0), 0, "Value 1.84467e+19 for 'field' of type uint64 is out of range"},
                   {Float(1e19), 10000000000000000000u},
                   {Signed(-5), 0, "Value -5 for 'field' of type uint64 is out of range"},
                   {Empty(), 0, kRequired}},
                  registry, 9);
    ExpectConversions<int64_t>({{Float(9223372036854775808.0), 0, "Value 9.22337e+18 for 'field' of type int64 is out of range"},
                  {Float(-9223372036854775808.0), std::numeric_limits<int64_t>::min()},
                  {Unsigned(9223372036854775808u), 0,
                   "Value 9223372036854775808 for 'field' of type int64 is out of range"},
                  {Text("-9223372036854775809"), 0,
                   "Value -9223372036854775809 for 'field' of type int64 is out of range"},
                  {Text("-9223372036854775808"), std::numeric_limits<int64_t>::min()}},
                 registry, 9);
}

TEST(BoolConversion, AcceptsBoolAndTheFourTexts) {
    BindingRegistry registry;
    ExpectConversions<bool>({{Flag(true), true},
               {Text("1"), true},
               {Text("true"), true},
               {Text("0"), false},
               {Text("false"), false},
               {Text("TRUE"), false,
                "Value TRUE for 'field' of type bool is in an incorrect format. Options are \"true\", \"false\", "
                "\"1\", \"0\"."},
               {Signed(1), false,
                "Couldn't assign value to 'field' of type bool because the input is of an invalid type signed."},
               {EnumNumber(1), false,
                "Couldn't assign value to 'field' of type bool because the input is of an invalid type enum."},
               {Empty(), false, kRequired}},
              registry, true);
}

TEST(RealConversion, DoubleAndFloat) {
    BindingRegistry registry;
    ExpectConversions<double>({{Text("2.5"), 2.5},
                 {Text("1e999"), 0, "Value 1e999 for 'field' of type double is out of range"},
                 {Text("1e-400"), 0, "Value 1e-400 for 'field' of type double is out of range"},
                 {Text("2.5x"), 0, "Value 2.5x for 'field' of type double is in an incorrect format"},
                 {Signed(-3), -3.0},
                 {Unsigned(18446744073709551615u), 18446744073709551615.0},
                 {EnumNumber(4), 4.0},
                 {Float(-1.7976931348623157e308), -1.7976931348623157e308},
                 {Float(std::numeric_limits<double>::infinity()), 0,
                  "Value inf for 'field' of type double is out of range"},
                 {Bytes({}), 0,
                  "Couldn't assign value to 'field' of type double because the input is of an invalid type blob."},
                 {Empty(), 0, kRequired}},
                registry, 7.0);
    ExpectConversions<float>({{Float(1.5), 1.5f},
                {Float(1e39), 0, "Value 1e+39 for 'field' of type float is out of range"},
                {Text("3.5e38"), 0, "Value 3.5e38 for 'field' of type float is out of range"},
                {Text("-3.4028234663852886e38"), -std::numeric_limits<float>::max()},
                {Flag(true), 0,
                 "Couldn't assign value to 'field' of type float because the input is of an invalid type bool."}},
               registry, 7.0f);
}

TEST(StringConversion, TextsAndEnumNames) {
    enum class Shade : int32_t { Dark = 3 };
    BindingRegistry registry;
    registry.Enum<Shade>("Shade").Value("Dark", Shade::Dark);
    const StaticTypeInfo* shade = &StaticType::HashCode<Shade>();
    ExpectConversions<std::string>({{Text("abc"), "abc"},
                      {Text(""), ""},
                      {EnumNumber(3, shade), "Dark"},
                      {EnumNumber(7, shade), "", "7 is not a valid enumeration value for 'field'."},
                      {EnumNumber(3, &StaticType::HashCode<int>()), "",
                       "3 is not a valid enumeration value for 'field'."},
                      {Signed(5), "", "Couldn't assign value to 'field' because the input is not a string."},
                      {Empty(), "", kRequired}},
                     registry, std::string("previous"));
}

TEST(BlobConversion, BytesAndBase64Texts) {
    using Blob = std::vector<uint8_t>;
    BindingRegistry registry;
    const char* invalid =
        "Couldn't assign string value to 'field' of type blob because the input has invalid base64 characters.";
    ExpectConversions<Blob>({{Bytes({1, 2, 3}), {1, 2, 3}},
               {Text("QUJD"), {'A', 'B', 'C'}},
               {Text("QQ=="), {'A'}},
               {Text(""), {}},
               {Text("QU-JD"), {}, invalid},
               {Text("QU JD"), {}, invalid},
               {Text("QU_JD"), {}, invalid},
               {Text("QU\xC3\xA9"), {}, invalid},
               {Signed(1), {}, "Couldn't assign value to 'field' of type blob because the input is not a blob."},
               {Empty(), {}, kRequired}},
              registry, Blob{9, 9});
}

TEST(ObjectConversion, CopiesAnyKindAndClearsOnAFailedResult) {
    BindingRegistry registry;
    for (const BindingProperty& input : {Empty(), Signed(-4), Text("x"), List({Signed(1), Empty()}),
                                         Object({{"a", Object({{"b", Text("c")}})}})}) {
        BindingProperty target = Text("previous");
        BindingResult result;
        ConvertFromProperty(result, target, input, registry);
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(target.GetKind(), input.GetKind());
        EXPECT_EQ(target.Size(), input.Size());
    }
    BindingProperty target = Text("previous");
    BindingResult failed;
    failed.SetError("earlier");
    ConvertFromProperty(failed, target, Signed(1), registry);
    EXPECT_TRUE(target.IsEmpty());
    EXPECT_EQ(failed.ErrorMessage(), "earlier");
}

TEST(ScalarConversion, AFailedResultZeroesTheTargetAndKeepsItsMessage) {
    BindingRegistry registry;
    BindingResult result;
    result.SetError("first");
    int32_t number = 5;
    std::string text = "t";
    std::vector<int32_t> numbers = {1, 2};
    ConvertFromProperty(result, number, Signed(7), registry);
    ConvertFromProperty(result, text, Text("u"), registry);
    ConvertFromProperty(result, numbers, List({Signed(3)}), registry);
    EXPECT_EQ(number, 0);
    EXPECT_EQ(text, "");
    EXPECT_TRUE(numbers.empty());
    EXPECT_EQ(result.ErrorMessage(), "first");
}

TEST(StringRules, ExposedForTheTextReaders) {
    BindingResult result;
    EXPECT_EQ(ParseSigned64(result, "-0x10", "yaml", "int64_t"), -16);
    EXPECT_EQ(ParseUnsigned64(result, "077", "yaml", "uint64_t"), 63u);
    EXPECT_EQ(ParseDouble(result, "-2.5e3", "yaml", "double"), -2500.0);
    // A view that is not terminated is read only up to its end.
    const std::string_view digits = std::string_view("12345").substr(0, 2);
    EXPECT_EQ(ParseSigned64(result, digits, "yaml", "int64_t"), 12);
    const std::string longText(100, '7');
    EXPECT_EQ(ParseDouble(result, longText, "yaml", "double"), std::stod(longText));
    EXPECT_TRUE(result.ok);

    BindingResult failed;
    EXPECT_EQ(ParseUnsigned64(failed, "-3", "yaml", "uint64_t"), 0u);
    EXPECT_EQ(failed.ErrorMessage(), "Value -3 for 'yaml' of type uint64_t is out of range");
    BindingResult format;
    EXPECT_EQ(ParseSigned64(format, "1.5", "yaml", "int64_t"), 0);
    EXPECT_EQ(format.ErrorMessage(), "Value 1.5 for 'yaml' of type int64_t is in an incorrect format");
}

}  // namespace
}  // namespace Zarvo
