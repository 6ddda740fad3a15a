// Plays a scenario: loads its plugins into a fresh core, runs its steps and holds each against what it expects.
#pragma once

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
};

// True when every plugin loaded and every expectation held. Otherwise the first step that failed is reported on
// `out` with its differences, and the steps after it are not played.
bool PlayScenario(const Scenario& scenario, const PlayOptions& options, std::ostream& out);

}  // namespace Zarvo::DevCore
