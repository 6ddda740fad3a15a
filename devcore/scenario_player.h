// Plays a scenario: loads its plugins into a fresh core, runs its steps and holds each against what it expects.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "devcore/scenario.h"

namespace Zarvo::DevCore {

struct PlayOptions {
    std::vector<std::string> plugins;             // loaded after the scenario's own
    std::function<void(std::string_view)> story;  // when set: each step, then the core's story of it
    size_t steps = SIZE_MAX;                      // plays only the first steps, as many as this
};

struct PlayResult {
    enum class Outcome {
        Passed,     // every plugin loaded and every expectation held
        Failed,     // an expectation was not met
        NotPlayed,  // there was no plugin, or one did not load
    };
    Outcome outcome = Outcome::NotPlayed;
    size_t failedStep = 0;  // 1-based, when an expectation was not met
};

// Loads the plugins into a fresh core and plays the steps. The first step that fails is reported on `out` with its
// differences, and the steps after it are not played; so is a plugin that does not load.
PlayResult PlayScenario(const Scenario& scenario, const PlayOptions& options, std::ostream& out);

}  // namespace Zarvo::DevCore
