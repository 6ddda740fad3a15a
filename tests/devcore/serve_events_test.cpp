// serve's event stream: numbered events, a reader that comes back with Last-Event-ID, and readers that neither
// starve the other requests nor outlive their connection.
#include <gtest/gtest.h>

#include <memory>

#include "devcore_fixture.h"
#include "serve_process.h"

namespace Zarvo::DevCore::Testing {
namespace {

// Plays the level-up: the plugin sends its event twice, as event 1 and event 2.
void LevelUp(int port) {
    EXPECT_EQ(Ask(port, "PUT", "/kiv-login/v1/session", R"({"state":"SUCCEEDED","summonerId":11,"accountId":22})")
                  .status,
              201u);
    EXPECT_EQ(Ask(port, "POST", "/kiv-end-of-game/v1/eog-stats-block", R"({"leveledUp":true,"previousLevel":4})")
                  .status,
              201u);
}

TEST(ServeEventsTest, AReaderComingBackGetsWhatItMissed) {
    ServeProcess serve({"--plugin", kLevelUpLibrary});
    EventStreamReader first(serve.Port());
    first.ReadUntil(": connected");
    LevelUp(serve.Port());
    EXPECT_NE(first.ReadUntil("id: 2\nevent: OnJsonApiEvent\n").find("id: 1\nevent: OnJsonApiEvent_kiv-player"),
              std::string::npos);

    EventStreamReader back(serve.Port(), {{"Last-Event-ID", "1"}});
    const std::string text = back.ReadUntil("id: 2\n");
    EXPECT_TRUE(text.starts_with(": connected\n\nid: 2\nevent: OnJsonApiEvent\ndata: {")) << text;
    EXPECT_NE(back.Head().find("Content-Type: text/event-stream\r\nCache-Control: no-cache\r\n"), std::string::npos)
        << back.Head();
}

class ServeReadersTest : public ::testing::Test {
protected:
    // A reader, once it is greeted.
    std::unique_ptr<EventStreamReader> Reader() {
        auto reader = std::make_unique<EventStreamReader>(serve.Port());
        reader->ReadUntil(": connected", 5s);
        return reader;
    }

    ServeProcess serve{{"--max-event-readers", "9"}};
};

// Readers never starve the requests, and one that leaves makes room at once.
TEST_F(ServeReadersTest, ReadersWithinTheBoundLeaveRoomForRequests) {
    std::vector<std::unique_ptr<EventStreamReader>> readers;
    for (int i = 0; i < 9; ++i) {
        readers.push_back(Reader());
        EXPECT_NE(readers.back()->ReadUntil(": connected", 0ms).find(": connected"), std::string::npos) << i;
    }
    EXPECT_EQ(Ask(serve.Port(), "GET", "/kiv-store/v1/none").Text(), R"(404 {"error":"Not found"})");

    TestConnection refused(serve.Port());
    EXPECT_EQ(refused.Ask("GET", "/events").Text(),
              R"(503 {"error":"devcore serves at most 9 event readers at once"})");

    readers.pop_back();
    bool greeted = false;
    for (int attempt = 0; attempt < 100 && !greeted; ++attempt) {
        greeted = Reader()->ReadUntil(": connected", 0ms).find(": connected") != std::string::npos;
        if (!greeted) std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(greeted);
}

TEST_F(ServeReadersTest, ARequestBehindTheStreamEndsIt) {
    TestConnection connection(serve.Port());
    connection.SendRaw(connection.RequestText("GET", "/events") + connection.RequestText("GET", "/kiv-store/v1/a"));
    EXPECT_TRUE(connection.ClosedWithin(5s));
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
