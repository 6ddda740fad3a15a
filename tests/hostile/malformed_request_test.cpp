// Requests with null pointers where the contract allows them, counts that disagree with null arrays, and codes
// outside their range: each is answered as if the missing piece were absent, never read through.
#include <functional>
#include <string>

#include "hostile_fixture.h"

namespace Hostile {
namespace {

constexpr uint32_t kHugeCount = 0xFFFFFFFF;

class MalformedRequest : public HostileTest {};

TEST_F(MalformedRequest, NullRecordsAndNullPathsAreInvalidFunctions) {
    const HostileCore::Function& levelUp = core.FunctionFor(kGet, kLevelUpPath);
    // No response record: nothing can be answered, and nothing is touched.
    PluginRequestRecord request = core.Request(levelUp, kLevelUpPath);
    levelUp.dispatch(nullptr, &request);

    const struct {
        const char* what;
        std::function<void(PluginRequestRecord&)> spoil;
    } cases[] = {
        {"null dispatch context", [](PluginRequestRecord& r) { r.dispatchContext = nullptr; }},
        {"null path", [](PluginRequestRecord& r) { r.path = nullptr; }},
        {"method 8 without a name", [](PluginRequestRecord& r) { r.method = 8; }},
        {"method 0xFFFFFFFF", [](PluginRequestRecord& r) { r.method = kHugeCount; }},
    };
    for (const auto& c : cases) {
        PluginRequestRecord spoilt = core.Request(levelUp, kLevelUpPath);
        c.spoil(spoilt);
        const Answer answer = core.Call(levelUp, spoilt);
        EXPECT_EQ(answer.status, 404u) << c.what;
        EXPECT_EQ(answer.error, "Invalid function") << c.what;
        EXPECT_EQ(answer.value, "null") << c.what;
    }

    // No request record at all.
    PluginResponseRecord response{};
    levelUp.dispatch(&response, nullptr);
    const uint32_t status = response.status;
    const char* const error = response.errorText;
    EXPECT_EQ(status, 404u);
    EXPECT_STREQ(error, "Invalid function");
    const PluginResponseFree free = response.free;
    free(&response);
}

TEST_F(MalformedRequest, NullArraysWithHugeCountsHoldNothing) {
    const HostileCore::Function& levelUp = core.FunctionFor(kGet, kLevelUpPath);
    const struct {
        const char* what;
        std::function<void(PluginRequestRecord&)> spoil;
    } cases[] = {
        {"items", [](PluginRequestRecord& r) { r.itemCount = kHugeCount; }},
        {"headers", [](PluginRequestRecord& r) { r.headerCount = kHugeCount; }},
        {"body", [](PluginRequestRecord& r) { r.bodyLength = kHugeCount; }},
        {"all three with a content type",
         [](PluginRequestRecord& r) {
             r.itemCount = r.headerCount = r.bodyLength = kHugeCount;
             r.contentType = "application/json";
         }},
    };
    for (const auto& c : cases) {
        PluginRequestRecord spoilt = core.Request(levelUp, kLevelUpPath);
        c.spoil(spoilt);
        // The function runs as for a plain GET: nothing is pending yet.
        const Answer answer = core.Call(levelUp, spoilt);
        EXPECT_EQ(answer.status, 404u) << c.what;
        EXPECT_EQ(answer.error, "Not found") << c.what;
    }
}

TEST_F(MalformedRequest, AnAcknowledgementWithoutABodyIsRefusedWhateverTheRecordClaims) {
    const HostileCore::Function& post = core.FunctionFor(kPost, kNotificationsTemplate);
    const std::string path = std::string(kNotificationsPrefix) + "kiv-toasts";
    const struct {
        const char* what;
        std::function<void(PluginRequestRecord&)> spoil;
    } cases[] = {
        {"null body of length 0xFFFFFFFF",
         [](PluginRequestRecord& r) {
             r.contentType = "application/json";
             r.bodyLength = kHugeCount;
         }},
        {"null body and null content type", [](PluginRequestRecord& r) { r.bodyLength = kHugeCount; }},
    };
    for (const auto& c : cases) {
        PluginRequestRecord spoilt = core.Request(post, path);
        c.spoil(spoilt);
        const Answer answer = core.Call(post, spoilt);
        EXPECT_EQ(answer.status, 0u) << c.what;
        EXPECT_EQ(answer.error, "A value for 'levelUpEventAck' is required.") << c.what;
    }
    // A body with a null content type is not read.
    PluginRequestRecord request = core.Request(post, path);
    const std::string body = R"({"newSummonerLevel":5})";
    request.body = reinterpret_cast<const uint8_t*>(body.data());
    request.bodyLength = static_cast<uint32_t>(body.size());
    const Answer answer = core.Call(post, request);
    EXPECT_EQ(answer.error, "Unsupported body content type");
}

}  // namespace
}  // namespace Hostile
