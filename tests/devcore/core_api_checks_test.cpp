// The core's function table holds a plugin to the contract at each call: what is wrong is refused with a breach that
// says what, and the core goes on.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "devcore/contract_bounds.h"
#include "devcore_fixture.h"

namespace Zarvo::DevCore::Testing {
namespace {

void KIV_CDECL Ignore(const PluginEventRecord*) {}

PluginValue Kind(uint32_t kind) {
    PluginValue value{};
    value.kind = kind;
    return value;
}

class CoreApiChecksTest : public ::testing::Test {
protected:
    TestCore core;
    const PluginCoreApi* api = core.Api();
    const uint32_t handle = core.InitBlock().pluginHandle;

    // Sends the request and gives the error the core answered it with, after freeing the answer.
    std::string Request(const PluginRequestRecord& request) {
        PluginResponseRecord response{};
        api->SendRequest(api, &response, &request);
        std::string error = response.errorText ? response.errorText : "";
        const PluginResponseFree free = response.free;  // the record is packed: its fields are read by value
        EXPECT_NE(free, nullptr);
        if (free) free(&response);
        return error;
    }
    PluginRequestRecord Get(const char* path) const {
        PluginRequestRecord request{};
        request.method = 2;
        request.path = path;
        request.requestId = handle;
        return request;
    }
};

TEST_F(CoreApiChecksTest, RefusesWhatBreaksTheContractAndSaysWhy) {
    const std::vector<char> endless(kMaxPlainText, 'x');
    const struct {
        std::function<void()> call;
        std::string breach;
    } cases[] = {
        {[&] { api->SendEvent(api, nullptr); }, "the plugin sent a null event record"},
        {[&] {
             const PluginEventRecord event{nullptr, {}, 0, nullptr};
             api->SendEvent(api, &event);
         },
         "the plugin sent an event whose name is null"},
        {[&] {
             const PluginEventRecord event{"E", Kind(12), 0, nullptr};
             api->SendEvent(api, &event);
         },
         "the plugin sent the event E whose payload holds a value of kind 12; the core dropped it"},
        {[&] { api->SubscribeEvent(api, "E", handle, Ignore, nullptr, 7); },
         "the plugin subscribed to E with the kind 7 (0 for resource events, 1 for service-proxy events): the core "
         "refused it"},
        {[&] { api->SubscribeEvent(api, nullptr, handle, Ignore, nullptr, 0); },
         "the plugin subscribed with a null event name: the core refused it"},
        {[&] { api->UnsubscribeEvent(api, "E", 5); },
         "the plugin unsubscribed from E with the plugin handle 5, not its own 81: the core ignored it"},
        {[&] { api->WriteLog(api, 0, nullptr); }, "the plugin wrote a log line whose text is null"},
        {[&] { api->WriteLog(api, 0, endless.data()); },
         "the plugin wrote a log line whose text is without a NUL within 1,048,576 bytes"},
        {[&] { api->SendRequest(api, nullptr, nullptr); }, "the plugin sent a request with a null response record"},
    };
    for (const auto& c : cases) {
        core.breaches.clear();
        c.call();
        ASSERT_EQ(core.breaches.size(), 1u) << c.breach;
        EXPECT_EQ(core.breaches[0].text, c.breach);
        EXPECT_EQ(core.breaches[0].severity, ContractBreach::Severity::Fail);
    }
    EXPECT_TRUE(core.events.empty());
    EXPECT_TRUE(core.logs.empty());
    EXPECT_TRUE(core.subscriptions.empty());
}

TEST_F(CoreApiChecksTest, RefusesRequestsThatBreakTheContractWithAnError) {
    const PluginArgumentItem badItem[] = {{"a", Kind(12)}};
    const struct {
        std::function<void(PluginRequestRecord&)> spoil;
        std::string problem;
    } cases[] = {
        {[](PluginRequestRecord& r) { r.method = 0; }, "has the method code 0"},
        {[](PluginRequestRecord& r) { r.method = 8; }, "has the method code 8 but no method name"},
        {[](PluginRequestRecord& r) { r.requestId = 0; }, "carries the plugin handle 0, not its own 81"},
        {[](PluginRequestRecord& r) { r.itemCount = 0xFFFFFFFF; },
         "counts 4,294,967,295 argument items, more than the core's bound of 4,096"},
        {[](PluginRequestRecord& r) { r.headerCount = 2; },
         "counts header pairs but has no storage for them (a null pointer)"},
        {[&](PluginRequestRecord& r) {
             r.items = badItem;
             r.itemCount = 1;
         },
         "has argument item 1 that holds a value of kind 12"},
        {[](PluginRequestRecord& r) { r.bodyLength = 3; }, "has a body of 3 bytes with a null pointer"},
    };
    for (const auto& c : cases) {
        core.breaches.clear();
        PluginRequestRecord request = Get("/x");
        c.spoil(request);
        EXPECT_EQ(Request(request), "The core refused the request: it " + c.problem);
        ASSERT_EQ(core.breaches.size(), 1u) << c.problem;
        EXPECT_TRUE(core.breaches[0].text.ends_with(c.problem + ": the core refused it")) << core.breaches[0].text;
    }
    EXPECT_TRUE(core.requests.empty());
}

TEST_F(CoreApiChecksTest, BoundsTheHeaderPairsOfARequestAtTheirEdge) {
    const std::vector<PluginHeaderPair> pairs(kMaxPairs + 1, PluginHeaderPair{"X-A", "1"});
    for (const uint32_t count : {kMaxPairs - 1, kMaxPairs, kMaxPairs + 1}) {
        core.breaches.clear();
        PluginRequestRecord request = Get("/x");
        request.headers = pairs.data();
        request.headerCount = count;
        EXPECT_EQ(Request(request), count > kMaxPairs ? "The core refused the request: it counts 4,097 header pairs, "
                                                        "more than the core's bound of 4,096"
                                                      : "Not found");
        EXPECT_EQ(core.breaches.size(), count > kMaxPairs ? 1u : 0u) << count;
    }
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
