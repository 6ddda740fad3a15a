// Reads scenario files; the format is described in the README.
#pragma once

#include <string>
#include <string_view>

#include "devcore/scenario.h"
#include "devcore/scenario_yaml.h"

namespace Zarvo::DevCore {

// Reads the text of a scenario; plugin paths are resolved against `folder`. False with the position and text of
// the first fault.
bool ParseScenario(std::string_view text, const std::string& folder, Scenario& scenario, ScenarioError& error);

// Reads a scenario file. False with "<file>:<line>:<column>: <message>" (or "<file>: <message>" when the file
// cannot be read) in `error`.
bool ReadScenario(const std::string& file, Scenario& scenario, std::string& error);

}  // namespace Zarvo::DevCore
