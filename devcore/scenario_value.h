// The values written in a scenario file, which are JSON-compatible YAML, and the bytes given in hex.
#pragma once

#include <string>

#include "binding/property.h"
#include "devcore/scenario_yaml.h"

namespace Zarvo::DevCore {

// Plain scalars are typed as in JSON: null, ~ and an empty value are null, true and false booleans, numbers
// numbers (whole ones integers); every other scalar, and every quoted or block one, is text. Mapping keys are texts.
BindingProperty ToProperty(const YamlNode& node);

// Bytes written as pairs of hex digits, with blanks and line breaks allowed between the pairs: "82 a1 61 05".
bool ReadHexBytes(const YamlNode& node, std::string& bytes, ScenarioError& error);

}  // namespace Zarvo::DevCore
