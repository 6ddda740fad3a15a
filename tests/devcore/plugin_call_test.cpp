#include <gtest/gtest.h>

#include <cstdlib>

#include "devcore_fixture.h"
#include "environment_setting.h"

namespace Zarvo::DevCore::Testing {
namespace {

class PluginCallTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(core.Load(kLevelUpLibrary, &error)) << error;
        ASSERT_TRUE(core.Load(FakeLibrary("kiv-fake-queues"), &error)) << error;
    }
    CallResult Call(std::string method, std::string path, std::string body = {},
                    std::string contentType = "application/json") {
        CallRequest request{std::move(method), std::move(path)};
        request.body = std::move(body);
        if (!request.body.empty()) request.contentType = std::move(contentType);
        return core.Call(request);
    }
    TestCore core;
};

TEST_F(PluginCallTest, FillsTheRequestRecordAsACoreDoes) {
    CallRequest request{"PURGE", "/kiv-fake/v1/echo/a%20b", "x=1&y=2"};
    request.headers = {{"Accept", "application/json"}, {"X-Twice", "1"}, {"X-Twice", "2"}};
    request.body = "hello";
    request.contentType = "text/plain";
    request.items = {{"named", Json("[1]")}, {"", Json(R"("free")")}};
    const CallResult result = core.Call(request);
    ASSERT_TRUE(result.routed);
    EXPECT_EQ(result.status, 200u);
    EXPECT_EQ(result.recordStatus, 0u);
    EXPECT_EQ(ToJsonText(result.value),
              R"j({"body":"hello","bodyEndsWithZero":true,"contentType":"text/plain",)j"
              R"j("headers":["Accept: application/json","X-Twice: 1","X-Twice: 2"],)j"
              R"j("items":[{"name":"named","value":[1]},{"name":"(positional)","value":"free"}],)j"
              R"j("method":8,"methodName":"PURGE","path":"/kiv-fake/v1/echo/a%20b?x=1&y=2"})j");

    const CallResult bare = Call("GET", "/kiv-fake/v1/echo/");
    EXPECT_EQ(ToJsonText(bare.value),
              R"({"contentType":"","headers":[],"items":[],"method":2,"methodName":"","path":"/kiv-fake/v1/echo/"})");
}

// What a plugin gets wrong in its records is not followed: a function without a dispatch routine is not served,
// a header count without headers is a breach that the call answers with a 500.
TEST_F(PluginCallTest, IgnoresWhatARecordLacks) {
    const CallResult undispatched = Call("GET", "/kiv-fake/v1/undispatched");
    EXPECT_FALSE(undispatched.routed);
    EXPECT_EQ(undispatched.status, 404u);

    const CallResult headerless = Call("POST", "/kiv-fake/v1/echo/x", "bad headers");
    const std::string breach = "kiv-fake-queues's response to POST /kiv-fake/v1/echo/x counts 2 header pairs but has "
                               "no storage for them (a null pointer)";
    EXPECT_EQ(headerless.status, 500u);
    EXPECT_EQ(headerless.breach, breach);
    EXPECT_EQ(headerless.error, breach);
    EXPECT_TRUE(headerless.headers.empty());
}

TEST_F(PluginCallTest, ReadsStatusErrorAndStreamedBodies) {
    const CallResult failed = Call("POST", "/kiv-fake/v1/echo/x", "fail");
    EXPECT_EQ(failed.status, 503u);
    EXPECT_EQ(failed.error, "asked to fail");
    EXPECT_TRUE(failed.value.IsEmpty());

    const CallResult queues = Call("GET", "/kiv-game-queues/v1/queues");
    EXPECT_EQ(queues.streamed.size(), 73u);
    EXPECT_EQ(ToJsonText(queues.value), R"([{"id":420,"minLevel":5},{"id":830,"minLevel":3},{"id":440,"minLevel":5}])");
}

