#include <string>
#include <vector>

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

}  // namespace
}  // namespace Zarvo::Client::Testing
