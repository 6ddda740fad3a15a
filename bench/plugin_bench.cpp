// The level-up plugin measured from outside, as the core drives it: the real kiv-player-level-up library, loaded
// through its entry point and called through its entry table, the dispatch callbacks of its API description and
// the event callbacks it subscribes. A small core of the benchmark's own answers its requests with values laid out
// as a core lays them out (borrowed texts, keys it does not hand over) and takes its events.
//
// Beside every time: the heap blocks one call makes (every block, whoever makes it), the ones the plugin's own
// counters see (GetMemoryStats, averaged over the timed calls) and the most heap one call holds at once above what
// was held before it.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "abi/plugin_abi.h"
#include "heap_counter.h"

namespace {

constexpr uint32_t kGet = 2;
constexpr uint32_t kPost = 6;

constexpr const char* kLevelUpPath = "/kiv-player-level-up/v1/level-up";
constexpr const char* kNotificationsTemplate = "/kiv-player-level-up/v1/level-up-notifications/{pluginName}";
constexpr const char* kNotificationsPath = "/kiv-player-level-up/v1/level-up-notifications/kiv-notifications";
constexpr const char* kSpellsUrl = "/kiv-game-data/assets/v1/summoner-spells.json";
constexpr const char* kQueuesUrl = "/kiv-game-queues/v1/queues";
constexpr const char* kEndOfGameEvent = "OnJsonApiEvent_kiv-end-of-game_v1_eog-stats-block";

// The level the end-of-game block below reaches, and how many spells and queues the core's answers hold.
constexpr uint64_t kNewLevel = 5;
constexpr uint32_t kAnswerEntries = 20;

// ---- Core values, laid out as the core lays out its own --------------------------------------------------------

PluginValue Number(uint64_t value) {
    PluginValue record{};
    record.kind = PluginValueUnsigned;
    record.payload.u64 = value;
    return record;
}

PluginValue Flag(bool value) {
    PluginValue record{};
    record.kind = PluginValueBool;
    record.payload.boolean = value ? 1 : 0;
    return record;
}

PluginValue Text(const char* text) {
    PluginValue record{};
    record.kind = PluginValueBorrowedString;
    record.payload.span = {text, static_cast<uint32_t>(std::strlen(text))};
    return record;
}

PluginValue Array(const std::vector<PluginValue>& elements) {
    PluginValue record{};
    record.kind = PluginValueArray;
    record.payload.span = {elements.empty() ? nullptr : elements.data(), static_cast<uint32_t>(elements.size())};
    return record;
}

PluginValue Object(const std::vector<PluginValueEntry>& entries) {
    PluginValue record{};
    record.kind = PluginValueObject;
    record.payload.span = {entries.data(), static_cast<uint32_t>(entries.size())};
    return record;
}

PluginValueEntry Entry(const char* key, PluginValue value) {
    PluginValueEntry entry{};
    entry.key = key;
    entry.value = value;
    entry.ownsKey = 0;
    return entry;
}

// A list of records {id, <levelKey>} whose levels run 1..10 twice: two of them open at kNewLevel.
class LevelList {
public:
    LevelList(const char* levelKey, uint64_t firstId) {
        entries_.resize(kAnswerEntries);
        for (uint32_t i = 0; i < kAnswerEntries; ++i) {
            entries_[i] = {Entry("id", Number(firstId + i)), Entry(levelKey, Number(i % 10 + 1))};
            elements_.push_back(Object(entries_[i]));
        }
    }
    PluginValue Value() const { return Array(elements_); }

private:
    std::vector<std::vector<PluginValueEntry>> entries_;
    std::vector<PluginValue> elements_;
};

// The Create event of a game's end-of-game statistics: a level gained from kNewLevel - 1.
class EndOfGameEvent {
public:
    EndOfGameEvent()
        : data_{Entry("gameMode", Text("CLASSIC")),         Entry("gameMutators", Array(none_)),
                Entry("gameType", Text("MATCHED_GAME")),    Entry("queueType", Text("NORMAL")),
                Entry("leveledUp", Flag(true)),             Entry("newSpells", Array(none_)),
                Entry("previousLevel", Number(kNewLevel - 1)), Entry("zpEarned", Number(120))},
          payload_{Entry("uri", Text("/kiv-end-of-game/v1/eog-stats-block")), Entry("eventType", Text("Create")),
                   Entry("data", Object(data_))} {}
    PluginValue Payload() const { return Object(payload_); }

private:
    std::vector<PluginValue> none_;
    std::vector<PluginValueEntry> data_;
    std::vector<PluginValueEntry> payload_;
};

// ---- The core --------------------------------------------------------------------------------------------------

char kNotFound[] = "Not found";

void KIV_CDECL FreeNothing(PluginResponseRecord*) {}

// Answers the spells and queues GETs from its lists and every other request with 404; keeps the subscriptions and
// counts the events, requests and log lines. Allocates nothing once the plugin is loaded and subscribed.
class BenchCore {
public:
    BenchCore() : spells_("summonerLevel", 1000), queues_("minLevel", 400) {
        PluginCoreApi& api = table_.api;
        api.SendRequest = &SendRequest;
        api.SendEvent = &SendEvent;
        api.SubscribeEvent = &SubscribeEvent;
        api.UnsubscribeEvent = &UnsubscribeEvent;
        api.Yield = [](const PluginCoreApi*) {};
        api.BeginWait = [](const PluginCoreApi*, const char*, uint32_t) {};
        api.EndWait = [](const PluginCoreApi*) {};
        api.WriteLog = [](const PluginCoreApi* table, int32_t, const char*) { ++Of(table).logLines; };
    }
    BenchCore(const BenchCore&) = delete;
    BenchCore& operator=(const BenchCore&) = delete;

