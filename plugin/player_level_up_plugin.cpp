#include "plugin/player_level_up_plugin.h"

#include <functional>
#include <utility>
#include <vector>

#include "platform/log.h"
#include "remoting/route_builder.h"

namespace Zarvo::Client::PlayerLevelUp {

namespace {

using namespace Api;

constexpr const char* kLevelUpUri = "/kiv-player-level-up/v1/level-up";
constexpr const char* kNotificationsPath = "/kiv-player-level-up/v1/level-up-notifications/{pluginName}";

// From this previous level on, games no longer report a level-up.
constexpr uint32_t kLastReportedPreviousLevel = 30;
// The level that opens public chat rooms and mastery.
constexpr uint32_t kChatAndMasteryLevel = 5;

// Create and Update carry a value; Delete removes it; any other type is not understood and changes nothing.
enum class ConfigChange { Set, Reset, None };

ConfigChange ChangeOf(PluginResourceEventType type) {
    switch (type) {
        case PluginResourceEventType::Create:
        case PluginResourceEventType::Update:
            return ConfigChange::Set;
        case PluginResourceEventType::Delete:
            return ConfigChange::Reset;
    }
    return ConfigChange::None;
}

uint32_t LevelOf(const BindingProperty& value) { return static_cast<uint32_t>(value.AsUnsigned64(0)); }

}  // namespace

PlayerLevelUpPlugin::PlayerLevelUpPlugin() : Plugin("kiv-player-level-up") {}

void PlayerLevelUpPlugin::RegisterApi() {
    RegisterLevelUpTypes(Registry());
    Transport().Route(Method::Get, kLevelUpUri, [this] { return GetLevelUp(); }).Tags(RouteTags());
    Transport()
        .Route(Method::Get, kNotificationsPath,
               [this](const std::string& pluginName) { return GetAcknowledgement(pluginName); },
               PathArgument("pluginName"))
        .Tags(RouteTags());
    Transport()
        .Route(Method::Post, kNotificationsPath,
               [this](const std::string& pluginName, const PlayerLevelUpEventAck& acknowledgement) {
                   PostAcknowledgement(pluginName, acknowledgement);
               },
               PathArgument("pluginName"), BodyArgument("levelUpEventAck"))
        .Tags(RouteTags());
}

bool PlayerLevelUpPlugin::Start() {
    SubscribeResource<LoginSession>("/kiv-login/v1/session", [this](const auto& event) { OnLoginSession(event); });
    SubscribeResource<EndOfGameStats>("/kiv-end-of-game/v1/eog-stats-block",
                                      [this](const auto& event) { OnEndOfGameStats(event); });
    SubscribeResource<BindingProperty>(
        "/kiv-platform-config/v1/namespaces/ClientSystemStates/freeToPlayChampionsForNewPlayersMaxLevel",
        [this](const auto& event) { OnFreeToPlayMaxLevel(event); });
    SubscribeResource<BindingProperty>("/kiv-platform-config/v1/namespaces/LootConfig/MinSummonerLevel",
                                       [this](const auto& event) { OnLootMinLevel(event); });
    SubscribeResource<BindingProperty>("/kiv-platform-config/v1/namespaces/OvuLevelUp/EventEnabled",
                                       [this](const auto& event) { OnEventEnabled(event); });
    return true;
}

void PlayerLevelUpPlugin::OnFreeToPlayMaxLevel(const TypedResourceEvent<BindingProperty>& event) {
    const ConfigChange change = ChangeOf(event.eventType);
    if (change == ConfigChange::Set) tracker_.freeToPlayMaxLevel = LevelOf(event.data);
    if (change == ConfigChange::Reset) tracker_.freeToPlayMaxLevel = 0;
}

void PlayerLevelUpPlugin::OnLootMinLevel(const TypedResourceEvent<BindingProperty>& event) {
    const ConfigChange change = ChangeOf(event.eventType);
    if (change == ConfigChange::Set) tracker_.lootMinLevel = LevelOf(event.data);
    if (change == ConfigChange::Reset) tracker_.lootMinLevel = 0;
}

void PlayerLevelUpPlugin::OnEventEnabled(const TypedResourceEvent<BindingProperty>& event) {
    const ConfigChange change = ChangeOf(event.eventType);
    if (change == ConfigChange::Set) tracker_.eventEnabled = event.data.AsBool();
    if (change == ConfigChange::Reset) tracker_.eventEnabled = true;
}

void PlayerLevelUpPlugin::OnLoginSession(const TypedResourceEvent<LoginSession>& event) {
    const ConfigChange change = ChangeOf(event.eventType);
    if (change == ConfigChange::Reset) tracker_.loggedIn = false;
    if (change != ConfigChange::Set) return;
    const LoginSession& session = event.data;
    const bool loggedIn =
        session.state == LoginSessionState::Succeeded && session.accountId != 0 && session.summonerId != 0;
    // Only a new login forgets the previous account's event and acknowledgements.
    if (loggedIn && !tracker_.loggedIn) {
        tracker_.pendingEvent = PlayerLevelUpEvent{};
        tracker_.AckLevels.clear();
    }
    tracker_.loggedIn = loggedIn;
}

void PlayerLevelUpPlugin::OnEndOfGameStats(const TypedResourceEvent<EndOfGameStats>& event) {
    if (!tracker_.eventEnabled || event.eventType != PluginResourceEventType::Create) return;
    const EndOfGameStats& stats = event.data;
    PlayerLevelUpEvent levelUp;
    levelUp.leveledUp = stats.leveledUp;
    if (stats.leveledUp) {
        if (stats.previousLevel >= kLastReportedPreviousLevel) return;
        const uint32_t newLevel = stats.previousLevel + 1;
        levelUp.zpEarned = stats.zpEarned;
        levelUp.newSummonerLevel = newLevel;
        levelUp.newRuneSlotUnlocked = true;
        levelUp.newMasterySlotUnlocked = true;
        levelUp.switchedToStandardFreeToPlayChampRotation = stats.previousLevel == tracker_.freeToPlayMaxLevel;
        levelUp.nowHasAccessToLoot = newLevel == tracker_.lootMinLevel;
        if (newLevel == kChatAndMasteryLevel) {
            levelUp.nowHasAccessToPublicChatRooms = true;
            levelUp.nowHasAccessToMastery = true;
        }
        AddNewSpells(levelUp);
        AddNewQueues(levelUp);
    }
    Publish(std::move(levelUp));
}

void PlayerLevelUpPlugin::AddNewSpells(PlayerLevelUpEvent& event) {
    const auto spells =
        Request<std::vector<GameDataSummonerSpell>>(Method::Get, "/kiv-game-data/assets/v1/summoner-spells.json");
    if (!spells.Ok()) return;
    for (const GameDataSummonerSpell& spell : spells.value)
        if (spell.summonerLevel == event.newSummonerLevel) event.newSpells.push_back(spell.id);
}

void PlayerLevelUpPlugin::AddNewQueues(PlayerLevelUpEvent& event) {
    const auto queues = Request<std::vector<Queue>>(Method::Get, "/kiv-game-queues/v1/queues");
    if (!queues.Ok()) {
        LogFormat(LogLevel::Error, static_cast<uint32_t>(LogCategory::DBG), 0,
                  "kiv-player-level-up: Failed to get all available game queues, not adding to level up message %s",
                  queues.error.message.c_str());
        return;
    }
    for (const Queue& queue : queues.value)
        if (queue.minLevel == event.newSummonerLevel) event.newQueues.push_back(queue.id);
}

void PlayerLevelUpPlugin::Publish(PlayerLevelUpEvent event) {
    tracker_.pendingEvent = std::move(event);
    UpdateResource(PluginResourceEventType::Create, kLevelUpUri, tracker_.pendingEvent);
}

RemotingResult<std::reference_wrapper<const PlayerLevelUpEvent>> PlayerLevelUpPlugin::GetLevelUp() const {
    if (!tracker_.pendingEvent.leveledUp) return RemotingError::NotFound();
    // Answered where it lies: the response is written before the call returns.
    return std::cref(tracker_.pendingEvent);
}

RemotingResult<PlayerLevelUpEventAck> PlayerLevelUpPlugin::GetAcknowledgement(const std::string& pluginName) const {
    const PlayerLevelUpEvent& pending = tracker_.pendingEvent;
    if (!pending.leveledUp) return RemotingError::NotFound();
    PlayerLevelUpEventAck acknowledgement;
    if (pending.newSummonerLevel > 0 && !pluginName.empty()) {
        const auto found = tracker_.AckLevels.find(pluginName);
        const uint32_t acknowledged = found == tracker_.AckLevels.end() ? 0 : found->second;
        acknowledgement.newSummonerLevel = pending.newSummonerLevel;
        acknowledgement.seenThisEvent = acknowledged == pending.newSummonerLevel;
    }
    return acknowledgement;
}

void PlayerLevelUpPlugin::PostAcknowledgement(const std::string& pluginName,
                                              const PlayerLevelUpEventAck& acknowledgement) {
    tracker_.AckLevels[pluginName] = acknowledgement.newSummonerLevel;
}

}  // namespace Zarvo::Client::PlayerLevelUp
