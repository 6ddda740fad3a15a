// Inputs nested 1,000,000 levels deep and long paths, handled on a thread whose whole stack is 64 KB: nothing the
// plugin does may recurse once per level or per byte.
#include <string>
#include <vector>

#include "hostile_fixture.h"

namespace Hostile {
namespace {

constexpr size_t kLevels = 1'000'000;
constexpr size_t kSmallStack = 64 * 1024;

class DeepInput : public HostileTest {
protected:
    std::string AckPath() const { return std::string(kNotificationsPrefix) + "kiv-toasts"; }
    Answer PostAck(std::string_view contentType, std::string_view body) {
        Answer answer;
        RunOnThreadWithStack(kSmallStack, [&] {
            answer = core.Call(core.FunctionFor(kPost, kNotificationsTemplate), AckPath(), contentType, body);
        });
        return answer;
    }
};

TEST_F(DeepInput, EventDataIsDropped) {
    const PluginValue deep = core.values.Nested(kLevels);
    RunOnThreadWithStack(kSmallStack, [&] {
        EXPECT_EQ(core.Deliver(kEndOfGameEvent, core.values.ResourceEvent(kEndOfGameUri, "Create", deep)), 1u);
        EXPECT_EQ(core.Deliver(kUuidEvent, deep), 1u);
    });
    EXPECT_TRUE(core.Events().empty());
    EXPECT_EQ(EndGame(), 1u);
    EXPECT_EQ(core.Events().size(), 2u);
}

TEST_F(DeepInput, AnAnswerToThePluginsRequestIsIgnored) {
    core.AnswerValue(kSpellsUri, core.values.Nested(kLevels));
    RunOnThreadWithStack(kSmallStack, [&] { EXPECT_EQ(EndGame(), 1u); });
    const std::vector<SentEvent> events = core.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_NE(events[0].payload.find(R"("newSpells":[])"), std::string::npos) << events[0].payload;
}

TEST_F(DeepInput, ARequestItemIsRefused) {
    const HostileCore::Function& post = core.FunctionFor(kPost, kNotificationsTemplate);
    PluginRequestRecord request = core.Request(post, AckPath());
    const PluginArgumentItem item{"levelUpEventAck", core.values.Nested(kLevels)};
    request.items = &item;
    request.itemCount = 1;
    Answer answer;
    RunOnThreadWithStack(kSmallStack, [&] { answer = core.Call(post, request); });
    EXPECT_EQ(answer.status, 0u);
    EXPECT_EQ(answer.error,
              "Couldn't assign value to 'levelUpEventAck' of type PlayerLevelUpEventAck because the input not a "
              "structure.");
}

// Deep JSON bodies are in json_small_stack_test.cpp, deep YAML bodies in formats_faults_test.cpp.
TEST_F(DeepInput, AMessagePackBodyIsRefused) {
    // MessagePack has no depth bound: the value is read whole, and is no acknowledgement.
    const std::string msgpack = std::string(kLevels, '\x91') + '\xc0';
    const Answer answer = PostAck("application/x-msgpack", msgpack);
    EXPECT_EQ(answer.status, 0u);
    EXPECT_EQ(answer.error,
              "Couldn't assign value to 'levelUpEventAck' of type PlayerLevelUpEventAck because the input not a "
              "structure.");
}

TEST_F(DeepInput, A64KilobytePathToALiteralRoute) {
    const HostileCore::Function& levelUp = core.FunctionFor(kGet, kLevelUpPath);
    const std::string path = std::string(kLevelUpPath) + "/" + std::string(64 * 1024, 'x');
    Answer answer;
    RunOnThreadWithStack(kSmallStack, [&] { answer = core.Call(levelUp, path); });
    EXPECT_EQ(answer.status, 404u);
    EXPECT_EQ(answer.error, "Invalid function");
}

}  // namespace
}  // namespace Hostile
