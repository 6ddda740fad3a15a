#include <string>
#include <vector>

#include "runtime/event_name.h"
#include "runtime_test_support.h"

namespace Zarvo::Client::Testing {
namespace {

constexpr const char* kSession = "/kiv-login/v1/session";
constexpr const char* kSessionEvent = "OnJsonApiEvent_kiv-login_v1_session";

struct Received {
    std::string uri;
    PluginResourceEventType type;
    Session data;
};

class Subscriptions : public RuntimeTest {
protected:
    std::function<void(const TypedResourceEvent<Session>&)> Recorder() {
        return [this](const TypedResourceEvent<Session>& event) {
            received.push_back({event.uri, event.eventType, event.data});
        };
    }
    size_t CoreSubscriptions(std::string_view name) const {
        size_t count = 0;
        for (const DevCore::Subscription& s : core.subscriptions) count += s.name == name;
        return count;
    }

    std::vector<Received> received;
};

TEST_F(Subscriptions, ExactSubscriptionFetchesTheCurrentValueAsCreate) {
    core.SetValue(kSession, SessionValue("SUCCEEDED", 7));
    Start([&](TestPlugin& p) {
        p.SubscribeResource<Session>(kSession, Recorder());
        return true;
    });
    EXPECT_EQ(initResult, 1);
    ASSERT_EQ(core.requests.size(), 1u);
    EXPECT_EQ(core.requests[0].method, static_cast<uint32_t>(Method::Get));
    EXPECT_EQ(core.requests[0].url, kSession);
    EXPECT_EQ(core.requests[0].pluginHandle, core.InitBlock().pluginHandle);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].uri, kSession);
    EXPECT_EQ(received[0].type, PluginResourceEventType::Create);
    EXPECT_EQ(received[0].data.state, "SUCCEEDED");
    EXPECT_EQ(received[0].data.accountId, 7u);
    ASSERT_EQ(CoreSubscriptions(kSessionEvent), 1u);
    EXPECT_EQ(core.subscriptions.back().kind, static_cast<uint32_t>(PluginSubscribeResource));
    EXPECT_EQ(core.subscriptions.back().context, ValueOf(block.instance));
}

TEST_F(Subscriptions, FailedInitialFetchDeliversNothingUntilTheFirstChange) {
    core.SetError(kSession, 503, "unavailable");
    Start([&](TestPlugin& p) {
        p.SubscribeResource<Session>(kSession, Recorder());
        return true;
    });
    EXPECT_TRUE(received.empty());
    core.Deliver(kSessionEvent, ResourceEventValue(kSession, "Update", SessionValue("SUCCEEDED", 3)));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].type, PluginResourceEventType::Update);
    EXPECT_EQ(received[0].data.accountId, 3u);
}

TEST_F(Subscriptions, EventsOfOneNameShareOneCoreSubscription) {
    Start();
    plugin->SubscribeResource<Session>("/kiv-a/v1/one/x", Recorder());
    plugin->SubscribeResource<Session>("/kiv-a/v1/one/y", Recorder());
    const std::string name = EventNameForUri("/kiv-a/v1/one/x");
    EXPECT_EQ(CoreSubscriptions(name), 1u);
    plugin->Unsubscribe("/kiv-a/v1/one/x");
    EXPECT_EQ(CoreSubscriptions(name), 1u);
    EXPECT_TRUE(CallsStartingWith("UnsubscribeEvent " + name).empty());
    plugin->Unsubscribe("/kiv-a/v1/one/y");
    EXPECT_EQ(CoreSubscriptions(name), 0u);
    EXPECT_EQ(CallsStartingWith("UnsubscribeEvent " + name).size(), 1u);
    // One more drop than there were subscriptions reaches nothing.
    plugin->Unsubscribe("/kiv-a/v1/one/y");
    EXPECT_EQ(CallsStartingWith("UnsubscribeEvent " + name).size(), 1u);
}

TEST_F(Subscriptions, UriWithoutLeadingSlashReachesTheExactHandler) {
    Start();
    plugin->SubscribeResource<Session>(kSession, Recorder());
    core.Deliver(kSessionEvent, ResourceEventValue("kiv-login/v1/session", "Update", SessionValue("A", 1)));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].uri, kSession);
}

