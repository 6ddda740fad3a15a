// JSON bodies nested deep, read on a thread whose whole stack is 64 KB: the reader's stack use does not grow with
// the nesting.
#include <string>

#include "hostile_fixture.h"

namespace Hostile {
namespace {

constexpr size_t kSmallStack = 64 * 1024;

class JsonOnASmallStack : public HostileTest {
protected:
    Answer PostAck(const std::string& body) {
        const HostileCore::Function& post = core.FunctionFor(kPost, kNotificationsTemplate);
        const std::string path = std::string(kNotificationsPrefix) + "kiv-toasts";
        Answer answer;
        RunOnThreadWithStack(kSmallStack, [&] { answer = core.Call(post, path, "application/json", body); });
        return answer;
    }
};

std::string Repeat(const std::string& part, size_t times) {
    std::string text;
    text.reserve(part.size() * times);
    for (size_t i = 0; i < times; ++i) text += part;
    return text;
}

TEST_F(JsonOnASmallStack, ADeepBodyIsRefusedAt512Levels) {
    Answer json = PostAck(std::string(1'000'000, '[') + std::string(1'000'000, ']'));
    EXPECT_EQ(json.status, 0u);
    EXPECT_EQ(json.error, "Error: Arrays and objects nest deeper than 512 levels at offset 513.");

    // Objects: the 513th "{" ends at offset 512 * 5 + 1.
    json = PostAck(Repeat(R"({"a":)", 1'000'000));
    EXPECT_EQ(json.status, 0u);
    EXPECT_EQ(json.error, "Error: Arrays and objects nest deeper than 512 levels at offset 2561.");
}

// A body at the bound is read whole, converted and freed on the small stack.
TEST_F(JsonOnASmallStack, ABody512LevelsDeepIsAccepted) {
    ASSERT_EQ(EndGame(), 1u);
    const std::string body =
        R"({"newSummonerLevel":5,"seenThisEvent":true,"deep":)" + Repeat(R"({"a":)", 510) + "[]" + std::string(511, '}');
    const Answer json = PostAck(body);
    EXPECT_EQ(json.errorFlag, 0) << json.error;
    EXPECT_EQ(GetNotification("kiv-toasts").value, R"({"newSummonerLevel":5,"seenThisEvent":true})");
}

}  // namespace
}  // namespace Hostile
