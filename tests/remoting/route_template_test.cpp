// Path templates: their translation into patterns, matching one route, and scanning a list of routes.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "binding/registration.h"
#include "remoting/route.h"
#include "remoting/route_matching.h"
#include "remoting/transport.h"

namespace Zarvo {
namespace {

std::string Parameters(const std::vector<RouteParameter>& parameters) {
    std::string text;
    for (const RouteParameter& parameter : parameters) text += std::to_string(parameter.kind) + parameter.name + ";";
    return text;
}

TEST(RouteTemplate, TranslatesParametersAndEscapesSpecialBytes) {
    const struct {
        const char* pathTemplate;
        const char* pattern;
        const char* parameters;
    } cases[] = {
        {"/a/{id}", "/a/([^/]*)", "1id;"},
        {"/files/{+rest}", "/files/(.*)", "2rest;"},
        {"/page{#frag}", "/page#(.*)", "3frag;"},
        {"/v1.0/{a}-{b}", "/v1\\.0/([^/]*)-([^/]*)", "1a;1b;"},
        {"^$.*+?()[]|\\{x}", "\\^\\$\\.\\*\\+\\?\\(\\)\\[\\]\\|\\\\([^/]*)", "1x;"},
        // "+" and "#" choose the kind only as the first byte of a name.
        {"{a+b}{a#b}{#+c}", "([^/]*)([^/]*)#(.*)", "1a+b;1a#b;3+c;"},
        // A "{" inside a parameter restarts it as a simple one and keeps the name read so far.
        {"/{+ab{cd}", "/([^/]*)", "1abcd;"},
        // A "}" outside a parameter records a parameter without a group.
        {"/a}/{id}", "/a/([^/]*)", "0;1id;"},
        {"/open{id", "/open", ""},
    };
    for (const auto& c : cases) {
        std::vector<RouteParameter> parameters;
        EXPECT_EQ(TemplateToPattern(c.pathTemplate, parameters), c.pattern) << c.pathTemplate;
        EXPECT_EQ(Parameters(parameters), c.parameters) << c.pathTemplate;
    }
}

class RouteMatching : public ::testing::Test {
protected:
    RemotingBinding& Bind(const char* name, const char* path, Method method = Method::None) {
        RemotingBinding& binding = transport.CreateBinding(*transport.Function(name).Descriptor());
        binding.method = method;
        binding.SetPath(path);
        return binding;
    }

    // "-" for no match, else the captures as name=value; in name order.
    static std::string Match(const RemotingRoute& route, const std::string& path) {
        TextMap captured;
        if (!route.MatchPath(path, captured)) return "-";
        std::map<std::string, std::string> ordered(captured.begin(), captured.end());
        std::string text;
        for (const auto& [name, value] : ordered) text += name + "=" + value + ";";
        return text;
    }

