// The level-up routes as a consuming plugin calls them through the core.
#include <gtest/gtest.h>

#include <string>

#include "formats/json_reader.h"
#include "remoting_fixture.h"

namespace Zarvo::Testing {
namespace {

constexpr const char* kGetEvent = "GetKivPlayerLevelUpV1LevelUp";
constexpr const char* kGetAck = "GetKivPlayerLevelUpV1LevelUpNotificationsByPluginName";
constexpr const char* kPostAck = "PostKivPlayerLevelUpV1LevelUpNotificationsByPluginName";

class LevelUpRoutes : public RemotingFixture {
protected:
    void LevelUpTo(uint32_t level) { pending = {true, level, {"Flash"}}; }

    Answer GetAck(const std::string& plugin) {
        return Call(kGetAck, CoreRequest(Method::Get, "/kiv-player-level-up/v1/level-up-notifications/" + plugin));
    }

    Answer PostAck(const std::string& plugin, const std::string& contentType, const std::string& body) {
        CoreRequest request(Method::Post, "/kiv-player-level-up/v1/level-up-notifications/" + plugin);
        request.Body(contentType, body);
        return Call(kPostAck, request);
    }
};

TEST_F(LevelUpRoutes, WithoutALevelUpBothGetsAnswerNotFound) {
    for (const Answer& answer : {Call(kGetEvent, CoreRequest(Method::Get, kLevelUp)), GetAck("a")}) {
        EXPECT_EQ(answer.kind, uint32_t{PluginValueNull});
        EXPECT_EQ(answer.errorFlag, 1);
        EXPECT_EQ(answer.error, "Not found");
        EXPECT_EQ(answer.status, 404u);
        EXPECT_TRUE(answer.textIsStaticEmpty);
        EXPECT_TRUE(answer.hasFreeRoutine);
    }
}

TEST_F(LevelUpRoutes, TheEventTravelsAsAnObjectOfCoreValues) {
    LevelUpTo(7);
    const Answer answer = Call(kGetEvent, CoreRequest(Method::Get, kLevelUp));
    EXPECT_EQ(answer.kind, uint32_t{PluginValueObject});
    EXPECT_EQ(answer.value, R"({leveledUp:true,newSummonerLevel:u7,spells:["Flash"]})");
    EXPECT_EQ(answer.errorFlag, 0);
    EXPECT_EQ(answer.error, "");
    EXPECT_EQ(answer.status, 0u);
    EXPECT_EQ(answer.outputFlag, 0);
    EXPECT_EQ(answer.outputFormat, 0u);
    EXPECT_TRUE(answer.textIsStaticEmpty);
    EXPECT_TRUE(answer.headers.empty());
}

TEST_F(LevelUpRoutes, AcknowledgementsArePerPluginAndPerLevel) {
    LevelUpTo(7);
    EXPECT_EQ(GetAck("a").value, "{newSummonerLevel:u7,seenThisEvent:false}");

    const Answer posted = PostAck("a", "application/json", R"({"seenThisEvent":false,"newSummonerLevel":7})");
    EXPECT_EQ(posted.kind, uint32_t{PluginValueNull});
    EXPECT_EQ(posted.errorFlag, 0);
    EXPECT_EQ(posted.status, 0u);
    EXPECT_EQ(GetAck("a").value, "{newSummonerLevel:u7,seenThisEvent:true}");
    EXPECT_EQ(GetAck("b").value, "{newSummonerLevel:u7,seenThisEvent:false}");

    LevelUpTo(8);
    EXPECT_EQ(GetAck("a").value, "{newSummonerLevel:u8,seenThisEvent:false}");
}

TEST_F(LevelUpRoutes, ThePluginNameIsPercentDecodedFromThePath) {
    LevelUpTo(3);
    PostAck("my%20plugin", "application/json", R"({"newSummonerLevel":3})");
    EXPECT_EQ(ackLevels.count("my plugin"), 1u);
    EXPECT_EQ(GetAck("my+plugin").value, "{newSummonerLevel:u3,seenThisEvent:true}");
}

TEST_F(LevelUpRoutes, BodiesAreReadInEveryAcceptedContentType) {
    const std::string msgpack = "\x82\xad"
                                "seenThisEvent"
                                "\xc3\xb0"
                                "newSummonerLevel"
                                "\x05";
    const struct {
        const char* contentType;
        std::string body;
    } cases[] = {
        {"application/json", R"({"newSummonerLevel":5})"},
        {"Application/JSON; charset=utf-8", R"({"newSummonerLevel":5})"},
        {"application/vnd.api+json", R"({"newSummonerLevel":5})"},
        {"application/x-msgpack", msgpack},
        {"application/x-yaml", "seenThisEvent: true\nnewSummonerLevel: 5\n"},
    };
    for (const auto& c : cases) {
        ackLevels.clear();
        const Answer answer = PostAck("p", c.contentType, c.body);
        EXPECT_EQ(answer.errorFlag, 0) << c.contentType << ": " << answer.error;
        EXPECT_EQ(ackLevels["p"], 5u) << c.contentType;
    }
}

TEST_F(LevelUpRoutes, RefusedBodiesLeaveTheHandlerUncalled) {
    const std::string malformedJson = R"({"newSummonerLevel":)";
    const struct {
        const char* contentType;
        std::string body;
        std::string error;
    } cases[] = {
        {"application/xml", "<ack/>", "Unsupported body content type"},
        {"text/plain", R"({"newSummonerLevel":5})", "Unsupported body content type"},
        {"application/json", malformedJson, std::string(ParseJson(malformedJson).ErrorMessage())},
        {"application/x-msgpack", std::string("\x81\xa1x\x01\x00", 5), "Extra MessgePack data found in body"},
        {"application/json", R"({"seenThisEvent":true})",
         "Couldn't assign value to 'levelUpEventAck' of type LevelUpAck because the input structure doesn't have "
         "required field 'newSummonerLevel'."},
        {"application/json", R"([1,2])",
         "Couldn't assign value to 'levelUpEventAck' of type LevelUpAck because the input not a structure."},
    };
    for (const auto& c : cases) {
        const Answer answer = PostAck("p", c.contentType, c.body);
        EXPECT_EQ(answer.kind, uint32_t{PluginValueNull}) << c.body;
        EXPECT_EQ(answer.errorFlag, 1) << c.body;
        EXPECT_EQ(answer.error, c.error) << c.body;
        EXPECT_EQ(answer.status, 0u) << c.body;
    }
    EXPECT_TRUE(ackLevels.empty());
}

TEST_F(LevelUpRoutes, APostWithoutABodyLacksTheRequiredRecord) {
    const Answer answer = Call(kPostAck, CoreRequest(Method::Post, "/kiv-player-level-up/v1/level-up-notifications/p"));
    EXPECT_EQ(answer.errorFlag, 1);
    EXPECT_EQ(answer.error, "A value for 'levelUpEventAck' is required.");
    EXPECT_TRUE(ackLevels.empty());
}

TEST_F(LevelUpRoutes, EachRouteAnswersOnlyItsMethodAndPath) {
    const struct {
        const char* function;
        Method method;
        const char* path;
    } cases[] = {
        {kGetEvent, Method::Post, kLevelUp},
        {kGetEvent, Method::Get, "/kiv-player-level-up/v1/level-up/"},
        {kGetEvent, Method::Get, "/kiv-player-level-up/v1/Level-up"},
        {kGetEvent, Method::Get, "/kiv-player-level-up/v1/level-up?x=1"},
        {kGetAck, Method::Post, "/kiv-player-level-up/v1/level-up-notifications/a"},
        {kGetAck, Method::Get, "/kiv-player-level-up/v1/level-up-notifications/a/b"},
        {kPostAck, Method::Get, "/kiv-player-level-up/v1/level-up-notifications/a"},
    };
    LevelUpTo(2);
    for (const auto& c : cases) {
        const Answer answer = Call(c.function, CoreRequest(c.method, c.path));
        EXPECT_EQ(answer.error, "Invalid function") << c.function << " " << c.path;
        EXPECT_EQ(answer.errorFlag, 1);
        EXPECT_EQ(answer.status, 404u);
        EXPECT_EQ(answer.kind, uint32_t{PluginValueNull});
    }
}

}  // namespace
}  // namespace Zarvo::Testing
