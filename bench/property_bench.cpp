// BindingProperty trees (pooled, interned) against the same trees on the plain heap.
#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include <benchmark/benchmark.h>

#include "binding/property.h"

namespace {

using Zarvo::BindingProperty;

struct PlainValue;
using PlainList = std::vector<PlainValue>;
using PlainMap = std::map<std::string, PlainValue>;
struct PlainValue {
    std::variant<std::monostate, bool, int64_t, uint64_t, double, std::string, PlainList, PlainMap> value;
};

const char* const DisplayName = "a display name long enough for the heap";

void FillRecord(BindingProperty& record, int64_t i) {
    record.ChildForWrite("gameId").SetSigned(i);
    record.ChildForWrite("summonerName").SetString(DisplayName);
    record.ChildForWrite("championName").SetString("Annie");
    record.ChildForWrite("queueType").SetString("RANKED_SOLO_5x5");
    record.ChildForWrite("level").SetUnsigned(30);
    record.ChildForWrite("won").SetBool(i % 2 == 0);
    record.ChildForWrite("gameLength").SetDouble(1834.5);
    record.ChildForWrite("timestamp").SetUnsigned(1700000000000ull + static_cast<uint64_t>(i));
}

void FillRecord(PlainMap& record, int64_t i) {
    record["gameId"].value = i;
    record["summonerName"].value = std::string(DisplayName);
    record["championName"].value = std::string("Annie");
    record["queueType"].value = std::string("RANKED_SOLO_5x5");
    record["level"].value = uint64_t{30};
    record["won"].value = i % 2 == 0;
    record["gameLength"].value = 1834.5;
    record["timestamp"].value = 1700000000000ull + static_cast<uint64_t>(i);
}

void BuildAndDestroyStructure_Property(benchmark::State& state) {
    int64_t i = 0;
    for (auto _ : state) {
        BindingProperty record;
        FillRecord(record, ++i);
        benchmark::DoNotOptimize(&record);
    }
}
BENCHMARK(BuildAndDestroyStructure_Property);

void BuildAndDestroyStructure_PlainHeap(benchmark::State& state) {
    int64_t i = 0;
    for (auto _ : state) {
        PlainMap record;
        FillRecord(record, ++i);
        benchmark::DoNotOptimize(&record);
    }
}
BENCHMARK(BuildAndDestroyStructure_PlainHeap);

// The usual case: a record among others of its kind, whose keys and repeated texts the tree already holds.
void BuildAndDestroyStructureInTree_Property(benchmark::State& state) {
    BindingProperty tree;
    FillRecord(tree.Element(0), 0);
    int64_t i = 0;
    for (auto _ : state) {
        BindingProperty& record = tree.Element(1);
        FillRecord(record, ++i);
        benchmark::DoNotOptimize(&record);
        record.Clear();
    }
}
BENCHMARK(BuildAndDestroyStructureInTree_Property);

void BuildAndDestroyStructureInTree_PlainHeap(benchmark::State& state) {
    PlainList tree(2);
    FillRecord(tree[0].value.emplace<PlainMap>(), 0);
    int64_t i = 0;
    for (auto _ : state) {
        PlainMap& record = tree[1].value.emplace<PlainMap>();
        FillRecord(record, ++i);
        benchmark::DoNotOptimize(&record);
        tree[1].value = std::monostate{};
    }
}
BENCHMARK(BuildAndDestroyStructureInTree_PlainHeap);

// 1,250 records of 8 fields: 10,000 leaf elements.
constexpr int RecordCount = 1250;

void DeepCopy10k_Property(benchmark::State& state) {
    BindingProperty tree;
    for (int i = 0; i < RecordCount; ++i) FillRecord(tree.Element(i), i);
    for (auto _ : state) {
        BindingProperty copy(tree);
        benchmark::DoNotOptimize(&copy);
    }
}
BENCHMARK(DeepCopy10k_Property)->Unit(benchmark::kMicrosecond);

void DeepCopy10k_PlainHeap(benchmark::State& state) {
    PlainList tree(RecordCount);
    for (int i = 0; i < RecordCount; ++i) {
        PlainMap record;
        FillRecord(record, i);
        tree[i].value = std::move(record);
    }
    for (auto _ : state) {
        PlainList copy(tree);
        benchmark::DoNotOptimize(&copy);
    }
}
BENCHMARK(DeepCopy10k_PlainHeap)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
