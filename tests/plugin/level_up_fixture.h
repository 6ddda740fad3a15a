// Loads the level-up plugin through its exported entry point into a test core, feeds it resource changes as other
// plugins publish them, and calls its routes through the dispatch callbacks of its API description.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "abi/plugin_abi.h"
#include "binding/property.h"
#include "devcore/test_core.h"
#include "remoting/core_request.h"

extern "C" void KIV_CDECL load_kiv_player_level_up(PluginLoadBlock* block);

namespace Zarvo::Testing {

inline constexpr const char* kSessionUri = "/kiv-login/v1/session";
inline constexpr const char* kEndOfGameUri = "/kiv-end-of-game/v1/eog-stats-block";
inline constexpr const char* kFreeToPlayUri =
    "/kiv-platform-config/v1/namespaces/ClientSystemStates/freeToPlayChampionsForNewPlayersMaxLevel";
inline constexpr const char* kLootUri = "/kiv-platform-config/v1/namespaces/LootConfig/MinSummonerLevel";
inline constexpr const char* kEventEnabledUri = "/kiv-platform-config/v1/namespaces/OvuLevelUp/EventEnabled";
inline constexpr const char* kSpellsUri = "/kiv-game-data/assets/v1/summoner-spells.json";
inline constexpr const char* kQueuesUri = "/kiv-game-queues/v1/queues";
inline constexpr const char* kLevelUpUri = "/kiv-player-level-up/v1/level-up";
inline constexpr const char* kLevelUpEvent = "OnJsonApiEvent_kiv-player-level-up_v1_level-up";

inline constexpr const char* kGetLevelUp = "GetKivPlayerLevelUpV1LevelUp";
inline constexpr const char* kGetAck = "GetKivPlayerLevelUpV1LevelUpNotificationsByPluginName";
inline constexpr const char* kPostAck = "PostKivPlayerLevelUpV1LevelUpNotificationsByPluginName";

inline BindingProperty Session(std::string_view state, uint64_t summonerId, uint64_t accountId) {
    BindingProperty value;
    value.ChildForWrite("state").SetString(state);
    value.ChildForWrite("summonerId").SetUnsigned(summonerId);
    value.ChildForWrite("accountId").SetUnsigned(accountId);
    return value;
}

inline BindingProperty Stats(bool leveledUp, uint32_t previousLevel, int32_t zpEarned = 0) {
    BindingProperty value;
    value.ChildForWrite("gameMode").SetString("CLASSIC");
    value.ChildForWrite("leveledUp").SetBool(leveledUp);
    value.ChildForWrite("previousLevel").SetUnsigned(previousLevel);
    value.ChildForWrite("zpEarned").SetSigned(zpEarned);
    return value;
}

inline BindingProperty Unsigned(uint64_t number) {
    BindingProperty value;
    value.SetUnsigned(number);
    return value;
}

// A list of records of two unsigned fields, e.g. spells {id, summonerLevel}.
inline BindingProperty Pairs(std::string_view first, std::string_view second,
                             const std::vector<std::pair<uint64_t, uint64_t>>& items) {
    BindingProperty list;
    list.MakeCollection();
    for (size_t i = 0; i < items.size(); ++i) {
        BindingProperty& element = list.Element(i);
        element.ChildForWrite(first).SetUnsigned(items[i].first);
        element.ChildForWrite(second).SetUnsigned(items[i].second);
    }
    return list;
}

// The event name of a resource: "OnJsonApiEvent" and the URI's pieces, at most five under the configuration
// plugin and three elsewhere.
inline std::string EventName(std::string_view uri) {
    const size_t limit = uri.starts_with("/kiv-platform-config/") ? 5 : 3;
    std::string name = "OnJsonApiEvent";
    size_t pieces = 0;
    for (size_t start = 1; start <= uri.size() && pieces < limit;) {
        size_t end = uri.find('/', start);
        if (end == std::string_view::npos) end = uri.size();
        name += "_";
        name += uri.substr(start, end - start);
        ++pieces;
        start = end + 1;
    }
    return name;
}

class LevelUpTest : public ::testing::Test {
protected:
    ~LevelUpTest() override { Destroy(); }

    // Loads and inits the plugin; the resources set on the core before are read at start-up.
    void Start() {
        block = PluginLoadBlock{18, 0, 0, nullptr, nullptr, nullptr, nullptr};
        load_kiv_player_level_up(&block);
        // The block is packed: its fields are read by value.
        void* const instance = block.instance;
        ASSERT_NE(instance, nullptr);
        const PluginInitBlock init = core.InitBlock();
        const uint8_t started = block.entryTable->Init(instance, &init);
        ASSERT_EQ(started, 1);
    }
    void Destroy() {
        if (block.instance) block.entryTable->Destroy(block.instance);
        block.instance = nullptr;
    }

    // A change of another plugin's resource, as the core delivers it.
    void Change(const char* uri, std::string_view eventType, const BindingProperty& data) {
        BindingProperty event;
        event.ChildForWrite("uri").SetString(uri);
        event.ChildForWrite("eventType").SetString(eventType);
        event.ChildForWrite("data") = data;
        ASSERT_GT(core.Deliver(EventName(uri), event), 0u) << uri;
    }
    void LogIn(uint64_t summonerId = 11) { Change(kSessionUri, "Update", Session("SUCCEEDED", summonerId, 22)); }
    void EndGame(bool leveledUp, uint32_t previousLevel, int32_t zpEarned = 0) {
        Change(kEndOfGameUri, "Create", Stats(leveledUp, previousLevel, zpEarned));
    }

    Answer Call(std::string_view functionName, const CoreRequest& request) {
        const PluginApiDescription* description = block.description;
        for (const ApiFunctionEntry* entry = description->functions; entry; entry = entry->next) {
            if (functionName != entry->function.name) continue;
            const PluginRequestRecord record = request.Record(entry->function.dispatchContext);
            CoreResponse response;
            entry->dispatch(&response.record, &record);
            return Read(response.record);
        }
        ADD_FAILURE() << "no function " << functionName;
        return {};
    }
    Answer GetLevelUp() { return Call(kGetLevelUp, CoreRequest(Method::Get, kLevelUpUri)); }
    Answer GetAck(const std::string& pluginName) {
        return Call(kGetAck, CoreRequest(Method::Get, "/kiv-player-level-up/v1/level-up-notifications/" + pluginName));
    }
    Answer PostAck(const std::string& pluginName, uint32_t level, bool seen = false) {
        CoreRequest request(Method::Post, "/kiv-player-level-up/v1/level-up-notifications/" + pluginName);
        request.Body("application/json", "{\"seenThisEvent\":" + std::string(seen ? "true" : "false") +
                                             ",\"newSummonerLevel\":" + std::to_string(level) + "}");
        return Call(kPostAck, request);
    }

    // The data of the level-up events published so far, under the resource's own event name.
    std::vector<BindingProperty> Published() const {
        std::vector<BindingProperty> published;
        for (const DevCore::SentEvent& event : core.events)
            if (event.name == kLevelUpEvent) published.push_back(event.payload.Child("data"));
        return published;
    }

    DevCore::TestCore core;
    PluginLoadBlock block{};
};

}  // namespace Zarvo::Testing
