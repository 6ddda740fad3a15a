#include <gtest/gtest.h>

#include <map>
#include <string>

#include "argument_binding_fixture.h"

namespace Zarvo {
namespace {

using Testing::BoundFunction;
using SortedMap = std::map<std::string, std::string>;

SortedMap Sorted(const TextMap& map) { return {map.begin(), map.end()}; }

TEST(ParseQuery, SplitsDecodesAndKeepsTheLaterKey) {
    using namespace std::string_literals;
    struct Case {
        std::string text;
        SortedMap expected;
    };
    const Case cases[] = {
        {"", {}},
        {"a=1&b=two", {{"a", "1"}, {"b", "two"}}},
        {"a=1&a=2", {{"a", "2"}}},
        {"verbose", {{"verbose", ""}}},
        {"a=b=c", {{"a", "b=c"}}},
        {"x=1&", {{"x", "1"}, {"", ""}}},
        {"&&", {{"", ""}}},
        {"=v", {{"", "v"}}},
        {"%61+b=%3D%26", {{"a b", "=&"}}},
        {"a=1\0b=2"s, {{"a", "1"}}},
        {"a%00b=1"s, {{"a\0b"s, "1"}}},
    };
    for (const Case& c : cases) EXPECT_EQ(Sorted(ParseQuery(c.text)), c.expected) << c.text;
}

TEST(CollectHeaderValues, LooksUpLowerCasedNamesForArgumentsThatMayComeFromHeaders) {
    BoundFunction function({{"contentType"},
                            {"X-Token", BindingTypeCode::String, HeaderLocation},
                            {"Accept", BindingTypeCode::String, QueryLocation},
                            {"\xC4Mode"},
                            {"Origin", BindingTypeCode::String, BodyLocation}});
    const TextMap headers{{"contenttype", "json"}, {"x-token", "t"}, {"accept", "a"}, {"\xC4mode", "m"},
                          {"origin", "o"}, {"Content-Type", "ignored"}};
    const SortedMap expected{{"contentType", "json"}, {"X-Token", "t"}, {"\xC4Mode", "m"}};
    EXPECT_EQ(Sorted(CollectHeaderValues(headers, function.Info(), function.Locations())), expected);

    // Header names are compared as delivered: a capitalised name never matches.
    const TextMap capitalised{{"Content-Type", "json"}, {"ContentType", "json"}};
    EXPECT_TRUE(CollectHeaderValues(capitalised, function.Info(), function.Locations()).empty());
}

}  // namespace
}  // namespace Zarvo