    HttpBaseTransport transport;
};

TEST_F(RouteMatching, TheWholePathMustMatch) {
    const struct {
        const char* pathTemplate;
        const char* path;
        const char* captured;
    } cases[] = {
        {"/a/{id}", "/a/", "id=;"},
        {"/a/{id}", "/a/b", "id=b;"},
        {"/a/{id}", "/a/b/c", "-"},
        {"/a/{id}", "x/a/b", "-"},
        {"/a/{id}", "/a/x?q=1", "id=x?q=1;"},
        {"/files/{+rest}", "/files/x/y", "rest=x/y;"},
        {"/page{#frag}", "/page#top", "frag=top;"},
        {"/page{#frag}", "/pagetop", "-"},
        {"/a.b", "/a.b", ""},
        {"/a.b", "/axb", "-"},
        {"/a.b", "/A.b", "-"},
        {"/a.b/{id}", "/axb/1", "-"},
        {"/a.b/{id}", "/a.b/1", "id=1;"},
        {"/a/{id}", "/a/%41b+c%2", "id=Ab c2;"},
        {"/{x}/{x}", "/1/2", "x=2;"},
        {"/a}/{id}/{other}", "/a/1/2", "=1;id=2;"},
    };
    for (const auto& c : cases) {
        const RemotingRoute route(nullptr, nullptr, c.pathTemplate);
        EXPECT_EQ(Match(route, c.path), c.captured) << c.pathTemplate << " " << c.path;
    }
}

TEST_F(RouteMatching, OverlongPathsNeverReachThePatternEngine) {
    const RemotingRoute route(nullptr, nullptr, "/files/{+rest}");
    const std::string longest = "/files/" + std::string(kMaxPatternMatchedPath - 7, 'x');
    EXPECT_NE(Match(route, longest), "-");
    EXPECT_EQ(Match(route, longest + "x"), "-");
    EXPECT_EQ(Match(route, "/files/" + std::string(1 << 20, 'x')), "-");
}

TEST_F(RouteMatching, BindingsTrimOneTrailingSlashAndFallBackToTheFunctionName) {
    const struct {
        const char* path;
        const char* stored;
    } cases[] = {{"/x/", "/x"}, {"/", "/"}, {"/x//", "/x/"}, {"", ""}};
    for (const auto& c : cases) {
        RemotingBinding& binding = Bind("Trim", c.path);
        EXPECT_EQ(binding.Path(), c.stored) << c.path;
    }
    EXPECT_EQ(Bind("Named", "").Route().literal, "Named");
    EXPECT_EQ(Bind("Patterned", "/p/{id}/").Route().parameters.size(), 1u);
}

TEST_F(RouteMatching, MethodsMustAgreeUnlessTheBindingTakesAll) {
    RemotingBinding& get = Bind("Get", "/r", Method::Get);
    RemotingBinding& any = Bind("Any", "/r", Method::None);
    RemotingBinding& link = Bind("Link", "/r", Method::Other);
    link.methodName = "LINK";
    const struct {
        Method method;
        const char* methodName;
        bool get, any, link;
    } cases[] = {
        {Method::Get, "", true, true, false},
        {Method::Post, "", false, true, false},
        {Method::None, "", false, true, false},
        {Method::Other, "LINK", false, true, true},
        {Method::Other, "UNLINK", false, true, false},
        {Method::Other, "", false, true, false},
    };
    for (const auto& c : cases) {
        HttpBaseTransport::Request request;
        request.method = c.method;
        request.methodName = c.methodName;
        EXPECT_EQ(AcceptsMethod(get, request), c.get);
        EXPECT_EQ(AcceptsMethod(any, request), c.any);
        EXPECT_EQ(AcceptsMethod(link, request), c.link);
    }
}

TEST_F(RouteMatching, AScanPrefersTheShortestCapturesAndStopsAtALiteral) {
    const RemotingRoute& wide = Bind("Wide", "/s/{+rest}").Route();
    const RemotingRoute& narrow = Bind("Narrow", "/s/{a}/{b}").Route();
    const RemotingRoute& narrowToo = Bind("NarrowToo", "/s/{c}/{d}").Route();
    const RemotingRoute& literal = Bind("Literal", "/s/x/y").Route();
    const RemotingRoute& other = Bind("Other", "/t").Route();
    const RemotingRoute& get = Bind("Get", "/s/{+all}", Method::Get).Route();
    const struct {
        std::vector<const RemotingRoute*> routes;
        const char* path;
        const char* function;
        size_t parameters;
    } cases[] = {
        // "x/y" is 3 bytes, "x" and "y" 2: the later route wins; an equal total keeps the earlier.
        {{&wide, &narrow, &narrowToo}, "/s/x/y", "Narrow", 2},
        {{&literal, &narrow}, "/s/x/y", "Literal", 0},
        {{&narrow, &literal, &wide}, "/s/x/y", "Literal", 0},
        {{&other, &get, &wide}, "/s/x/y", "Wide", 1},
        {{&other}, "/s/x/y", nullptr, 0},
        {{}, "/s/x/y", nullptr, 0},
    };
    for (const auto& c : cases) {
        HttpBaseTransport::Request request;
        request.method = Method::Post;
        request.path = c.path;
        EXPECT_EQ(MatchRoutes(c.routes, request), c.function != nullptr);
        EXPECT_EQ(request.function ? request.function->name : "-", c.function ? c.function : "-") << c.path;
        EXPECT_EQ(request.binding ? request.binding->function : nullptr, request.function);
        EXPECT_EQ(request.pathParameters.size(), c.parameters);
    }
}

}  // namespace
}  // namespace Zarvo
