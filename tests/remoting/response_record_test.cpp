// Composing the core's response record from a RemotingResponse: every field, the stream hand-over and the free
// routine.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "binding/registration.h"
#include "binding/static_type.h"
#include "remoting/dispatch.h"
#include "remoting/transport.h"
#include "core_request.h"

namespace Zarvo::Testing {
namespace {

class CountingStream final : public RemotingStream {
public:
    explicit CountingStream(int& alive) : alive_(alive) { ++alive_; }
    ~CountingStream() override { --alive_; }
    bool Read(uint8_t* buffer, uint32_t* count, uint8_t* moreToCome) override {
        const uint32_t n = *count < 3 ? *count : 3;
        std::memcpy(buffer, "abc", n);
        *count = n;
        *moreToCome = 0;
        return true;
    }
    uint32_t Length() const noexcept override { return 3; }

private:
    int& alive_;
};

// An invoker written against the interface: it fills the response as the test says and records its calls.
class ScriptedInvoker final : public BindingInvoker {
public:
    std::function<void(RemotingResponse&)> script;
    const StaticTypeInfo* requestType = &StaticType::HashCode<void>();
    bool sawRequest = false;
    int begun = 0;
    int released = 0;

    void* Begin(BindingResult&, std::span<BindingProperty>, uint32_t) override {
        ++begun;
        return this;
    }
    void Invoke(BindingResult& result, const RemotingRequest* request, void*, uint32_t) override {
        sawRequest = request != nullptr;
        script(static_cast<RemotingResponse&>(result));
    }
    void Release(void* handle) noexcept override { released += handle == this; }
    const StaticTypeInfo& RequestType() const noexcept override { return *requestType; }
};

class ResponseRecord : public ::testing::Test {
protected:
    ResponseRecord() {
        const BindingFunctionInfo& function = *transport.Registry().Function("Scripted").Descriptor();
        RemotingBinding& binding = transport.CreateBinding(function);
        auto owned = std::make_unique<ScriptedInvoker>();
        invoker = owned.get();
        binding.invoker = std::move(owned);
        binding.SetPath("/scripted");
        context = transport.ContextFor(function.name, &binding);
    }

    void Dispatch(CoreResponse& response) {
        const CoreRequest request(Method::Get, "/scripted");
        const PluginRequestRecord record = request.Record(&context);
        DispatchCallback(&response.record, &record);
    }

    HttpBaseTransport transport;
    ScriptedInvoker* invoker = nullptr;
    DispatchContext context{};
};

TEST_F(ResponseRecord, EveryResponseFieldReachesTheRecordAndTheStreamMovesToTheCore) {
    int streams = 0;
    invoker->script = [&](RemotingResponse& response) {
        response.value.SetString("body");
        response.outputFlag = 1;
        response.outputFormat = 2;
        response.status = 201;
        response.text = "created";
        response.headers = {{"location", "/scripted/1"}, {"etag", "x"}};
        response.stream = std::make_unique<CountingStream>(streams);
    };
    CoreResponse response;
    Dispatch(response);
    const Answer answer = Read(response.record);
    EXPECT_EQ(answer.value, R"("body")");
    EXPECT_EQ(answer.errorFlag, 0);
    EXPECT_EQ(answer.outputFlag, 1);
    EXPECT_EQ(answer.outputFormat, 2u);
    EXPECT_EQ(answer.status, 201u);
    EXPECT_EQ(answer.text, "created");
    EXPECT_FALSE(answer.textIsStaticEmpty);
    EXPECT_EQ(answer.headers, (std::map<std::string, std::string>{{"etag", "x"}, {"location", "/scripted/1"}}));
    EXPECT_FALSE(invoker->sawRequest);
    EXPECT_EQ(invoker->released, 1);

    const uint32_t length = response.record.streamLength;
    const uint32_t reserved = response.record.reserved;
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(reserved, 0u);
    uint8_t buffer[8] = {};
    uint32_t count = sizeof buffer;
    uint8_t more = 1;
    EXPECT_EQ(response.record.streamRead(response.record.stream, buffer, &count, &more), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), count), "abc");
    EXPECT_EQ(more, 0);
    EXPECT_EQ(streams, 1);
    response.record.streamRelease(response.record.stream);
    response.record.stream = nullptr;
    EXPECT_EQ(streams, 0);
}

TEST_F(ResponseRecord, OutputFormatsOutsideOneToThreeAreWrittenAsZero) {
    for (uint32_t format : {0u, 1u, 3u, 4u, 0xFFFFFFFFu}) {
        invoker->script = [&](RemotingResponse& response) { response.outputFormat = format; };
        CoreResponse response;
        Dispatch(response);
        EXPECT_EQ(Read(response.record).outputFormat, format >= 1 && format <= 3 ? format : 0u) << format;
    }
}

TEST_F(ResponseRecord, AFailureKeepsTheStatusAndTheFieldsTheHandlerSet) {
    invoker->script = [](RemotingResponse& response) {
        response.value.SetUnsigned(5);
        response.headers = {{"retry-after", "3"}};
        response.SetError("busy");
    };
    CoreResponse response;
    Dispatch(response);
    Answer answer = Read(response.record);
    EXPECT_EQ(answer.kind, uint32_t{PluginValueNull});
    EXPECT_EQ(answer.errorFlag, 1);
    EXPECT_EQ(answer.error, "busy");
    EXPECT_EQ(answer.status, 0u);
    EXPECT_EQ(answer.headers.at("retry-after"), "3");

    invoker->script = [](RemotingResponse& response) { response.Fail(503, "down"); };
    Dispatch(response);
    answer = Read(response.record);
    EXPECT_EQ(answer.error, "down");
    EXPECT_EQ(answer.status, 503u);
}

TEST_F(ResponseRecord, OnlyTheTwoRequestRecordTypesAreHandedARequest) {
    invoker->script = [](RemotingResponse&) {};
    const struct {
        const StaticTypeInfo* type;
        bool handed;
    } cases[] = {
        {&StaticType::HashCode<void>(), false},
        {&StaticType::HashCode<int>(), false},
        {&StaticType::HashCode<RemotingRequest>(), true},
        {&StaticType::HashCode<HttpBaseTransport::Request>(), true},
    };
    for (const auto& c : cases) {
        invoker->requestType = c.type;
        CoreResponse response;
        Dispatch(response);
        EXPECT_EQ(invoker->sawRequest, c.handed) << c.type->name;
    }
}

TEST_F(ResponseRecord, TheFreeRoutineReleasesEverythingAndZeroesTheRecord) {
    invoker->script = [](RemotingResponse& response) {
        response.value.ChildForWrite("a").Element(1).SetString("x");
        response.text = "t";
        response.headers = {{"h", "v"}};
    };
    CoreResponse response;
    Dispatch(response);
    response.record.free(&response.record);
    const std::vector<uint8_t> zero(sizeof(PluginResponseRecord), 0);
    EXPECT_EQ(std::memcmp(&response.record, zero.data(), zero.size()), 0);
    FreeResponseRecord(nullptr);
}

}  // namespace
}  // namespace Zarvo::Testing
