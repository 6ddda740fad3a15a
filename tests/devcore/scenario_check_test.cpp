#include "devcore/scenario_check.h"

#include <gtest/gtest.h>

#include "devcore/scenario_match.h"
#include "formats/json_reader.h"

namespace Zarvo::DevCore {
namespace {

BindingProperty Json(std::string_view text) { return ParseJson(text).value; }

TEST(ScenarioMatch, ComparesWholeOrInPartAndNamesThePlaceOfTheDifference) {
    const BindingProperty got = Json(R"({"data":{"level":5,"spells":[3,4],"zp":-2,"f":0.5},"uri":"/a"})");
    const struct {
        const char* expected;
        bool partly;
        std::optional<std::string> difference;
    } cases[] = {
        {R"({"uri":"/a","data":{"spells":[3,4],"level":5.0,"zp":-2,"f":0.5}})", false, std::nullopt},
        {R"({"data":{"level":5}})", true, std::nullopt},
        {R"({"data":{"level":5}})", false, "data.f"},
        {R"({"data":{"spells":[3,5]}})", true, "data.spells[1]"},
        {R"({"data":{"spells":[3]}})", true, "data.spells"},
        {R"({"data":{"level":"5"}})", true, "data.level"},
        {R"({"data":{"zp":18446744073709551614}})", true, "data.zp"},
        {R"({"data":{"missing":null}})", true, "data.missing"},
        {R"([1])", true, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindDifference(Json(c.expected), got, c.partly), c.difference) << c.expected;
}

Step RequestStep() {
    Step step;
    step.action = Step::Action::Request;
    step.position = {12, 5};
    step.request.method = "GET";
    step.request.path = "/kiv-player-level-up/v1/level-up";
    return step;
}

TEST(ScenarioCheck, WordsEachUnmetExpectationWithBothSidesAsJson) {
    Step step = RequestStep();
    step.response.value = ExpectedValue{Json(R"({"newSummonerLevel":5})"), true};
    step.events = std::vector<ExpectedEvent>{{"OnJsonApiEvent", std::nullopt}};
    step.logs = std::vector<ExpectedLog>{{2, "queues", true}};
    CallResult result;
    result.routed = true;
    result.status = 404;
    result.error = "Not found";
    const std::vector<LogLine> logs = {{1, "slow", "p"}};

    const std::vector<Mismatch> mismatches = CheckStep(step, &result, {}, logs);
    ASSERT_EQ(mismatches.size(), 3u);
    EXPECT_EQ(FormatMismatch("story.yaml", 3, step, mismatches[0]),
              "story.yaml:12:5: step 3, request GET /kiv-player-level-up/v1/level-up: the request failed; a step that "
              "gives no status: or error: expects a success\n"
              "  expected: a success: status 2xx, no error\n"
              "  got:      404 with the error \"Not found\"\n");
    EXPECT_EQ(mismatches[1].what, "1 event expected, the plugins sent 0");
    EXPECT_EQ(mismatches[1].got, "(none)");
    EXPECT_EQ(mismatches[2].what, "the log lines differ");
    EXPECT_EQ(mismatches[2].expected, "ERROR includes \"queues\"");
    EXPECT_EQ(mismatches[2].got, "WARN slow");
}

TEST(ScenarioCheck, EventsAreComparedInOrderAndListedWhenTheirCountDiffers) {
    Step step = RequestStep();
    const BindingProperty payload = Json(R"({"uri":"/a","data":{"level":5}})");
    const std::vector<SentEvent> sent = {{"OnJsonApiEvent_a", payload, "p"}, {"OnJsonApiEvent", payload, "p"}};

    step.events = std::vector<ExpectedEvent>{{"OnJsonApiEvent_a", ExpectedValue{Json(R"({"data":{"level":6}})"), true}},
                                             {"OnJsonApiEvent", std::nullopt}};
    std::vector<Mismatch> mismatches = CheckStep(step, nullptr, sent, {});
    ASSERT_EQ(mismatches.size(), 1u);
    EXPECT_EQ(FormatMismatch("s.yaml", 1, step, mismatches[0]),
              "s.yaml:12:5: step 1, request GET /kiv-player-level-up/v1/level-up: event 1 of 2 differs at data.level\n"
              "  expected: OnJsonApiEvent_a includes {\"data\":{\"level\":6}}\n"
              "  got:      OnJsonApiEvent_a {\"data\":{\"level\":5},\"uri\":\"/a\"}\n");

    step.events = std::vector<ExpectedEvent>{{"OnJsonApiEvent", std::nullopt}};
    mismatches = CheckStep(step, nullptr, sent, {});
    ASSERT_EQ(mismatches.size(), 1u);
    EXPECT_EQ(FormatMismatch("s.yaml", 1, step, mismatches[0]),
              "s.yaml:12:5: step 1, request GET /kiv-player-level-up/v1/level-up: 1 event expected, the plugins sent 2\n"
              "  expected: OnJsonApiEvent\n"
              "  got:      OnJsonApiEvent_a {\"data\":{\"level\":5},\"uri\":\"/a\"}\n"
              "            OnJsonApiEvent {\"data\":{\"level\":5},\"uri\":\"/a\"}\n");

    step.events = std::vector<ExpectedEvent>{{"OnJsonApiEvent_a", std::nullopt}, {"OnJsonApiEvent", std::nullopt}};
    EXPECT_TRUE(CheckStep(step, nullptr, sent, {}).empty());
}

TEST(ScenarioCheck, LogLinesMatchByLevelAndWholeOrIncludedText) {
    Step step = RequestStep();
    const std::vector<LogLine> logs = {{2, "kiv-player-level-up: Failed to get queues", "p"}, {3, "done", "p"}};
    step.logs = std::vector<ExpectedLog>{{2, "Failed to get", true}, {std::nullopt, "done", false}};
    EXPECT_TRUE(CheckStep(step, nullptr, {}, logs).empty());
    step.logs = std::vector<ExpectedLog>{{1, "Failed to get", true}, {std::nullopt, "done", false}};
    EXPECT_EQ(CheckStep(step, nullptr, {}, logs).size(), 1u);
    step.logs = std::vector<ExpectedLog>{{2, "Failed to get", false}, {std::nullopt, "done", false}};
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
    nullValue.value = ExpectedValue{BindingProperty(), false};
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
