// Converting an end-of-game statistics record to a BindingProperty and back, against the same work done by hand on
// a plain heap tree of std::map and std::variant.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "binding/conversion.h"
#include "binding/registry.h"
#include "plugin/level_up_types.h"

namespace {

using namespace Zarvo;
using Zarvo::Client::PlayerLevelUp::Api::EndOfGameStats;
using Zarvo::Client::PlayerLevelUp::Api::RegisterLevelUpTypes;

EndOfGameStats MakeStats() {
    return {"CLASSIC", {"mutator-a", "mutator-b", "mutator-c"}, "MATCHED_GAME", "RANKED_SOLO_5x5", true,
            {4, 7, 11, 14}, 29, 150};
}

// The plain tree: every node its own heap objects.
struct PlainValue;
using PlainList = std::vector<PlainValue>;
using PlainMap = std::map<std::string, PlainValue>;
struct PlainValue {
    std::variant<std::monostate, bool, int64_t, uint64_t, double, std::string, PlainList, PlainMap> value;
};

PlainValue ToPlain(const EndOfGameStats& stats) {
    PlainValue tree;
    auto& map = tree.value.emplace<PlainMap>();
    map["gameMode"].value = stats.gameMode;
    auto& mutators = map["gameMutators"].value.emplace<PlainList>();
    for (const std::string& mutator : stats.gameMutators) mutators.emplace_back().value = mutator;
    map["gameType"].value = stats.gameType;
    map["queueType"].value = stats.queueType;
    map["leveledUp"].value = stats.leveledUp;
    auto& spells = map["newSpells"].value.emplace<PlainList>();
    for (int32_t spell : stats.newSpells) spells.emplace_back().value = int64_t{spell};
    map["previousLevel"].value = uint64_t{stats.previousLevel};
    map["zpEarned"].value = int64_t{stats.zpEarned};
    return tree;
}

const PlainValue* Member(const PlainMap& map, const char* key) {
    const auto found = map.find(key);
    return found == map.end() ? nullptr : &found->second;
}

bool FromPlain(const PlainValue& input, EndOfGameStats& stats) {
    const auto* map = std::get_if<PlainMap>(&input.value);
    if (!map) return false;
    if (const auto* v = Member(*map, "gameMode"))
        if (const auto* text = std::get_if<std::string>(&v->value)) stats.gameMode = *text;
    if (const auto* v = Member(*map, "gameMutators")) {
        const auto* list = std::get_if<PlainList>(&v->value);
        if (!list) return false;
        stats.gameMutators.assign(list->size(), {});
        for (size_t i = 0; i < list->size(); ++i)
            if (const auto* text = std::get_if<std::string>(&(*list)[i].value)) stats.gameMutators[i] = *text;
    }
    if (const auto* v = Member(*map, "gameType"))
        if (const auto* text = std::get_if<std::string>(&v->value)) stats.gameType = *text;
    if (const auto* v = Member(*map, "queueType"))
        if (const auto* text = std::get_if<std::string>(&v->value)) stats.queueType = *text;
    if (const auto* v = Member(*map, "leveledUp"))
        if (const auto* flag = std::get_if<bool>(&v->value)) stats.leveledUp = *flag;
    if (const auto* v = Member(*map, "newSpells")) {
        const auto* list = std::get_if<PlainList>(&v->value);
        if (!list) return false;
        stats.newSpells.assign(list->size(), 0);
        for (size_t i = 0; i < list->size(); ++i) {
            const auto* number = std::get_if<int64_t>(&(*list)[i].value);
            if (!number || *number < INT32_MIN || *number > INT32_MAX) return false;
            stats.newSpells[i] = static_cast<int32_t>(*number);
        }
    }
    if (const auto* v = Member(*map, "previousLevel")) {
        const auto* number = std::get_if<uint64_t>(&v->value);
        if (!number || *number > UINT32_MAX) return false;
        stats.previousLevel = static_cast<uint32_t>(*number);
    }
    if (const auto* v = Member(*map, "zpEarned")) {
        const auto* number = std::get_if<int64_t>(&v->value);
        if (!number || *number < INT32_MIN || *number > INT32_MAX) return false;
        stats.zpEarned = static_cast<int32_t>(*number);
    }
    return true;
}

void PropertyToProperty(benchmark::State& state) {
    BindingRegistry registry;
    RegisterLevelUpTypes(registry);
    const EndOfGameStats stats = MakeStats();
    for (auto _ : state) {
        BindingResult result;
        ConvertToProperty(result, stats, registry);
        benchmark::DoNotOptimize(result);
    }
}

void PropertyFromProperty(benchmark::State& state) {
    BindingRegistry registry;
    RegisterLevelUpTypes(registry);
    BindingResult property;
    ConvertToProperty(property, MakeStats(), registry);
    for (auto _ : state) {
        EndOfGameStats stats;
        BindingResult result;
        ConvertFromProperty(result, stats, property.value, registry);
        benchmark::DoNotOptimize(stats);
    }
}

void PropertyRoundTrip(benchmark::State& state) {
    BindingRegistry registry;
    RegisterLevelUpTypes(registry);
    const EndOfGameStats stats = MakeStats();
    for (auto _ : state) {
        BindingResult property;
        ConvertToProperty(property, stats, registry);
        EndOfGameStats back;
        BindingResult result;
        ConvertFromProperty(result, back, property.value, registry);
        benchmark::DoNotOptimize(back);
    }
}

void PlainToTree(benchmark::State& state) {
    const EndOfGameStats stats = MakeStats();
    for (auto _ : state) {
        PlainValue tree = ToPlain(stats);
        benchmark::DoNotOptimize(tree);
    }
}

void PlainFromTree(benchmark::State& state) {
    const PlainValue tree = ToPlain(MakeStats());
    for (auto _ : state) {
        EndOfGameStats stats;
        benchmark::DoNotOptimize(FromPlain(tree, stats));
        benchmark::DoNotOptimize(stats);
    }
}

void PlainRoundTrip(benchmark::State& state) {
    const EndOfGameStats stats = MakeStats();
    for (auto _ : state) {
        const PlainValue tree = ToPlain(stats);
        EndOfGameStats back;
        benchmark::DoNotOptimize(FromPlain(tree, back));
        benchmark::DoNotOptimize(back);
    }
}

BENCHMARK(PropertyToProperty);
BENCHMARK(PlainToTree);
BENCHMARK(PropertyFromProperty);
BENCHMARK(PlainFromTree);
BENCHMARK(PropertyRoundTrip);
BENCHMARK(PlainRoundTrip);

}  // namespace

BENCHMARK_MAIN();
