// How devcore run tells its results: each file's report and result line, and the summary line of the run.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "devcore/run_command.h"

namespace Zarvo::DevCore {

// How many scenario files came to each outcome.
struct RunTally {
    size_t passed = 0;
    size_t failed = 0;
    size_t errors = 0;
    size_t deselected = 0;

    void Count(ScenarioRun::Outcome outcome);
    bool AllPassed() const { return failed == 0 && errors == 0; }
};

// A file's report with colour: the lines that name a place bold, expected values green, the values got red and the
// caret under a quoted line red.
std::string PaintReport(std::string_view report, bool colour);

// "PASS story.yaml (9 steps)", "PASS story.yaml (steps 1-4 of 9)" when filtered, "FAIL story.yaml (step 3 of 9)", "FAIL story.yaml (while unloading)" when its plugins broke the contract then, or
// "ERROR story.yaml", with a line break.
std::string ResultLine(const std::string& file, const ScenarioRun& run, bool colour);

// "1 failed, 5 passed, 2 deselected, 1 error in 0.31s", with a line break; green when all passed, else red.
std::string SummaryLine(const RunTally& tally, double seconds, bool colour);

}  // namespace Zarvo::DevCore
