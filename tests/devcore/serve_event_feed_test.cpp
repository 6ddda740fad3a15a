// The feed of events that serve streams: numbers, what is kept, and where a reader that comes back goes on.
#include "devcore/event_feed.h"

#include <gtest/gtest.h>

namespace Zarvo::DevCore::Testing {
namespace {

std::string Message(uint64_t id, const std::string& name, const std::string& data) {
    return "id: " + std::to_string(id) + "\nevent: " + name + "\ndata: " + data + "\n\n";
}

TEST(EventFeedTest, NumbersEventsAndGoesOnAfterTheLastOneSeen) {
    EventFeed feed;
    EXPECT_EQ(feed.StartAfter(""), 0u);
    feed.Publish("a", "1");
    feed.Publish("b\nc", "{\"x\":\r\n2}");
    EXPECT_EQ(feed.LastId(), 2u);

    struct Case {
        std::string lastEventId;
        std::string expected;
    };
    const Case cases[] = {
        {"", ""},                                                              // only what comes next
        {"1", Message(2, "b c", "{\"x\":  2}")},                               // after the event seen
        {"0", Message(1, "a", "1") + Message(2, "b c", "{\"x\":  2}")},      // from the start
        {"2", ""},                                                             // has seen everything
        {"3", Message(1, "a", "1") + Message(2, "b c", "{\"x\":  2}")},      // an id this feed never had
        {"x1", Message(1, "a", "1") + Message(2, "b c", "{\"x\":  2}")},
    };
    for (const Case& c : cases) {
        uint64_t cursor = feed.StartAfter(c.lastEventId);
        EXPECT_EQ(feed.Take(cursor, 1 << 20), c.expected) << c.lastEventId;
        EXPECT_EQ(cursor, 2u) << c.lastEventId;
    }
}

TEST(EventFeedTest, TakesWholeMessagesUpToTheSizeAsked) {
    EventFeed feed;
    for (int i = 0; i < 3; ++i) feed.Publish("e", "12345");
    const size_t one = Message(1, "e", "12345").size();
    uint64_t cursor = 0;
    EXPECT_EQ(feed.Take(cursor, 2 * one), Message(1, "e", "12345") + Message(2, "e", "12345"));
    EXPECT_EQ(feed.Take(cursor, 1), Message(3, "e", "12345"));  // at least one message
    EXPECT_EQ(feed.Take(cursor, 1), "");
}

TEST(EventFeedTest, KeepsTheNewest1000Events) {
    for (const size_t published : {EventFeed::kMaxKept, EventFeed::kMaxKept + 1, EventFeed::kMaxKept + 2}) {
        EventFeed feed;
        for (size_t i = 0; i < published; ++i) feed.Publish("e", "1");
        uint64_t cursor = feed.StartAfter("0");
        const std::string text = feed.Take(cursor, 1);
        const size_t missed = published - EventFeed::kMaxKept;
        const std::string told = missed == 0   ? ""
                                 : missed == 1 ? ": 1 event missed\n\n"
                                               : ": " + std::to_string(missed) + " events missed\n\n";
        EXPECT_EQ(text, told + Message(missed + 1, "e", "1")) << published;
    }
}

TEST(EventFeedTest, KeepsAtMost16MiBOfMessagesAndAlwaysTheNewest) {
    const size_t overhead = Message(1, "e", "").size();
    // Two messages that fill the bound to the byte, then one byte more.
    for (const size_t extra : {0, 1}) {
        EventFeed feed;
        const size_t first = EventFeed::kMaxKeptBytes / 2 - overhead;
        feed.Publish("e", std::string(first, 'a'));
        feed.Publish("e", std::string(EventFeed::kMaxKeptBytes - (first + overhead) - overhead + extra, 'b'));
        uint64_t cursor = feed.StartAfter("0");
        EXPECT_EQ(feed.Take(cursor, 1).substr(0, 6), extra == 0 ? "id: 1\n" : ": 1 ev") << extra;
    }
    EventFeed feed;
    feed.Publish("e", std::string(EventFeed::kMaxKeptBytes + 1, 'a'));
    uint64_t cursor = 0;
    EXPECT_EQ(feed.Take(cursor, 1).size(), EventFeed::kMaxKeptBytes + 1 + overhead);
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
