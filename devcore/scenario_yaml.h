// A scenario file as a tree of YAML nodes that remember where they stand in the file, so that every complaint about
// the scenario can name its line and column.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace Zarvo::DevCore {

struct SourcePosition {
    size_t line = 0;    // 1-based
    size_t column = 0;  // 1-based
};

struct ScenarioError {
    SourcePosition position;
    std::string message;
};

struct YamlNode {
    enum class Kind { Scalar, Sequence, Mapping };
    Kind kind = Kind::Scalar;
    SourcePosition position;
    std::string text;     // Scalar: its text
    bool plain = true;    // Scalar: written without quotes, block style or the !!str tag, so it may be a number
    std::vector<YamlNode> items;  // Sequence: the elements; Mapping: key, value, key, value, ...

    bool IsNull() const { return kind == Kind::Scalar && plain && (text.empty() || text == "~" || text == "null"); }
    const char* KindName() const;
};

// The text's lines, without their line breaks.
std::vector<std::string> SplitLines(std::string_view text);

// The line at the position, and a caret under its column, each indented and ended with a line break:
//      12 |     response: {status: 200}
//         |                        ^
// Empty when the lines do not reach the position.
std::string QuoteSource(const std::vector<std::string>& lines, SourcePosition position);

// Reads the single document of a scenario file. Anchors and aliases are resolved: an alias is a copy of its node.
// An empty file gives a null scalar. False with the position and text of the first fault.
bool ReadYamlTree(std::string_view text, YamlNode& root, ScenarioError& error);

}  // namespace Zarvo::DevCore
