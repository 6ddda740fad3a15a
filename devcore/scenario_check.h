// Holds what a step did against what its scenario expects, and words each difference for the reader.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "devcore/scenario.h"
#include "devcore/test_core.h"

namespace Zarvo::DevCore {

struct Mismatch {
    std::string what;          // "the response's value differs at newSpells[1]"
    std::string expected;      // values as JSON; several lines for a list of events or log lines
    std::string got;
    SourcePosition position;   // where the expectation is written; {0, 0} for the step as a whole
};

// Every expectation of the step that is not met: at most one each for the response, the events and the log lines.
// `result` is the response of a request step, else null.
std::vector<Mismatch> CheckStep(const Step& step, const CallResult* result, std::span<const SentEvent> events,
                                std::span<const LogLine> logs);

// "<file>:<line>:<column>: step <n>, <title>: <what>", the scenario's line there with a caret under the column, and
// the expected and got lines beneath, each indented:
//   story.yaml:12:29: step 3, request GET /kiv-player-level-up/v1/level-up: the response's value differs at level
//     12 |       value: {level: 5}
//        |                      ^
//     expected: 5
//     got:      4
std::string FormatMismatch(const Scenario& scenario, size_t stepNumber, const Step& step, const Mismatch& mismatch);

}  // namespace Zarvo::DevCore
