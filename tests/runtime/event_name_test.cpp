#include <gtest/gtest.h>

#include "runtime/event_name.h"

namespace Zarvo::Client {
namespace {

TEST(EventNameForUri, KeepsThreePiecesOrFiveUnderPlatformConfig) {
    const struct {
        const char* uri;
        const char* name;
    } cases[] = {
        {"/kiv-login/v1/session", "OnJsonApiEvent_kiv-login_v1_session"},
        {"/kiv-game-queues/v1/queues/7/details", "OnJsonApiEvent_kiv-game-queues_v1_queues"},
        {"/kiv-platform-config/v1/namespaces/LootConfig/MinSummonerLevel",
         "OnJsonApiEvent_kiv-platform-config_v1_namespaces_LootConfig_MinSummonerLevel"},
        {"/kiv-platform-config/v1/namespaces/LootConfig/MinSummonerLevel/extra",
         "OnJsonApiEvent_kiv-platform-config_v1_namespaces_LootConfig_MinSummonerLevel"},
        {"/kiv-player-level-up/v1/level-up", "OnJsonApiEvent_kiv-player-level-up_v1_level-up"},
        // Empty pieces are dropped, wherever they are.
        {"kiv-login//v1///session/", "OnJsonApiEvent_kiv-login_v1_session"},
        // Only a first piece of exactly that name keeps five.
        {"/a/kiv-platform-config/b/c/d", "OnJsonApiEvent_a_kiv-platform-config_b"},
        {"/", "OnJsonApiEvent"},
        {"", "OnJsonApiEvent"},
    };
    for (const auto& c : cases) EXPECT_EQ(EventNameForUri(c.uri), c.name) << c.uri;
}

}  // namespace
}  // namespace Zarvo::Client
