#include "devcore/serve.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <future>
#include <sstream>
#include <thread>

#include "devcore_fixture.h"

namespace Zarvo::DevCore::Testing {
namespace {

using namespace std::chrono_literals;

// Serves the level-up plugin and the fake plugin on a free loopback port, on a thread of its own.
class ServeTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::promise<std::pair<int, std::function<void()>>> listening;
        ServeOptions options;
        options.plugins = {kLevelUpLibrary, FakeLibrary("kiv-fake-queues")};
        options.verbose = true;
        options.out = &output;
        options.stopOnSignals = false;
        options.listening = [&](int port, std::function<void()> stop) { listening.set_value({port, stop}); };
        server = std::thread([this, options] { status = Serve(options); });
        auto started = listening.get_future();
        ASSERT_EQ(started.wait_for(30s), std::future_status::ready);
        std::tie(port, stop) = started.get();
    }
    void TearDown() override {
        if (stop) stop();
        if (server.joinable()) server.join();
        EXPECT_EQ(status, 0) << output.str();
    }

    httplib::Result Send(const std::string& method, const std::string& path, const std::string& body = {},
                         const std::string& contentType = "application/json", httplib::Headers headers = {}) {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(30s);
        if (method == "GET") return client.Get(path, headers);
        if (method == "DELETE") return client.Delete(path, headers);
        if (method == "PUT") return client.Put(path, headers, body, contentType);
        return client.Post(path, headers, body, contentType);
    }
    // "<status> <body>" of a request, without the line break after a JSON body.
    std::string Ask(const std::string& method, const std::string& path, const std::string& body = {},
                    const std::string& contentType = "application/json") {
        const httplib::Result result = Send(method, path, body, contentType);
        if (!result) return "no answer: " + httplib::to_string(result.error());
        std::string answer = result->body;
        if (answer.ends_with('\n')) answer.pop_back();
        return std::to_string(result->status) + " " + answer;
    }

    std::ostringstream output;
    std::thread server;
    int status = -1;
    int port = 0;
    std::function<void()> stop;
};

