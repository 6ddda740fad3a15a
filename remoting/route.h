// A route: a function's path template, matched against request paths either literally or as a regular expression
// with one capture group per parameter.
//
//   /kiv-player-level-up/v1/level-up-notifications/{pluginName}
//   /kiv-player-level-up/v1/level-up-notifications/([^/]*)
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "remoting/argument_binding.h"

namespace Zarvo {

struct BindingFunctionInfo;
struct RemotingBinding;

struct RouteParameter {
    enum Kind : uint32_t {
        // Only a "}" outside a parameter records this kind; it adds no group.
        NoGroup = 0,
        // {name}: one path segment, possibly empty.
        Segment = 1,
        // {+name}: any text, "/" included.
        Reserved = 2,
        // {#name}: the text after a literal "#".
        Fragment = 3,
    };
    uint32_t kind = NoGroup;
    std::string name;
};

// The pattern text of a template, without anchors, and its parameters in template order.
std::string TemplateToPattern(std::string_view pathTemplate, std::vector<RouteParameter>& parameters);

// The regular-expression engine recurses once per byte of the path, so longer paths never match a pattern.
inline constexpr size_t kMaxPatternMatchedPath = 1024;

struct RemotingRoute {
    RemotingRoute(const BindingFunctionInfo* function, const RemotingBinding* binding, std::string_view pathTemplate);

    // Whether the whole path matches; the percent-decoded captures go into `captured` under their parameter names.
    bool MatchPath(std::string_view path, TextMap& captured) const;

    const BindingFunctionInfo* function;
    const RemotingBinding* binding;
    // The whole template when it has no parameter.
    std::string literal;
    // The bytes before the first "{" or "}" of a template with parameters, compared as they are; the pattern
    // covers the rest. A path matches the whole translation exactly when it starts with these bytes and its rest
    // matches the pattern, with the same captures, and the engine walks fewer bytes.
    std::string patternPrefix;
    std::optional<std::regex> pattern;
    std::vector<RouteParameter> parameters;
};

}  // namespace Zarvo
