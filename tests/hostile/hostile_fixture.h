// What the hostile-core tests share: the level-up plugin's names, a fixture that starts it in a hostile core, and
// ways to run a call on a small stack or under a deadline.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

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

// Runs the body on a new thread whose whole stack is the given size, and waits for it.
void RunOnThreadWithStack(size_t stackBytes, const std::function<void()>& body);

// Runs the body on another thread and waits at most the given time. A body that does not finish is a deadlock that
// cannot be undone: the test is reported failed and the process ends.
void FinishesWithin(int seconds, const std::function<void()>& body);

// A hostile core with the level-up plugin loaded and started; every resource it asks for at start is answered
// "Not found" unless a test answers it first (in SetUpCore).
class HostileTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetUpCore();
        ASSERT_TRUE(core.Start());
    }
    virtual void SetUpCore() {}

    // The answer of the level-up plugin's notification function for a plugin name.
    Answer GetNotification(const std::string& pluginName) {
        return core.Call(core.FunctionFor(kGet, kNotificationsTemplate), kNotificationsPrefix + pluginName);
    }
    // An end of game as the core delivers it.
    size_t EndGame(bool leveledUp, uint32_t previousLevel) {
        return core.Deliver(kEndOfGameEvent,
                            core.values.ResourceEvent(kEndOfGameUri, "Create",
                                                      core.values.Object({{"leveledUp", Values::Bool(leveledUp)},
                                                                          {"previousLevel", Values::Unsigned(previousLevel)}})));
    }
    std::vector<std::string> EventNames() const {
        std::vector<std::string> names;
        for (const SentEvent& event : core.Events()) names.push_back(event.name);
        return names;
    }

    HostileCore core;
};

}  // namespace Hostile
