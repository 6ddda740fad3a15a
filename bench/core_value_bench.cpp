// devcore's checked reading of the core values a plugin hands over, side by side with the runtime's own reader of
// the same records: the price of the checks, and the time a tree at devcore's bound of values takes.
#include <benchmark/benchmark.h>

#include "devcore/contract_bounds.h"
#include "devcore/core_value_reader.h"
#include "devcore/core_value_writer.h"
#include "formats/plugin_value.h"

namespace {

using namespace Zarvo;

// `records` records of four members each (a text, two numbers, a bool) in one array: 5 values a record.
BindingProperty Records(size_t records) {
    BindingProperty list;
    list.MakeCollection();
    list.Reserve(records);
    for (size_t i = 0; i < records; ++i) {
        BindingProperty& record = list.Element(i);
        record.ChildForWrite("name").SetString("summoner spell");
        record.ChildForWrite("id").SetUnsigned(i);
        record.ChildForWrite("summonerLevel").SetUnsigned(i % 30);
        record.ChildForWrite("enabled").SetBool(i % 2 == 0);
    }
    return list;
}

class Tree {
public:
    explicit Tree(size_t records) { DevCore::WriteCoreValue(record_, Records(records)); }
    ~Tree() { DevCore::FreeCoreValue(record_); }
    const PluginValue& Record() const { return record_; }

private:
    PluginValue record_{};
};

// 12 records (61 values) is the size of a level-up payload; 199,999 records (999,996 values) is near the bound.
constexpr int64_t kSizes[] = {12, 199'999};

void CheckedRead(benchmark::State& state) {
    const Tree tree(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        BindingProperty value;
        const DevCore::ValueReading reading = DevCore::ReadCoreValue(tree.Record(), value);
        benchmark::DoNotOptimize(reading.problem.empty());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * 5);
}

void RuntimeRead(benchmark::State& state) {
    const Tree tree(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        BindingProperty value;
        std::string error;
        benchmark::DoNotOptimize(FromPluginValue(error, value, tree.Record(), "<result>"));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * 5);
}

BENCHMARK(CheckedRead)->Arg(kSizes[0])->Arg(kSizes[1])->Unit(benchmark::kMicrosecond);
BENCHMARK(RuntimeRead)->Arg(kSizes[0])->Arg(kSizes[1])->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