TEST_F(PluginCallTest, RoutesByMethodAndPathTemplate) {
    struct Case {
        const char* method;
        const char* path;
        bool routed;
        uint32_t status;
        const char* error;
    } const cases[] = {
        {"GET", "/kiv-player-level-up/v1/level-up", true, 404, "Not found"},  // no level-up yet
        {"GET", "/kiv-player-level-up/v1/level-up-notifications/kiv-toast", true, 404, "Not found"},
        {"POST", "/kiv-player-level-up/v1/level-up-notifications/kiv-toast", true, 400, "Unsupported body content type"},
        {"DELETE", "/kiv-player-level-up/v1/level-up", false, 405, "Method not allowed"},
        {"GET", "/kiv-player-level-up/v1/level-up/", false, 404, "Not found"},
        {"GET", "/kiv-player-level-up/v1/level-up-notifications/a/b", false, 404, "Not found"},
        {"GET", "/kiv-login/v1/session", false, 404, "Not found"},
    };
    for (const Case& c : cases) {
        CallRequest request{c.method, c.path};
        if (std::string_view(c.method) == "POST") request.body = "{}";
        const CallResult result = core.Call(request);
        EXPECT_EQ(result.routed, c.routed) << c.method << " " << c.path;
        EXPECT_EQ(result.status, c.status) << c.method << " " << c.path;
        EXPECT_EQ(result.error, c.error) << c.method << " " << c.path;
    }
}

// The level-up plugin asks for the queue list, which the fake plugin serves as a stream; the fake plugin hears the
// level-up event that the level-up plugin sends; a consumer reads and acknowledges it.
TEST_F(PluginCallTest, CarriesRequestsAndEventsBetweenPlugins) {
    core.Put("/kiv-login/v1/session", Json(R"({"state":"SUCCEEDED","summonerId":11,"accountId":22})"));
    core.Put("/kiv-end-of-game/v1/eog-stats-block", Json(R"({"leveledUp":true,"previousLevel":4})"));
    ASSERT_EQ(core.events.size(), 2u);
    EXPECT_EQ(core.events[0].plugin, "kiv-player-level-up");
    EXPECT_EQ(ToJsonText(core.events[0].payload.Child("data").Child("newQueues")), "[420,440]");
    ASSERT_EQ(core.logs.size(), 1u);
    EXPECT_EQ(core.logs[0].plugin, "kiv-fake-queues");
    EXPECT_EQ(core.logs[0].text, "heard level 5");

    EXPECT_EQ(ToJsonText(Call("GET", "/kiv-player-level-up/v1/level-up-notifications/kiv-toast").value),
              R"({"newSummonerLevel":5,"seenThisEvent":false})");
    const CallResult posted = Call("POST", "/kiv-player-level-up/v1/level-up-notifications/kiv-toast",
                                   R"({"seenThisEvent":true,"newSummonerLevel":5})");
    EXPECT_EQ(posted.status, 200u);
    EXPECT_TRUE(posted.value.IsEmpty());
    EXPECT_EQ(ToJsonText(Call("GET", "/kiv-player-level-up/v1/level-up-notifications/kiv-toast").value),
              R"({"newSummonerLevel":5,"seenThisEvent":true})");

    const CallResult bad =
        Call("POST", "/kiv-player-level-up/v1/level-up-notifications/kiv-toast", "{\"newSummonerLevel\":", "");
    EXPECT_EQ(bad.status, 400u);
    EXPECT_EQ(bad.error, "Unsupported body content type");
    const CallResult broken = Call("POST", "/kiv-player-level-up/v1/level-up-notifications/kiv-toast", "{\"a\":");
    EXPECT_EQ(broken.status, 400u);
    EXPECT_NE(broken.error.find("at offset 5"), std::string::npos) << broken.error;
}

// What the core reads while a plugin's code runs is told with that code around it: a plugin that sends in a loop is
// the one that does not return, not the core that reads what it sends.
TEST(PluginActivityTest, AReadingTellsThePluginCodeAroundIt) {
    TestCore core;
    std::string error;
    {
        const EnvironmentSetting breach("KIV_FAKE_BREACH", "cyclic-payload");
        ASSERT_TRUE(core.Load(FakeLibrary("kiv-fake-breach"), &error)) << error;
    }
    std::vector<std::string> told;
    core.SetActivityListener([&](const PluginActivity* activity) {
        if (activity && activity->reading)
            told.push_back(activity->what + " within " + (activity->within ? activity->within->what : "nothing"));
    });
    core.Call({"GET", "/kiv-fake-breach/v1/thing"});
    const std::vector<std::string> expected = {
        "its event OnJsonApiEvent_kiv-fake_v1_cycle within its dispatch callback for GET /kiv-fake-breach/v1/thing",
        "kiv-fake-breach's response to GET /kiv-fake-breach/v1/thing within nothing",
    };
    EXPECT_EQ(told, expected);
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
