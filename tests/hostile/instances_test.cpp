// Several instances of the plugin in one process: where their log lines go as they come and go.
#include <string>
#include <vector>

#include "hostile_fixture.h"

namespace Hostile {
namespace {

std::vector<std::string> LogTexts(const HostileCore& core) {
    std::vector<std::string> texts;
    for (const LogLine& line : core.Logs()) texts.push_back(line.text);
    return texts;
}

std::string MissingHandler(const std::string& service) {
    return "Could not find registered handler for async service proxy event " + service + ".m";
}

TEST(HostileInstances, LogLinesGoToTheOldestInstanceThatRemains) {
    HostileCore first;
    HostileCore second;
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(second.Start());
    AsyncReply(second, "a");
    EXPECT_EQ(LogTexts(first), std::vector<std::string>{MissingHandler("a")});
    EXPECT_TRUE(LogTexts(second).empty());

    first.Destroy();
    AsyncReply(second, "b");
    EXPECT_EQ(LogTexts(second), std::vector<std::string>{MissingHandler("b")});
    EXPECT_EQ(LogTexts(first).size(), 1u) << "a destroyed instance's core got a line";

    second.Destroy();
    HostileCore third;
    ASSERT_TRUE(third.Start());
    AsyncReply(third, "c");
    EXPECT_EQ(LogTexts(third), std::vector<std::string>{MissingHandler("c")});
    EXPECT_EQ(LogTexts(second).size(), 1u);
}

TEST(HostileInstances, ACoreWithoutWriteLogLeavesTheLinesToTheNext) {
    HostileCore silent;
    HostileCore listening;
    ASSERT_TRUE(silent.Load());
    silent.Api().WriteLog = nullptr;
    ASSERT_EQ(silent.Init(), 1);
    ASSERT_TRUE(listening.Start());
    AsyncReply(silent, "a");
    EXPECT_EQ(LogTexts(listening), std::vector<std::string>{MissingHandler("a")});
}

}  // namespace
}  // namespace Hostile
