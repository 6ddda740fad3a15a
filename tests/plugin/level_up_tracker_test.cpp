#include <string>
#include <vector>

#include "level_up_fixture.h"

namespace Zarvo::Testing {
namespace {

class Tracker : public LevelUpTest {
protected:
    void SetUp() override { Start(); }

    // The last published event; fails the test when none was published.
    BindingProperty Last() const {
        const std::vector<BindingProperty> published = Published();
        EXPECT_FALSE(published.empty());
        return published.empty() ? BindingProperty() : published.back();
    }
    static bool Flag(const BindingProperty& event, std::string_view name) {
        return event.Child(name).GetBool(false);
    }
    static uint64_t Number(const BindingProperty& event, std::string_view name) {
        return event.Child(name).AsUnsigned64(0);
    }
    static int64_t Signed(const BindingProperty& event, std::string_view name) {
        const BindingProperty& value = event.Child(name);
        return value.GetKind() == BindingProperty::Kind::Signed ? value.GetSigned(-1)
                                                                : static_cast<int64_t>(value.GetUnsigned(0));
    }
};

TEST_F(Tracker, StartSubscribesTheFiveResourcesInOrderAndReadsEachAtOnce) {
    std::vector<std::string> fetched;
    for (const DevCore::SentRequest& request : core.requests) fetched.push_back(request.url);
    EXPECT_EQ(fetched, (std::vector<std::string>{kSessionUri, kEndOfGameUri, kFreeToPlayUri, kLootUri,
                                                 kEventEnabledUri}));
    for (const char* uri : {kSessionUri, kEndOfGameUri, kFreeToPlayUri, kLootUri, kEventEnabledUri})
        EXPECT_TRUE(core.IsSubscribed(EventName(uri))) << uri;
    EXPECT_TRUE(Published().empty());
}

TEST_F(Tracker, LevelTwentyNineIsTheLastOneReported) {
    EndGame(true, 29, 150);
    const BindingProperty event = Last();
    EXPECT_TRUE(Flag(event, "leveledUp"));
    EXPECT_EQ(Number(event, "newSummonerLevel"), 30u);
    EXPECT_EQ(Signed(event, "zpEarned"), 150);
    EXPECT_EQ(Published().size(), 1u);

    EndGame(true, 30);
    EXPECT_EQ(Published().size(), 1u);
    const Answer answer = GetLevelUp();
    EXPECT_EQ(answer.status, 0u);
    EXPECT_NE(answer.value.find("newSummonerLevel:u30"), std::string::npos) << answer.value;
}

TEST_F(Tracker, LevelFiveOpensChatRoomsAndMastery) {
    EndGame(true, 4);
    const BindingProperty event = Last();
    EXPECT_EQ(Number(event, "newSummonerLevel"), 5u);
    for (const char* flag : {"nowHasAccessToPublicChatRooms", "nowHasAccessToMastery", "newRuneSlotUnlocked",
                             "newMasterySlotUnlocked"})
        EXPECT_TRUE(Flag(event, flag)) << flag;

    EndGame(true, 5);
    const BindingProperty next = Last();
    EXPECT_FALSE(Flag(next, "nowHasAccessToPublicChatRooms"));
    EXPECT_FALSE(Flag(next, "nowHasAccessToMastery"));
    EXPECT_TRUE(Flag(next, "newRuneSlotUnlocked"));
}

TEST_F(Tracker, RotationSwitchComparesThePreviousLevelAndLootTheNewOne) {
    Change(kFreeToPlayUri, "Update", Unsigned(10));
    Change(kLootUri, "Create", Unsigned(15));
    struct Case {
        uint32_t previousLevel;
        bool rotation;
        bool loot;
    };
    for (const Case& c : {Case{10, true, false}, Case{9, false, false}, Case{14, false, true}, Case{15, false, false}}) {
        EndGame(true, c.previousLevel);
        const BindingProperty event = Last();
        EXPECT_EQ(Flag(event, "switchedToStandardFreeToPlayChampRotation"), c.rotation) << c.previousLevel;
        EXPECT_EQ(Flag(event, "nowHasAccessToLoot"), c.loot) << c.previousLevel;
    }
}

TEST_F(Tracker, DeletedConfigurationFallsBackToItsDefaults) {
    Change(kFreeToPlayUri, "Update", Unsigned(10));
    Change(kLootUri, "Update", Unsigned(15));
    Change(kFreeToPlayUri, "Delete", BindingProperty());
    Change(kLootUri, "Delete", BindingProperty());
    EndGame(true, 0);
    EXPECT_TRUE(Flag(Last(), "switchedToStandardFreeToPlayChampRotation"));
    EXPECT_FALSE(Flag(Last(), "nowHasAccessToLoot"));
}

TEST_F(Tracker, GameWithoutLevelGainPublishesADefaultEvent) {
    core.SetValue(kSpellsUri, Pairs("id", "summonerLevel", {{4, 1}}));
    EndGame(false, 12, 300);
    const BindingProperty event = Last();
    EXPECT_FALSE(Flag(event, "leveledUp"));
    EXPECT_EQ(Number(event, "newSummonerLevel"), 0u);
    EXPECT_EQ(Signed(event, "zpEarned"), 0);
    EXPECT_FALSE(Flag(event, "newRuneSlotUnlocked"));
    EXPECT_EQ(event.Child("newSpells").Elements().size(), 0u);
    // No level, so nothing to look up.
    for (const DevCore::SentRequest& request : core.requests) EXPECT_NE(request.url, kSpellsUri);
    EXPECT_EQ(GetLevelUp().status, 404u);
}

TEST_F(Tracker, UpdatesAndDeletesOfTheStatisticsAreIgnored) {
    Change(kEndOfGameUri, "Update", Stats(true, 3));
    Change(kEndOfGameUri, "Delete", BindingProperty());
    EXPECT_TRUE(Published().empty());
}

TEST_F(Tracker, EventEnabledFollowsBoolStringAndDelete) {
    struct Case {
        const char* eventType;
        BindingProperty value;
        bool enabled;
    };
    auto boolean = [](bool flag) {
        BindingProperty value;
        value.SetBool(flag);
        return value;
    };
    auto text = [](const char* content) {
        BindingProperty value;
        value.SetString(content);
        return value;
    };
    const Case cases[] = {{"Update", boolean(false), false}, {"Delete", BindingProperty(), true},
                          {"Create", text("false"), false},  {"Update", text("true"), true},
                          {"Update", text("yes"), false},    {"Update", text("1"), true},
                          {"Update", boolean(true), true}};
    for (const Case& c : cases) {
        Change(kEventEnabledUri, c.eventType, c.value);
        const size_t before = Published().size();
        EndGame(true, 2);
        EXPECT_EQ(Published().size() - before, c.enabled ? 1u : 0u) << c.eventType << " " << Describe(c.value);
    }
}

TEST_F(Tracker, UnknownEventTypesChangeNoConfiguration) {
    Change(kEventEnabledUri, "Update", Unsigned(0));
    BindingProperty event;
    event.ChildForWrite("uri").SetString(kEventEnabledUri);
    event.ChildForWrite("eventType").SetSigned(7);
    event.ChildForWrite("data").SetBool(true);
    core.Deliver(EventName(kEventEnabledUri), event);
    EndGame(true, 2);
    EXPECT_TRUE(Published().empty());
}

TEST_F(Tracker, SpellsAndQueuesOfTheNewLevelKeepTheirListOrder) {
    core.SetValue(kSpellsUri, Pairs("id", "summonerLevel", {{(1ull << 40) + 1, 10}, {3, 9}, {21, 10}}));
    core.SetValue(kQueuesUri, Pairs("id", "minLevel", {{420, 10}, {430, 10}, {400, 30}}));
    EndGame(true, 9);
    const BindingProperty event = Last();
    EXPECT_EQ(Describe(event.Child("newSpells")), "[u" + std::to_string((1ull << 40) + 1) + ",u21]");
    const auto queues = event.Child("newQueues").Elements();
    ASSERT_EQ(queues.size(), 2u);
    EXPECT_EQ(queues[0].AsUnsigned64(0), 420u);
    EXPECT_EQ(queues[1].AsUnsigned64(0), 430u);
    std::vector<std::string> order;
    for (const DevCore::SentRequest& request : core.requests) order.push_back(request.url);
    EXPECT_EQ(std::vector<std::string>(order.end() - 2, order.end()),
              (std::vector<std::string>{kSpellsUri, kQueuesUri}));
}

TEST_F(Tracker, FailedListsStillPublishAndOnlyTheQueueFailureIsLogged) {
    core.SetError(kSpellsUri, 503, "spells down");
    core.SetError(kQueuesUri, 500, "queues down");
    const size_t logsBefore = core.logs.size();
    EndGame(true, 9);
    const BindingProperty event = Last();
    EXPECT_EQ(Number(event, "newSummonerLevel"), 10u);
    EXPECT_EQ(event.Child("newSpells").Elements().size(), 0u);
    EXPECT_EQ(event.Child("newQueues").Elements().size(), 0u);
    ASSERT_EQ(core.logs.size(), logsBefore + 1);
    EXPECT_EQ(core.logs.back().level, 2);
    const std::string& text = core.logs.back().text;
    EXPECT_TRUE(text.starts_with(
        "kiv-player-level-up: Failed to get all available game queues, not adding to level up message "))
        << text;
    EXPECT_TRUE(text.ends_with("queues down")) << text;
}

TEST_F(Tracker, ListsThatDoNotConvertCountAsFailedRequests) {
    BindingProperty text;
    text.SetString("not a list");
    core.SetValue(kSpellsUri, text);
    core.SetValue(kQueuesUri, text);
    const size_t logsBefore = core.logs.size();
    EndGame(true, 9);
    const BindingProperty event = Last();
    EXPECT_EQ(Number(event, "newSummonerLevel"), 10u);
    EXPECT_EQ(Describe(event.Child("newSpells")), "[]");
    EXPECT_EQ(Describe(event.Child("newQueues")), "[]");
    ASSERT_EQ(core.logs.size(), logsBefore + 1);
    EXPECT_EQ(core.logs.back().text,
              "kiv-player-level-up: Failed to get all available game queues, not adding to level up message Error "
              "converting response for GET /kiv-game-queues/v1/queues: Couldn't assign value to '<result>' of type "
              "vector because the input not a collection.");
}

TEST_F(Tracker, OnlyTheRisingEdgeOfTheLoginForgetsTheEvent) {
    LogIn();
    EndGame(true, 6);
    PostAck("a", 7);
    LogIn(12);  // still logged in: nothing is forgotten
    EXPECT_EQ(GetAck("a").value, "{newSummonerLevel:u7,seenThisEvent:true}");

    Change(kSessionUri, "Update", Session("SUCCEEDED", 11, 0));  // no account: logged out, the event stays
    EXPECT_EQ(GetLevelUp().status, 0u);
    LogIn();
    EXPECT_EQ(GetLevelUp().status, 404u);
    EXPECT_EQ(GetAck("a").status, 404u);

    EndGame(true, 6);
    Change(kSessionUri, "Delete", BindingProperty());
    EXPECT_EQ(GetLevelUp().status, 0u);
    LogIn();
    EXPECT_EQ(GetAck("a").status, 404u);
    EXPECT_EQ(GetLevelUp().status, 404u);
    const size_t published = Published().size();
    EXPECT_EQ(published, 2u);  // logins publish nothing
}

}  // namespace
}  // namespace Zarvo::Testing
