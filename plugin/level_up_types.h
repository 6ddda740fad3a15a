// The records of the level-up feature: the event it publishes, the acknowledgements it keeps, and what it reads
// from other plugins (login session, end-of-game statistics, game queues, summoner spells).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Zarvo {
class BindingRegistry;
}

namespace Zarvo::Client::PlayerLevelUp::Api {

struct PlayerLevelUpEvent {
    bool switchedToStandardFreeToPlayChampRotation = false;
    bool nowHasAccessToPublicChatRooms = false;
    bool nowHasAccessToLoot = false;
    bool nowHasAccessToMastery = false;
    bool leveledUp = false;
    uint32_t newSummonerLevel = 0;
    bool newRuneSlotUnlocked = false;
    bool newMasterySlotUnlocked = false;
    int32_t zpEarned = 0;
    std::vector<uint64_t> newSpells;
    std::vector<int32_t> newQueues;
};

struct PlayerLevelUpEventAck {
    bool seenThisEvent = false;
    uint32_t newSummonerLevel = 0;
};

struct Queue {
    int32_t id = 0;
    uint32_t minLevel = 0;
};

struct EndOfGameStats {
    std::string gameMode;
    std::vector<std::string> gameMutators;
    std::string gameType;
    std::string queueType;
    bool leveledUp = false;
    std::vector<int32_t> newSpells;
    uint32_t previousLevel = 0;
    int32_t zpEarned = 0;
};

enum class LoginSessionState : int32_t { InProgress = 0, Succeeded = 1, LoggingOut = 2, Error = 3 };

struct LoginSession {
    LoginSessionState state = LoginSessionState::InProgress;
    uint64_t summonerId = 0;
    uint64_t accountId = 0;
};

struct GameDataSummonerSpell {
    uint64_t id = 0;
    uint32_t summonerLevel = 0;
};

// Registers the records and the enumeration above, in this order, without tags or descriptions.
void RegisterLevelUpTypes(BindingRegistry& registry);

}  // namespace Zarvo::Client::PlayerLevelUp::Api
