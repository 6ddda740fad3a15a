#include <gtest/gtest.h>

#include "devcore/event_name.h"

namespace Zarvo::DevCore {
namespace {

TEST(EventNameTest, NamesAResourcesEventByItsFirstPieces) {
    struct Case {
        const char* uri;
        const char* name;
    } const cases[] = {
        {"/kiv-login/v1/session", "OnJsonApiEvent_kiv-login_v1_session"},
        {"/kiv-game-queues/v1/queues/7/details", "OnJsonApiEvent_kiv-game-queues_v1_queues"},
        {"kiv-login/v1/session", "OnJsonApiEvent_kiv-login_v1_session"},
        {"//kiv-login///v1/session/", "OnJsonApiEvent_kiv-login_v1_session"},
        {"/kiv-a/v1", "OnJsonApiEvent_kiv-a_v1"},
        {"", "OnJsonApiEvent"},
        {"///", "OnJsonApiEvent"},
        {"/kiv-platform-config/v1/namespaces/LootConfig/MinSummonerLevel",
         "OnJsonApiEvent_kiv-platform-config_v1_namespaces_LootConfig_MinSummonerLevel"},
        {"/kiv-platform-config/v1/namespaces/LootConfig/MinSummonerLevel/x",
         "OnJsonApiEvent_kiv-platform-config_v1_namespaces_LootConfig_MinSummonerLevel"},
        {"/kiv-platform-config/v1", "OnJsonApiEvent_kiv-platform-config_v1"},
        // Only a first piece of that name earns the longer name.
        {"/kiv-a/kiv-platform-config/v1/namespaces/x", "OnJsonApiEvent_kiv-a_kiv-platform-config_v1"},
        {"/kiv-platform-configs/v1/namespaces/x", "OnJsonApiEvent_kiv-platform-configs_v1_namespaces"},
    };
    for (const Case& c : cases) EXPECT_EQ(EventNameForUri(c.uri), c.name) << c.uri;
}

}  // namespace
}  // namespace Zarvo::DevCore
