#include <string>
#include <vector>

#include "runtime/streamed_body.h"
#include "runtime_test_support.h"

namespace Zarvo::Client::Testing {
namespace {

constexpr const char* kUrl = "/kiv-game-data/assets/v1/summoner-spells.json";

// A JSON array whose text is exactly `size` bytes long.
std::string JsonOfSize(size_t size) { return "[\"" + std::string(size - 4, 'x') + "\"]"; }

class StreamedBodies : public RuntimeTest {
protected:
    void SetUp() override {
        Start();
        core.calls.clear();
    }

    RequestResult<BindingProperty> Get() { return plugin->Request<BindingProperty>(Method::Get, kUrl); }
    std::vector<std::string> StreamCalls() const {
        std::vector<std::string> calls;
        for (const std::string& call : core.calls)
            if (!call.starts_with("SendRequest")) calls.push_back(call);
        return calls;
    }
};

TEST_F(StreamedBodies, AFullReadIsFollowedAtOnce) {
    const std::string text = JsonOfSize(4096 + 10);
    core.SetStream(kUrl, {text.substr(0, 4096), text.substr(4096)});
    RequestResult<BindingProperty> body = Get();
    ASSERT_TRUE(body.Ok()) << body.error.message;
    EXPECT_EQ(body.value.At(0).Size(), 4096u + 10 - 4);
    EXPECT_EQ(StreamCalls(), (std::vector<std::string>{"StreamRead 4096", "StreamRead 10", "StreamRelease"}));
}

TEST_F(StreamedBodies, AShortReadWithMoreToComeWaitsOnce) {
    core.SetStream(kUrl, {"[1,2,3,4,5", ",6]"});
    RequestResult<BindingProperty> body = Get();
    ASSERT_TRUE(body.Ok()) << body.error.message;
    EXPECT_EQ(body.value.Size(), 6u);
    EXPECT_EQ(StreamCalls(), (std::vector<std::string>{"StreamRead 10", "BeginWait Wait: yield 0", "Yield", "EndWait",
                                                       "StreamRead 3", "StreamRelease"}));
}

TEST_F(StreamedBodies, ReadFailuresAreReportedAndTheStreamReleased) {
    const size_t freedBefore = DevCore::TestCore::FreedResponses();
    const std::string prefix = "Error reading streamed response for GET /kiv-game-data/assets/v1/summoner-spells.json: ";
    const struct {
        const char* what;
        DevCore::StreamScript script;
        std::string message;
    } cases[] = {
        {"failing read after data", {{"[1,", "2]"}, 1}, "Stream read error"},
        {"count above the buffer", {{std::string(4096, ' '), "[]"}, -1, 0}, "Stream read error"},
        {"parse error", {{"[1,"}}, "Error: Invalid value. at offset 3."},
    };
    for (const auto& c : cases) {
        core.streamsReleased = 0;
        core.SetStream(kUrl, c.script);
        RequestResult<BindingProperty> body = Get();
        EXPECT_TRUE(body.isError) << c.what;
        EXPECT_EQ(body.error.status, 0) << c.what;
        EXPECT_EQ(body.error.message.substr(0, prefix.size()), prefix) << c.what;
        EXPECT_EQ(body.error.message.substr(std::min(prefix.size(), body.error.message.size())), c.message) << c.what;
        EXPECT_EQ(core.streamsReleased, 1u) << c.what;
    }
    EXPECT_EQ(DevCore::TestCore::FreedResponses() - freedBefore, std::size(cases));
}

TEST_F(StreamedBodies, AStreamThatNeverEndsIsCutOff) {
    core.SetStream(kUrl, DevCore::StreamScript{{std::string(4096, ' ')}, -1, -1, true});
    RequestResult<BindingProperty> body = Get();
    EXPECT_EQ(body.error.message, "Error reading streamed response for GET " + std::string(kUrl) +
                                      ": Streamed body exceeds 33554432 bytes");
    EXPECT_EQ(core.streamReads, kMaxStreamedBodySize / kStreamReadSize + 1);
    EXPECT_EQ(core.streamsReleased, 1u);

    core.calls.clear();
    core.SetStream(kUrl, DevCore::StreamScript{{""}, -1, -1, true});
    body = Get();
    EXPECT_EQ(body.error.message,
              "Error reading streamed response for GET " + std::string(kUrl) + ": Streamed body did not end after 65536 waits");
    EXPECT_EQ(CallsStartingWith("Yield").size(), kMaxStreamWaits);
    EXPECT_EQ(core.streamsReleased, 2u);
}

}  // namespace
}  // namespace Zarvo::Client::Testing
