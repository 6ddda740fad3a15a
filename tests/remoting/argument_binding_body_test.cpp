#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "argument_binding_fixture.h"

namespace Zarvo {
namespace {

using Testing::BoundFunction;
using Code = BindingTypeCode;

// The body lives in a buffer of exactly its length, so a read past it is caught by the address sanitizer.
class Body {
public:
    Body(std::string_view bytes) : bytes_(std::make_unique<uint8_t[]>(bytes.size())), length_(bytes.size()) {
        if (!bytes.empty()) std::memcpy(bytes_.get(), bytes.data(), bytes.size());
    }
    PluginRequestRecord Request(const char* contentType, const char* path = "/fn") const {
        PluginRequestRecord request{};
        request.path = path;
        request.contentType = contentType;
        request.body = bytes_.get();
        request.bodyLength = static_cast<uint32_t>(length_);
        return request;
    }

private:
    std::unique_ptr<uint8_t[]> bytes_;
    size_t length_;
};

TEST(ArgumentBindingBody, TheContentTypeChoosesTheDecoder) {
    using namespace std::string_literals;
    struct Case {
        const char* contentType;
        std::string body;
        std::string expected;
    };
    const Case cases[] = {
        {"application/json", R"({"a":[1,-2]})", "{a:[u1,i-2]}"},
        {"Application/JSON; charset=utf-8", "[true]", "[true]"},
        {"application/vnd.api+json", "\"x\"", "\"x\""},
        {"application/x-yaml", "a: [x, 2]\n", "{a:[\"x\",u2]}"},
        {"APPLICATION/X-YAML", "- 1", "[u1]"},
        {"application/x-msgpack", "\x81\xA1" "a\x01", "{a:i1}"},
        {"application/x-msgpack-ext", "\x05", "i5"},
        {"application/json", "", "~"},
        {"application/x-msgpack", "", "~"},
        // Without a content type only MessagePack is recognised, by its first byte.
        {nullptr, "\x92\x01\x02", "[i1,i2]"},
        {"", "\xDE\x00\x01\xA1k\xC3"s, "{k:true}"},
        // Text bodies end at their first zero byte.
        {"application/json", "[1]\0garbage"s, "[u1]"},
        {"application/x-yaml", "a: 1\0: :"s, "{a:u1}"},
    };
    for (const Case& c : cases) {
        BoundFunction function({{"name"}, {"body", Code::Object, BodyLocation}});
        const Body body(c.body);
        EXPECT_EQ(function.Bind(body.Request(c.contentType)), "ok") << c.body;
        EXPECT_EQ(function.Value(0), "~");
        EXPECT_EQ(function.Value(1), c.expected) << c.body;
    }
}

TEST(ArgumentBindingBody, RefusedAndUndecodableBodiesFail) {
    struct Case {
        const char* contentType;
        std::string body;
        std::string expected;
    };
    const Case cases[] = {
        {"application/xml", "<a/>", "error: Unsupported body content type"},
        {"text/plain", "x", "error: Unsupported body content type"},
        {"application/jso", "{}", "error: Unsupported body content type"},
        {" application/json", "{}", "error: Unsupported body content type"},
        {nullptr, "{\"a\":1}", "error: Unsupported body content type"},
        {"", "", "error: Unsupported body content type"},
        {"application/x-msgpack", "\x81\xA1" "a\x01\xC0", "error: Extra MessgePack data found in body"},
        {nullptr, "\x90\x90", "error: Extra MessgePack data found in body"},
        {"application/x-msgpack", "\x81\x01\x02",
         "error: Invalid MessagePack data at position 2. Map keys must be strings."},
        {"application/json", "{\"a\":1,}", "error: Error: Missing a name for object member. at offset 7."},
        {"application/x-yaml", "--- 1\n--- 2\n", "error: Multi-document YAML is not supported."},
    };
    for (const Case& c : cases) {
        BoundFunction function({{"body", Code::Struct, BodyLocation}});
        const Body body(c.body);
        EXPECT_EQ(function.Bind(body.Request(c.contentType)), c.expected) << c.body;
        EXPECT_EQ(function.Value(0), "~");
    }
}

TEST(ArgumentBindingBody, TheBodyIsDecodedAfterAnEarlierFailureAndReplacesItsMessage) {
    BoundFunction function({{"body", Code::Struct, BodyLocation}});
    const Body xml("<a/>");
    EXPECT_EQ(function.Bind(xml.Request("application/xml", "/fn?nope=1")), "error: Unsupported body content type");

    // A good body is still assigned, and the earlier message stays.
    const Body json("{\"a\":1}");
    EXPECT_EQ(function.Bind(json.Request("application/json", "/fn?nope=1")),
              "error: Unknown argument 'nope' for 'Fn'.");
    EXPECT_EQ(function.Value(0), "{a:u1}");
}

TEST(ArgumentBindingBody, GoesToTheFirstBodyArgumentOrIsIgnored) {
    const Body json("[1]");
    BoundFunction two({{"a", Code::Vector, BodyLocation}, {"b", Code::Vector, BodyLocation}});
    EXPECT_EQ(two.Bind(json.Request("application/json")), "ok");
    EXPECT_EQ(two.Value(0), "[u1]");
    EXPECT_EQ(two.Value(1), "~");

    BoundFunction none({{"a", Code::Vector}});
    const Body xml("<a/>");
    EXPECT_EQ(none.Bind(xml.Request("application/xml")), "ok");
    EXPECT_EQ(none.Value(0), "~");
}

TEST(ArgumentBindingBody, IsReadWithinItsStatedLength) {
    BoundFunction function({{"body", Code::Object, BodyLocation}});
    // Neither text ends in a zero byte; the buffer holds exactly the stated bytes.
    const Body json("[1,2]");
    EXPECT_EQ(function.Bind(json.Request("application/json")), "ok");
    EXPECT_EQ(function.Value(0), "[u1,u2]");
    const Body yaml("a: 1");
    EXPECT_EQ(function.Bind(yaml.Request("application/x-yaml")), "ok");
    EXPECT_EQ(function.Value(0), "{a:u1}");

    // A longer buffer whose stated length ends early: the rest is not read.
    const Body longer("[1,2]xyz");
    PluginRequestRecord request = longer.Request("application/json");
    request.bodyLength = 5;
    EXPECT_EQ(function.Bind(request), "ok");
    EXPECT_EQ(function.Value(0), "[u1,u2]");

    // A length without a body pointer is no body.
    request.body = nullptr;
    request.bodyLength = 100;
    EXPECT_EQ(function.Bind(request), "ok");
    EXPECT_EQ(function.Value(0), "~");
}

}  // namespace
}  // namespace Zarvo
