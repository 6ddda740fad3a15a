#include "devcore/scenario_check.h"

#include <gtest/gtest.h>

#include "devcore/json_text.h"
#include "devcore/scenario_match.h"
#include "devcore/scenario_reader.h"
#include "formats/json_reader.h"

namespace Zarvo::DevCore {
namespace {

BindingProperty Json(std::string_view text) { return ParseJson(text).value; }

// The place of the first difference and what each side holds there; "-" for a member that is not there.
TEST(ScenarioMatch, ComparesWholeOrInPartAndNamesThePlaceAndBothSidesOfTheDifference) {
    const BindingProperty got = Json(R"({"data":{"level":5,"spells":[3,4],"zp":-2,"f":0.5},"uri":"/a"})");
    const struct {
        const char* expected;
        bool partly;
        const char* place;  // null when the values match
        const char* expectedPart;
        const char* gotPart;
    } cases[] = {
        {R"({"uri":"/a","data":{"spells":[3,4],"level":5.0,"zp":-2,"f":0.5}})", false, nullptr, "", ""},
        {R"({"data":{"level":5}})", true, nullptr, "", ""},
        {R"({"data":{"level":5}})", false, "data.f", "-", "0.5"},
        {R"({"data":{"spells":[3,5]}})", true, "data.spells[1]", "5", "4"},
        {R"({"data":{"spells":[3]}})", true, "data.spells", "[3]", "[3,4]"},
        {R"({"data":{"level":"5"}})", true, "data.level", "\"5\"", "5"},
        {R"({"data":{"zp":18446744073709551614}})", true, "data.zp", "18446744073709551614", "-2"},
        {R"({"data":{"missing":null}})", true, "data.missing", "null", "-"},
        {R"([1])", true, "", "[1]", R"({"data":{"f":0.5,"level":5,"spells":[3,4],"zp":-2},"uri":"/a"})"},
    };
    const auto shown = [](const BindingProperty* part) { return part ? ToJsonText(*part) : "-"; };
    for (const auto& c : cases) {
        const BindingProperty expected = Json(c.expected);
        const std::optional<ValueDifference> difference = FindDifference(expected, got, c.partly);
        ASSERT_EQ(difference.has_value(), c.place != nullptr) << c.expected;
        if (!difference) continue;
        EXPECT_EQ(difference->Place(), c.place) << c.expected;
        EXPECT_EQ(shown(difference->expected), c.expectedPart) << c.expected;
        EXPECT_EQ(shown(difference->got), c.gotPart) << c.expected;
    }
}

Scenario Parse(std::string_view text) {
    Scenario scenario;
    ScenarioError error;
    EXPECT_TRUE(ParseScenario(text, "", scenario, error)) << error.message;
    scenario.file = "story.yaml";
    return scenario;
}

Step RequestStep() {
    Step step;
    step.action = Step::Action::Request;
    step.position = {12, 5};
    step.request.method = "GET";
    step.request.path = "/kiv-player-level-up/v1/level-up";
    return step;
}

// Each unmet expectation is shown at its own line and column, with the values where they differ.
TEST(ScenarioCheck, ShowsEachDifferenceWhereTheExpectationIsWritten) {
    const Scenario scenario = Parse(R"(steps:
  - request: GET /kiv-player-level-up/v1/level-up
    response:
      value: {newSummonerLevel: 5, newSpells: [3, 14]}
    events:
      - name: OnJsonApiEvent_a
        includes: {data: {level: 6}}
      - OnJsonApiEvent
    logs:
      - {level: ERROR, includes: queues}
)");
    const Step& step = scenario.steps[0];
    CallResult result;
    result.status = 200;
    result.value = Json(R"({"newSummonerLevel":5,"newSpells":[3,7]})");
    const BindingProperty payload = Json(R"({"uri":"/a","data":{"level":5}})");
    const std::vector<SentEvent> sent = {{"OnJsonApiEvent_a", payload, "p"}, {"OnJsonApiEvent", payload, "p"}};
    const std::vector<LogLine> logs = {{1, "slow", "p"}};

    const std::vector<Mismatch> mismatches = CheckStep(step, &result, sent, logs);
    ASSERT_EQ(mismatches.size(), 3u);
    EXPECT_EQ(FormatMismatch(scenario, 3, step, mismatches[0]),
              "story.yaml:4:51: step 3, request GET /kiv-player-level-up/v1/level-up: the response's value differs at "
              "newSpells[1]\n"
              "  4 |       value: {newSummonerLevel: 5, newSpells: [3, 14]}\n"
              "    |                                                   ^\n"
              "  expected: 14\n"
              "  got:      7\n");
    EXPECT_EQ(FormatMismatch(scenario, 3, step, mismatches[1]),
              "story.yaml:7:34: step 3, request GET /kiv-player-level-up/v1/level-up: event 1 of 2, OnJsonApiEvent_a, "
              "differs at data.level\n"
              "  7 |         includes: {data: {level: 6}}\n"
              "    |                                  ^\n"
              "  expected: 6\n"
              "  got:      5\n");
    EXPECT_EQ(FormatMismatch(scenario, 3, step, mismatches[2]),
              "story.yaml:10:9: step 3, request GET /kiv-player-level-up/v1/level-up: the log lines differ\n"
              "  10 |       - {level: ERROR, includes: queues}\n"
              "     |         ^\n"
              "  expected: ERROR includes \"queues\"\n"
              "  got:      WARN slow\n");
}

TEST(ScenarioCheck, NamesAMemberThatIsMissingOrNotExpected) {
    const Scenario scenario = Parse(R"(steps:
  - request: GET /a
    response:
      value:
        level: 5
        spells: [3, 14]
  - request: GET /b
    response:
      includes: {level: 5, spells: [3, 14]}
)");
    CallResult result;
    result.status = 200;
    result.value = Json(R"({"level":5,"spells":[3,14],"zp":120})");
    std::vector<Mismatch> mismatches = CheckStep(scenario.steps[0], &result, {}, {});
    ASSERT_EQ(mismatches.size(), 1u);
    EXPECT_EQ(mismatches[0].what, "the response's value has zp, which is not expected");
    EXPECT_EQ(mismatches[0].expected, "(no such member)");
    EXPECT_EQ(mismatches[0].got, "120");
    EXPECT_EQ(mismatches[0].position.line, 5u);  // the mapping that would hold it
    EXPECT_EQ(mismatches[0].position.column, 9u);

    result.value = Json(R"({"level":5,"spells":[3,14,7]})");
    mismatches = CheckStep(scenario.steps[1], &result, {}, {});
    ASSERT_EQ(mismatches.size(), 1u);
    EXPECT_EQ(mismatches[0].what, "the response's value differs at spells: 2 elements expected, 3 got");
    EXPECT_EQ(mismatches[0].expected, "[3,14]");
    EXPECT_EQ(mismatches[0].got, "[3,14,7]");
    EXPECT_EQ(mismatches[0].position.column, 36u);

    result.value = Json(R"({"spells":[3,14]})");
    mismatches = CheckStep(scenario.steps[1], &result, {}, {});
    ASSERT_EQ(mismatches.size(), 1u);
    EXPECT_EQ(mismatches[0].what, "the response's value lacks level");
    EXPECT_EQ(mismatches[0].got, "(no such member)");
}

TEST(ScenarioCheck, EventsAreComparedInOrderAndListedWhenTheirCountDiffers) {
    const Scenario scenario = Parse(R"(steps:
  - put: /a
    value: 1
    events:
      - OnJsonApiEvent
  - put: /a
    value: 1
    events: [OnJsonApiEvent_b, OnJsonApiEvent]
  - put: /a
    value: 1
    events: [OnJsonApiEvent_a, OnJsonApiEvent]
)");
    const BindingProperty payload = Json(R"({"uri":"/a","data":{"level":5}})");
    const std::vector<SentEvent> sent = {{"OnJsonApiEvent_a", payload, "p"}, {"OnJsonApiEvent", payload, "p"}};

    std::vector<Mismatch> mismatches = CheckStep(scenario.steps[0], nullptr, sent, {});
    ASSERT_EQ(mismatches.size(), 1u);
    EXPECT_EQ(FormatMismatch(scenario, 1, scenario.steps[0], mismatches[0]),
              "story.yaml:5:7: step 1, put /a: 1 event expected, the plugins sent 2\n"
              "  5 |       - OnJsonApiEvent\n"
              "    |       ^\n"
              "  expected: OnJsonApiEvent\n"
              "  got:      OnJsonApiEvent_a {\"data\":{\"level\":5},\"uri\":\"/a\"}\n"
              "            OnJsonApiEvent {\"data\":{\"level\":5},\"uri\":\"/a\"}\n");

    mismatches = CheckStep(scenario.steps[1], nullptr, sent, {});
    ASSERT_EQ(mismatches.size(), 1u);
    EXPECT_EQ(mismatches[0].what, "event 1 of 2 has another name");
    EXPECT_EQ(mismatches[0].expected, "OnJsonApiEvent_b");
    EXPECT_EQ(mismatches[0].got, "OnJsonApiEvent_a");
    EXPECT_EQ(mismatches[0].position.line, 8u);
    EXPECT_EQ(mismatches[0].position.column, 14u);

    EXPECT_TRUE(CheckStep(scenario.steps[2], nullptr, sent, {}).empty());
}

TEST(ScenarioCheck, LogLinesMatchByLevelAndWholeOrIncludedText) {
    Step step = RequestStep();
    const std::vector<LogLine> logs = {{2, "kiv-player-level-up: Failed to get queues", "p"}, {3, "done", "p"}};
    step.logs = std::vector<ExpectedLog>{{2, "Failed to get", true, {}}, {std::nullopt, "done", false, {}}};
    EXPECT_TRUE(CheckStep(step, nullptr, {}, logs).empty());
    step.logs = std::vector<ExpectedLog>{{1, "Failed to get", true, {}}, {std::nullopt, "done", false, {}}};
    EXPECT_EQ(CheckStep(step, nullptr, {}, logs).size(), 1u);
    step.logs = std::vector<ExpectedLog>{{2, "Failed to get", false, {}}, {std::nullopt, "done", false, {}}};
    EXPECT_EQ(CheckStep(step, nullptr, {}, logs).size(), 1u);
}

TEST(ScenarioCheck, ResponseStatusAndErrorAreComparedExactly) {
    Step step = RequestStep();
    step.response.status = 0;
    step.response.error = "";
    CallResult result;
    result.status = 0;
    result.error = "Unsupported body content type";
    std::vector<Mismatch> mismatches = CheckStep(step, &result, {}, {});
    ASSERT_EQ(mismatches.size(), 1u);
    EXPECT_EQ(mismatches[0].what, "the response's error");
    EXPECT_EQ(mismatches[0].expected, "\"\"");
    EXPECT_EQ(mismatches[0].got, "\"Unsupported body content type\"");
    result.status = 404;
    mismatches = CheckStep(step, &result, {}, {});
    ASSERT_EQ(mismatches.size(), 1u);
    EXPECT_EQ(mismatches[0].got, "404 with the error \"Unsupported body content type\"");
}

// A request that writes neither status nor error expects a success; `any` takes every response.
TEST(ScenarioCheck, ARequestExpectsSuccessUnlessItSaysOtherwise) {
    ExpectedResponse plain, nullValue, refused, failing, any;
    nullValue.value = ExpectedValue{BindingProperty(), false, {}};
    refused.status = 400;
    failing.error = "Unsupported body content type";
    any.any = true;
    const struct {
        const ExpectedResponse& expected;
        uint32_t status;
        const char* error;
        bool met;
    } cases[] = {
        {plain, 200, "", true},       {plain, 299, "", true},       {plain, 199, "", false},
        {plain, 300, "", false},      {plain, 404, "Not found", false}, {plain, 200, "oops", false},
        {nullValue, 400, "Unsupported body content type", false},   {nullValue, 200, "", true},
        {refused, 400, "Unsupported body content type", true},      {refused, 200, "", false},
        {failing, 400, "Unsupported body content type", true},      {failing, 200, "", false},
        {any, 404, "Not found", true}, {any, 0, "", true},
    };
    for (const auto& c : cases) {
        Step step = RequestStep();
        step.response = c.expected;
        CallResult result;
        result.status = c.status;
        result.error = c.error;
        EXPECT_EQ(CheckStep(step, &result, {}, {}).empty(), c.met) << c.status << " " << c.error;
    }
}

}  // namespace
}  // namespace Zarvo::DevCore
