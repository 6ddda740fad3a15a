// Several instances of the plugin in one process: where their log lines go as they come and go, and instances
// driven on two threads at once.
#include <string>
#include <thread>
#include <vector>

#include "hostile_fixture.h"

namespace Hostile {
namespace {

// An async service-proxy reply nobody waits for: the instance logs an ERROR naming the key.
void AsyncReply(HostileCore& core, const std::string& service) {
    core.Deliver(kAsyncEvent, core.values.Object({{"uuid", core.values.Text("u")},
                                                  {"serviceName", core.values.Text(service)},
                                                  {"methodName", core.values.Text("m")}}));
}

std::vector<std::string> LogTexts(const HostileCore& core) {
    std::vector<std::string> texts;
    for (const LogLine& line : core.Logs()) texts.push_back(line.text);
    return texts;
}

std::string MissingHandler(const std::string& service) {
    return "Could not find registered handler for async service proxy event " + service + ".m";
}

TEST(HostileInstances, LogLinesGoToTheOldestInstanceThatRemains) {
    HostileCore first;
    HostileCore second;
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(second.Start());
    AsyncReply(second, "a");
    EXPECT_EQ(LogTexts(first), std::vector<std::string>{MissingHandler("a")});
    EXPECT_TRUE(LogTexts(second).empty());

    first.Destroy();
    AsyncReply(second, "b");
    EXPECT_EQ(LogTexts(second), std::vector<std::string>{MissingHandler("b")});
    EXPECT_EQ(LogTexts(first).size(), 1u) << "a destroyed instance's core got a line";

    second.Destroy();
    HostileCore third;
    ASSERT_TRUE(third.Start());
    AsyncReply(third, "c");
    EXPECT_EQ(LogTexts(third), std::vector<std::string>{MissingHandler("c")});
    EXPECT_EQ(LogTexts(second).size(), 1u);
}

TEST(HostileInstances, ACoreWithoutWriteLogLeavesTheLinesToTheNext) {
    HostileCore silent;
    HostileCore listening;
    ASSERT_TRUE(silent.Load());
    silent.Api().WriteLog = nullptr;
    ASSERT_EQ(silent.Init(), 1);
    ASSERT_TRUE(listening.Start());
    AsyncReply(silent, "a");
    EXPECT_EQ(LogTexts(listening), std::vector<std::string>{MissingHandler("a")});
}

// Each thread runs its own instance through whole games, calls and service-proxy traffic, then destroys it; the
// threads share only what the library shares (logger, registries, storage caches, allocation counters).
TEST(HostileInstances, TwoInstancesOnTwoThreads) {
    constexpr int kRounds = 200;
    auto run = [](int seed, std::vector<std::string>* failures) {
        HostileCore core;
        if (!core.Start()) {
            failures->push_back("start");
            return;
        }
        core.AnswerValue(kSpellsUri, core.values.Json(R"([{"id":4,"summonerLevel":5}])"));
        core.AnswerValue(kQueuesUri, core.values.Json(R"([{"id":420,"minLevel":5}])"));
        const HostileCore::Function& post = core.FunctionFor(kPost, kNotificationsTemplate);
        const HostileCore::Function& get = core.FunctionFor(kGet, kNotificationsTemplate);
        for (int round = 0; round < kRounds; ++round) {
            EndGame(core, true, 4);
            const std::string path = kNotificationsPrefix + std::string("kiv-") + std::to_string(seed);
            const Answer posted = core.Call(post, path, "application/json", R"({"newSummonerLevel":5})");
            const Answer read = core.Call(get, path);
            if (posted.errorFlag || read.value != R"({"newSummonerLevel":5,"seenThisEvent":true})")
                failures->push_back("round " + std::to_string(round) + ": " + read.value + read.error);
            AsyncReply(core, "s" + std::to_string(seed));
        }
        if (core.Events().size() != 2 * kRounds) failures->push_back("events " + std::to_string(core.Events().size()));
        core.Destroy();
    };
    std::vector<std::string> firstFailures;
    std::vector<std::string> secondFailures;
    std::thread first(run, 1, &firstFailures);
    std::thread second(run, 2, &secondFailures);
    first.join();
    second.join();
    EXPECT_TRUE(firstFailures.empty()) << firstFailures.front();
    EXPECT_TRUE(secondFailures.empty()) << secondFailures.front();
}

}  // namespace
}  // namespace Hostile
