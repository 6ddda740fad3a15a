#include <gtest/gtest.h>

#include <algorithm>

#include "devcore_fixture.h"

namespace Zarvo::DevCore::Testing {
namespace {

std::vector<std::string> From(const std::vector<std::string>& story, std::string_view first) {
    const auto start = std::find_if(story.begin(), story.end(), [&](const std::string& s) { return s == first; });
    return {start, story.end()};
}

TEST(StoryTest, TellsTheLevelUpOneLineAThing) {
    StoryCore story;
    story.Load(kLevelUpLibrary);
    story.Load(FakeLibrary("kiv-fake-queues"));
    EXPECT_EQ(story.Lines("  load").size(), 2u);
    EXPECT_EQ(story.Lines("  sub     OnJsonApiEvent_kiv-login_v1_session").size(), 1u);
    EXPECT_EQ(story.Lines("  sub     OnServiceProxyUuidEvent (service proxy)").size(), 1u);
    EXPECT_EQ(story.Lines("  request GET /kiv-login/v1/session -> 404 Not found").size(), 1u);

    story.core.Put("/kiv-login/v1/session", Json(R"({"state":"SUCCEEDED","summonerId":11,"accountId":22})"));
    story.core.Put("/kiv-end-of-game/v1/eog-stats-block", Json(R"({"leveledUp":true,"previousLevel":4})"));
    CallRequest ack("POST", "/kiv-player-level-up/v1/level-up-notifications/kiv-toast");
    ack.body = "newSummonerLevel: 5\nseenThisEvent: true\n";
    ack.contentType = "application/x-yaml";
    story.core.Call(ack);
    story.core.Call({"GET", "/kiv-player-level-up/v1/level-up-notifications/kiv-toast"});
    story.core.Delete("/kiv-login/v1/session");
    const std::string level5 =
        R"({"leveledUp":true,"newMasterySlotUnlocked":true,"newQueues":[420,440],"newRuneSlotUnlocked":true,)"
        R"("newSpells":[],"newSummonerLevel":5,"nowHasAccessToLoot":false,"nowHasAccessToMastery":true,)"
        R"("nowHasAccessToPublicChatRooms":true,"switchedToStandardFreeToPlayChampRotation":false,"zpEarned":0})";
    EXPECT_EQ(From(story.story, "> PUT /kiv-login/v1/session {\"accountId\":22,\"state\":\"SUCCEEDED\",\"summonerId\":11}"),
              (std::vector<std::string>{
                  R"(> PUT /kiv-login/v1/session {"accountId":22,"state":"SUCCEEDED","summonerId":11})",
                  "  deliver OnJsonApiEvent_kiv-login_v1_session Create to 1 subscriber",
                  R"(> PUT /kiv-end-of-game/v1/eog-stats-block {"leveledUp":true,"previousLevel":4})",
                  "  deliver OnJsonApiEvent_kiv-end-of-game_v1_eog-stats-block Create to 1 subscriber",
                  "  request GET /kiv-game-data/assets/v1/summoner-spells.json -> 404 Not found",
                  "  request GET /kiv-game-queues/v1/queues -> 200, a stream (from kiv-fake-queues)",
                  "  event   OnJsonApiEvent_kiv-player-level-up_v1_level-up Create /kiv-player-level-up/v1/level-up " +
                      level5,
                  "  event   OnJsonApiEvent (the same payload)",
                  "  log     OKAY   kiv-fake-queues: heard level 5",
                  "> POST /kiv-player-level-up/v1/level-up-notifications/kiv-toast (application/x-yaml) "
                  "newSummonerLevel: 5\\nseenThisEvent: true\\n",
                  "< 200 null",
                  "> GET /kiv-player-level-up/v1/level-up-notifications/kiv-toast",
                  R"(< 200 {"newSummonerLevel":5,"seenThisEvent":true})",
                  "> DELETE /kiv-login/v1/session",
                  "  deliver OnJsonApiEvent_kiv-login_v1_session Delete to 1 subscriber",
              }));
}

TEST(StoryTest, TellsLogLinesWithTheirLevelAndPlugin) {
    StoryCore story;
    story.Load(kLevelUpLibrary);
    story.core.Put("/kiv-end-of-game/v1/eog-stats-block", Json(R"({"leveledUp":true,"previousLevel":4})"));
    EXPECT_EQ(story.Lines("  log"),
              std::vector<std::string>{"  log     ERROR  kiv-player-level-up: Failed to get all available game queues, "
                                       "not adding to level up message Error response for GET "
                                       "/kiv-game-queues/v1/queues: Not found"});
    ASSERT_EQ(story.core.logs.size(), 1u);
    EXPECT_EQ(story.core.logs[0].level, 2);
    EXPECT_EQ(story.core.logs[0].plugin, "kiv-player-level-up");
}

TEST(StoryTest, CutsLongValuesAndShowsBinaryBodiesBySize) {
    StoryCore story;
    BindingProperty value;
    value.SetString(std::string(1000, 'x'));
    story.core.Put("/kiv-long/v1/value", value);
    EXPECT_EQ(story.story[0], "> PUT /kiv-long/v1/value \"" + std::string(399, 'x') + "...");
    CallRequest request("POST", "/kiv-fake/v1/echo", "a=1");
    request.body = std::string("\x81\xa1k\x00", 4);
    request.contentType = "application/x-msgpack";
    story.core.Call(request);
    EXPECT_EQ(story.story[2], "> POST /kiv-fake/v1/echo?a=1 (application/x-msgpack) <4 bytes>");
    EXPECT_EQ(story.story[3], R"(< 404 {"error":"Not found"})");
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
