// Plays a scenario: loads its plugins into a fresh core, runs its steps and holds each against what it expects.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "devcore/scenario.h"
#include "devcore/test_core.h"

namespace Zarvo::DevCore {

struct PlayOptions {
    std::vector<std::string> plugins;             // loaded after the scenario's own
    std::function<void(std::string_view)> story;  // when set: each step, then the core's story of it
    // When set: called as each part of the play begins, with the number of its step (0 while the plugins load or
    // unload) and its position as breaches name it ("step 3 at story.yaml:12:5", "while loading the plugins of
    // story.yaml", "while unloading the plugins of story.yaml").
    std::function<void(size_t step, const std::string& position)> phase;
    // When set: the core's activity listener (TestCore::SetActivityListener).
    std::function<void(const PluginActivity*)> activity;
    // When set: the core's breach listener (TestCore::SetBreachListener).
    std::function<void(const ContractBreach&)> breach;
    size_t steps = SIZE_MAX;                      // plays only the first steps, as many as this
};

struct PlayResult {
    enum class Outcome {
        Passed,     // every expectation held and no plugin broke the contract
        Failed,     // an expectation was not met, or a plugin broke the contract in a step or while unloading
        NotPlayed,  // there was no plugin, or one did not load (a breach while loading among the reasons)
    };
    Outcome outcome = Outcome::NotPlayed;
    size_t failedStep = 0;  // 1-based, when a step failed; 0 when the plugins broke the contract while unloading
};

// Loads the plugins into a fresh core and plays the steps. The first step that fails is reported on `out` with its
// differences, or with the plugins' breaches of the contract as "FAIL <breach>, <position>" lines, and the steps
// after it are not played; so is a plugin that does not load. A Warn is reported as "WARN <breach>, <position>" and
// the play goes on. The plugins are unloaded before the result, so that what they break in Destroy counts too.
PlayResult PlayScenario(const Scenario& scenario, const PlayOptions& options, std::ostream& out);

}  // namespace Zarvo::DevCore
