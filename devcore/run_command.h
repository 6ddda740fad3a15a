// devcore run: plays scenario files, one fresh core each, and reports each file and a summary.
#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace Zarvo::DevCore {

struct RunOptions {
    std::vector<std::string> scenarios;  // the scenario files, in the order they run
    std::vector<std::string> plugins;    // loaded after each scenario's own
    bool verbose = false;                // tell the story of every step on the output
};

// What playing one scenario file came to. It is plain data, so that a file can be played in another process and
// its result sent back.
struct ScenarioRun {
    enum class Outcome { Passed, Failed, Error };
    Outcome outcome = Outcome::Error;
    std::string report;  // the failures or the error, line by line; empty when the scenario passed
    size_t steps = 0;    // the scenario's steps
};

// Reads and plays one scenario file with a fresh core. The story, when asked for, is told on `out` as it happens.
ScenarioRun RunScenarioFile(const std::string& file, const RunOptions& options, std::ostream& out);

// Plays every scenario file in order and reports each on `out`. Returns the exit status: 0 when every scenario
// passed, 1 when one did not.
int RunScenarios(const RunOptions& options, std::ostream& out);

}  // namespace Zarvo::DevCore
