#include <gtest/gtest.h>

#include <string>

#include "argument_binding_fixture.h"

namespace Zarvo {
namespace {

using Testing::BoundFunction;
using Code = BindingTypeCode;

TEST(ArgumentBindingSources, ValuesAreSizedAndNonOptionalBoolsStartFalse) {
    BoundFunction function({{"verbose", Code::Bool}, {"quiet", Code::Bool, AnyLocation, true}, {"name"}});
    EXPECT_EQ(function.BindPath("/fn"), "ok");
    ASSERT_EQ(function.ValueCount(), 3u);
    EXPECT_EQ(function.Value(0), "false");
    EXPECT_EQ(function.Value(1), "~");
    EXPECT_EQ(function.Value(2), "~");
}

TEST(ArgumentBindingSources, QueryKeysSetWholeArgumentsAndNestedValues) {
    struct Case {
        const char* path;
        Code code;
        std::string expected;
    };
    const Case cases[] = {
        {"/fn?a=text", Code::String, "\"text\""},
        {"/fn?a=%7Bx%7D+y", Code::String, "\"{x} y\""},
        {"/fn?a.b=1&a.c=x", Code::Struct, "{b:\"1\",c:\"x\"}"},
        {"/fn?a.0.b=1&a.0.c=2", Code::Vector, "[{b:\"1\",c:\"2\"}]"},
        {"/fn?a.2=z", Code::Vector, "[~,~,\"z\"]"},
        {"/fn?a.0x1=v", Code::Vector, "[~,\"v\"]"},
        {"/fn?a.0X1f=v", Code::Vector, "[~,~,~,~,~,~,~,~,~,~,~,~,~,~,~,~,~,~,~,~,~,~,~,~,~,~,~,~,~,~,~,\"v\"]"},
        {"/fn?a.010=v", Code::Vector, "[~,~,~,~,~,~,~,~,\"v\"]"},
        {"/fn?a.0=", Code::Vector, "[\"\"]"},
        {"/fn?a.b.c=", Code::Object, "{b:{c:\"\"}}"},
        {"/fn?a.x={\"a\":1}", Code::Struct, "{x:\"{\"a\":1}\"}"},
        {"/fn?a.", Code::Struct, "{:\"\"}"},
        {"/fn?a.b=1", Code::Bool, "{b:\"1\"}"},
        {"/fn?a", Code::Bool, "true"},
        {"/fn?a=", Code::Bool, "true"},
        {"/fn?a=false", Code::Bool, "\"false\""},
        {"/fn?a", Code::Struct, "{}"},
        {"/fn?a", Code::Object, "{}"},
        {"/fn?a", Code::Vector, "[]"},
        {"/fn?a.b=1&a.b=2", Code::Struct, "{b:\"2\"}"},
    };
    for (const Case& c : cases) {
        BoundFunction function({{"a", c.code}});
        EXPECT_EQ(function.BindPath(c.path), "ok") << c.path;
        EXPECT_EQ(function.Value(0), c.expected) << c.path;
    }
}

TEST(ArgumentBindingSources, ContainerTextsAreSniffedOtherTextsStayStrings) {
    struct Case {
        const char* path;
        Code code;
        std::string expected;
    };
    const Case cases[] = {
        {"/fn?a={\"a\":1}", Code::Struct, "{a:u1}"},
        {"/fn?a=++[1,+2]", Code::Vector, "[u1,u2]"},
        {"/fn?a=---%0Ab:+yes", Code::Object, "{b:true}"},
        {"/fn?a=++---+{b:+1}", Code::Struct, "{b:u1}"},
        {"/fn?a=%81%A1k%01", Code::Struct, "{k:i1}"},
        {"/fn?a=%92%01%02%03", Code::Vector, "[i1,i2]"},  // bytes after the value are not checked here
        {"/fn?a=plain+text", Code::Struct, "\"plain text\""},
        {"/fn?a=-+--", Code::Struct, "\"- --\""},
        {"/fn?a=\t{}", Code::Struct, "\"\t{}\""},  // only spaces are skipped
        {"/fn?a={\"a\":1}", Code::String, "\"{\"a\":1}\""},
        {"/fn?a=---+1", Code::Int32, "\"--- 1\""},
        {"/fn?a=%81%A1k%01", Code::Blob, "\"\x81\xA1k\x01\""},
    };
    for (const Case& c : cases) {
        BoundFunction function({{"a", c.code}});
        EXPECT_EQ(function.BindPath(c.path), "ok") << c.path;
        EXPECT_EQ(function.Value(0), c.expected) << c.path;
    }
}

TEST(ArgumentBindingSources, FailuresNameTheArgumentAndTheFunction) {
    struct Case {
        const char* path;
        Code code;
        uint32_t location;
        std::string expected;
    };
    const Case cases[] = {
        {"/fn?b=1", Code::String, AnyLocation, "error: Unknown argument 'b' for 'Fn'."},
        {"/fn?b.c=1", Code::String, AnyLocation, "error: Unknown argument 'b' for 'Fn'."},
        {"/fn?", Code::String, AnyLocation, "ok"},
        {"/fn?&", Code::String, AnyLocation, "error: Unknown argument '' for 'Fn'."},
        {"/fn?a=1&", Code::String, AnyLocation, "error: Unknown argument '' for 'Fn'."},
        {"/fn?a=1", Code::String, PathLocation, "error: Argument 'a' for 'Fn' was specified in an invalid location."},
        {"/fn?a.b=1", Code::Struct, HeaderLocation,
         "error: Argument 'a' for 'Fn' was specified in an invalid location."},
        {"/fn?a=1", Code::String, BodyLocation, "error: Argument 'a' for 'Fn' was specified in an invalid location."},
        {"/fn?a=1", Code::String, QueryLocation, "ok"},
        {"/fn?a", Code::String, AnyLocation, "error: Expected value for argument 'a'."},
        {"/fn?a=", Code::Int32, AnyLocation, "error: Expected value for argument 'a'."},
        {"/fn?a", Code::Enum, AnyLocation, "error: Expected value for argument 'a'."},
        {"/fn?a.1z=v", Code::Vector, AnyLocation, "error: Index 1z is in an incorrect format"},
        {"/fn?a.08=v", Code::Vector, AnyLocation, "error: Index 08 is in an incorrect format"},
        {"/fn?a.0x=v", Code::Vector, AnyLocation, "error: Index 0x is in an incorrect format"},
        {"/fn?a.0.1e2.b=v", Code::Vector, AnyLocation, "error: Index 1e2 is in an incorrect format"},
        {"/fn?a.1%00=v", Code::Vector, AnyLocation, "error: Index 1 is in an incorrect format"},
        {"/fn?a.2147483648=v", Code::Vector, AnyLocation, "error: Index 2147483648 is out of range"},
        {"/fn?a.4294967296=v", Code::Vector, AnyLocation, "error: Index 4294967296 is out of range"},
        {"/fn?a.0x80000000=v", Code::Vector, AnyLocation, "error: Index 0x80000000 is out of range"},
        {"/fn?a.99999999999999999999999999=v", Code::Vector, AnyLocation,
         "error: Index 99999999999999999999999999 is out of range"},
        {"/fn?a={\"a\":1,}", Code::Struct, AnyLocation,
         "error: Couldn't deserialize JSON value for parameter 'a' of 'Fn': "
         "Error: Missing a name for object member. at offset 7."},
        {"/fn?a=---+%26x+[*x]", Code::Vector, AnyLocation,
         "error: Couldn't deserialize YAML value for parameter 'a' of 'Fn': "
         "Cannot deserialize cyclic aliases. Alias \"x\". At line: 1 col: 9"},
        {"/fn?a=%81%01%02", Code::Object, AnyLocation,
         "error: Couldn't deserialize MessagePack value for parameter 'a' of 'Fn': "
         "Invalid MessagePack data at position 2. Map keys must be strings."},
    };
    for (const Case& c : cases) {
        BoundFunction function({{"a", c.code, c.location}});
        EXPECT_EQ(function.BindPath(c.path), c.expected) << c.path;
    }
}

// A key such as a.268435455 would otherwise build a collection of gigabytes from a few bytes of query.
TEST(ArgumentBindingSources, IndexSegmentsAddNoMoreElementsThanTheRequestSizeAllows) {
    BoundFunction function({{"a", Code::Vector}, {"pad"}});
    EXPECT_EQ(function.BindPath("/fn?a.268435455=x"),
              "error: Index 268435455 is too large for the size of the request");
    EXPECT_EQ(function.BindPath("/fn?a.2147483647=x"),
              "error: Index 2147483647 is too large for the size of the request");
    EXPECT_EQ(function.BindPath("/fn?a.1023=x"), "ok");
    std::string expected = "[";
    for (int i = 0; i < 1023; ++i) expected += "~,";
    EXPECT_EQ(function.Value(0), expected + "\"x\"]");

    // The allowance is spent across keys: two nested collections of 1001 elements exceed it for this short path.
    EXPECT_EQ(function.BindPath("/fn?a.0.1000=x&a.1.1000=y"),
              "error: Index 1000 is too large for the size of the request");
    // Filling elements that exist already adds nothing.
    EXPECT_EQ(function.BindPath("/fn?a.1000=x&a.999=y&a.0=z"), "ok");

    // A longer request may address proportionally more elements: 1024 and one per byte of its path (2017 here).
    const std::string padding = "/fn?pad=" + std::string(2000, 'p');
    EXPECT_EQ(function.BindPath((padding + "&a.3040=x").c_str()), "ok");
    EXPECT_EQ(function.BindPath((padding + "&a.3041=x").c_str()),
              "error: Index 3041 is too large for the size of the request");
}

TEST(ArgumentBindingSources, HeadersThenPathThenQueryEachFromItsOwnLocation) {
    BoundFunction function({{"h", Code::String, HeaderLocation},
                            {"id", Code::String, PathLocation},
                            {"q", Code::String, QueryLocation},
                            {"any"}});
    EXPECT_EQ(function.BindPath("/fn/7?q=3&any=query", {{"h", "1"}, {"any", "header"}}, {{"id", "7"}, {"any", "path"}}),
              "ok");
    EXPECT_EQ(function.Value(0), "\"1\"");
    EXPECT_EQ(function.Value(1), "\"7\"");
    EXPECT_EQ(function.Value(2), "\"3\"");
    EXPECT_EQ(function.Value(3), "\"query\"");  // the query comes last and wins

    EXPECT_EQ(function.BindPath("/fn", {{"any", "header"}}, {{"any", "path"}}), "ok");
    EXPECT_EQ(function.Value(3), "\"path\"");

    EXPECT_EQ(function.BindPath("/fn", {}, {{"q", "3"}}),
              "error: Argument 'q' for 'Fn' was specified in an invalid location.");
    EXPECT_EQ(function.BindPath("/fn", {{"id", "7"}}),
              "error: Argument 'id' for 'Fn' was specified in an invalid location.");
}

TEST(ArgumentBindingSources, BindingStopsAtTheFirstFailure) {
    BoundFunction function({{"a"}, {"b"}});
    EXPECT_EQ(function.BindPath("/fn?b=2", {{"nope", "1"}}, {{"a", "1"}}), "error: Unknown argument 'nope' for 'Fn'.");
    EXPECT_EQ(function.Value(0), "~");
    EXPECT_EQ(function.Value(1), "~");

    EXPECT_EQ(function.BindPath("/fn?b=2", {}, {{"a.0", "1"}}), "ok");
    EXPECT_EQ(function.BindPath("/fn?b=2", {}, {{"a.x", "1"}, {"c", "1"}}), "error: Unknown argument 'c' for 'Fn'.");
    EXPECT_EQ(function.Value(1), "~");
}

TEST(ArgumentBindingSources, TheLaterOfTwoSameNamedArgumentsTakesTheName) {
    BoundFunction function({{"x"}, {"x"}});
    EXPECT_EQ(function.BindPath("/fn?x=1"), "ok");
    EXPECT_EQ(function.Value(0), "~");
    EXPECT_EQ(function.Value(1), "\"1\"");
}

TEST(ArgumentBindingSources, ARequestWithoutPathBindsNothingFromTheQuery) {
    BoundFunction function({{"verbose", Code::Bool}});
    EXPECT_EQ(function.Bind(PluginRequestRecord{}), "ok");
    EXPECT_EQ(function.Value(0), "false");
}

}  // namespace
}  // namespace Zarvo
