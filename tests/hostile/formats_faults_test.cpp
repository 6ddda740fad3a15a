// Texts whose length word and NUL disagree, and long paths and deep YAML bodies on a 64 KB stack.
#include <string>
#include <vector>

#include "hostile_fixture.h"

namespace Hostile {
namespace {

constexpr size_t kSmallStack = 64 * 1024;

class TextLengths : public HostileTest {
protected:
    const HostileCore::Function& Post() const { return core.FunctionFor(kPost, kNotificationsTemplate); }
    // An acknowledgement of the given level sent as a named item whose level is the given text value.
    Answer PostAckItem(const PluginValue& level) {
        PluginRequestRecord request = core.Request(Post(), std::string(kNotificationsPrefix) + "kiv-toasts");
        const PluginArgumentItem item{"levelUpEventAck", core.values.Object({{"newSummonerLevel", level}})};
        request.items = &item;
        request.itemCount = 1;
        return core.Call(Post(), request);
    }
};

// Each text lies in a block of exactly its bytes: a read past the length word is caught by the address sanitizer,
// and elsewhere shows as a level that does not convert.
TEST_F(TextLengths, ATextEndsAtItsLengthWordOrItsFirstNul) {
    EXPECT_EQ(EndGame(), 1u);  // level 5 is pending
    const struct {
        const char* what;
        PluginValue level;
    } cases[] = {
        {"no NUL within the length", core.values.TextWithLength("5", 1)},
        {"a NUL before the length", core.values.TextWithLength(std::string("5\0xy", 4), 4)},
        {"\"ab\" with length 5 reads \"ab\"", core.values.TextWithLength(std::string("5\0\0\0\0", 5), 5)},
        {"length 0 reads up to the NUL", core.values.TextWithLength(std::string("5\0", 2), 0)},
    };
    for (const auto& c : cases) {
        const Answer posted = PostAckItem(c.level);
        EXPECT_EQ(posted.errorFlag, 0) << c.what << ": " << posted.error;
        EXPECT_EQ(GetNotification("kiv-toasts").value, R"({"newSummonerLevel":5,"seenThisEvent":true})") << c.what;
    }
}

TEST_F(TextLengths, EventTextsWithoutNulAreReadToTheirLength) {
    EXPECT_EQ(EndGame(), 1u);
    ASSERT_EQ(core.Call(core.FunctionFor(kGet, kLevelUpPath), kLevelUpPath).status, 0u);
    // A new login forgets the pending event; the state "SUCCEEDED" comes without a NUL.
    const PluginValue session = core.values.Object({{"state", core.values.TextWithLength("SUCCEEDED", 9)},
                                                    {"summonerId", Values::Unsigned(11)},
                                                    {"accountId", Values::Unsigned(22)}});
    EXPECT_EQ(core.Deliver(kSessionEvent, core.values.ResourceEvent(kSessionUri, "Update", session)), 1u);
    const Answer answer = core.Call(core.FunctionFor(kGet, kLevelUpPath), kLevelUpPath);
    EXPECT_EQ(answer.status, 404u);
    EXPECT_EQ(answer.error, "Not found");
}

TEST_F(TextLengths, AnswerTextsWithoutNulAreReadToTheirLength) {
    const PluginValue queue = core.values.Object({{"id", Values::Signed(420)},
                                                  {"minLevel", core.values.TextWithLength("5", 1)}});
    core.AnswerValue(kQueuesUri, core.values.Array({queue}));
    EXPECT_EQ(EndGame(), 1u);
    const std::vector<SentEvent> events = core.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_NE(events[0].payload.find(R"("newQueues":[420])"), std::string::npos) << events[0].payload;
}

class SmallStack : public HostileTest {};

// The path template of a {param} route is matched in constant stack: a long name on a 64 KB thread.
TEST_F(SmallStack, PatternRoutesMatchLongPaths) {
    EXPECT_EQ(EndGame(), 1u);
    const HostileCore::Function& get = core.FunctionFor(kGet, kNotificationsTemplate);
    // If the cap on pattern-matched paths stays at 1,024 bytes, the 64 KB path is answered 404 "Invalid function".
    for (size_t length : {size_t(900), size_t(64 * 1024)}) {
        const std::string path = std::string(kNotificationsPrefix) + std::string(length, 'n');
        Answer answer;
        RunOnThreadWithStack(kSmallStack, [&] { answer = core.Call(get, path); });
        EXPECT_EQ(answer.error, "") << length;
        EXPECT_EQ(answer.value, R"({"newSummonerLevel":5,"seenThisEvent":false})") << length;
    }
}

// A deep YAML body is refused at 512 levels, before libyaml's cost or the stack grows with it.
TEST_F(SmallStack, DeepYamlBodiesAreRefused) {
    const HostileCore::Function& post = core.FunctionFor(kPost, kNotificationsTemplate);
    const std::string path = std::string(kNotificationsPrefix) + "kiv-toasts";
    Answer yaml;
    RunOnThreadWithStack(kSmallStack,
                         [&] { yaml = core.Call(post, path, "application/x-yaml", std::string(1'000'000, '[')); });
    EXPECT_EQ(yaml.status, 0u);
    EXPECT_EQ(yaml.error, "Sequences and mappings nest deeper than 512 levels. At line: 1 col: 513");
}

}  // namespace
}  // namespace Hostile
