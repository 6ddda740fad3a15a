// What dispatch reads from the core's request record: method codes, the request record a handler may take, and
// requests that are incomplete or malformed.
#include <gtest/gtest.h>

#include <string>

#include "binding/builtins.h"
#include "platform/allocation.h"
#include "remoting/dispatch.h"
#include "remoting_fixture.h"

namespace Zarvo::Testing {
namespace {

constexpr const char* kEcho = "GetTestV1Request";

using DispatchRequest = RemotingFixture;

TEST_F(DispatchRequest, AHandlerTakingTheRequestSeesWhatTheCoreSent) {
    CoreRequest request(Method::Get, "/test/v1/request");
    request.Header("x-trace", "1").Header("x-trace", "2").RequestId(42);
    EXPECT_EQ(Call(kEcho, request).value,
              R"({hasRegistry:true,hasTimestamp:true,method:u2,methodName:"",path:"/test/v1/request",)"
              R"(requestId:u42,trace:"2"})");
}

TEST_F(DispatchRequest, MethodCodesOutsideOneToEightReadAsNone) {
    // A binding of method 0 accepts every method; one of a named method refuses code 9 (read as 0).
    transport.Route(Method::Get, "/test/v1/request-any", [](const RemotingRequest& request) {
        return static_cast<uint32_t>(request.method);
    });
    transport.FindBinding(*transport.Registry().FindFunction("GetTestV1RequestAny"))->method = Method::None;
    description = &transport.BuildApiDescription();

    CoreRequest unknown(Method::Get, "/test/v1/request-any");
    unknown.MethodCode(9);
    EXPECT_EQ(Call("GetTestV1RequestAny", unknown).value, "u0");
    unknown.MethodCode(6);
    EXPECT_EQ(Call("GetTestV1RequestAny", unknown).value, "u6");

    CoreRequest nine(Method::Get, "/test/v1/items/x");
    nine.MethodCode(9);
    EXPECT_EQ(Call("GetTestV1ItemsByShelf", nine).error, "Invalid function");
}

TEST_F(DispatchRequest, OtherMethodsMatchByName) {
    const struct {
        uint32_t code;
        const char* name;
        bool accepted;
    } cases[] = {
        {8, "LINK", true},
        {8, "UNLINK", false},
        {8, "link", false},
        {8, nullptr, false},
        {2, "LINK", false},
        {0, "LINK", false},
    };
    for (const auto& c : cases) {
        CoreRequest request(Method::Get, "/test/v1/link");
        request.MethodCode(c.code, c.name);
        const Answer answer = Call("LinkTestV1Link", request);
        EXPECT_EQ(answer.value, c.accepted ? R"("linked")" : "~") << c.code << " " << (c.name ? c.name : "null");
        EXPECT_EQ(answer.errorFlag, c.accepted ? 0 : 1);
    }
}

TEST_F(DispatchRequest, AFailedCallCarriesTheStatusTheHandlerSet) {
    const Answer conflict = Call("DeleteTestV1Conflict", CoreRequest(Method::Delete, "/test/v1/conflict"));
    EXPECT_EQ(conflict.kind, uint32_t{PluginValueNull});
    EXPECT_EQ(conflict.errorFlag, 1);
    EXPECT_EQ(conflict.error, "Already gone");
    EXPECT_EQ(conflict.status, 409u);
}

TEST_F(DispatchRequest, EnumResultsTravelByNameWhereTheEnumNamesThem) {
    const Answer named = Call("GetTestV1MoodByValue", CoreRequest(Method::Get, "/test/v1/mood/1"));
    EXPECT_EQ(named.kind, uint32_t{PluginValueOwnedString});
    EXPECT_EQ(named.value, R"("Angry")");
    const Answer unnamed = Call("GetTestV1MoodByValue", CoreRequest(Method::Get, "/test/v1/mood/5"));
    EXPECT_EQ(unnamed.kind, uint32_t{PluginValueSigned});
    EXPECT_EQ(unnamed.value, "i5");
}

TEST_F(DispatchRequest, AnExceptionInsideBecomesAnErrorResponse) {
    const Answer answer = Call("GetTestV1Throws", CoreRequest(Method::Get, "/test/v1/throws"));
    EXPECT_EQ(answer.kind, uint32_t{PluginValueNull});
    EXPECT_EQ(answer.errorFlag, 1);
    EXPECT_EQ(answer.error, "Internal error: too long");
    EXPECT_EQ(answer.status, 500u);
    EXPECT_TRUE(answer.textIsStaticEmpty);
    EXPECT_TRUE(answer.hasFreeRoutine);
}

// Allocation hooks that refuse blocks of one size and count every other block as the process hooks do.
class RefusingAllocations {
public:
    explicit RefusingAllocations(size_t size) {
        refusedSize = size;
        AllocatorHooks hooks = counting;
        hooks.allocate = [](size_t size, void* userData) {
            return size == refusedSize ? nullptr : counting.allocate(size, userData);
        };
        SetAllocatorHooks(hooks);
    }
    ~RefusingAllocations() { SetAllocatorHooks(counting); }

private:
    static inline size_t refusedSize = 0;
    static inline const AllocatorHooks counting = CountingAllocatorHooks(ProcessAllocationStatistics());
};

TEST_F(DispatchRequest, RunningOutOfMemoryAnswersAnInternalError) {
    pending = {true, 3, {}};
    Answer answer;
    {
        // The block of the event's value: its three entries and their keys.
        const RefusingAllocations refusing(3 * sizeof(PluginValueEntry) + sizeof("leveledUp") +
                                           sizeof("newSummonerLevel") + sizeof("spells"));
        answer = Call("GetKivPlayerLevelUpV1LevelUp", CoreRequest(Method::Get, kLevelUp));
    }
    EXPECT_EQ(answer.kind, uint32_t{PluginValueNull});
    EXPECT_EQ(answer.errorFlag, 1);
    EXPECT_EQ(answer.error, "Internal error: std::bad_alloc");
    EXPECT_EQ(answer.status, 500u);
}

TEST_F(DispatchRequest, IncompleteRequestsNeverCrash) {
    const ApiFunctionEntry* entry = Entry("GetTestV1ItemsByShelf");
    void* context = entry->function.dispatchContext;
    const PluginHeaderPair nullNamed[] = {{nullptr, "x"}, {"contenttype", nullptr}};
    struct Case {
        const char* label;
        PluginRequestRecord record;
        const char* value;
        const char* error;
    };
    auto record = [&](const char* path) {
        PluginRequestRecord r{};
        r.method = 2;
        r.path = path;
        r.dispatchContext = context;
        return r;
    };
    Case cases[] = {
        {"null path", record(nullptr), "~", "Invalid function"},
        {"no context", record("/test/v1/items/a"), "~", "Invalid function"},
        {"null items with a count", record("/test/v1/items/a"), R"("a 0 quiet ")", ""},
        {"null headers with a count", record("/test/v1/items/a"), R"("a 0 quiet ")", ""},
        {"null header name and value", record("/test/v1/items/a"), "~", "Expected value for argument 'contentType'."},
        {"null body with a length", record("/test/v1/items/a"), R"("a 0 quiet ")", ""},
        {"body without content type", record("/test/v1/items/a"), "~", "Unsupported body content type"},
        {"body without a body argument", record("/test/v1/items/a"), R"("a 0 quiet ")", ""},
    };
    cases[1].record.dispatchContext = nullptr;
    cases[2].record.itemCount = 5;
    cases[3].record.headerCount = 5;
    cases[4].record.headers = nullNamed;
    cases[4].record.headerCount = 2;
    cases[5].record.bodyLength = 100;
    cases[6].record.method = 7;
    cases[6].record.dispatchContext = Entry("PutTestV1ItemsById")->function.dispatchContext;
    cases[6].record.body = cases[7].record.body = reinterpret_cast<const uint8_t*>("[]");
    cases[6].record.bodyLength = cases[7].record.bodyLength = 2;
    for (const Case& c : cases) {
        CoreResponse response;
        DispatchCallback(&response.record, &c.record);
        const Answer answer = Read(response.record);
        EXPECT_EQ(answer.value, c.value) << c.label;
        EXPECT_EQ(answer.error, c.error) << c.label;
        EXPECT_TRUE(answer.hasFreeRoutine) << c.label;
    }

    CoreResponse response;
    DispatchCallback(&response.record, nullptr);
    EXPECT_EQ(Read(response.record).error, "Invalid function");
    EXPECT_EQ(Read(response.record).status, 404u);
    DispatchCallback(nullptr, &cases[2].record);
}

TEST_F(DispatchRequest, AResponseRecordIsReleasedBeforeItIsFilledAgain) {
    pending = {true, 4, {"Flash", "Ignite"}};
    CoreResponse response;
    const CoreRequest request(Method::Get, kLevelUp);
    const PluginRequestRecord record = request.Record(Entry("GetKivPlayerLevelUpV1LevelUp")->function.dispatchContext);
    DispatchCallback(&response.record, &record);
    pending.leveledUp = false;
    DispatchCallback(&response.record, &record);
    const Answer answer = Read(response.record);
    EXPECT_EQ(answer.kind, uint32_t{PluginValueNull});
    EXPECT_EQ(answer.error, "Not found");
}

// The core keeps the entries it was given. Once a function is unregistered, alone or with everything when the
// builtins are registered again, a call through its old entry finds no route; the other entries still serve.
TEST_F(DispatchRequest, AnUnregisteredFunctionsEntryAnswersInvalidFunction) {
    struct KeptEntry {
        void* context;
        PluginDispatchCallback dispatch;
    };
    auto keep = [this](const char* function) {
        const ApiFunctionEntry* entry = Entry(function);
        return KeptEntry{entry->function.dispatchContext, entry->dispatch};
    };
    auto call = [](const KeptEntry& entry, Method method, const char* path) {
        const CoreRequest request(method, path);
        const PluginRequestRecord record = request.Record(entry.context);
        CoreResponse response;
        entry.dispatch(&response.record, &record);
        return Read(response.record);
    };
    pending = {true, 4, {}};
    const KeptEntry getAck = keep("GetKivPlayerLevelUpV1LevelUpNotificationsByPluginName");
    const KeptEntry getEvent = keep("GetKivPlayerLevelUpV1LevelUp");
    const char* const ackPath = "/kiv-player-level-up/v1/level-up-notifications/p";
    ASSERT_EQ(call(getAck, Method::Get, ackPath).value, "{newSummonerLevel:u4,seenThisEvent:false}");

    ASSERT_TRUE(transport.Registry().UnregisterFunction("GetKivPlayerLevelUpV1LevelUpNotificationsByPluginName"));
    Answer gone = call(getAck, Method::Get, ackPath);
    EXPECT_EQ(gone.error, "Invalid function");
    EXPECT_EQ(gone.status, 404u);
    EXPECT_EQ(call(getEvent, Method::Get, kLevelUp).error, "");

    RegisterBuiltins(transport.Registry());
    gone = call(getEvent, Method::Get, kLevelUp);
    EXPECT_EQ(gone.error, "Invalid function");
    EXPECT_EQ(gone.status, 404u);
}

}  // namespace
}  // namespace Zarvo::Testing
