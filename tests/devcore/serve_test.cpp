// devcore serve as its users run it: the level-up story over HTTP, the plugins' routes, the store, start and stop.
#include <gtest/gtest.h>
#include <signal.h>

#include "devcore_fixture.h"
#include "serve_process.h"

namespace Zarvo::DevCore::Testing {
namespace {

// Serves the level-up plugin and the fake plugin, telling the story.
class ServeTest : public ::testing::Test {
protected:
    std::string Ask(const std::string& method, const std::string& path, const std::string& body = {},
                    const std::string& contentType = "application/json") {
        return Testing::Ask(serve.Port(), method, path, body, contentType).Text();
    }

    ServeProcess serve{{"--plugin", kLevelUpLibrary, "--plugin", FakeLibrary("kiv-fake-queues"), "-v"}};
};

TEST_F(ServeTest, PlaysTheLevelUpStoryOverHttp) {
    EventStreamReader events(serve.Port());
    ASSERT_NE(events.ReadUntil(": connected\n\n").find(": connected"), std::string::npos);

    EXPECT_EQ(Ask("PUT", "/kiv-login/v1/session", R"({"state":"SUCCEEDED","summonerId":11,"accountId":22})"),
              R"(201 {"accountId":22,"state":"SUCCEEDED","summonerId":11})");
    // MessagePack {"a": 5}, then YAML: stored values in the other two formats.
    EXPECT_EQ(Ask("PUT", "/kiv-platform-config/v1/namespaces/LootConfig/MinSummonerLevel", "\x81\xa1" "a\x05",
                  "application/x-msgpack"),
              R"(201 {"a":5})");
    EXPECT_EQ(Ask("PUT", "/kiv-platform-config/v1/namespaces/LootConfig/MinSummonerLevel", "6\n",
                  "Application/X-YAML; charset=utf-8"),
              "200 6");
    EXPECT_EQ(Ask("PUT", "/kiv-platform-config/v1/namespaces/LootConfig/MinSummonerLevel", "5\n", "application/x-yaml"),
              "200 5");
    EXPECT_EQ(Ask("PUT", "/kiv-end-of-game/v1/eog-stats-block", R"({"leveledUp":true,"previousLevel":4})"),
              R"(201 {"leveledUp":true,"previousLevel":4})");

    const std::string levelUp =
        R"({"data":{"leveledUp":true,"newMasterySlotUnlocked":true,"newQueues":[420,440],)"
        R"("newRuneSlotUnlocked":true,"newSpells":[],"newSummonerLevel":5,"nowHasAccessToLoot":true,)"
        R"("nowHasAccessToMastery":true,"nowHasAccessToPublicChatRooms":true,)"
        R"("switchedToStandardFreeToPlayChampRotation":false,"zpEarned":0},"eventType":"Create",)"
        R"("uri":"/kiv-player-level-up/v1/level-up"})";
    // The event is sent under its own name, then under the base name; each message has its number.
    EXPECT_EQ(events.ReadUntil("event: OnJsonApiEvent\ndata"),
              ": connected\n\nid: 1\nevent: OnJsonApiEvent_kiv-player-level-up_v1_level-up\ndata: " + levelUp +
                  "\n\nid: 2\nevent: OnJsonApiEvent\ndata: " + levelUp + "\n\n");

    const std::string toast = "/kiv-player-level-up/v1/level-up-notifications/kiv-toast";
    EXPECT_EQ(Ask("GET", toast), R"(200 {"newSummonerLevel":5,"seenThisEvent":false})");
    EXPECT_EQ(Ask("POST", toast, "seenThisEvent: true\nnewSummonerLevel: 5\n", "application/x-yaml"), "200 null");
    EXPECT_EQ(Ask("GET", toast), R"(200 {"newSummonerLevel":5,"seenThisEvent":true})");
    EXPECT_EQ(Ask("POST", toast, R"({"newSummonerLevel":)"), R"(400 {"error":"Error: Invalid value. at offset 20."})");
    // A plugin's route gets what was sent: the plugin refuses what it cannot read, not the server.
    EXPECT_EQ(Ask("POST", toast, "{}", "text/plain"), R"(400 {"error":"Unsupported body content type"})");

    EXPECT_TRUE(serve.Process().WaitForOutput("devcore: serving kiv-player-level-up kiv-fake-queues on "));
    EXPECT_TRUE(serve.Process().WaitForOutput("  log     OKAY   kiv-fake-queues: heard level 5\n")) << serve.Output();
}

TEST_F(ServeTest, PassesQueryHeadersAndBodyToThePlugins) {
    const HttpReply echo = Testing::Ask(serve.Port(), "PUT", "/kiv-fake/v1/echo/a%2Fb?x=1&y=%20", "body",
                                        "text/plain", {{"X-Trace", "7"}});
    EXPECT_EQ(echo.status, 200u);
    EXPECT_EQ(echo.Header("Content-Type"), "application/json");
    EXPECT_TRUE(echo.body.ends_with("}\n")) << echo.body;
    const BindingProperty value = Json(echo.body);
    EXPECT_EQ(value.Child("path").GetString(), "/kiv-fake/v1/echo/a%2Fb?x=1&y=%20");
    EXPECT_EQ(value.Child("method").GetUnsigned(0), 7u);
    EXPECT_EQ(value.Child("body").GetString(), "body");
    EXPECT_EQ(value.Child("contentType").GetString(), "text/plain");
    EXPECT_EQ(ToJsonText(value.Child("headers")),
              R"(["Host: 127.0.0.1:)" + std::to_string(serve.Port()) +
                  R"(","X-Trace: 7","Content-Type: text/plain","Content-Length: 4"])");
    EXPECT_EQ(Ask("POST", "/kiv-fake/v1/echo/x", "fail"), R"(503 {"error":"asked to fail"})");
}

