// Compares the value that a step got with the one its scenario expects.
#pragma once

#include <optional>
#include <string>

#include "binding/property.h"

namespace Zarvo::DevCore {

// Nothing when the value matches; else the place of the first difference: "" for the value itself, or a path such
// as "data.newSpells[1]". Numbers compare by value, whatever their kind (5, 5.0 and a signed 5 are equal).
// Partly: only the members written in the expected value count, at every depth; a list still needs as many elements.
std::optional<std::string> FindDifference(const BindingProperty& expected, const BindingProperty& got, bool partly);

}  // namespace Zarvo::DevCore
