// The core's thread in serve and its watch: which plugin a call that does not return is blamed on, and what is not.
#include "devcore/core_thread.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "devcore/plugin_call_watch.h"

namespace Zarvo::DevCore::Testing {
namespace {

using namespace std::chrono_literals;

class CoreThreadTest : public ::testing::Test {
protected:
    std::vector<std::string> Reports() {
        std::lock_guard lock(mutex);
        return reports;
    }

    std::mutex mutex;
    std::vector<std::string> reports;
    CoreThread core{100ms, [this](const std::string& line) {
                        std::lock_guard lock(mutex);
                        reports.push_back(line);
                    }};
};

// A plugin that called another, which does not return: the inner one is blamed, and both are set aside.
TEST_F(CoreThreadTest, BlamesTheInnermostPluginThatDoesNotReturn) {
    const std::optional<std::string> failed = core.RunAndWait([](TestCore&) {
        PluginCallWatcher& watcher = *ThisThreadWatcher();
        watcher.Entering("kiv-a", "its dispatch callback for GET /a", true);
        watcher.CoreEntered();
        watcher.Entering("kiv-b", "its event callback for OnB", true);
        for (;;) std::this_thread::sleep_for(1h);
    });
    const std::string blamed = "kiv-b did not return within 0.1 s from its event callback for OnB, and is set aside";
    EXPECT_EQ(failed, blamed);
    EXPECT_EQ(Reports(), (std::vector<std::string>{blamed, "kiv-a is set aside: it was waiting for kiv-b, which did "
                                                           "not return within 0.1 s from its event callback for OnB"}));
    EXPECT_TRUE(core.LeftThreadsBehind());
    // The next job runs on a thread of its own.
    EXPECT_EQ(core.RunAndWait([](TestCore&) {}), std::nullopt);
}

// Time the core spends in its own code, or reading what a plugin handed over, is no plugin's fault.
TEST_F(CoreThreadTest, BlamesNoPluginForTheCoresOwnTime) {
    EXPECT_EQ(core.RunAndWait([](TestCore&) { std::this_thread::sleep_for(300ms); }), std::nullopt);
    EXPECT_EQ(core.RunAndWait([](TestCore&) {
        PluginCallWatcher& watcher = *ThisThreadWatcher();
        watcher.Entering("kiv-a", "its dispatch callback for GET /a", true);
        watcher.CoreEntered();
        std::this_thread::sleep_for(300ms);
        watcher.CoreLeft();
        watcher.Returned();
        watcher.Entering("kiv-a", "kiv-a's response to GET /a", false);
        std::this_thread::sleep_for(300ms);
        watcher.Returned();
    }), std::nullopt);
    EXPECT_TRUE(Reports().empty());
    EXPECT_FALSE(core.LeftThreadsBehind());
}

TEST(CoreThreadLimitTest, WritesLimitsAsSeconds) {
    EXPECT_EQ(CoreThread::LimitText(5000ms), "5 s");
    EXPECT_EQ(CoreThread::LimitText(300ms), "0.3 s");
    EXPECT_EQ(CoreThread::LimitText(1250ms), "1.25 s");
    EXPECT_EQ(CoreThread::LimitText(7ms), "0.007 s");
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
