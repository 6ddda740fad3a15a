#include <gtest/gtest.h>

#include "binding/conversion.h"
#include "binding/registry.h"
#include "plugin/level_up_types.h"

namespace Zarvo::Client::PlayerLevelUp::Api {
namespace {

class LevelUpTypesTest : public ::testing::Test {
protected:
    LevelUpTypesTest() { RegisterLevelUpTypes(registry); }
    BindingRegistry registry;
};

TEST_F(LevelUpTypesTest, SessionStateNamesConvertToTheirValues) {
    const std::pair<const char*, LoginSessionState> cases[] = {{"IN_PROGRESS", LoginSessionState::InProgress},
                                                               {"SUCCEEDED", LoginSessionState::Succeeded},
                                                               {"LOGGING_OUT", LoginSessionState::LoggingOut},
                                                               {"ERROR", LoginSessionState::Error}};
    for (const auto& [name, state] : cases) {
        BindingProperty input;
        input.ChildForWrite("state").SetString(name);
        input.ChildForWrite("summonerId").SetUnsigned(1ull << 40);
        input.ChildForWrite("accountId").SetUnsigned(7);
        LoginSession session;
        BindingResult result;
        ConvertFromProperty(result, session, input, registry);
        ASSERT_TRUE(result.ok) << name << ": " << result.ErrorMessage();
        EXPECT_EQ(session.state, state) << name;
        EXPECT_EQ(session.summonerId, 1ull << 40);
        EXPECT_EQ(session.accountId, 7u);
    }
    EXPECT_EQ(static_cast<int32_t>(LoginSessionState::Succeeded), 1);
}

TEST_F(LevelUpTypesTest, EnumerationIsRegisteredUnderItsPluralName) {
    const BindingTypeInfo* states = registry.FindType("LoginSessionStates");
    ASSERT_NE(states, nullptr);
    ASSERT_EQ(states->values.size(), 4u);
    EXPECT_EQ(states->FindValue("ERROR")->value, 3);
    EXPECT_EQ(states->FindValue(2)->name, "LOGGING_OUT");
    EXPECT_TRUE(states->tags.empty());
}

TEST_F(LevelUpTypesTest, EventRoundTripsWithWideSpellIds) {
    PlayerLevelUpEvent event;
    event.switchedToStandardFreeToPlayChampRotation = true;
    event.nowHasAccessToMastery = true;
    event.leveledUp = true;
    event.newSummonerLevel = 4000000000u;
    event.newMasterySlotUnlocked = true;
    event.zpEarned = -12;
    event.newSpells = {(1ull << 40) + 3, 4};
    event.newQueues = {-1, 420};
    BindingResult out;
    ConvertToProperty(out, event, registry);
    ASSERT_TRUE(out.ok) << out.ErrorMessage();
    EXPECT_EQ(out.value.Child("newSpells").At(0).GetUnsigned(0), (1ull << 40) + 3);

    PlayerLevelUpEvent back;
    BindingResult in;
    ConvertFromProperty(in, back, out.value, registry);
    ASSERT_TRUE(in.ok) << in.ErrorMessage();
    EXPECT_TRUE(back.switchedToStandardFreeToPlayChampRotation);
    EXPECT_FALSE(back.nowHasAccessToPublicChatRooms);
    EXPECT_FALSE(back.nowHasAccessToLoot);
    EXPECT_TRUE(back.nowHasAccessToMastery);
    EXPECT_TRUE(back.leveledUp);
    EXPECT_EQ(back.newSummonerLevel, 4000000000u);
    EXPECT_FALSE(back.newRuneSlotUnlocked);
    EXPECT_TRUE(back.newMasterySlotUnlocked);
    EXPECT_EQ(back.zpEarned, -12);
    EXPECT_EQ(back.newSpells, event.newSpells);
    EXPECT_EQ(back.newQueues, event.newQueues);
}

}  // namespace
}  // namespace Zarvo::Client::PlayerLevelUp::Api
