// Event records and core values with null pointers, counts of 0xFFFFFFFF over null arrays, unknown kinds and
// contexts no instance was given, in events the core delivers and in the answers to the plugin's own requests.
#include <functional>
#include <string>
#include <vector>

#include "hostile_fixture.h"

namespace Hostile {
namespace {

constexpr uint32_t kHugeCount = 0xFFFFFFFF;

class MalformedValues : public HostileTest {
protected:
    // A game ending with a gain from level 4, with the given members added to its data.
    size_t EndGameWith(const std::vector<std::pair<std::string, PluginValue>>& extra) {
        std::vector<std::pair<std::string, PluginValue>> members{{"leveledUp", Values::Bool(true)},
                                                                 {"previousLevel", Values::Unsigned(4)}};
        members.insert(members.end(), extra.begin(), extra.end());
        return core.Deliver(kEndOfGameEvent,
                            core.values.ResourceEvent(kEndOfGameUri, "Create", core.values.Object(members)));
    }
    // The payload of the level-up event published last, or "" when none was.
    std::string Published() const {
        const std::vector<SentEvent> events = core.Events();
        return events.empty() ? "" : events.front().payload;
    }
    // Whether a level-up event was published, with no spell and no queue.
    bool PublishedWithoutSpellsOrQueues() const {
        const std::string payload = Published();
        return payload.find(R"("newQueues":[])") != std::string::npos &&
               payload.find(R"("newSpells":[])") != std::string::npos;
    }
};

TEST_F(MalformedValues, EventRecordsWithoutNameOrContextOrFromNoInstanceAreDropped) {
    const PluginValue endOfGame = core.values.ResourceEvent(
        kEndOfGameUri, "Create", core.values.Json(R"({"leveledUp":true,"previousLevel":4})"));
    PluginEventRecord unnamed{};
    unnamed.payload = endOfGame;
    PluginEventRecord noContext{};
    noContext.name = kEndOfGameEvent;
    noContext.payload = endOfGame;
    PluginEventRecord strangeContext = noContext;
    strangeContext.context = reinterpret_cast<void*>(uintptr_t(0x7FFFFFF0));
    const PluginEventRecord* const records[] = {nullptr, &unnamed, &noContext, &strangeContext};
    for (const PluginEventRecord* record : records) {
        core.ClearRecords();
        for (const char* subscribed : {kEndOfGameEvent, kUuidEvent})
            EXPECT_EQ(core.DeliverRecord(subscribed, record), 1u);
        EXPECT_TRUE(core.Calls().empty());
    }
    // The plugin still takes the event when it is whole.
    EXPECT_EQ(EndGame(), 1u);
    EXPECT_EQ(EventNames(), (std::vector<std::string>{kLevelUpEvent, "OnJsonApiEvent"}));
}

TEST_F(MalformedValues, NullArraysAndTextsInEventDataReadAsEmpty) {
    const struct {
        const char* what;
        PluginValue value;
        bool published;
    } cases[] = {
        {"array", Values::Raw(PluginValueArray, nullptr, kHugeCount), true},
        {"object", Values::Raw(PluginValueObject, nullptr, kHugeCount), true},
        {"text", Values::Raw(PluginValueBorrowedString, nullptr, kHugeCount), true},
        {"owned text", Values::Raw(PluginValueOwnedString, nullptr, kHugeCount), true},
        {"bytes", Values::Raw(PluginValueBorrowedBytes, nullptr, kHugeCount), true},
        {"owned bytes", Values::Raw(PluginValueOwnedBytes, nullptr, kHugeCount), true},
        // A member of a kind no core value has fails the whole payload.
        {"unknown kind", Values::Raw(kHugeCount, nullptr, kHugeCount), false},
    };
    for (const auto& c : cases) {
        core.ClearRecords();
        EXPECT_EQ(EndGameWith({{"extra", c.value}}), 1u);
        EXPECT_EQ(PublishedWithoutSpellsOrQueues(), c.published) << c.what << ": " << Published();
    }
    // A member without a key reads as one named "", which no field has.
    core.ClearRecords();
    PluginValueEntry keyless[] = {{"leveledUp", Values::Bool(true), 0},
                                  {"previousLevel", Values::Unsigned(4), 0},
                                  {nullptr, Values::Unsigned(1), 0}};
    core.Deliver(kEndOfGameEvent, core.values.ResourceEvent(kEndOfGameUri, "Create",
                                                            Values::Raw(PluginValueObject, keyless, 3)));
    EXPECT_TRUE(PublishedWithoutSpellsOrQueues()) << Published();
}

TEST_F(MalformedValues, WholePayloadsThatHoldNothingAreDropped) {
    const PluginValue payloads[] = {
        Values::Raw(PluginValueArray, nullptr, kHugeCount),
        Values::Raw(PluginValueObject, nullptr, kHugeCount),
        Values::Raw(PluginValueBorrowedString, nullptr, kHugeCount),
        Values::Raw(kHugeCount, nullptr, 0),
        core.values.Object({{"uri", Values::Raw(PluginValueBorrowedString, nullptr, kHugeCount)},
                            {"eventType", core.values.Text("Create")},
                            {"data", core.values.Json(R"({"leveledUp":true,"previousLevel":4})")}}),
    };
    core.ClearRecords();
    for (const PluginValue& payload : payloads) {
        for (const char* name : {kEndOfGameEvent, kUuidEvent, kAsyncEvent}) EXPECT_EQ(core.Deliver(name, payload), 1u);
    }
    // An async reply that decodes to empty texts is logged under the key "."; nothing else reached the core.
    std::vector<std::string> calls = core.Calls();
    EXPECT_EQ(calls, std::vector<std::string>(
                         2, "WriteLog 2 Could not find registered handler for async service proxy event ."));
}

TEST_F(MalformedValues, AnswersThatHoldNothingGiveEmptyListsOrFailures) {
    const struct {
        const char* what;
        std::function<void(PluginResponseRecord&)> answer;
        bool queuesFailed;
    } cases[] = {
        {"null array of 0xFFFFFFFF elements",
         [](PluginResponseRecord& r) { r.result = Values::Raw(PluginValueArray, nullptr, kHugeCount); }, false},
        {"a value of unknown kind", [](PluginResponseRecord& r) { r.result = Values::Raw(kHugeCount, nullptr, 0); },
         true},
        {"an error text without the flag",
         [](PluginResponseRecord& r) {
             r.errorText = const_cast<char*>("lost");
             r.status = 500;
         },
         true},
        {"no free routine",
         [](PluginResponseRecord& r) {
             r.result = Values::Raw(PluginValueArray, nullptr, 0);
             r.free = nullptr;
         },
         false},
    };
    for (const auto& c : cases) {
        core.ClearRecords();
        core.Answer(kSpellsUri, [&](PluginResponseRecord& r, const PluginRequestRecord&) { c.answer(r); });
        core.Answer(kQueuesUri, [&](PluginResponseRecord& r, const PluginRequestRecord&) { c.answer(r); });
        EXPECT_EQ(EndGame(), 1u);
        EXPECT_TRUE(PublishedWithoutSpellsOrQueues()) << c.what << ": " << Published();
        EXPECT_EQ(core.Logs().size(), c.queuesFailed ? 1u : 0u) << c.what;
    }
}

TEST_F(MalformedValues, StreamsThatMisbehaveAreReleasedAndTheirListIgnored) {
    const size_t releasedBefore = ReleasedStreams();
    const struct {
        const char* what;
        StreamScript script;
    } cases[] = {
        {"a read that fails", {{"[{\"id\":4,"}, 0}},
        {"a read that fails after data", {{"[{\"id\":4,", "\"summonerLevel\":5}]"}, 1}},
        {"JSON cut short", {{"[{\"id\":4,"}}},
        {"nothing at all", {{}}},
    };
    for (const auto& c : cases) {
        core.ClearRecords();
        core.AnswerStream(kSpellsUri, c.script);
        EXPECT_EQ(EndGame(), 1u);
        EXPECT_NE(Published().find(R"("newSpells":[])"), std::string::npos) << c.what << ": " << Published();
    }
    EXPECT_EQ(ReleasedStreams() - releasedBefore, std::size(cases));

    // A read that claims more bytes than the buffer holds is a failed read, not an over-read.
    core.ClearRecords();
    core.Answer(kSpellsUri, [](PluginResponseRecord& r, const PluginRequestRecord&) {
        r.streamRead = [](void*, uint8_t*, uint32_t* count, uint8_t* more) -> uint8_t {
            *count = 0xFFFFFFFF;
            *more = 0;
            return 1;
        };
        r.stream = &r;
    });
    EXPECT_EQ(EndGame(), 1u);
    EXPECT_NE(Published().find(R"("newSpells":[])"), std::string::npos) << Published();
}

}  // namespace
}  // namespace Hostile