TEST_F(ServeTest, PlaysTheLevelUpStoryOverHttp) {
    // A reader of /events, connected before anything happens.
    std::promise<void> connected;
    std::promise<std::string> levelUp;
    std::thread reader([&] {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(60s);
        std::string text;
        bool greeted = false;
        client.Get("/events", [&](const char* data, size_t length) {
            text.append(data, length);
            if (!greeted && text.find(": connected\n\n") != std::string::npos) {
                greeted = true;
                connected.set_value();
            }
            const size_t end = text.find("\n\n", text.find("event: OnJsonApiEvent_kiv-player-level-up_v1_level-up"));
            if (text.find("event: OnJsonApiEvent_kiv-player-level-up") == std::string::npos || end == std::string::npos)
                return true;
            levelUp.set_value(text.substr(text.find("event: OnJsonApiEvent_kiv-player-level-up")));
            return false;
        });
    });
    ASSERT_EQ(connected.get_future().wait_for(30s), std::future_status::ready);

    EXPECT_EQ(Ask("PUT", "/kiv-login/v1/session", R"({"state":"SUCCEEDED","summonerId":11,"accountId":22})",
                  "application/x-www-form-urlencoded"),
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

    auto published = levelUp.get_future();
    ASSERT_EQ(published.wait_for(30s), std::future_status::ready);
    reader.join();
    EXPECT_EQ(published.get(),
              "event: OnJsonApiEvent_kiv-player-level-up_v1_level-up\ndata: "
              R"({"data":{"leveledUp":true,"newMasterySlotUnlocked":true,"newQueues":[420,440],)"
              R"("newRuneSlotUnlocked":true,"newSpells":[],"newSummonerLevel":5,"nowHasAccessToLoot":true,)"
              R"("nowHasAccessToMastery":true,"nowHasAccessToPublicChatRooms":true,)"
              R"("switchedToStandardFreeToPlayChampRotation":false,"zpEarned":0},"eventType":"Create",)"
              R"("uri":"/kiv-player-level-up/v1/level-up"})"
              "\n\n");

    const std::string toast = "/kiv-player-level-up/v1/level-up-notifications/kiv-toast";
    EXPECT_EQ(Ask("GET", toast), R"(200 {"newSummonerLevel":5,"seenThisEvent":false})");
    EXPECT_EQ(Ask("POST", toast, "seenThisEvent: true\nnewSummonerLevel: 5\n", "application/x-yaml"), "200 null");
    EXPECT_EQ(Ask("GET", toast), R"(200 {"newSummonerLevel":5,"seenThisEvent":true})");
    EXPECT_EQ(Ask("POST", toast, R"({"newSummonerLevel":)"), R"(400 {"error":"Error: Invalid value. at offset 20."})");
    EXPECT_EQ(Ask("POST", toast, "{}", "text/plain"), R"(400 {"error":"Unsupported body content type"})");
    EXPECT_EQ(Ask("DELETE", "/kiv-player-level-up/v1/level-up"), R"(405 {"error":"Method not allowed"})");

    const std::string story = output.str();
    EXPECT_NE(story.find("devcore: serving kiv-player-level-up kiv-fake-queues on http://127.0.0.1:"),
              std::string::npos);
    EXPECT_NE(story.find("  log     OKAY   kiv-fake-queues: heard level 5\n"), std::string::npos) << story;
}

TEST_F(ServeTest, PassesQueryHeadersAndBodyToThePlugins) {
    const httplib::Result echo = Send("PUT", "/kiv-fake/v1/echo/a%2Fb?x=1&y=%20", "body", "text/plain",
                                      {{"X-Trace", "7"}});
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->status, 200);
    EXPECT_EQ(echo->get_header_value("Content-Type"), "application/json");
    EXPECT_TRUE(echo->body.ends_with("}\n")) << echo->body;
    const BindingProperty value = Json(echo->body);
    EXPECT_EQ(value.Child("path").GetString(), "/kiv-fake/v1/echo/a%2Fb?x=1&y=%20");
    EXPECT_EQ(value.Child("method").GetUnsigned(0), 7u);
    EXPECT_EQ(value.Child("body").GetString(), "body");
    EXPECT_EQ(value.Child("contentType").GetString(), "text/plain");
    EXPECT_NE(ToJsonText(value.Child("headers")).find(R"("X-Trace: 7")"), std::string::npos) << echo->body;
    EXPECT_EQ(ToJsonText(value.Child("headers")).find("REMOTE_ADDR"), std::string::npos) << echo->body;
    EXPECT_EQ(Ask("POST", "/kiv-fake/v1/echo/x", "fail"), R"(503 {"error":"asked to fail"})");
}

TEST_F(ServeTest, TheStoreAnswersThePathsNoPluginServes) {
    EXPECT_EQ(Ask("GET", "/kiv-store/v1/thing"), R"(404 {"error":"Not found"})");
    EXPECT_EQ(Ask("PUT", "/kiv-store/v1/thing", "[1, 2]"), "201 [1,2]");
    EXPECT_EQ(Ask("GET", "/kiv-store/v1/thing"), "200 [1,2]");
    EXPECT_EQ(Ask("PUT", "/kiv-store/v1/thing", "[1,"), R"(400 {"error":"Error: Invalid value. at offset 3."})");
    EXPECT_EQ(Ask("PUT", "/kiv-store/v1/thing", ""), R"(400 {"error":"The body is empty: it holds the resource's value"})");
    EXPECT_EQ(Ask("PUT", "/kiv-store/v1/thing", "\x91\xc1", "application/x-msgpack"),
              R"(400 {"error":"Invalid MessagePack data at position 2."})");
    EXPECT_EQ(Ask("GET", "/kiv-store/v1/thing"), "200 [1,2]");
    EXPECT_EQ(Ask("DELETE", "/kiv-store/v1/thing"), "204 ");
    EXPECT_EQ(Ask("DELETE", "/kiv-store/v1/thing"), R"(404 {"error":"Not found"})");
    EXPECT_EQ(Ask("GET", "/kiv-store/v1/thing"), R"(404 {"error":"Not found"})");
}

TEST(ServeRefusalTest, ReportsAPluginThatDoesNotLoad) {
    std::ostringstream output;
    ServeOptions options;
    options.plugins = {FakeLibrary("kiv-fake-old")};
    options.out = &output;
    options.stopOnSignals = false;
    EXPECT_EQ(Serve(options), 1);
    EXPECT_EQ(output.str(), "devcore: kiv-fake-old speaks plugin API 17.0.0, this core 18.0.0\n");
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
