#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "argument_binding_fixture.h"

namespace Zarvo {
namespace {

using Testing::BoundFunction;
using Code = BindingTypeCode;

PluginValue Signed(int64_t number) {
    PluginValue value{};
    value.kind = PluginValueSigned;
    value.payload.i64 = number;
    return value;
}

PluginValue Text(const char* text) {
    PluginValue value{};
    value.kind = PluginValueBorrowedString;
    value.payload.span = {text, text ? static_cast<uint32_t>(std::char_traits<char>::length(text)) : 5u};
    return value;
}

PluginValue Span(uint32_t kind, const void* data, uint32_t count) {
    PluginValue value{};
    value.kind = kind;
    value.payload.span = {data, count};
    return value;
}

PluginRequestRecord WithItems(const std::vector<PluginArgumentItem>& items, const char* path = "/fn") {
    PluginRequestRecord request{};
    request.path = path;
    request.items = items.data();
    request.itemCount = static_cast<uint32_t>(items.size());
    return request;
}

TEST(ArgumentBindingItems, NamedItemsGoToTheFirstArgumentOfThatNameWhateverItsLocation) {
    BoundFunction function({{"id", Code::String, PathLocation}, {"x"}, {"x"}, {"flag", Code::Bool, QueryLocation}});
    PluginValue on{};
    on.kind = PluginValueBool;
    on.payload.boolean = 1;
    const std::vector<PluginArgumentItem> items{{"x", Signed(-4)}, {"id", Text("7")}, {"flag", on}};
    EXPECT_EQ(function.Bind(WithItems(items)), "ok");
    EXPECT_EQ(function.Value(0), "\"7\"");
    EXPECT_EQ(function.Value(1), "i-4");
    EXPECT_EQ(function.Value(2), "~");
    EXPECT_EQ(function.Value(3), "true");
}

TEST(ArgumentBindingItems, PositionalItemsStartAfterThePathParameters) {
    BoundFunction function({{"id", Code::String, PathLocation}, {"a", Code::Int32}, {"b"}});
    const std::vector<PluginArgumentItem> items{{nullptr, Signed(1)}, {nullptr, Text("s")}};
    EXPECT_EQ(function.Bind(WithItems(items), {}, {{"id", "7"}}), "ok");
    EXPECT_EQ(function.Value(0), "\"7\"");
    EXPECT_EQ(function.Value(1), "i1");
    EXPECT_EQ(function.Value(2), "\"s\"");

    EXPECT_EQ(function.Bind(WithItems(items)), "ok");
    EXPECT_EQ(function.Value(0), "i1");
    EXPECT_EQ(function.Value(1), "\"s\"");
}

TEST(ArgumentBindingItems, AnItemReplacesWhatTheQueryGaveTheArgument) {
    BoundFunction function({{"r", Code::Struct}});
    const PluginValueEntry entries[] = {{"b", Signed(2), 0}};
    const std::vector<PluginArgumentItem> items{{"r", Span(PluginValueObject, entries, 1)}};
    EXPECT_EQ(function.Bind(WithItems(items, "/fn?r.a=1")), "ok");
    EXPECT_EQ(function.Value(0), "{b:i2}");
}

TEST(ArgumentBindingItems, FailuresNameTheItem) {
    struct Case {
        std::vector<PluginArgumentItem> items;
        const char* path;
        std::string expected;
    };
    const PluginValue elements[] = {Signed(1), Span(12, nullptr, 0)};
    const std::vector<Case> cases{
        {{{"zz", Signed(1)}}, "/fn", "error: Unknown argument 'zz' for 'Fn'."},
        {{{"", Signed(1)}}, "/fn", "error: Unknown argument '' for 'Fn'."},
        {{{nullptr, Signed(1)}, {nullptr, Signed(2)}, {nullptr, Signed(3)}}, "/fn",
         "error: Unknown argument '2' for 'Fn'."},
        {{{"a", Span(12, nullptr, 0)}}, "/fn",
         "error: Couldn't assign value to 'a' of type object because the input is of an incompatible type ''."},
        {{{nullptr, Span(PluginValueArray, elements, 2)}}, "/fn",
         "error: Couldn't assign value to 'a' of type object because the input is of an incompatible type ''."},
        // A count that no collection may hold is reported, not thrown.
        {{{"a", Span(PluginValueArray, nullptr, 0xFFFFFFFFu)}}, "/fn",
         "error: Argument 'a' for 'Fn' has too many elements."},
        // Items are not read once an earlier source failed.
        {{{"zz", Signed(1)}}, "/fn?nope=1", "error: Unknown argument 'nope' for 'Fn'."},
    };
    for (const Case& c : cases) {
        BoundFunction function({{"a"}, {"b"}});
        EXPECT_EQ(function.Bind(WithItems(c.items, c.path)), c.expected) << c.expected;
    }
}

TEST(ArgumentBindingItems, MissingPointersFromTheCoreAreHarmless) {
    BoundFunction function({{"a"}, {"b"}});
    PluginRequestRecord request{};
    request.itemCount = 5;
    EXPECT_EQ(function.Bind(request), "ok");

    const std::vector<PluginArgumentItem> items{{"a", Text(nullptr)},
                                                {"b", Span(PluginValueBorrowedBytes, nullptr, 9)}};
    EXPECT_EQ(function.Bind(WithItems(items)), "ok");
    EXPECT_EQ(function.Value(0), "\"\"");
    EXPECT_EQ(function.Value(1), "b:");
}

}  // namespace
}  // namespace Zarvo