    const PluginCoreApi* Api() const { return &table_.api; }

    // Calls every callback subscribed under the name; returns how many.
    size_t Deliver(std::string_view name, const PluginValue& payload) const {
        size_t delivered = 0;
        for (const Subscription& subscription : subscriptions_) {
            if (subscription.name != name) continue;
            PluginEventRecord event{};
            event.name = subscription.name.c_str();
            event.payload = payload;
            event.context = subscription.context;
            subscription.callback(&event);
            ++delivered;
        }
        return delivered;
    }

    uint64_t requests = 0;
    uint64_t events = 0;
    uint64_t logLines = 0;

private:
    struct Subscription {
        std::string name;
        PluginEventCallback callback;
        void* context;
    };

    // The function table, and the core it belongs to right after it.
    struct Table {
        PluginCoreApi api;
        BenchCore* core;
    };

    static BenchCore& Of(const PluginCoreApi* api) { return *reinterpret_cast<const Table*>(api)->core; }

    static void KIV_CDECL SendRequest(const PluginCoreApi* api, PluginResponseRecord* response,
                                      const PluginRequestRecord* request) {
        BenchCore& core = Of(api);
        ++core.requests;
        std::memset(static_cast<void*>(response), 0, sizeof *response);
        response->free = &FreeNothing;
        const std::string_view url = request->path ? request->path : "";
        if (request->method == kGet && url == kSpellsUrl) {
            response->result = core.spells_.Value();
            response->status = 200;
        } else if (request->method == kGet && url == kQueuesUrl) {
            response->result = core.queues_.Value();
            response->status = 200;
        } else {
            response->errorText = kNotFound;
            response->errorFlag = 1;
            response->status = 404;
        }
    }

    static void KIV_CDECL SendEvent(const PluginCoreApi* api, const PluginEventRecord*) { ++Of(api).events; }

    static void KIV_CDECL SubscribeEvent(const PluginCoreApi* api, const char* name, uint32_t,
                                         PluginEventCallback callback, void* context, uint32_t) {
        Of(api).subscriptions_.push_back({name, callback, context});
    }

