#include "plugin/level_up_types.h"

#include "binding/registration.h"

namespace Zarvo::Client::PlayerLevelUp::Api {

void RegisterLevelUpTypes(BindingRegistry& registry) {
    registry.Record<PlayerLevelUpEvent>("PlayerLevelUpEvent")
        .Field("switchedToStandardFreeToPlayChampRotation", &PlayerLevelUpEvent::switchedToStandardFreeToPlayChampRotation)
        .Field("nowHasAccessToPublicChatRooms", &PlayerLevelUpEvent::nowHasAccessToPublicChatRooms)
        .Field("nowHasAccessToLoot", &PlayerLevelUpEvent::nowHasAccessToLoot)
        .Field("nowHasAccessToMastery", &PlayerLevelUpEvent::nowHasAccessToMastery)
        .Field("leveledUp", &PlayerLevelUpEvent::leveledUp)
        .Field("newSummonerLevel", &PlayerLevelUpEvent::newSummonerLevel)
        .Field("newRuneSlotUnlocked", &PlayerLevelUpEvent::newRuneSlotUnlocked)
        .Field("newMasterySlotUnlocked", &PlayerLevelUpEvent::newMasterySlotUnlocked)
        .Field("zpEarned", &PlayerLevelUpEvent::zpEarned)
        .Field("newSpells", &PlayerLevelUpEvent::newSpells)
        .Field("newQueues", &PlayerLevelUpEvent::newQueues);
    registry.Record<PlayerLevelUpEventAck>("PlayerLevelUpEventAck")
        .Field("seenThisEvent", &PlayerLevelUpEventAck::seenThisEvent)
        .Field("newSummonerLevel", &PlayerLevelUpEventAck::newSummonerLevel);
    registry.Record<Queue>("Queue").Field("id", &Queue::id).Field("minLevel", &Queue::minLevel);
    registry.Record<EndOfGameStats>("EndOfGameStats")
        .Field("gameMode", &EndOfGameStats::gameMode)
        .Field("gameMutators", &EndOfGameStats::gameMutators)
        .Field("gameType", &EndOfGameStats::gameType)
        .Field("queueType", &EndOfGameStats::queueType)
        .Field("leveledUp", &EndOfGameStats::leveledUp)
        .Field("newSpells", &EndOfGameStats::newSpells)
        .Field("previousLevel", &EndOfGameStats::previousLevel)
        .Field("zpEarned", &EndOfGameStats::zpEarned);
    registry.Enum<LoginSessionState>("LoginSessionStates")
        .Value("IN_PROGRESS", LoginSessionState::InProgress)
        .Value("ERROR", LoginSessionState::Error)
        .Value("SUCCEEDED", LoginSessionState::Succeeded)
        .Value("LOGGING_OUT", LoginSessionState::LoggingOut);
    registry.Record<LoginSession>("LoginSession")
        .Field("state", &LoginSession::state)
        .Field("summonerId", &LoginSession::summonerId)
        .Field("accountId", &LoginSession::accountId);
    registry.Record<GameDataSummonerSpell>("GameDataSummonerSpell")
        .Field("id", &GameDataSummonerSpell::id)
        .Field("summonerLevel", &GameDataSummonerSpell::summonerLevel);
}

}  // namespace Zarvo::Client::PlayerLevelUp::Api
