// The level-up plugin: follows the login session, three configuration values and the end-of-game statistics,
// publishes a level-up event when a game ends, and records which consumers have acknowledged it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "plugin/level_up_types.h"
#include "remoting/remoting_result.h"
#include "runtime/plugin.h"
#include "runtime/runtime_types.h"

namespace Zarvo::Client::PlayerLevelUp {

// What the plugin remembers between resource updates and route calls.
struct LevelUpTracker {
    uint32_t freeToPlayMaxLevel = 0;
    uint32_t lootMinLevel = 0;
    bool eventEnabled = true;
    Api::PlayerLevelUpEvent pendingEvent;
    // Per consuming plugin, the level it acknowledged last.
    std::unordered_map<std::string, uint32_t> AckLevels;
    bool loggedIn = false;
};

class PlayerLevelUpPlugin : public Plugin {
public:
    PlayerLevelUpPlugin();

    const LevelUpTracker& Tracker() const noexcept { return tracker_; }

protected:
    void RegisterApi() override;
    bool Start() override;

private:
    void OnLoginSession(const TypedResourceEvent<Api::LoginSession>& event);
    void OnEndOfGameStats(const TypedResourceEvent<Api::EndOfGameStats>& event);
    void OnFreeToPlayMaxLevel(const TypedResourceEvent<BindingProperty>& event);
    void OnLootMinLevel(const TypedResourceEvent<BindingProperty>& event);
    void OnEventEnabled(const TypedResourceEvent<BindingProperty>& event);
    // Adds the spells and queues that open at the event's new level.
    void AddNewSpells(Api::PlayerLevelUpEvent& event);
    void AddNewQueues(Api::PlayerLevelUpEvent& event);
    void Publish(Api::PlayerLevelUpEvent event);

    RemotingResult<std::reference_wrapper<const Api::PlayerLevelUpEvent>> GetLevelUp() const;
    RemotingResult<Api::PlayerLevelUpEventAck> GetAcknowledgement(const std::string& pluginName) const;
    void PostAcknowledgement(const std::string& pluginName, const Api::PlayerLevelUpEventAck& acknowledgement);

    LevelUpTracker tracker_;
};

}  // namespace Zarvo::Client::PlayerLevelUp
