// Compares the value that a step got with the one its scenario expects.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "binding/property.h"
#include "devcore/scenario_yaml.h"

namespace Zarvo::DevCore {

// One step from a value to a part of it: a member's key, or an element's index.
struct ValueStep {
    std::string key;
    size_t index = 0;
    bool isIndex = false;
};

// Where two values first differ, and what each holds there. The pointers stay valid while the two values compared
// live unchanged.
struct ValueDifference {
    std::vector<ValueStep> path;      // from the root; empty when the values differ as a whole
    const BindingProperty* expected = nullptr;  // null when only the value got has the member
    const BindingProperty* got = nullptr;       // null when only the expected value has the member

    // The path as "data.newSpells[1]"; empty for the root.
    std::string Place() const;
};

// Nothing when the value matches; else where the values first differ. Numbers compare by value, whatever their kind
// (5, 5.0 and a signed 5 are equal). Partly: only the members written in the expected value count, at every depth;
// a list still needs as many elements.
std::optional<ValueDifference> FindDifference(const BindingProperty& expected, const BindingProperty& got,
                                              bool partly);

// The position of the part of a value written in a scenario that the path leads to, or of the deepest part on the
// way when the rest of the path is not written there.
SourcePosition PositionOf(const YamlNode& written, const std::vector<ValueStep>& path);

}  // namespace Zarvo::DevCore
