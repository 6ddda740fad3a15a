#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "log_test_support.h"
#include "platform/log.h"
#include "platform/plugin_log_target.h"

namespace Zarvo {
namespace {

// A core that counts the lines its WriteLog is given; the table is its first member.
struct CountingCore {
    PluginCoreApi api{};
    std::atomic<int> lines{0};

    CountingCore() {
        api.WriteLog = [](const PluginCoreApi* self, int32_t, const char*) {
            ++reinterpret_cast<CountingCore*>(const_cast<PluginCoreApi*>(self))->lines;
        };
    }
};

class LoggerThreads : public LogTesting::FreshLogger {};

// Threads log while instances start and stop logging on others: each line reaches one core at most, and once the
// last instance stops no target is left behind.
TEST_F(LoggerThreads, ThreadsLogWhileInstancesComeAndGo) {
    constexpr int kLoggers = 3;
    constexpr int kLinesEach = 2000;
    CountingCore cores[2];
    StartPluginLogging(&cores[0], &cores[0].api);
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        while (!stop) {
            StartPluginLogging(&cores[1], &cores[1].api);
            StopPluginLogging(&cores[1]);
        }
    });
    std::vector<std::thread> loggers;
    for (int t = 0; t < kLoggers; ++t)
        loggers.emplace_back([t] {
            for (int i = 0; i < kLinesEach; ++i) LogFormat(LogLevel::Error, 1, 0, "thread %d line %d", t, i);
        });
    for (std::thread& logger : loggers) logger.join();
    stop = true;
    churn.join();
    // The first core stayed the oldest the whole time: every line went to it.
    EXPECT_EQ(cores[0].lines.load(), kLoggers * kLinesEach);
    EXPECT_EQ(cores[1].lines.load(), 0);
    StopPluginLogging(&cores[0]);
    EXPECT_EQ(CurrentPluginLogTarget(), nullptr);
    EXPECT_EQ(logger().FindTarget("PluginLogTarget"), nullptr);
}

}  // namespace
}  // namespace Zarvo
