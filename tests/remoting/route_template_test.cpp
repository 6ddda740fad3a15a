// Path templates: their translation into patterns, matching one route, and scanning a list of routes.
#include <gtest/gtest.h>
#include <pthread.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "binding/registration.h"
#include "remoting/route.h"
#include "remoting/route_matching.h"
#include "remoting/transport.h"
#include "route_regex_reference.h"

namespace Zarvo {
namespace {

std::string Repeated(std::string_view piece, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += piece;
    return text;
}

// Runs the work on a thread with a stack of the given size, as the core's threads may have.
template <class Work>
void RunOnSmallStack(size_t stackSize, Work work) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, stackSize), 0);
    pthread_t thread;
    auto run = [](void* argument) -> void* {
        (*static_cast<Work*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &work), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

std::string Parameters(const std::vector<RouteParameter>& parameters) {
    std::string text;
    for (const RouteParameter& parameter : parameters) text += std::to_string(parameter.kind) + parameter.name + ";";
    return text;
}

// The parameters come from the route's own reading of the template; the pattern texts check the reference that
// the differential test below compares with.
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
        const PathPattern pattern(c.pathTemplate, parameters);
        EXPECT_EQ(Parameters(parameters), c.parameters) << c.pathTemplate;
        std::vector<RouteParameter> referenceParameters;
        EXPECT_EQ(Testing::TemplateToPattern(c.pathTemplate, referenceParameters), c.pattern) << c.pathTemplate;
        EXPECT_EQ(Parameters(referenceParameters), c.parameters) << c.pathTemplate;
    }
}

class RouteMatching : public ::testing::Test {
protected:
    RemotingBinding& Bind(const char* name, const char* path, Method method = Method::None) {
        RemotingBinding& binding = transport.CreateBinding(*transport.Registry().Function(name).Descriptor());
        binding.method = method;
        binding.SetPath(path);
        return binding;
    }

    // "-" for no match, else the captures as name=value; in name order.
    static std::string Match(const RemotingRoute& route, const std::string& path) {
        TextMap captured;
        if (!route.MatchPath(path, captured)) return "-";
        return Ordered(captured);
    }

    static std::string Ordered(const TextMap& captured) {
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
        // Earlier captures take the longest text that still lets the rest match.
        {"/a/{x}{y}", "/a/bc", "x=bc;y=;"},
        {"/a/{+x}/{y}", "/a/b/c/d", "x=b/c;y=d;"},
        {"/a/{+x}/b/{+y}", "/a/1/b/2/b/3", "x=1/b/2;y=3;"},
        {"/a/{x}/b/{+y}", "/a/1/b/2/b/3", "x=1;y=2/b/3;"},
        // A segment takes any byte but "/"; any-text and fragment captures take no line break.
        {"/a/{id}", "/a/x\ny", "id=x\ny;"},
        {"/files/{+rest}", "/files/x\ry", "-"},
        {"/page{#frag}", "/page#a/b#c", "frag=a/b#c;"},
        {"/page{#frag}", "/page#a\nb", "-"},
    };
    for (const auto& c : cases) {
        const RemotingRoute route(nullptr, nullptr, c.pathTemplate);
        EXPECT_EQ(Match(route, c.path), c.captured) << c.pathTemplate << " " << c.path;
    }
}

// The core's threads may have small stacks, and a path may be long: matching takes constant stack.
TEST_F(RouteMatching, LongPathsMatchOnASmallStack) {
    const std::string rest(64 * 1024, 'x');
    const std::string hostile = "/a/" + Repeated("b/", 16 * 1024) + "x";
    const struct {
        const char* pathTemplate;
        std::string path;
        std::string captured;
    } cases[] = {
        {"/files/{+rest}", "/files/" + rest, "rest=" + rest + ";"},
        {"/files/{id}", "/files/" + rest, "id=" + rest + ";"},
        {"/files/{id}", "/files/" + rest + "/", "-"},
        {"/a/{+x}/b/{+y}/c", "/a/" + rest + "/b/" + rest + "/c", "x=" + rest + ";y=" + rest + ";"},
        // Every "/b/" is a place where the first capture might end; none leaves a match.
        {"/a/{+x}/b/{+y}/c", hostile, "-"},
        {"/a/{x}{y}{z}/c", hostile, "-"},
    };
    for (const auto& c : cases) {
        const RemotingRoute route(nullptr, nullptr, c.pathTemplate);
        std::string result;
        RunOnSmallStack(64 * 1024, [&] { result = Match(route, c.path); });
        EXPECT_TRUE(result == c.captured) << c.pathTemplate << " against " << c.path.size() << " bytes";
    }
}

// The route's matcher and the regular-expression reference agree on what matches and on every capture, over
// templates of several captures and paths made of their literal pieces and of bytes that captures treat apart.
TEST_F(RouteMatching, AgreesWithTheRegularExpressionReference) {
    const char* const templates[] = {
        "/a/{id}",       "/files/{+rest}",   "/page{#frag}",     "/a/{x}/b/{+y}", "/a/{+x}/b/{+y}/c",
        "{a}{b}{c}",     "{+a}{b}{+c}",      "/{x}/{x}",         "/a}/{id}/{z}",  "x{#f}{#g}",
        "/{+ab{cd}/e",   "/open{id",         "/a.b/{+x}.{y}",    "{+a}/{+b}/",    "/{a}#{+b}",
        // Without a "{" a template is literal, a "}" in it included.
        "/a}b.c",
    };
    const char* const bytes[] = {"a", "b", "/", "#", "\n", "\r", "%41", "+", ".", "c", "/b/", "x"};
    uint64_t state = 7;
    auto next = [&state](size_t bound) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<size_t>(state >> 33) % bound;
    };
    size_t matched = 0;
    for (const char* pathTemplate : templates) {
        const RemotingRoute route(nullptr, nullptr, pathTemplate);
        const Testing::RegexRoute reference(pathTemplate);
        // The template's own literal text makes matches likely.
        std::vector<std::string> pieces(std::begin(bytes), std::end(bytes));
        for (const char* c = pathTemplate; *c; ++c)
            if (*c != '{' && *c != '}') pieces.emplace_back(1, *c);
        for (int i = 0; i < 3000; ++i) {
            std::string path;
            for (size_t length = next(12); length > 0; --length) path += pieces[next(pieces.size())];
            TextMap expected;
            const bool expectedMatch = reference.MatchPath(path, expected);
            EXPECT_EQ(Match(route, path), expectedMatch ? Ordered(expected) : "-") << pathTemplate << " " << path;
            matched += expectedMatch;
        }
    }
    EXPECT_GT(matched, 1000u);
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