TEST_F(Subscriptions, DeleteCarriesADefaultRecordEvenWhenTheDataDoesNotConvert) {
    Start();
    plugin->SubscribeResource<Session>(kSession, Recorder());
    BindingProperty garbage;
    garbage.SetString("not a session");
    core.Deliver(kSessionEvent, ResourceEventValue(kSession, "Update", garbage));
    EXPECT_TRUE(received.empty());
    core.Deliver(kSessionEvent, ResourceEventValue(kSession, "Delete", garbage));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].type, PluginResourceEventType::Delete);
    EXPECT_EQ(received[0].data.state, "");
    EXPECT_EQ(received[0].data.accountId, 0u);
}

TEST_F(Subscriptions, PatternHandlersFollowTheExactOneAndFetchNothing) {
    Start();
    std::vector<std::string> order;
    const auto record = [&](const char* who) {
        return [&order, who](const TypedResourceEvent<BindingProperty>& event) {
            order.push_back(std::string(who) + " " + event.uri);
        };
    };
    plugin->SubscribeResource<BindingProperty>("/kiv-a/v1/*", record("pattern"));
    plugin->SubscribeResource<BindingProperty>("/kiv-a/v1/x", record("exact"));
    plugin->SubscribeResource<BindingProperty>("/kiv-a/*/x", record("other pattern"));
    ASSERT_EQ(core.requests.size(), 1u);
    EXPECT_EQ(core.requests[0].url, "/kiv-a/v1/x");
    order.clear();
    const std::string name = EventNameForUri("/kiv-a/v1/x");
    core.Deliver(name, ResourceEventValue("/kiv-a/v1/x", "Update", BindingProperty()));
    core.Deliver(name, ResourceEventValue("/kiv-a/v1/y", "Update", BindingProperty()));
    core.Deliver(name, ResourceEventValue("/kiv-a/v1/x/y", "Update", BindingProperty()));
    EXPECT_EQ(order, (std::vector<std::string>{"exact /kiv-a/v1/x", "other pattern /kiv-a/v1/x", "pattern /kiv-a/v1/x",
                                               "pattern /kiv-a/v1/y"}));
}

TEST_F(Subscriptions, ASecondSubscriptionOfAUriReplacesItsHandler) {
    Start();
    int first = 0, second = 0;
    plugin->SubscribeResource<BindingProperty>(kSession, [&](const auto&) { ++first; });
    plugin->SubscribeResource<BindingProperty>(kSession, [&](const auto&) { ++second; });
    core.Deliver(kSessionEvent, ResourceEventValue(kSession, "Update", BindingProperty()));
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(CoreSubscriptions(kSessionEvent), 1u);
}

TEST_F(Subscriptions, UndecodableEventsAndUnsubscribedNamesAreDropped) {
    Start();
    plugin->SubscribeResource<Session>(kSession, Recorder());
    core.Deliver(kSessionEvent, ResourceEventValue(kSession, "Bogus", SessionValue("A", 1)));
    BindingProperty notAnEvent;
    notAnEvent.SetString("text");
    core.Deliver(kSessionEvent, notAnEvent);
    EXPECT_TRUE(received.empty());

    // The core still calling after the last unsubscription finds no handler for the name.
    const DevCore::Subscription subscription = core.subscriptions.back();
    plugin->Unsubscribe(kSession);
    PluginEventRecord record{kSessionEvent, {}, 0, subscription.context};
    subscription.callback(&record);
    EXPECT_TRUE(received.empty());
}

TEST_F(Subscriptions, AHandlerThatThrowsDoesNotReachTheCore) {
    Start();
    plugin->SubscribeResource<BindingProperty>(kSession, [](const auto&) -> void { throw std::runtime_error("x"); });
    EXPECT_NO_THROW(core.Deliver(kSessionEvent, ResourceEventValue(kSession, "Update", BindingProperty())));
}

TEST_F(Subscriptions, AHandlerMayUnsubscribeWhileItRuns) {
    Start();
    int calls = 0;
    plugin->SubscribeResource<BindingProperty>(kSession, [&](const auto&) {
        ++calls;
        plugin->Unsubscribe(kSession);
    });
    core.Deliver(kSessionEvent, ResourceEventValue(kSession, "Update", BindingProperty()));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(CoreSubscriptions(kSessionEvent), 0u);
}

}  // namespace
}  // namespace Zarvo::Client::Testing
