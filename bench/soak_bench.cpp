// A soak through the C contract only: a million mixed calls of a core into the built library (logins and logouts,
// ends of games with their requests answered by values, streams and errors, GETs and POSTs with good and bad JSON,
// MessagePack and YAML bodies, service-proxy replies of every kind). After a warm-up of a tenth of the calls, the
// live bytes the plugin reports (GetMemoryStats) and the process's resident memory must come back to their level:
// the program fails when either ends above it by more than its margin.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "hostile_core.h"
#include "level_up_traffic.h"

namespace Hostile {
namespace {

constexpr size_t kOperations = 1'000'000;
constexpr size_t kWarmUp = kOperations / 10;
// Counted bytes may differ by what caches keep at the moment (pages of the property pools, a reply's texts).
constexpr uint64_t kLiveBytesMargin = 64 * 1024;
// The allocator may keep a little more mapped than before; a leak of even 2 bytes a call would be 1.8 MB.
constexpr uint64_t kResidentMargin = 1024 * 1024;
// Distinct service-proxy replies, well above the number of unclaimed replies the plugin keeps.
constexpr size_t kReplyKeys = 5000;

uint64_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    uint64_t size = 0;
    uint64_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

struct Level {
    uint64_t liveBytes;
    uint64_t residentBytes;
};

struct SoakResult {
    Level warm{};
    Level end{};
    size_t operations = 0;
    std::string failure;
};

// The core and every record it sends, built once: the soak itself allocates nothing per call but the answers it
// reads.
class Soak {
public:
    Soak() {
        core.recording = false;
        if (!core.Start()) return;
        started = true;
        core.AnswerValue(kSpellsUri, core.values.Json(R"([{"id":4,"summonerLevel":5},{"id":32,"summonerLevel":8}])"));
        const std::string queues = R"([{"id":420,"minLevel":5},{"id":830,"minLevel":3}])";
        queuesByValue = core.values.Json(queues);
        queuesAsStream = {{queues.substr(0, 20), queues.substr(20)}};

        login = core.values.ResourceEvent(kSessionUri, "Update",
                                          core.values.Json(R"({"state":"SUCCEEDED","summonerId":11,"accountId":22})"));
        logout = core.values.ResourceEvent(kSessionUri, "Delete", Values::Null());
        for (uint32_t previous = 1; previous < 30; ++previous)
            endsOfGames.push_back(core.values.ResourceEvent(
                kEndOfGameUri, "Create",
                core.values.Object({{"leveledUp", Values::Bool(true)}, {"previousLevel", Values::Unsigned(previous)},
                                    {"zpEarned", Values::Signed(120)}})));
        for (size_t key = 0; key < kReplyKeys; ++key)
            replies.push_back(core.values.Object({{"uuid", core.values.Text("uuid-" + std::to_string(key))},
                                                  {"serviceName", core.values.Text("store")},
                                                  {"methodName", core.values.Text("m" + std::to_string(key % 7))},
                                                  {"payload", core.values.Text(R"({"items":[1,2,3]})")},
                                                  {"status", core.values.Text("200")}}));

        const HostileCore::Function& getLevelUp = core.FunctionFor(kGet, kLevelUpPath);
        const HostileCore::Function& getAck = core.FunctionFor(kGet, kNotificationsTemplate);
        const HostileCore::Function& postAck = core.FunctionFor(kPost, kNotificationsTemplate);
        for (int name = 0; name < 50; ++name) {
            const std::string path = kNotificationsPrefix + std::string("kiv-consumer-") + std::to_string(name);
            gets.push_back({&getAck, core.Request(getAck, path)});
            posts.push_back({&postAck, core.Request(postAck, path, "application/json",
                                                    R"({"seenThisEvent":true,"newSummonerLevel":5})")});
        }
        const std::string path = kNotificationsPrefix + std::string("kiv-consumer-0");
        const std::string msgpack = "\x82\xad" "seenThisEvent" "\xc3\xb0" "newSummonerLevel" "\x05";
        otherCalls = {
            {&getLevelUp, core.Request(getLevelUp, kLevelUpPath)},
            {&postAck, core.Request(postAck, path, "application/json", R"({"newSummonerLevel":)")},
            {&postAck, core.Request(postAck, path, "application/x-msgpack", msgpack)},
            {&postAck, core.Request(postAck, path, "application/x-yaml", "seenThisEvent: true\nnewSummonerLevel: 5\n")},
            {&postAck, core.Request(postAck, path, "application/x-yaml", "newSummonerLevel: [5\n")},
            {&postAck, core.Request(postAck, path, "application/json", R"({"newSummonerLevel":"seven"})")},
        };
    }