    static void KIV_CDECL UnsubscribeEvent(const PluginCoreApi* api, const char* name, uint32_t) {
        std::erase_if(Of(api).subscriptions_, [&](const Subscription& s) { return s.name == name; });
    }

    Table table_{{}, this};
    LevelList spells_;
    LevelList queues_;
    std::vector<Subscription> subscriptions_;
};

// ---- The plugin, loaded once ------------------------------------------------------------------------------------

class LoadedPlugin {
public:
    LoadedPlugin() {
        PluginLoadBlock block{};
        block.versionMajor = 18;
        load_kiv_player_level_up(&block);
        if (!block.entryTable || !block.instance) return;
        entryTable_ = block.entryTable;
        instance_ = block.instance;
        description_ = block.description;
        const PluginInitBlock init{core_.Api(), 7};
        loaded_ = entryTable_->Init(instance_, &init) == 1;
    }
    ~LoadedPlugin() {
        if (instance_) entryTable_->Destroy(instance_);
    }
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    bool Loaded() const { return loaded_; }
    BenchCore& Core() { return core_; }

    // The request record of the function that serves the method at the template, for the path given.
    PluginRequestRecord Request(uint32_t method, const char* pathTemplate, const char* path) const {
        PluginRequestRecord request{};
        for (const ApiFunctionEntry* entry = description_->functions; entry; entry = entry->next) {
            if (entry->method != method || std::strcmp(entry->path, pathTemplate) != 0) continue;
            request.dispatchContext = entry->function.dispatchContext;
            dispatch_ = entry->dispatch;
        }
        request.method = method;
        request.path = path;
        request.methodName = method == kGet ? "GET" : "POST";
        return request;
    }
    PluginDispatchCallback Dispatch() const { return dispatch_; }

    // Counted by the plugin's own allocator since it was loaded.
    uint64_t CountedAllocations() const {
        PluginMemoryStats stats{};
        entryTable_->GetMemoryStats(instance_, &stats);
        return stats.allocations;
    }

