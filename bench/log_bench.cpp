// The cost of a log call the logger rejects, against calls that reach a target.
#include <benchmark/benchmark.h>

#include "platform/log.h"
#include "platform/log_line.h"
#include "platform/log_target.h"
#include "platform/logger.h"

namespace {

using namespace Zarvo;

// Keeps the console quiet and lets everything through the logger's own filter except level 0.
void QuietLogger() {
    Logger& logger = Logger::Instance();
    logger.StdErrTarget().Detach();
    logger.DebuggerTarget().Detach();
}

void RejectedByLevel(benchmark::State& state) {
    QuietLogger();
    for (auto _ : state) LogFormat(LogLevel::Okay, 1, 0, "value %d of %s", 42, "rejected");
}
BENCHMARK(RejectedByLevel);

// A plain LogTarget drops what it is given: the figure is formatting the message and delivering it.
void DeliveredToDroppingTarget(benchmark::State& state) {
    QuietLogger();
    LogTarget target;
    target.Configure({LogLevel::Okay, 0, 0, "#M"});
    for (auto _ : state) LogFormat(LogLevel::Error, 1, 0, "value %d of %s", 42, "delivered");
    target.Detach();
}
BENCHMARK(DeliveredToDroppingTarget);

// As a console target does, minus the output: the line is formatted by the default pattern and discarded.
struct FormattingTarget : LogTarget {
    using LogTarget::LogTarget;
    bool Write(const LogEntry& entry) override {
        char line[LogBufferSize];
        benchmark::DoNotOptimize(FormatLine(line, sizeof line, GetPattern(entry), entry));
        return true;
    }
};

void DeliveredToFormattingTarget(benchmark::State& state) {
    QuietLogger();
    FormattingTarget target;
    target.Configure({LogLevel::Okay, 0, 0, "#D| #L| #G| #M"});
    for (auto _ : state) LogFormat(LogLevel::Error, 1, 0, "value %d of %s", 42, "delivered");
    target.Detach();
}
BENCHMARK(DeliveredToFormattingTarget);

}  // namespace

BENCHMARK_MAIN();
