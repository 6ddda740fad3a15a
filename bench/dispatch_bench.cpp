// Dispatches per second through the dispatch callback, with each binding's route built once (the callback the
// core is given) and built afresh for every request; and path-template matching alone, the route's matcher beside
// the regular-expression reference it replaced.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "binding/registration.h"
#include "remoting/dispatch.h"
#include "remoting/route_builder.h"
#include "remoting/transport.h"
#include "remoting/route_regex_reference.h"

namespace {

using namespace Zarvo;

struct Acknowledgement {
    bool seenThisEvent = false;
    uint32_t newSummonerLevel = 0;
};

// Three routes shaped like the level-up plugin's, registered once.
class Plugin {
public:
    Plugin() {
        transport.Registry().Record<Acknowledgement>("Acknowledgement")
            .Field("seenThisEvent", &Acknowledgement::seenThisEvent)
            .Field("newSummonerLevel", &Acknowledgement::newSummonerLevel);
        transport.Route(Method::Get, "/kiv-player-level-up/v1/level-up", [this] { return last; });
        transport.Route(Method::Get, "/kiv-player-level-up/v1/level-up-notifications/{pluginName}",
                        [this](const std::string& pluginName) {
                            return Acknowledgement{!pluginName.empty(), last.newSummonerLevel};
                        },
                        PathArgument("pluginName"));
        transport.Route(Method::Post, "/kiv-player-level-up/v1/level-up-notifications/{pluginName}",
                        [this](const std::string&, const Acknowledgement& ack) { last = ack; },
                        PathArgument("pluginName"), BodyArgument("levelUpEventAck"));
        description = &transport.BuildApiDescription();
    }

    void* Context(std::string_view function) const {
        for (const ApiFunctionEntry* entry = description->functions; entry; entry = entry->next)
            if (function == entry->function.name) return entry->function.dispatchContext;
        return nullptr;
    }

    HttpBaseTransport transport;
    const PluginApiDescription* description = nullptr;
    Acknowledgement last{false, 7};
};

Plugin& SharedPlugin() {
    static Plugin plugin;
    return plugin;
}

void Dispatch(benchmark::State& state, PluginDispatchCallback callback, const PluginRequestRecord& request) {
    PluginResponseRecord response{};
    for (auto _ : state) {
        callback(&response, &request);
        benchmark::DoNotOptimize(response);
    }
    const uint8_t failed = response.errorFlag;
    if (failed) state.SkipWithError(response.errorText);
    response.free(&response);
    state.SetItemsProcessed(state.iterations());
}

PluginRequestRecord Request(uint32_t method, const char* path, const char* function) {
    PluginRequestRecord request{};
    request.method = method;
    request.path = path;
    request.dispatchContext = SharedPlugin().Context(function);
    return request;
}

void LiteralGet(benchmark::State& state, PluginDispatchCallback callback) {
    const PluginRequestRecord request = Request(2, "/kiv-player-level-up/v1/level-up", "GetKivPlayerLevelUpV1LevelUp");
    Dispatch(state, callback, request);
}

void PatternGet(benchmark::State& state, PluginDispatchCallback callback) {
    const PluginRequestRecord request = Request(2, "/kiv-player-level-up/v1/level-up-notifications/kiv-notifications",
                                                "GetKivPlayerLevelUpV1LevelUpNotificationsByPluginName");
    Dispatch(state, callback, request);
}

void PostJson(benchmark::State& state, PluginDispatchCallback callback) {
    static const char body[] = R"({"seenThisEvent":true,"newSummonerLevel":12345678})";
    static_assert(sizeof(body) - 1 == 50);
    PluginRequestRecord request = Request(6, "/kiv-player-level-up/v1/level-up-notifications/kiv-notifications",
                                          "PostKivPlayerLevelUpV1LevelUpNotificationsByPluginName");
    request.contentType = "application/json";
    request.body = reinterpret_cast<const uint8_t*>(body);
    request.bodyLength = sizeof(body) - 1;
    Dispatch(state, callback, request);
}

std::string Repeated(std::string_view piece, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += piece;
    return text;
}

// The level-up plugin's own template and path; a long any-text capture; and a path that offers the first of two
// any-text captures an end at every "/b/", none of which leaves a match: the second capture cannot take the line
// break before the last "/c".
struct MatchCase {
    const char* pathTemplate;
    std::string path;
};

MatchCase Case(std::string_view name, size_t size) {
    if (name == "notification")
        return {"/kiv-player-level-up/v1/level-up-notifications/{pluginName}",
                "/kiv-player-level-up/v1/level-up-notifications/kiv-notifications"};
    if (name == "long") return {"/files/{+rest}", "/files/" + std::string(size - 7, 'x')};
    return {"/a/{+x}/b/{+y}/c", "/a/" + Repeated("b/", (size - 6) / 2) + "\n/c"};
}

template <class Route>
void Match(benchmark::State& state, const MatchCase& c, bool expected) {
    const Route route(nullptr, nullptr, c.pathTemplate);
    for (auto _ : state) {
        TextMap captured;
        const bool matched = route.MatchPath(c.path, captured);
        benchmark::DoNotOptimize(captured);
        if (matched != expected) state.SkipWithError("unexpected result");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.path.size()));
}

// The reference takes the same arguments as a route.
struct RegexReferenceRoute : Testing::RegexRoute {
    RegexReferenceRoute(const void*, const void*, const char* pathTemplate) : RegexRoute(pathTemplate) {}
};

void MatchNotification(benchmark::State& state) { Match<RemotingRoute>(state, Case("notification", 0), true); }
void MatchNotificationRegex(benchmark::State& state) {
    Match<RegexReferenceRoute>(state, Case("notification", 0), true);
}
void MatchLong(benchmark::State& state) { Match<RemotingRoute>(state, Case("long", state.range(0)), true); }
void MatchLongRegex(benchmark::State& state) { Match<RegexReferenceRoute>(state, Case("long", state.range(0)), true); }
void MatchHostile(benchmark::State& state) { Match<RemotingRoute>(state, Case("hostile", state.range(0)), false); }
void MatchHostileRegex(benchmark::State& state) {
    Match<RegexReferenceRoute>(state, Case("hostile", state.range(0)), false);
}

BENCHMARK_CAPTURE(LiteralGet, RouteBuiltOnce, DispatchCallback);
BENCHMARK_CAPTURE(LiteralGet, RouteBuiltPerRequest, DispatchCallbackBuildingRoute);
BENCHMARK_CAPTURE(PatternGet, RouteBuiltOnce, DispatchCallback);
BENCHMARK_CAPTURE(PatternGet, RouteBuiltPerRequest, DispatchCallbackBuildingRoute);
BENCHMARK_CAPTURE(PostJson, RouteBuiltOnce, DispatchCallback);
BENCHMARK_CAPTURE(PostJson, RouteBuiltPerRequest, DispatchCallbackBuildingRoute);
BENCHMARK(MatchNotification);
BENCHMARK(MatchNotificationRegex);
// The reference recurses once per byte: on the benchmark's main thread it is measured up to 1 KB only.
BENCHMARK(MatchLong)->Arg(1024)->Arg(64 * 1024);
BENCHMARK(MatchLongRegex)->Arg(1024);
BENCHMARK(MatchHostile)->Arg(1024)->Arg(64 * 1024);
BENCHMARK(MatchHostileRegex)->Arg(1024);

}  // namespace

BENCHMARK_MAIN();