    // One end of game: the Create event in, the spells and queues fetched, the level-up event published.
    void PlayEndOfGame() { core_.Deliver(kEndOfGameEvent, endOfGame_.Payload()); }

private:
    BenchCore core_;
    EndOfGameEvent endOfGame_;
    const PluginEntryTable* entryTable_ = nullptr;
    void* instance_ = nullptr;
    const PluginApiDescription* description_ = nullptr;
    mutable PluginDispatchCallback dispatch_ = nullptr;
    bool loaded_ = false;
};

LoadedPlugin& Plugin() {
    static LoadedPlugin plugin;
    return plugin;
}

// Checks the call's outcome (`check` runs it once more and tells what is wrong, or null), measures the heap use of
// one call after two to warm it up, then times it.
template <class Call, class Check>
void Measure(benchmark::State& state, Call call, Check check) {
    LoadedPlugin& plugin = Plugin();
    if (!plugin.Loaded()) return state.SkipWithError("the plugin did not load");
    if (const char* problem = check()) return state.SkipWithError(problem);
    call();
    call();
    const BenchHeap::Use heap = BenchHeap::Measure(call);
    const uint64_t countedBefore = plugin.CountedAllocations();
    for (auto _ : state) call();
    const uint64_t counted = plugin.CountedAllocations() - countedBefore;
    if (const char* problem = check()) return state.SkipWithError(problem);
    state.SetItemsProcessed(state.iterations());
    state.counters["allocs"] = static_cast<double>(heap.allocations);
    state.counters["counted_allocs"] =
        benchmark::Counter(static_cast<double>(counted), benchmark::Counter::kAvgIterations);
    state.counters["peak_heap"] = static_cast<double>(heap.peakBytes);
}

// A dispatch through the function's callback; the response is freed through its free routine after each call.
// `check` tells what is wrong with a response's value, or null.
template <class Check>
void Dispatch(benchmark::State& state, const PluginRequestRecord& request, Check check) {
    const PluginDispatchCallback dispatch = Plugin().Dispatch();
    PluginResponseRecord response{};
    auto call = [&] {
        dispatch(&response, &request);
        const PluginResponseFree free = response.free;
        free(&response);
    };
    auto checkedCall = [&]() -> const char* {
        dispatch(&response, &request);
        const char* problem = response.errorFlag ? "the plugin answered an error" : check(response.result);
        const PluginResponseFree free = response.free;
        free(&response);
        return problem;
    };
    Measure(state, call, checkedCall);
}

// The pending event, as the core reads it: an object with its spells and queues.
const char* CheckLevelUp(const PluginValue& value) {
    if (value.kind != PluginValueObject) return "not an object";
    const auto* entries = static_cast<const PluginValueEntry*>(value.payload.span.data);
    uint32_t lists = 0;
    for (uint32_t i = 0; i < value.payload.span.count; ++i) {
        const std::string_view key = entries[i].key;
        if ((key == "newSpells" || key == "newQueues") && entries[i].value.kind == PluginValueArray &&
            entries[i].value.payload.span.count == 2)
            ++lists;
    }
    return lists == 2 ? nullptr : "the event lacks its two spells and two queues";
}

void GetLevelUp(benchmark::State& state) {
    Plugin().PlayEndOfGame();
    const PluginRequestRecord request = Plugin().Request(kGet, kLevelUpPath, kLevelUpPath);
    Dispatch(state, request, CheckLevelUp);
}

void GetAcknowledgement(benchmark::State& state) {
    Plugin().PlayEndOfGame();
    const PluginRequestRecord request = Plugin().Request(kGet, kNotificationsTemplate, kNotificationsPath);
    Dispatch(state, request, [](const PluginValue& value) -> const char* {
        return value.kind == PluginValueObject && value.payload.span.count == 2 ? nullptr : "not an acknowledgement";
    });
}

void PostAcknowledgement(benchmark::State& state, const char* contentType, std::string_view body) {
    PluginRequestRecord request = Plugin().Request(kPost, kNotificationsTemplate, kNotificationsPath);
    request.contentType = contentType;
    request.body = reinterpret_cast<const uint8_t*>(body.data());
    request.bodyLength = static_cast<uint32_t>(body.size());
    Dispatch(state, request, [](const PluginValue& value) -> const char* {
        return value.kind == PluginValueNull ? nullptr : "an acknowledgement answers no value";
    });
}

constexpr std::string_view kJsonAcknowledgement = R"({"seenThisEvent":true,"newSummonerLevel":30})";
constexpr std::string_view kYamlAcknowledgement = "seenThisEvent: true\nnewSummonerLevel: 30\n";
static_assert(kJsonAcknowledgement.size() == 44);

void PostJsonAcknowledgement(benchmark::State& state) {
    PostAcknowledgement(state, "application/json", kJsonAcknowledgement);
}

void PostYamlAcknowledgement(benchmark::State& state) {
    PostAcknowledgement(state, "application/x-yaml", kYamlAcknowledgement);
}

// The event in, two requests answered, two events out.
void EndOfGameCycle(benchmark::State& state) {
    LoadedPlugin& plugin = Plugin();
    BenchCore& core = plugin.Core();
    auto cycle = [&] { plugin.PlayEndOfGame(); };
    auto checkedCycle = [&]() -> const char* {
        const uint64_t requests = core.requests, events = core.events;
        plugin.PlayEndOfGame();
        return core.requests - requests == 2 && core.events - events == 2 ? nullptr : "not two requests and two events";
    };
    Measure(state, cycle, checkedCycle);
}

}  // namespace

BENCHMARK(GetLevelUp);
BENCHMARK(GetAcknowledgement);
BENCHMARK(PostJsonAcknowledgement);
BENCHMARK(PostYamlAcknowledgement);
BENCHMARK(EndOfGameCycle);

BENCHMARK_MAIN();
