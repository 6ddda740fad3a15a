#include <set>
#include <string>
#include <vector>

#include "level_up_fixture.h"

namespace Zarvo::Testing {
namespace {

class Acknowledgements : public LevelUpTest {
protected:
    void SetUp() override {
        Start();
        LogIn();
    }
};

TEST_F(Acknowledgements, EachRouteCarriesThePluginTags) {
    std::set<std::string> names;
    for (const ApiFunctionEntry* entry = block.description->functions; entry; entry = entry->next) {
        names.insert(entry->function.name);
        const uint32_t tagCount = entry->function.tagCount;  // a packed field, read by value
        ASSERT_EQ(tagCount, 2u);
        EXPECT_STREQ(entry->function.tags[0], "Plugins");
        EXPECT_STREQ(entry->function.tags[1], "Plugin kiv-player-level-up");
    }
    EXPECT_EQ(names, (std::set<std::string>{kGetLevelUp, kGetAck, kPostAck}));
}

TEST_F(Acknowledgements, WithoutALevelUpBothGetsAnswerNotFoundAndPostSucceeds) {
    for (const Answer& answer : {GetLevelUp(), GetAck("a")}) {
        EXPECT_EQ(answer.errorFlag, 1);
        EXPECT_EQ(answer.status, 404u);
        EXPECT_EQ(answer.error, "Not found");
    }
    const Answer posted = PostAck("a", 7);
    EXPECT_EQ(posted.errorFlag, 0);
    EXPECT_EQ(posted.status, 0u);
}

TEST_F(Acknowledgements, ArePerPluginAndPerLevel) {
    EndGame(true, 6);
    EXPECT_EQ(GetAck("a").value, "{newSummonerLevel:u7,seenThisEvent:false}");
    PostAck("a", 7);
    EXPECT_EQ(GetAck("a").value, "{newSummonerLevel:u7,seenThisEvent:true}");
    EXPECT_EQ(GetAck("b").value, "{newSummonerLevel:u7,seenThisEvent:false}");

    PostAck("b", 6, true);  // the flag of the body is not what counts
    EXPECT_EQ(GetAck("b").value, "{newSummonerLevel:u7,seenThisEvent:false}");

    EndGame(true, 7);
    EXPECT_EQ(GetAck("a").value, "{newSummonerLevel:u8,seenThisEvent:false}");
    PostAck("a", 8);
    EXPECT_EQ(GetAck("a").value, "{newSummonerLevel:u8,seenThisEvent:true}");
}

TEST_F(Acknowledgements, SurviveAGameWithoutLevelGainButNotANewLogin) {
    EndGame(true, 6);
    PostAck("a", 7);
    EndGame(false, 7);
    EXPECT_EQ(GetLevelUp().status, 404u);
    EXPECT_EQ(GetAck("a").status, 404u);
    EndGame(true, 6);
    EXPECT_EQ(GetAck("a").value, "{newSummonerLevel:u7,seenThisEvent:true}");

    Change(kSessionUri, "Delete", BindingProperty());
    LogIn();
    EXPECT_EQ(GetLevelUp().status, 404u);
    EndGame(true, 6);
    EXPECT_EQ(GetAck("a").value, "{newSummonerLevel:u7,seenThisEvent:false}");
}

TEST_F(Acknowledgements, ABodyThatIsNoAcknowledgementIsRejected) {
    EndGame(true, 6);
    CoreRequest request(Method::Post, "/kiv-player-level-up/v1/level-up-notifications/a");
    request.Body("application/json", R"({"newSummonerLevel":"seven"})");
    const Answer answer = Call(kPostAck, request);
    EXPECT_EQ(answer.errorFlag, 1);
    EXPECT_EQ(GetAck("a").value, "{newSummonerLevel:u7,seenThisEvent:false}");
}

using StartUp = LevelUpTest;

// A block that exists at start-up is judged before the configuration is read.
TEST_F(StartUp, AnExistingBlockIsPublishedBeforeTheConfigurationIsRead) {
    BindingProperty disabled;
    disabled.SetBool(false);
    core.SetValue(kSessionUri, Session("SUCCEEDED", 1, 2));
    core.SetValue(kEndOfGameUri, Stats(true, 9));
    core.SetValue(kEventEnabledUri, disabled);
    core.SetValue(kFreeToPlayUri, Unsigned(9));
    Start();
    const std::vector<BindingProperty> published = Published();
    ASSERT_EQ(published.size(), 1u);
    EXPECT_EQ(published[0].Child("newSummonerLevel").AsUnsigned64(0), 10u);
    EXPECT_FALSE(published[0].Child("switchedToStandardFreeToPlayChampRotation").GetBool(true));
    EXPECT_EQ(GetLevelUp().status, 0u);
}

}  // namespace
}  // namespace Zarvo::Testing
