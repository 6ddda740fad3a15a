#include <string>
#include <vector>

#include "runtime_test_support.h"

namespace Zarvo::Client::Testing {
namespace {

constexpr const char* kQueues = "/kiv-game-queues/v1/queues";

BindingProperty QueueList() {
    BindingProperty list;
    for (uint32_t index = 0; index < 2; ++index) {
        BindingProperty& queue = list.Element(index);
        queue.ChildForWrite("id").SetSigned(400 + index);
        queue.ChildForWrite("minLevel").SetUnsigned(5 * index);
    }
    return list;
}

class Requests : public RuntimeTest {
protected:
    void SetUp() override { Start(); }
    size_t FreedSinceStart() const { return DevCore::TestCore::FreedResponses() - freedAtStart; }

    size_t freedAtStart = DevCore::TestCore::FreedResponses();
};

TEST_F(Requests, TypedRequestConvertsTheValue) {
    core.SetValue(kQueues, QueueList());
    RequestResult<std::vector<Queue>> queues = plugin->Request<std::vector<Queue>>(Method::Get, kQueues);
    ASSERT_TRUE(queues.Ok()) << queues.error.message;
    ASSERT_EQ(queues.value.size(), 2u);
    EXPECT_EQ(queues.value[1].id, 401);
    EXPECT_EQ(queues.value[1].minLevel, 5u);
    ASSERT_EQ(core.requests.size(), 1u);
    EXPECT_EQ(core.requests[0].method, static_cast<uint32_t>(Method::Get));
    EXPECT_TRUE(core.requests[0].arguments.empty());
    EXPECT_EQ(FreedSinceStart(), 1u);
}

TEST_F(Requests, FailuresCarryStatusAndMessage) {
    core.SetError(kQueues, 504, "timeout");
    BindingProperty text;
    text.SetString("not a list");
    core.SetValue("/kiv-text", text);
    core.SetInvalidValue("/kiv-invalid", 12);
    const struct {
        const char* url;
        int32_t status;
        const char* message;
    } cases[] = {
        {kQueues, 504, "Error response for GET /kiv-game-queues/v1/queues: timeout"},
        {"/kiv-missing", 404, "Error response for GET /kiv-missing: Not found"},
        {"/kiv-text", 0,
         "Error converting response for GET /kiv-text: Couldn't assign value to '<result>' of type vector because the "
         "input not a collection."},
        {"/kiv-invalid", 0,
         "Error converting response for GET /kiv-invalid: Couldn't assign value to '<result>' of type object because "
         "the input is of an incompatible type ''."},
    };
    for (const auto& c : cases) {
        RequestResult<std::vector<Queue>> result = plugin->Request<std::vector<Queue>>(Method::Get, c.url);
        EXPECT_TRUE(result.isError) << c.url;
        EXPECT_EQ(result.error.status, c.status) << c.url;
        EXPECT_EQ(result.error.message, c.message);
        EXPECT_TRUE(result.value.empty());
    }
    EXPECT_EQ(FreedSinceStart(), std::size(cases));
}

TEST_F(Requests, PropertyRequestKeepsTheValueAsItCame) {
    core.SetValue(kQueues, QueueList());
    RequestResult<BindingProperty> value = plugin->Request<BindingProperty>(Method::Get, kQueues);
    ASSERT_TRUE(value.Ok());
    EXPECT_EQ(value.value.Size(), 2u);
    EXPECT_EQ(value.value.At(0).Child("id").GetSigned(0), 400);
}

TEST_F(Requests, ArgumentsTravelAsItems) {
    core.SetValue(kQueues, BindingProperty());
    PluginResponseRecord response{};
    RequestResult<> sent = plugin->SendRequest(Method::Post, kQueues, response, Queue{9, 30});
    EXPECT_TRUE(sent.Ok());
    response.free(&response);
    ASSERT_EQ(core.requests.size(), 1u);
    const std::vector<DevCore::SentArgument>& arguments = core.requests[0].arguments;
    ASSERT_EQ(arguments.size(), 2u);
    EXPECT_EQ(arguments[0].name, "id");
    EXPECT_EQ(arguments[0].value.GetSigned(0), 9);
    EXPECT_EQ(arguments[1].name, "minLevel");
    EXPECT_EQ(arguments[1].value.GetUnsigned(0), 30u);
    EXPECT_EQ(core.requests[0].method, static_cast<uint32_t>(Method::Post));

    plugin->SendRequest(Method::Put, kQueues, response, std::vector<std::string>{"a", "b"});
    response.free(&response);
    ASSERT_EQ(core.requests.size(), 2u);
    ASSERT_EQ(core.requests[1].arguments.size(), 2u);
    EXPECT_EQ(core.requests[1].arguments[0].name, "");
    EXPECT_EQ(core.requests[1].arguments[1].value.GetString(), "b");
}

TEST_F(Requests, ArgumentsThatDoNotConvertAreNotSent) {
    PluginResponseRecord response{};
    RequestResult<> sent = plugin->SendRequest(Method::Post, kQueues, response, Unregistered{});
    EXPECT_TRUE(sent.isError);
    EXPECT_EQ(sent.error.status, 400);
    EXPECT_EQ(sent.error.message,
              "Request not sent: Error converting parameters for POST /kiv-game-queues/v1/queues: Couldn't convert "
              "native value because it's an unregistered structure.");
    EXPECT_TRUE(core.requests.empty());
}

// What a core answers every request with, in the cases below.
struct FlaggedAnswer {
    uint8_t errorFlag;
    const char* errorText;
    uint32_t status;
};
FlaggedAnswer flaggedAnswer{};

void KIV_CDECL AnswerFlagged(const PluginCoreApi*, PluginResponseRecord* response, const PluginRequestRecord*) {
    response->errorFlag = flaggedAnswer.errorFlag;
    response->errorText = const_cast<char*>(flaggedAnswer.errorText);
    response->status = flaggedAnswer.status;
}

TEST(RequestErrors, AnErrorFlagOrAnErrorTextIsAFailure) {
    PluginCoreApi api{};
    api.SendRequest = &AnswerFlagged;
    api.SendEvent = [](const PluginCoreApi*, const PluginEventRecord*) {};
    api.SubscribeEvent = [](const PluginCoreApi*, const char*, uint32_t, PluginEventCallback, void*, uint32_t) {};
    api.UnsubscribeEvent = [](const PluginCoreApi*, const char*, uint32_t) {};
    PluginLoadBlock block{18, 0, 0, nullptr, nullptr, nullptr, nullptr};
    TestPlugin* plugin = LoadPlugin<TestPlugin>(&block);
    ASSERT_NE(plugin, nullptr);
    const PluginInitBlock init{&api, 1};
    ASSERT_EQ(block.entryTable->Init(block.instance, &init), 1);

    const struct {
        FlaggedAnswer answer;
        bool failed;
        int32_t status;
        const char* message;
    } cases[] = {
        {{1, nullptr, 503}, true, 503, "Error response for GET /x: status 503"},
        {{7, nullptr, 0}, true, 0, "Error response for GET /x: status 0"},
        {{1, "gone", 410}, true, 410, "Error response for GET /x: gone"},
        {{0, "timeout", 504}, true, 504, "Error response for GET /x: timeout"},
        {{0, nullptr, 503}, false, 0, ""},
    };
    for (const auto& c : cases) {
        flaggedAnswer = c.answer;
        const RequestResult<BindingProperty> result = plugin->Request<BindingProperty>(Method::Get, "/x");
        EXPECT_EQ(result.isError, c.failed) << c.message;
        EXPECT_EQ(result.error.status, c.status) << c.message;
        EXPECT_EQ(result.error.message, c.message);
    }
    block.entryTable->Destroy(block.instance);
}

}  // namespace
}  // namespace Zarvo::Client::Testing
