// The level-up plugin's paths and event names, and the events a core sends it, for the hostile core's programs.
#pragma once

#include <cstdint>
#include <string>

#include "hostile_core.h"

namespace Hostile {

inline constexpr uint32_t kGet = 2;
inline constexpr uint32_t kPost = 6;

inline constexpr const char* kLevelUpPath = "/kiv-player-level-up/v1/level-up";
inline constexpr const char* kNotificationsTemplate = "/kiv-player-level-up/v1/level-up-notifications/{pluginName}";
inline constexpr const char* kNotificationsPrefix = "/kiv-player-level-up/v1/level-up-notifications/";

inline constexpr const char* kSessionUri = "/kiv-login/v1/session";
inline constexpr const char* kSessionEvent = "OnJsonApiEvent_kiv-login_v1_session";
inline constexpr const char* kEndOfGameUri = "/kiv-end-of-game/v1/eog-stats-block";
inline constexpr const char* kEndOfGameEvent = "OnJsonApiEvent_kiv-end-of-game_v1_eog-stats-block";
inline constexpr const char* kEventEnabledUri = "/kiv-platform-config/v1/namespaces/OvuLevelUp/EventEnabled";
inline constexpr const char* kSpellsUri = "/kiv-game-data/assets/v1/summoner-spells.json";
inline constexpr const char* kQueuesUri = "/kiv-game-queues/v1/queues";
inline constexpr const char* kLevelUpEvent = "OnJsonApiEvent_kiv-player-level-up_v1_level-up";

inline constexpr const char* kUuidEvent = "OnServiceProxyUuidEvent";
inline constexpr const char* kMethodEvent = "OnServiceProxyMethodEvent";
inline constexpr const char* kAsyncEvent = "OnServiceProxyAsyncEvent";

// An end of game as the core delivers it, with a level gain from previousLevel; returns how many callbacks got it.
inline size_t EndGame(HostileCore& core, bool leveledUp = true, uint32_t previousLevel = 4) {
    return core.Deliver(kEndOfGameEvent,
                        core.values.ResourceEvent(kEndOfGameUri, "Create",
                                                  core.values.Object({{"leveledUp", Values::Bool(leveledUp)},
                                                                      {"previousLevel", Values::Unsigned(previousLevel)}})));
}

// An async service-proxy reply nobody waits for: the instance logs an ERROR naming the key.
inline void AsyncReply(HostileCore& core, const std::string& service) {
    core.Deliver(kAsyncEvent, core.values.Object({{"uuid", core.values.Text("u")},
                                                  {"serviceName", core.values.Text(service)},
                                                  {"methodName", core.values.Text("m")}}));
}

}  // namespace Hostile
