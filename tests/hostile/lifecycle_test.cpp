// The order of the entry table's calls as a careless core makes it: Destroy twice, calls after Destroy, Destroy while
// a call of the plugin is still on the stack (inside the core's Yield), and the entry table read once the instance
// is gone.
#include <string>
#include <vector>

#include "hostile_fixture.h"

namespace Hostile {
namespace {

constexpr size_t kSubscribedEvents = 8;  // three service-proxy events and five resources

// The calls the core saw from the first one that starts with the prefix on.
std::vector<std::string> CallsFrom(const HostileCore& core, std::string_view prefix) {
    const std::vector<std::string> calls = core.Calls();
    for (size_t index = 0; index < calls.size(); ++index)
        if (calls[index].starts_with(prefix)) return {calls.begin() + index, calls.end()};
    return {};
}

// Whatever the plugin does when a call of the core reaches it once its Destroy has started: Init refuses, events
// are dropped, functions answer 503 "Plugin is shutting down", and the core sees no call.
void ExpectRefused(HostileCore& core, const std::vector<Subscription>& subscriptions,
                   const std::vector<HostileCore::Function>& functions) {
    const size_t callsBefore = core.Calls().size();
    EXPECT_EQ(core.Init(), 0);
    const PluginValue endOfGame = core.values.ResourceEvent(
        kEndOfGameUri, "Create", core.values.Json(R"({"leveledUp":true,"previousLevel":4})"));
    for (const Subscription& subscription : subscriptions) {
        PluginEventRecord event{};
        event.name = subscription.name.c_str();
        event.payload = endOfGame;
        event.context = subscription.context;
        subscription.callback(&event);
    }
    for (const HostileCore::Function& function : functions) {
        const Answer answer = core.Call(function, function.method == kPost ? "/kiv-player-level-up/v1/level-up-notifications/x"
                                                                           : kLevelUpPath);
        EXPECT_EQ(answer.status, 503u) << function.name;
        EXPECT_EQ(answer.error, "Plugin is shutting down") << function.name;
        EXPECT_EQ(answer.value, "null");
    }
    EXPECT_EQ(core.Calls().size(), callsBefore) << "the core was called by a plugin it destroyed";
}

TEST(HostileLifecycle, TheEntryTableIsOneConstantThatOutlivesEveryInstance) {
    HostileCore first;
    HostileCore second;
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(second.Start());
    EXPECT_EQ(first.entryTable, second.entryTable);
    first.Destroy();
    second.Destroy();
    // A leak check at unload asks for the counters through the table of an instance that is gone, or of none.
    for (void* instance : {first.instance, static_cast<void*>(nullptr)}) {
        const PluginMemoryStats stats = first.Stats(instance);
        EXPECT_GT(stats.allocations, 0u);
        EXPECT_GE(stats.releases, 1u);
        EXPECT_GE(stats.bytesAllocated, stats.bytesFreed);
        EXPECT_EQ(stats.reserved, 0u);
    }
    first.entryTable->GetMemoryStats(first.instance, nullptr);
}

TEST(HostileLifecycle, DestroyTwiceTearsDownOnceAndCallsAfterDestroyAreRefused) {
    HostileCore core;
    ASSERT_TRUE(core.Start());
    const std::vector<Subscription> subscriptions = core.Subscriptions();
    ASSERT_EQ(subscriptions.size(), kSubscribedEvents);
    core.Destroy();
    EXPECT_EQ(core.CountCalls("UnsubscribeEvent"), kSubscribedEvents);
    EXPECT_TRUE(core.Subscriptions().empty());
    core.ClearRecords();

    core.Destroy();
    EXPECT_TRUE(core.Calls().empty());
    ExpectRefused(core, subscriptions, core.functions);
}

TEST(HostileLifecycle, DestroyInsideTheCoresYieldWaitsForTheCallOnTheStack) {
    HostileCore core;
    ASSERT_TRUE(core.Start());
    const std::vector<Subscription> subscriptions = core.Subscriptions();
    // The spell list comes in two pieces: the plugin yields to the core between them, and the core destroys it there.
    core.AnswerStream(kSpellsUri, {{"[{\"id\":4,\"summonerLevel\":5}", "]"}});
    bool destroyedInYield = false;
    core.onYield = [&] {
        if (destroyedInYield) return;
        destroyedInYield = true;
        core.Destroy();
        // The plugin is still on the stack beneath: nothing of it has gone yet, and it takes no new call.
        EXPECT_EQ(core.CountCalls("UnsubscribeEvent"), 0u);
        ExpectRefused(core, subscriptions, core.functions);
    };
    EndGame(core);
    ASSERT_TRUE(destroyedInYield);
    // The call finished its work (the spell read whole, the event published), then the instance went.
    const std::vector<std::string> after = CallsFrom(core, "EndWait");
    ASSERT_GE(after.size(), 3 + kSubscribedEvents);
    EXPECT_EQ(after[1], "SendRequest /kiv-game-queues/v1/queues");
    std::vector<SentEvent> events = core.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].name, kLevelUpEvent);
    EXPECT_NE(events[0].payload.find("\"newSpells\":[4]"), std::string::npos) << events[0].payload;
    EXPECT_EQ(core.CountCalls("UnsubscribeEvent"), kSubscribedEvents);
    EXPECT_TRUE(CallsFrom(core, "UnsubscribeEvent").size() == kSubscribedEvents) << "unsubscribed before the call ended";
    core.ClearRecords();
    core.Destroy();
    EXPECT_TRUE(core.Calls().empty());
}

}  // namespace
}  // namespace Hostile
