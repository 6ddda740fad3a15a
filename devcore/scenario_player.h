// Plays a scenario: loads its plugins into a fresh core, runs its steps and holds each against what it expects.
#pragma once

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
    // When set: called as each part of the play begins, with its position as breaches name it ("step 3 at
    // story.yaml:12:5", "while loading the plugins of story.yaml", "while unloading the plugins of story.yaml").
    std::function<void(const std::string& position)> phase;
    // When set: the core's activity listener (TestCore::SetActivityListener).
    std::function<void(const PluginActivity*)> activity;
};

// True when every plugin loaded and every expectation held, and no plugin broke the contract (a Fail). Otherwise
// the first step that failed is reported on `out` with its differences, or with its breaches as
// "FAIL <breach>, <position>" lines, and the steps after it are not played. A Warn is reported as
// "WARN <breach>, <position>" and the play goes on. The plugins are unloaded before the result, so that what they
// break in Destroy counts too.
bool PlayScenario(const Scenario& scenario, const PlayOptions& options, std::ostream& out);

}  // namespace Zarvo::DevCore
