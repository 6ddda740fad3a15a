#include <string>
#include <vector>

#include "runtime_test_support.h"

namespace Zarvo::Client::Testing {
namespace {

class Publication : public RuntimeTest {
protected:
    void SetUp() override { Start(); }
};

TEST_F(Publication, AResourceUpdateIsSentUnderItsEventNameThenTheBaseName) {
    plugin->UpdateResource(PluginResourceEventType::Create, "/kiv-player-level-up/v1/level-up", Queue{3, 30});
    ASSERT_EQ(core.events.size(), 2u);
    EXPECT_EQ(core.events[0].name, "OnJsonApiEvent_kiv-player-level-up_v1_level-up");
    EXPECT_EQ(core.events[1].name, "OnJsonApiEvent");
    for (const DevCore::SentEvent& event : core.events) {
        const BindingProperty& payload = event.payload;
        EXPECT_EQ(payload.Child("uri").GetString(), "/kiv-player-level-up/v1/level-up");
        EXPECT_EQ(payload.Child("eventType").GetString(), "Create");
        EXPECT_EQ(payload.Child("data").Child("id").GetSigned(0), 3);
        EXPECT_EQ(payload.Child("data").Child("minLevel").GetUnsigned(0), 30u);
    }
}

TEST_F(Publication, AUriWithoutPiecesIsSentOnce) {
    for (const char* uri : {"/", ""}) {
        core.events.clear();
        RequestResult<> sent =
            plugin->SendEvent("OnJsonApiEvent", PluginResourceEvent{uri, PluginResourceEventType::Delete, {}});
        EXPECT_TRUE(sent.Ok());
        ASSERT_EQ(core.events.size(), 1u) << uri;
        EXPECT_EQ(core.events[0].name, "OnJsonApiEvent");
        EXPECT_EQ(core.events[0].payload.Child("eventType").GetString(), "Delete");
    }
}

TEST_F(Publication, AValueThatDoesNotConvertIsNotSent) {
    plugin->UpdateResource(PluginResourceEventType::Update, "/kiv-player-level-up/v1/level-up", Unregistered{});
    EXPECT_TRUE(core.events.empty());
}

}  // namespace
}  // namespace Zarvo::Client::Testing
