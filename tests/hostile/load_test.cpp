// Loading and starting through the entry point, with cores of every version and with missing pieces.
#include <string>
#include <vector>

#include "hostile_fixture.h"

namespace Hostile {
namespace {

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
            EXPECT_EQ(block.versionMajor, 18u);
            EXPECT_EQ(block.versionMinor, 0u);
            EXPECT_EQ(block.versionPatch, 0u);
            EXPECT_EQ(core.shortName, "kiv-player-level-up");
            EXPECT_NE(block.description, nullptr);
            ASSERT_EQ(core.functions.size(), 3u) << version;
            for (const HostileCore::Function& function : core.functions) {
                EXPECT_NE(function.dispatch, nullptr) << function.name;
                EXPECT_NE(function.context, nullptr) << function.name;
            }
        } else {
            EXPECT_EQ(block.entryTable, nullptr) << version;
            EXPECT_EQ(block.instance, nullptr) << version;
            EXPECT_EQ(block.shortName, nullptr) << version;
            EXPECT_EQ(block.description, nullptr) << version;
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

}  // namespace
}  // namespace Hostile