TEST_F(ServeTest, TheStoreAnswersThePathsNoPluginServes) {
    EXPECT_EQ(Ask("GET", "/kiv-store/v1/thing"), R"(404 {"error":"Not found"})");
    EXPECT_EQ(Ask("PUT", "/kiv-store/v1/thing", "[1, 2]"), "201 [1,2]");
    EXPECT_EQ(Ask("GET", "/kiv-store/v1/thing"), "200 [1,2]");
    EXPECT_EQ(Ask("PUT", "/kiv-store/v1/thing", "[1,"), R"(400 {"error":"Error: Invalid value. at offset 3."})");
    EXPECT_EQ(Ask("PUT", "/kiv-store/v1/thing", ""),
              R"(400 {"error":"The body is empty: it holds the resource's value"})");
    EXPECT_EQ(Ask("PUT", "/kiv-store/v1/thing", "\x91\xc1", "application/x-msgpack"),
              R"(400 {"error":"Invalid MessagePack data at position 2."})");
    EXPECT_EQ(Ask("PUT", "/kiv-store/v1/thing", std::string("[1]\0[2]", 7)),
              R"(400 {"error":"The body holds a zero byte at byte 3: it is not text"})");
    EXPECT_EQ(Ask("POST", "/kiv-store/v1/thing", "\x01\x02", "application/msgpack"),
              R"(400 {"error":"The body holds more than one MessagePack value: the first ends at byte 1"})");
    EXPECT_EQ(Ask("GET", "/kiv-store/v1/thing"), "200 [1,2]");
    EXPECT_EQ(Ask("POST", "/kiv-store/v1/thing", "[3]"), "200 [3]");
    EXPECT_EQ(Ask("DELETE", "/kiv-store/v1/thing"), "204 ");
    EXPECT_EQ(Ask("DELETE", "/kiv-store/v1/thing"), R"(404 {"error":"Not found"})");
    EXPECT_EQ(Ask("GET", "/kiv-store/v1/thing"), R"(404 {"error":"Not found"})");
    // The story tells each write with its own method.
    EXPECT_TRUE(serve.Process().WaitForOutput("> PUT /kiv-store/v1/thing [1,2]\n")) << serve.Output();
    EXPECT_TRUE(serve.Process().WaitForOutput("> POST /kiv-store/v1/thing [3]\n")) << serve.Output();
}

// What a web page of any site may send without asking first (text/plain and the form types) never reaches the
// store; neither does a body without a type.
TEST_F(ServeTest, StoreWritesTakeOnlyTheTypesOfTheReaders) {
    const std::string refusal = R"(415 {"error":"A stored value is not '%': its Content-Type is application/json, )"
                                R"(application/x-yaml or application/x-msgpack"})";
    for (const std::string type : {"text/plain", "application/x-www-form-urlencoded", "multipart/form-data; boundary=x",
                                   "application/jsonx"}) {
        std::string expected = refusal;
        expected.replace(expected.find('%'), 1, type);
        EXPECT_EQ(Ask("PUT", "/kiv-store/v1/thing", "[1]", type), expected);
    }
    EXPECT_EQ(Ask("POST", "/kiv-store/v1/thing", "[1]", ""),
              R"(415 {"error":"A stored value needs a Content-Type: application/json, application/x-yaml or )"
              R"(application/x-msgpack"})");
    EXPECT_EQ(Ask("GET", "/kiv-store/v1/thing"), R"(404 {"error":"Not found"})");
}

TEST(ServeStartTest, RefusesAPortInUse) {
    ServeProcess first({});
    const std::string port = std::to_string(first.Port());
    DevcoreProcess second({"serve", "--port", port});
    EXPECT_EQ(second.Wait(), 1);
    EXPECT_EQ(second.Output(), "devcore: port " + port + " is in use\n");
}

TEST(ServeStartTest, ReportsAPluginThatDoesNotLoad) {
    DevcoreProcess serve({"serve", "--port", "0", "--plugin", FakeLibrary("kiv-fake-old")});
    EXPECT_EQ(serve.Wait(), 1);
    EXPECT_EQ(serve.Output(), "devcore: kiv-fake-old speaks plugin API 17.0.0, this core 18.0.0\n");
}

TEST(ServeStartTest, StopsOnInterruptAndTerminate) {
    if (!kSignalsReachDevcore) GTEST_SKIP() << kSignalsUnderEmulator;
    for (const int signal : {SIGINT, SIGTERM}) {
        ServeProcess serve({"--plugin", FakeLibrary("kiv-fake-queues"), "-v"});
        serve.Process().Signal(signal);
        EXPECT_EQ(serve.Process().Wait(), 0) << signal;
        const std::string output = serve.Output();
        EXPECT_NE(output.find("devcore: stopping\n  log     OKAY   kiv-fake-queues: destroyed\n"), std::string::npos)
            << output;
        EXPECT_TRUE(output.ends_with("  unload  kiv-fake-queues\ndevcore: stopped\n")) << output;
    }
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
