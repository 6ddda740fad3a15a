// Answers to the plugin's own requests that a careless core gets wrong: an error flagged without a text, values
// that hold nothing where they claim much, streams that misbehave.
#include <string>
#include <vector>

#include "hostile_fixture.h"

namespace Hostile {
namespace {

class EventSwitchAnsweredWithAFlaggedError : public HostileTest {
protected:
    void SetUpCore() override { core.AnswerError(kEventEnabledUri, 503, nullptr, 1); }
};

// A failed fetch of the switch is no value: the level-up event stays on.
TEST_F(EventSwitchAnsweredWithAFlaggedError, TheLevelUpEventStaysOn) {
    EXPECT_EQ(EndGame(), 1u);
    EXPECT_EQ(EventNames(), (std::vector<std::string>{kLevelUpEvent, "OnJsonApiEvent"}));
}

}  // namespace
}  // namespace Hostile
