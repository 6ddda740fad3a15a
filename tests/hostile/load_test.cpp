// Loading and starting through the entry point, with cores of every version and with missing pieces.
#include <string>
#include <vector>

#include "hostile_fixture.h"

namespace Hostile {
namespace {

// A field of a packed record, by value: a reference to it may be misaligned.
template <class T>
T ValueOf(T field) {
    return field;
}

TEST(HostileLoad, OnlyCoresOfMajor18GetAnInstance) {
    const struct {
        uint32_t major, minor, patch;
        bool loads;
    } cases[] = {{18, 0, 0, true},   {18, 7, 3, true},  {17, 9, 9, false},
                 {19, 0, 0, false},  {0, 0, 0, false},  {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, false}};
    for (const auto& c : cases) {
        HostileCore core;
        const std::string version =
            std::to_string(c.major) + "." + std::to_string(c.minor) + "." + std::to_string(c.patch);
        EXPECT_EQ(core.Load(c.major, c.minor, c.patch), c.loads) << version;
        const PluginLoadBlock block = core.block;
        if (c.loads) {
            EXPECT_EQ(ValueOf(block.versionMajor), 18u);
            EXPECT_EQ(ValueOf(block.versionMinor), 0u);
            EXPECT_EQ(ValueOf(block.versionPatch), 0u);
            EXPECT_EQ(core.shortName, "kiv-player-level-up");
            EXPECT_NE(ValueOf(block.description), nullptr);
            ASSERT_EQ(core.functions.size(), 3u) << version;
            for (const HostileCore::Function& function : core.functions) {
                EXPECT_NE(function.dispatch, nullptr) << function.name;
                EXPECT_NE(function.context, nullptr) << function.name;
            }
        } else {
            EXPECT_EQ(ValueOf(block.entryTable), nullptr) << version;
            EXPECT_EQ(ValueOf(block.instance), nullptr) << version;
            EXPECT_EQ(ValueOf(block.shortName), nullptr) << version;
            EXPECT_EQ(ValueOf(block.description), nullptr) << version;
        }
    }
}

TEST(HostileLoad, ANullLoadBlockIsIgnored) {
    EntryPoint()(nullptr);
    HostileCore core;
    EXPECT_TRUE(core.Start());
}

TEST(HostileLoad, InitSubscribesTheServiceProxyEventsAndFetchesEveryResourceItFollows) {
    HostileCore core;
    ASSERT_TRUE(core.Start());
    const std::vector<std::string> expected = {
        "SubscribeEvent OnServiceProxyUuidEvent 1",
        "SubscribeEvent OnServiceProxyMethodEvent 1",
        "SubscribeEvent OnServiceProxyAsyncEvent 1",
        "SubscribeEvent OnJsonApiEvent_kiv-login_v1_session 0",
        "SendRequest /kiv-login/v1/session",
        "SubscribeEvent OnJsonApiEvent_kiv-end-of-game_v1_eog-stats-block 0",
        "SendRequest /kiv-end-of-game/v1/eog-stats-block",
        "SubscribeEvent "
        "OnJsonApiEvent_kiv-platform-config_v1_namespaces_ClientSystemStates_freeToPlayChampionsForNewPlayersMaxLevel 0",
        "SendRequest /kiv-platform-config/v1/namespaces/ClientSystemStates/freeToPlayChampionsForNewPlayersMaxLevel",
        "SubscribeEvent OnJsonApiEvent_kiv-platform-config_v1_namespaces_LootConfig_MinSummonerLevel 0",
        "SendRequest /kiv-platform-config/v1/namespaces/LootConfig/MinSummonerLevel",
        "SubscribeEvent OnJsonApiEvent_kiv-platform-config_v1_namespaces_OvuLevelUp_EventEnabled 0",
        "SendRequest /kiv-platform-config/v1/namespaces/OvuLevelUp/EventEnabled",
    };
    EXPECT_EQ(core.Calls(), expected);
    // Every subscription carries the handle of the init block.
    for (const Subscription& subscription : core.Subscriptions()) EXPECT_EQ(subscription.pluginHandle, core.pluginHandle);
}

TEST(HostileLoad, InitWithoutACoreTableOrItsRequiredOperationsIsRefusedWithoutACall) {
    const struct {
        const char* what;
        void (*spoil)(PluginCoreApi&);
    } required[] = {
        {"SendRequest", [](PluginCoreApi& api) { api.SendRequest = nullptr; }},
        {"SendEvent", [](PluginCoreApi& api) { api.SendEvent = nullptr; }},
        {"SubscribeEvent", [](PluginCoreApi& api) { api.SubscribeEvent = nullptr; }},
        {"UnsubscribeEvent", [](PluginCoreApi& api) { api.UnsubscribeEvent = nullptr; }},
    };
    for (const auto& c : required) {
        HostileCore core;
        ASSERT_TRUE(core.Load());
        c.spoil(core.Api());
        EXPECT_EQ(core.Init(), 0) << c.what;
        EXPECT_TRUE(core.Calls().empty()) << c.what;
    }
    HostileCore core;
    ASSERT_TRUE(core.Load());
    const PluginInitBlock noTable{nullptr, 5};
    EXPECT_EQ(core.Init(&noTable), 0);
    EXPECT_EQ(core.Init(nullptr), 0);
    const PluginInitBlock init = core.InitBlock();
    EXPECT_EQ(core.entryTable->Init(nullptr, &init), 0);
    EXPECT_TRUE(core.Calls().empty());
    // Refusals leave the instance as it was: a later Init with a whole table starts it.
    EXPECT_EQ(core.Init(), 1);
}

TEST(HostileLoad, WithoutTheOptionalOperationsThePluginStillWorks) {
    HostileCore core;
    ASSERT_TRUE(core.Load());
    core.Api().Yield = nullptr;
    core.Api().BeginWait = nullptr;
    core.Api().EndWait = nullptr;
    core.Api().WriteLog = nullptr;
    ASSERT_EQ(core.Init(), 1);
    // A stream that makes the plugin wait between its pieces, and a missing queue list that it logs.
    core.AnswerStream(kSpellsUri, {{"[{\"id\":4,\"summonerLevel\":5}", "]"}});
    EXPECT_EQ(EndGame(core), 1u);
    const std::vector<SentEvent> events = core.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_NE(events[0].payload.find("\"newSpells\":[4]"), std::string::npos) << events[0].payload;
    EXPECT_TRUE(core.Logs().empty());
}

}  // namespace
}  // namespace Hostile
