#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "platform/format.h"

namespace {

void ConversionMessage(benchmark::State& state) {
    const std::string name = "newSummonerLevel";
    const int64_t value = 5000000000;
    for (auto _ : state) {
        std::string message =
            Zarvo::FormatString("Couldn't convert '%1' of value %2 to type %3.", name, value, "uint32");
        benchmark::DoNotOptimize(message.data());
    }
}
BENCHMARK(ConversionMessage);

void FloatingAndWidth(benchmark::State& state) {
    for (auto _ : state) {
        std::string message = Zarvo::FormatString("%-10s|%8.3f|%#x", "level", 3.14159, 255);
        benchmark::DoNotOptimize(message.data());
    }
}
BENCHMARK(FloatingAndWidth);

void VersionText(benchmark::State& state) {
    const Zarvo::Version version{18, 0, 0, "rc1", "77"};
    for (auto _ : state) {
        std::string message = Zarvo::FormatString("plugin API %1", version);
        benchmark::DoNotOptimize(message.data());
    }
}
BENCHMARK(VersionText);

}  // namespace

BENCHMARK_MAIN();
