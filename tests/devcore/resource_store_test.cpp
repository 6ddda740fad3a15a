#include <gtest/gtest.h>

#include "devcore_fixture.h"
#include "formats/plugin_value.h"

namespace Zarvo::DevCore::Testing {
namespace {

std::vector<std::string> heard;

void KIV_CDECL Hear(const PluginEventRecord* event) {
    BindingProperty payload;
    std::string error;
    FromPluginValue(error, payload, event->payload, "<event>");
    heard.push_back(std::string(event->name) + " " + ToJsonText(payload));
}

class ResourceStoreTest : public ::testing::Test {
protected:
    ResourceStoreTest() {
        heard.clear();
        core.Api()->SubscribeEvent(core.Api(), "OnJsonApiEvent_kiv-login_v1_session", 0x51, Hear, nullptr, 0);
    }
    TestCore core;
};

TEST_F(ResourceStoreTest, PutAndDeleteDeliverResourceEventsUnderTheUrisEventName) {
    core.Put("/kiv-login/v1/session", Json(R"({"state":"SUCCEEDED"})"));
    core.Put("/kiv-login/v1/session", Json(R"({"state":"LOGGING_OUT"})"));
    core.Put("/kiv-login/v1/session", Json("1"), "Create");
    EXPECT_TRUE(core.Delete("/kiv-login/v1/session"));
    EXPECT_FALSE(core.Delete("/kiv-login/v1/session"));
    core.Put("/kiv-login/v1/session/extra", Json("2"));
    core.Put("/kiv-end-of-game/v1/eog-stats-block", Json("3"));
    const std::string name = "OnJsonApiEvent_kiv-login_v1_session ";
    EXPECT_EQ(heard, (std::vector<std::string>{
                         name + R"({"data":{"state":"SUCCEEDED"},"eventType":"Create","uri":"/kiv-login/v1/session"})",
                         name + R"({"data":{"state":"LOGGING_OUT"},"eventType":"Update","uri":"/kiv-login/v1/session"})",
                         name + R"({"data":1,"eventType":"Create","uri":"/kiv-login/v1/session"})",
                         name + R"({"data":null,"eventType":"Delete","uri":"/kiv-login/v1/session"})",
                         name + R"({"data":2,"eventType":"Create","uri":"/kiv-login/v1/session/extra"})",
                     }));
    EXPECT_TRUE(core.events.empty()) << "the store's changes are not events sent by a plugin";
}

TEST_F(ResourceStoreTest, StoredResourcesAnswerRequestsAndFetches) {
    core.Put("/kiv-login/v1/session", Json(R"({"state":"SUCCEEDED"})"));
    PluginRequestRecord request{};
    request.method = 2;
    request.path = "/kiv-login/v1/session";
    request.requestId = core.InitBlock().pluginHandle;
    PluginResponseRecord response{};
    core.Api()->SendRequest(core.Api(), &response, &request);
    BindingProperty value;
    std::string error;
    EXPECT_TRUE(FromPluginValue(error, value, response.result, "<result>"));
    EXPECT_EQ(ToJsonText(value), R"({"state":"SUCCEEDED"})");
    response.free(&response);

    EXPECT_EQ(ToJsonText(core.Fetch("/kiv-login/v1/session").value), R"({"state":"SUCCEEDED"})");
    core.SetStream("/streamed", {"[1,", "2]"});
    const CallResult streamed = core.Fetch("/streamed");
    EXPECT_EQ(streamed.streamed, "[1,2]");
    EXPECT_EQ(ToJsonText(streamed.value), "[1,2]");
    core.SetError("/failing", 503, "unavailable");
    const CallResult failing = core.Fetch("/failing");
    EXPECT_EQ(failing.status, 503u);
    EXPECT_EQ(failing.error, "unavailable");
    core.Delete("/kiv-login/v1/session");
    const CallResult gone = core.Fetch("/kiv-login/v1/session");
    EXPECT_EQ(gone.status, 404u);
    EXPECT_EQ(gone.error, "Not found");
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
