// Dispatches per second through the dispatch callback, with each binding's route built once (the callback the
// core is given) and built afresh for every request.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "binding/registration.h"
#include "remoting/dispatch.h"
#include "remoting/route_builder.h"
#include "remoting/transport.h"

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
        transport.Record<Acknowledgement>("Acknowledgement")
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

BENCHMARK_CAPTURE(LiteralGet, RouteBuiltOnce, DispatchCallback);
BENCHMARK_CAPTURE(LiteralGet, RouteBuiltPerRequest, DispatchCallbackBuildingRoute);
BENCHMARK_CAPTURE(PatternGet, RouteBuiltOnce, DispatchCallback);
BENCHMARK_CAPTURE(PatternGet, RouteBuiltPerRequest, DispatchCallbackBuildingRoute);
BENCHMARK_CAPTURE(PostJson, RouteBuiltOnce, DispatchCallback);
BENCHMARK_CAPTURE(PostJson, RouteBuiltPerRequest, DispatchCallbackBuildingRoute);

}  // namespace

BENCHMARK_MAIN();