    // One call of the core into the plugin, the n-th of the run.
    void Operation(size_t n) {
        const size_t cycle = n / 10;
        switch (n % 10) {
            case 0:
                core.Deliver(kSessionEvent, cycle % 100 == 99 ? logout : login);
                break;
            case 1:
                // The queue list comes as a value, as a stream read in two pieces, or as a flagged error.
                if (cycle % 3 == 0)
                    core.AnswerValue(kQueuesUri, queuesByValue);
                else if (cycle % 3 == 1)
                    core.AnswerStream(kQueuesUri, queuesAsStream);
                else
                    core.AnswerError(kQueuesUri, 503, nullptr, 1);
                core.Deliver(kEndOfGameEvent, endsOfGames[cycle % endsOfGames.size()]);
                break;
            case 2: Call(gets[cycle % gets.size()]); break;
            case 3: Call(posts[cycle % posts.size()]); break;
            case 4:
            case 5: Call(otherCalls[(2 * cycle + n % 10) % otherCalls.size()]); break;
            case 6: core.Deliver(kAsyncEvent, replies[cycle % kReplyKeys]); break;
            case 7: core.Deliver(kUuidEvent, replies[cycle % kReplyKeys]); break;
            case 8: core.Deliver(kMethodEvent, replies[(cycle + 1) % kReplyKeys]); break;
            case 9: core.Stats(); break;
        }
    }

    Level Measure() { return {HostileCore::LiveBytes(core.Stats()), ResidentBytes()}; }

    HostileCore core;
    bool started = false;

private:
    struct PreparedCall {
        const HostileCore::Function* function;
        PluginRequestRecord request;
    };
    void Call(const PreparedCall& call) { benchmark::DoNotOptimize(core.Call(*call.function, call.request)); }

    PluginValue login{};
    PluginValue logout{};
    PluginValue queuesByValue{};
    StreamScript queuesAsStream;
    std::vector<PluginValue> endsOfGames;
    std::vector<PluginValue> replies;
    std::vector<PreparedCall> gets;
    std::vector<PreparedCall> posts;
    std::vector<PreparedCall> otherCalls;
};

SoakResult RunSoak() {
    SoakResult result;
    Soak soak;
    if (!soak.started) {
        result.failure = "the plugin did not start";
        return result;
    }
    for (size_t n = 0; n < kOperations; ++n) {
        soak.Operation(n);
        if (n + 1 == kWarmUp) result.warm = soak.Measure();
    }
    result.end = soak.Measure();
    result.operations = kOperations;
    if (result.end.liveBytes > result.warm.liveBytes + kLiveBytesMargin)
        result.failure = "live bytes grew from " + std::to_string(result.warm.liveBytes) + " to " +
                         std::to_string(result.end.liveBytes);
    else if (result.end.residentBytes > result.warm.residentBytes + kResidentMargin)
        result.failure = "resident memory grew from " + std::to_string(result.warm.residentBytes) + " to " +
                         std::to_string(result.end.residentBytes);
    const HostileCore::Totals totals = soak.core.Counted();
    if (totals.events == 0 || totals.logs == 0) result.failure = "the plugin published or logged nothing";
    return result;
}

bool soakFailed = false;

void BM_Soak(benchmark::State& state) {
    SoakResult result;
    for (auto _ : state) result = RunSoak();
    state.counters["ops"] = static_cast<double>(result.operations);
    state.counters["live_warm"] = static_cast<double>(result.warm.liveBytes);
    state.counters["live_end"] = static_cast<double>(result.end.liveBytes);
    state.counters["rss_warm"] = static_cast<double>(result.warm.residentBytes);
    state.counters["rss_end"] = static_cast<double>(result.end.residentBytes);
    if (!result.failure.empty()) {
        soakFailed = true;
        state.SkipWithError(result.failure.c_str());
    }
}
BENCHMARK(BM_Soak)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace Hostile

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return Hostile::soakFailed ? 1 : 0;
}
