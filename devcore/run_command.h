// devcore run: plays scenario files, one fresh core each, and reports each file and a summary.
#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace Zarvo::DevCore {

struct PlayOptions;

struct RunOptions {
    std::vector<std::string> scenarios;  // the scenario files, in the order they run
    std::vector<std::string> plugins;    // loaded after each scenario's own
    // When not empty, only the scenario files whose path contains one of these texts play whole, and of the others
    // only those with a step whose note or title contains one, up to the last such step; any case matches.
    std::vector<std::string> filters;
    bool verbose = false;                // tell the story of every step on the output
    bool colour = false;                 // colour the results with ANSI codes
    std::string junitFile;               // when not empty, the results are written there as JUnit XML too
    double stepTimeout = 5;              // seconds a step, the loading or the unloading may take
    bool isolated = true;                // play each file in a child process of its own
};

// What playing one scenario file came to. It is plain data, so that a file can be played in another process and
// its result sent back.
struct ScenarioRun {
    enum class Outcome {
        Passed,  // every expectation held
        Failed,  // an expectation was not met
        Error,   // the file is no scenario, or its plugins did not load
        Deselected,  // the filters left nothing of it to play
    };
    Outcome outcome = Outcome::Error;
    std::string report;     // the failures or the error, line by line; empty when the scenario passed
    size_t steps = 0;       // the scenario's steps
    size_t stepsPlayed = 0; // the steps the filters kept: the first ones
    size_t failedStep = 0;  // 1-based, when an expectation was not met
};

// Reads and plays one scenario file with a fresh core. The story, when asked for, is told on `out` as it happens,
// each line flushed as it is written. `play` adds what the caller wants to hear of the play.
ScenarioRun RunScenarioFile(const std::string& file, const RunOptions& options, std::ostream& out,
                            const PlayOptions* play = nullptr);

// Plays every scenario file in order, reports each on `out` and ends with a summary line. Returns the exit
// status: 0 when every scenario played passed, 1 when one did not, 2 when the filters left nothing to play or the
// JUnit file cannot be written.
int RunScenarios(const RunOptions& options, std::ostream& out);

}  // namespace Zarvo::DevCore
