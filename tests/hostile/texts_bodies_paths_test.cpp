// Texts whose length word ends before their NUL (or that have none), in request items, event payloads and answers;
// a YAML body nested 100,000 levels deep, and one 512 levels deep on a 64 KB stack; a 64 KB path matched on a thread
// with a 64 KB stack.
#include <string>

#include "hostile_fixture.h"

namespace Hostile {
namespace {

constexpr const char* kToasts = "kiv-toasts";

class CoreTexts : public HostileTest {
protected:
    // The end-of-game event with its URI and type as texts that end at their length word: the bytes after it in
    // the same block are no part of them, and no NUL follows.
    size_t EndGameWithTextsCutByLength() {
        Values& values = core.values;
        const std::string uri = kEndOfGameUri;
        return core.Deliver(kEndOfGameEvent,
                            values.Object({{"uri", values.TextWithLength(uri + "/garbage", uri.size())},
                                           {"eventType", values.TextWithLength("Create", 6)},
                                           {"data", values.Object({{"leveledUp", Values::Bool(true)},
                                                                   {"previousLevel", Values::Unsigned(4)}})}}));
    }

    bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
};

TEST_F(CoreTexts, AnEventPayloadsTextsEndAtTheirLengthWord) {
    ASSERT_EQ(EndGameWithTextsCutByLength(), 1u);
    const std::vector<std::string> names = EventNames();
    EXPECT_EQ(names, (std::vector<std::string>{kLevelUpEvent, "OnJsonApiEvent"}));
    EXPECT_TRUE(Contains(GetNotification(kToasts).value, "\"newSummonerLevel\":5"));
}

TEST_F(CoreTexts, AnAnswersTextsEndAtTheirLengthWord) {
    // The queue's id comes as a text "420" followed by more digits beyond its length word.
    Values& values = core.values;
    core.AnswerValue(kQueuesUri, values.Array({values.Object({{"id", values.TextWithLength("420999", 3)},
                                                              {"minLevel", Values::Unsigned(5)}})}));
    ASSERT_EQ(EndGame(true, 4), 1u);
    const Answer levelUp = core.Call(core.FunctionFor(kGet, kLevelUpPath), kLevelUpPath);
    EXPECT_TRUE(Contains(levelUp.value, "\"newQueues\":[420]")) << levelUp.value;
}

TEST_F(CoreTexts, ARequestItemsTextEndsAtItsLengthWord) {
    ASSERT_EQ(EndGame(true, 4), 1u);
    // The plugin's name comes as a named item, which takes the place of the path's; its text has no NUL.
    const HostileCore::Function& post = core.FunctionFor(kPost, kNotificationsTemplate);
    const std::string body = R"({"newSummonerLevel":5})";
    PluginRequestRecord request = core.Request(post, std::string(kNotificationsPrefix) + "other");
    const PluginArgumentItem items[] = {{"pluginName", core.values.TextWithLength("kiv-toasts-more", 10)}};
    request.items = items;
    request.itemCount = 1;
    request.contentType = "application/json";
    request.body = reinterpret_cast<const uint8_t*>(body.data());
    request.bodyLength = static_cast<uint32_t>(body.size());
    const Answer posted = core.Call(post, request);
    ASSERT_EQ(posted.error, "");

    EXPECT_TRUE(Contains(GetNotification(kToasts).value, "\"seenThisEvent\":true"));
    EXPECT_TRUE(Contains(GetNotification("other").value, "\"seenThisEvent\":false"));
}

TEST_F(CoreTexts, AYamlBodyNested100000LevelsDeepIsRefusedAtLevel513) {
    ASSERT_EQ(EndGame(true, 4), 1u);
    const Answer answer = core.Call(core.FunctionFor(kPost, kNotificationsTemplate),
                                    std::string(kNotificationsPrefix) + kToasts, "application/x-yaml",
                                    std::string(100000, '['));
    EXPECT_EQ(answer.errorFlag, 1);
    EXPECT_NE(answer.error.find("Sequences and mappings nest deeper than 512 levels. At line: 1 col: 513"),
              std::string::npos)
        << answer.error;
    EXPECT_TRUE(Contains(GetNotification(kToasts).value, "\"seenThisEvent\":false"));
}

// A body at the bound, with an alias that copies its deepest part, is read whole, converted and freed on a 64 KB
// stack.
TEST_F(CoreTexts, AYamlBody512LevelsDeepIsAcceptedOnA64KilobyteStack) {
    ASSERT_EQ(EndGame(true, 4), 1u);
    const std::string deep = "&d " + std::string(511, '[') + std::string(511, ']');
    const std::string body = "{newSummonerLevel: 5, seenThisEvent: true, deep: " + deep + ", again: *d}";
    Answer answer;
    RunOnThreadWithStack(64 * 1024, [&] {
        answer = core.Call(core.FunctionFor(kPost, kNotificationsTemplate),
                           std::string(kNotificationsPrefix) + kToasts, "application/x-yaml", body);
    });
    EXPECT_EQ(answer.errorFlag, 0) << answer.error;
    EXPECT_TRUE(Contains(GetNotification(kToasts).value, "\"seenThisEvent\":true"));
}

TEST_F(CoreTexts, A64KilobytePathIsMatchedOnA64KilobyteStack) {
    ASSERT_EQ(EndGame(true, 4), 1u);
    const std::string pluginName(64 * 1024, 'p');
    Answer answer;
    RunOnThreadWithStack(64 * 1024, [&] { answer = GetNotification(pluginName); });
    EXPECT_EQ(answer.error, "");
    EXPECT_TRUE(Contains(answer.value, "\"newSummonerLevel\":5")) << answer.value.substr(0, 200);
}

}  // namespace
}  // namespace Hostile
