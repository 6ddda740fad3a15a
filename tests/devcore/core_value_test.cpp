#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <vector>

#include "devcore/contract_bounds.h"
#include "devcore/core_value_reader.h"
#include "devcore/core_value_writer.h"
#include "devcore_fixture.h"

namespace Zarvo::DevCore::Testing {
namespace {

PluginValue Span(uint32_t kind, const void* data, uint32_t count) {
    PluginValue value{};
    value.kind = kind;
    value.payload.span = {data, count};
    return value;
}

PluginValue Number(int64_t number) {
    PluginValue value{};
    value.kind = PluginValueSigned;
    value.payload.i64 = number;
    return value;
}

PluginValue Text(const char* text) {
    return Span(PluginValueBorrowedString, text, static_cast<uint32_t>(std::strlen(text)));
}

// Reads a tree and gives its problem, its warnings after " / ", or its JSON text when it keeps the contract.
std::string Read(const PluginValue& record) {
    BindingProperty value;
    const ValueReading reading = ReadCoreValue(record, value);
    std::string told = reading.problem.empty() ? ToJsonText(value) : reading.problem;
    for (const std::string& warning : reading.warnings) told += " / " + warning;
    return told;
}

TEST(CoreValueTest, WritesTreesThatReadBackTheSame) {
    BindingProperty tree = Json(R"({"a":[1,-2,2.5,true,null,"x",{}],"b":{"c":[[]],"d":""}})");
    tree.ChildForWrite("blob").SetBlob(reinterpret_cast<const uint8_t*>("\x01\x02"), 2);
    PluginValue record{};
    WriteCoreValue(record, tree);
    EXPECT_EQ(record.kind, uint32_t{PluginValueObject});
    EXPECT_EQ(Read(record), R"({"a":[1,-2,2.5,true,null,"x",{}],"b":{"c":[[]],"d":""},"blob":"AQI="})");
    FreeCoreValue(record);
    EXPECT_EQ(record.kind, uint32_t{PluginValueNull});

    // A text travels up to its first NUL, with that length.
    BindingProperty cut;
    cut.SetString(std::string_view("ab\0cd", 5));
    WriteCoreValue(record, cut);
    EXPECT_EQ(record.kind, uint32_t{PluginValueOwnedString});
    EXPECT_EQ(record.payload.span.count, 2u);
    EXPECT_STREQ(static_cast<const char*>(record.payload.span.data), "ab");
    FreeCoreValue(record);
}

TEST(CoreValueTest, NamesWhatIsWrongWithATreeAndWhere) {
    static const char unterminated[] = {'a', 'b', 'c', 'd', 'e'};
    const PluginValueEntry twice[] = {{"k", Number(1), 0}, {"k", Number(2), 0}};
    const PluginValueEntry nullKey[] = {{"k", Number(1), 0}, {nullptr, Number(2), 0}};
    PluginValue strange{};
    strange.kind = 77;
    PluginValue badBool{};
    badBool.kind = PluginValueBool;
    badBool.payload.boolean = 2;
    const PluginValue inArray[] = {Number(1), strange};
    const PluginValueEntry deeper[] = {{"items", Span(PluginValueArray, inArray, 2), 0}};
    const PluginValueEntry data[] = {{"data", Span(PluginValueObject, deeper, 1), 0}};
    struct Case {
        PluginValue record;
        const char* told;
    } const cases[] = {
        {Text("plain"), R"("plain")"},
        {Span(PluginValueObject, data, 1), "a value of kind 77 at data.items[1]"},
        {strange, "a value of kind 77"},
        {badBool, "a bool whose byte is 2"},
        {Span(PluginValueBorrowedString, nullptr, 0), "a text with a null pointer"},
        {Span(PluginValueOwnedString, "ab", 5), "a text whose length word says 5 while it ends after 2 bytes"},
        {Span(PluginValueBorrowedString, unterminated, 4), "a text of 4 bytes without a NUL after them"},
        {Span(PluginValueBorrowedString, "x", 0xFFFFFFFF),
         "a text of 4,294,967,295 bytes, more than the core's bound of 67,108,864"},
        {Span(PluginValueOwnedBytes, nullptr, 3), "a byte array of 3 bytes with a null pointer"},
        {Span(PluginValueBorrowedBytes, nullptr, 0), R"("")"},
        {Span(PluginValueArray, nullptr, 2), "an array of 2 elements with a null pointer"},
        {Span(PluginValueArray, nullptr, 0), "[]"},
        {Span(PluginValueArray, inArray, 0xFFFFFFFF),
         "an array of 4,294,967,295 elements, more than the core's bound of 1,000,000 values in one tree"},
        {Span(PluginValueObject, nullKey, 2), "a member with a null key at (member 2)"},
        {Span(PluginValueObject, twice, 2), R"({"k":2} / a key given twice at k)"},
    };
    for (const Case& c : cases) EXPECT_EQ(Read(c.record), c.told);
}

TEST(CoreValueTest, CatchesTreesThatContainThemselves) {
    PluginValue self[1];
    self[0] = Span(PluginValueArray, self, 1);
    EXPECT_EQ(Read(self[0]), "an array that contains itself at [0]");

    // An object whose member holds an array that holds the object again.
    PluginValueEntry object[1];
    PluginValue array[2] = {Number(1), Span(PluginValueObject, object, 1)};
    object[0] = {"data", Span(PluginValueArray, array, 2), 0};
    EXPECT_EQ(Read(Span(PluginValueObject, object, 1)), "an object that contains itself at data[1]");

    // The same array twice side by side is no cycle.
    const PluginValue leaf[] = {Number(7)};
    const PluginValue shared[] = {Span(PluginValueArray, leaf, 1), Span(PluginValueArray, leaf, 1)};
    EXPECT_EQ(Read(Span(PluginValueArray, shared, 2)), "[[7],[7]]");
}

// Nested arrays, each the only element of the one around it, `depth` of them.
std::string ReadNested(size_t depth) {
    std::vector<PluginValue> levels(depth);
    for (size_t i = 0; i + 1 < depth; ++i) levels[i] = Span(PluginValueArray, &levels[i + 1], 1);
    levels[depth - 1] = Span(PluginValueArray, nullptr, 0);
    const std::string told = Read(levels[0]);
    return told.starts_with("[[") ? "read" : told;
}

TEST(CoreValueTest, BoundsTheDepthOfATree) {
    EXPECT_EQ(ReadNested(kMaxValueDepth - 1), "read");
    EXPECT_EQ(ReadNested(kMaxValueDepth), "read");
    const std::string path = [] {
        std::string text;
        for (size_t i = 0; i < kMaxValueDepth; ++i) text += "[0]";
        return text;
    }();
    EXPECT_EQ(ReadNested(kMaxValueDepth + 1), "an array nested in 512 containers, deeper than the core's bound at " + path);
}

TEST(CoreValueTest, BoundsTheValuesOfATree) {
    // The root counts as a value: an array of n elements is n + 1 values.
    const std::vector<PluginValue> elements(kMaxValueNodes, Number(0));
    for (const size_t count : {kMaxValueNodes - 2, kMaxValueNodes - 1}) {
        BindingProperty value;
        EXPECT_EQ(ReadCoreValue(Span(PluginValueArray, elements.data(), static_cast<uint32_t>(count)), value).problem, "");
        EXPECT_EQ(value.Size(), count);
    }
    EXPECT_EQ(Read(Span(PluginValueArray, elements.data(), kMaxValueNodes)),
              "an array of 1,000,000 elements, more than the core's bound of 1,000,000 values in one tree");

    // Shared storage counts each time it is reached: 1 + 2 * 500,000 values in all.
    const std::vector<PluginValue> half(kMaxValueNodes / 2, Number(0));
    const PluginValue twice[] = {Span(PluginValueArray, half.data(), kMaxValueNodes / 2),
                                 Span(PluginValueArray, half.data(), kMaxValueNodes / 2)};
    EXPECT_EQ(Read(Span(PluginValueArray, twice, 2)),
              "an array of 500,000 elements, more than the core's bound of 1,000,000 values in one tree at [1]");
}

TEST(CoreValueTest, BoundsTextsAndKeys) {
    std::string text(kMaxValueBytes + 1, 'x');
    BindingProperty value;
    EXPECT_EQ(ReadCoreValue(Span(PluginValueBorrowedString, text.c_str(), kMaxValueBytes - 1), value).problem,
              "a text of 67,108,863 bytes without a NUL after them");
    text[kMaxValueBytes] = '\0';
    EXPECT_EQ(ReadCoreValue(Span(PluginValueBorrowedString, text.c_str(), kMaxValueBytes), value).problem, "");
    EXPECT_EQ(value.Size(), kMaxValueBytes);
    EXPECT_EQ(ReadCoreValue(Span(PluginValueBorrowedString, text.c_str(), kMaxValueBytes + 1), value).problem,
              "a text of 67,108,865 bytes, more than the core's bound of 67,108,864");

    std::string key(kMaxPlainText, 'k');
    const PluginValueEntry entry[] = {{key.c_str(), Number(1), 0}};
    EXPECT_EQ(Read(Span(PluginValueObject, entry, 1)), "a key without a NUL within 1,048,576 bytes at (member 1)");
    key.pop_back();
    const PluginValueEntry longest[] = {{key.c_str(), Number(1), 0}};
    EXPECT_EQ(ReadCoreValue(Span(PluginValueObject, longest, 1), value).problem, "");
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
