// The plugin driven from several threads at once: an instance per thread, Destroy from another thread while a call
// waits in the core's Yield, and Destroy while other threads are inside the instance. Every test of this file runs
// under the thread sanitizer too.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hostile_fixture.h"

namespace Hostile {
namespace {

constexpr size_t kSubscribedEvents = 8;

// Each thread runs its own instance through whole games, calls and service-proxy traffic, then destroys it; the
// threads share only what the library shares (logger, registries, storage caches, allocation counters).
TEST(HostileThreads, TwoInstancesOnTwoThreads) {
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

TEST(HostileThreads, DestroyFromAnotherThreadDuringAYieldReturnsAndTheCallEndsTheInstance) {
    HostileCore core;
    ASSERT_TRUE(core.Start());
    core.AnswerStream(kSpellsUri, {{"[", "]"}});
    std::mutex mutex;
    std::condition_variable changed;
    bool yielding = false;
    bool destroyReturned = false;
    core.onYield = [&] {
        std::unique_lock lock(mutex);
        yielding = true;
        changed.notify_all();
        changed.wait(lock, [&] { return destroyReturned; });
    };
    std::thread game([&] { EndGame(core); });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return yielding; });
    }
    core.Destroy();  // must not wait for the yielding call: that call waits for this one to return
    EXPECT_EQ(core.CountCalls("UnsubscribeEvent"), 0u);
    {
        std::lock_guard lock(mutex);
        destroyReturned = true;
    }
    changed.notify_all();
    game.join();
    EXPECT_EQ(core.Events().size(), 2u);
    EXPECT_EQ(core.CountCalls("UnsubscribeEvent"), kSubscribedEvents);
}

// Threads read through the instance's functions while another destroys it: each answer is the function's or the
// refusal, and the instance is torn down once, by the last call to leave it.
TEST(HostileThreads, DestroyWhileOtherThreadsAreInsideTheInstance) {
    HostileCore core;
    ASSERT_TRUE(core.Start());
    const HostileCore::Function& levelUp = core.FunctionFor(kGet, kLevelUpPath);
    const PluginRequestRecord request = core.Request(levelUp, kLevelUpPath);
    std::atomic<int> answered{0};
    std::atomic<int> refused{0};
    std::atomic<int> wrong{0};
    std::atomic<bool> destroyed{false};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&] {
            // Until the refusals come, and a while after.
            for (int after = 0; after < 200;) {
                const Answer answer = core.Call(levelUp, request);
                if (answer.status == 404 && answer.error == "Not found")
                    ++answered;
                else if (answer.status == 503 && answer.error == "Plugin is shutting down")
                    ++refused;
                else
                    ++wrong;
                if (destroyed) ++after;
            }
        });
    }
    while (answered.load() < 100) std::this_thread::yield();
    core.Destroy();
    destroyed = true;
    for (std::thread& reader : readers) reader.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GE(refused.load(), 4 * 200 - 4);
    EXPECT_EQ(core.CountCalls("UnsubscribeEvent"), kSubscribedEvents);
}

}  // namespace
}  // namespace Hostile
