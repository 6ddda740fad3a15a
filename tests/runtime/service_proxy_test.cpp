#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/allocation.h"
#include "runtime/service_proxy_tables.h"
#include "runtime_test_support.h"

namespace Zarvo::Client::Testing {
namespace {

using AppModule::PluginServiceProxyResponse;

BindingProperty Reply(std::string_view uuid, std::string_view service, std::string_view method) {
    BindingProperty reply;
    reply.ChildForWrite("uuid").SetString(uuid);
    reply.ChildForWrite("serviceName").SetString(service);
    reply.ChildForWrite("methodName").SetString(method);
    reply.ChildForWrite("payload").SetString("{}");
    reply.ChildForWrite("status").SetString("200");
    return reply;
}

class ServiceProxy : public RuntimeTest {
protected:
    void SetUp() override { Start(); }
};

TEST_F(ServiceProxy, InitSubscribesTheThreeEventsAsServiceProxyEvents) {
    ASSERT_EQ(core.subscriptions.size(), 3u);
    const char* names[] = {"OnServiceProxyUuidEvent", "OnServiceProxyMethodEvent", "OnServiceProxyAsyncEvent"};
    for (size_t index = 0; index < 3; ++index) {
        EXPECT_EQ(core.subscriptions[index].name, names[index]);
        EXPECT_EQ(core.subscriptions[index].kind, static_cast<uint32_t>(PluginSubscribeServiceProxy));
        EXPECT_EQ(core.subscriptions[index].context, ValueOf(block.instance));
        EXPECT_EQ(core.subscriptions[index].pluginHandle, core.InitBlock().pluginHandle);
    }
}

TEST_F(ServiceProxy, UnclaimedRepliesAccumulateUntilTeardownAndAsyncRepliesAreLogged) {
    core.Deliver("OnServiceProxyUuidEvent", Reply("u-1", "svc", "get"));
    core.Deliver("OnServiceProxyUuidEvent", Reply("u-1", "svc", "get"));
    core.Deliver("OnServiceProxyMethodEvent", Reply("u-2", "svc", "list"));
    EXPECT_EQ(plugin->ServiceProxy().FiledReplyCount(), 3u);
    EXPECT_TRUE(core.logs.empty());

    core.Deliver("OnServiceProxyAsyncEvent", Reply("u-3", "store", "purchase"));
    ASSERT_EQ(core.logs.size(), 1u);
    EXPECT_EQ(core.logs[0].level, 2);
    EXPECT_EQ(core.logs[0].text, "Could not find registered handler for async service proxy event store.purchase");
    EXPECT_EQ(plugin->ServiceProxy().FiledReplyCount(), 3u);

    plugin->Teardown();
    EXPECT_EQ(plugin->ServiceProxy().FiledReplyCount(), 0u);
}

TEST_F(ServiceProxy, APendingCallIsCompletedOnceWithItsReplies) {
    std::vector<PluginServiceProxyResponse> completed;
    core.Deliver("OnServiceProxyUuidEvent", Reply("u-0", "svc", "other"));
    core.Deliver("OnServiceProxyMethodEvent", Reply("u-1", "svc", "get"));
    core.Deliver("OnServiceProxyMethodEvent", Reply("u-2", "svc", "get"));
    plugin->ServiceProxy().AddPendingCall("svc.get", [&](const PluginServiceProxyResponse& r) { completed.push_back(r); });
    core.Deliver("OnServiceProxyUuidEvent", Reply("u-3", "svc", "x"));
    ASSERT_EQ(completed.size(), 1u);
    EXPECT_EQ(completed[0].uuid, "u-1");
    EXPECT_EQ(completed[0].payload, "{}");
    EXPECT_EQ(plugin->ServiceProxy().PendingCallCount(), 0u);
    // Both replies under "svc.get" went; "u-0" and "u-3" stay.
    EXPECT_EQ(plugin->ServiceProxy().FiledReplyCount(), 2u);
    ASSERT_EQ(core.logs.size(), 1u);
    EXPECT_EQ(core.logs[0].level, 3);
    EXPECT_EQ(core.logs[0].text, "Fulfilled service proxy request: svc.get");
}

TEST_F(ServiceProxy, ARegisteredAsyncHandlerGetsTheReply) {
    std::string uuid;
    plugin->ServiceProxy().SetAsyncHandler("store.purchase", [&](const PluginServiceProxyResponse& r) { uuid = r.uuid; });
    core.Deliver("OnServiceProxyAsyncEvent", Reply("u-9", "store", "purchase"));
    EXPECT_EQ(uuid, "u-9");
    EXPECT_TRUE(core.logs.empty());
}

TEST_F(ServiceProxy, RepliesThatDoNotDecodeAreDropped) {
    BindingProperty notAReply;
    notAReply.ChildForWrite("uuid").SetSigned(5);
    core.Deliver("OnServiceProxyUuidEvent", notAReply);
    core.Deliver("OnServiceProxyAsyncEvent", notAReply);
    EXPECT_EQ(plugin->ServiceProxy().FiledReplyCount(), 0u);
    EXPECT_TRUE(core.logs.empty());
}

PluginServiceProxyResponse Response(std::string uuid, std::string payload = "{}") {
    PluginServiceProxyResponse response;
    response.uuid = std::move(uuid);
    response.payload = std::move(payload);
    return response;
}

uint64_t LiveBytes() {
    const AllocationStatistics& statistics = ProcessAllocationStatistics();
    return statistics.bytesAllocated.load() - statistics.bytesFreed.load();
}

// Runs the body on another thread; one that does not return within 10 s is deadlocked, and the process ends.
void FinishesWithin10Seconds(const std::function<void()>& body) {
    std::packaged_task<void()> task(body);
    std::future<void> done = task.get_future();
    std::thread worker(std::move(task));
    if (done.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "deadlock";
        std::fflush(nullptr);
        std::_Exit(1);
    }
    worker.join();
}

TEST_F(ServiceProxy, APendingCallAddedAfterItsReplyIsCompletedAtOnce) {
    core.Deliver("OnServiceProxyUuidEvent", Reply("u-1", "svc", "get"));
    core.Deliver("OnServiceProxyUuidEvent", Reply("u-1", "svc", "again"));
    std::vector<std::string> completed;
    plugin->ServiceProxy().AddPendingCall("u-1", [&](const PluginServiceProxyResponse& r) {
        completed.push_back(r.methodName);
    });
    EXPECT_EQ(completed, std::vector<std::string>{"get"});
    EXPECT_EQ(plugin->ServiceProxy().FiledReplyCount(), 0u);
    EXPECT_EQ(plugin->ServiceProxy().PendingCallCount(), 0u);
    ASSERT_EQ(core.logs.size(), 1u);
    EXPECT_EQ(core.logs[0].text, "Fulfilled service proxy request: u-1");
}

TEST_F(ServiceProxy, AtMost1024UnclaimedRepliesAreKeptTheOldestDroppedWithOneWarning) {
    ServiceProxyTables& tables = plugin->ServiceProxy();
    for (int index = 0; index < 1030; ++index) {
        const std::string key = "u-" + std::to_string(index);
        tables.FileReply(key, Response(key));
    }
    EXPECT_EQ(tables.FiledReplyCount(), 1024u);
    ASSERT_EQ(core.logs.size(), 1u);
    EXPECT_EQ(core.logs[0].level, 1);
    EXPECT_EQ(core.logs[0].text, "Dropping the oldest unclaimed service proxy reply u-0: at most 1024 are kept");

    std::vector<std::string> completed;
    auto complete = [&](const PluginServiceProxyResponse& r) { completed.push_back(r.uuid); };
    tables.AddPendingCall("u-5", complete);  // dropped
    tables.AddPendingCall("u-6", complete);  // the oldest kept
    EXPECT_EQ(completed, std::vector<std::string>{"u-6"});
    EXPECT_EQ(tables.PendingCallCount(), 1u);
    EXPECT_EQ(tables.FiledReplyCount(), 1023u);
}

TEST_F(ServiceProxy, HandlersAndLogLinesRunOutsideTheTablesLock) {
    ServiceProxyTables& tables = plugin->ServiceProxy();
    std::vector<std::string> seen;
    // A completion that waits for another call, and an async handler that replaces itself.
    tables.AddPendingCall("svc.first", [&](const PluginServiceProxyResponse& r) {
        seen.push_back(r.uuid);
        tables.AddPendingCall("svc.second", [&](const PluginServiceProxyResponse& next) { seen.push_back(next.uuid); });
        tables.FileReply("svc.second", Response("u-2"));
    });
    tables.SetAsyncHandler("store.buy", [&](const PluginServiceProxyResponse& r) {
        seen.push_back(r.uuid);
        tables.SetAsyncHandler("store.buy", [&](const PluginServiceProxyResponse&) { seen.push_back("replaced"); });
    });
    FinishesWithin10Seconds([&] {
        tables.FileReply("svc.first", Response("u-1"));
        tables.HandleAsyncReply("store.buy", Response("u-3"));
        tables.HandleAsyncReply("store.buy", Response("u-4"));
        tables.HandleAsyncReply("store.none", Response("u-5"));
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"u-1", "u-2", "u-3", "replaced"}));
}

TEST_F(ServiceProxy, FiledRepliesAreCountedInTheMemoryStatistics) {
    ServiceProxyTables& tables = plugin->ServiceProxy();
    const std::string payload(200, 'p');
    const uint64_t before = LiveBytes();
    for (int index = 0; index < 100; ++index) tables.FileReply("key-" + std::to_string(index), Response("u", payload));
    EXPECT_GE(LiveBytes(), before + 100 * payload.size());
    tables.Clear();
    EXPECT_LE(LiveBytes(), before + 1024) << "the tables gave back what they held";
}

// Replies, calls and handlers from several threads at once: every call is completed exactly once.
TEST(ServiceProxyThreads, RepliesAndCallsFromManyThreads) {
    constexpr int kThreads = 4;
    constexpr int kKeys = 300;
    ServiceProxyTables tables;
    std::atomic<int> completed{0};
    std::atomic<int> asyncHandled{0};
    tables.SetAsyncHandler("store.buy", [&](const PluginServiceProxyResponse&) { ++asyncHandled; });
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int index = 0; index < kKeys; ++index) {
                const std::string key = "k-" + std::to_string(t) + "-" + std::to_string(index);
                // Half the calls come before their reply, half after.
                if (index % 2) tables.FileReply(key, Response(key));
                tables.AddPendingCall(key, [&](const PluginServiceProxyResponse&) { ++completed; });
                if (index % 2 == 0) tables.FileReply(key, Response(key));
                tables.HandleAsyncReply("store.buy", Response(key));
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(completed.load(), kThreads * kKeys);
    EXPECT_EQ(asyncHandled.load(), kThreads * kKeys);
    EXPECT_EQ(tables.PendingCallCount(), 0u);
    EXPECT_EQ(tables.FiledReplyCount(), 0u);
}

}  // namespace
}  // namespace Zarvo::Client::Testing
