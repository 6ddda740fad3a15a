// A route: a function's path template, matched against request paths either literally or, when the template has
// parameters, by its path pattern with one capture per parameter.
//
//   /kiv-player-level-up/v1/level-up-notifications/{pluginName}
//   "/kiv-player-level-up/v1/level-up-notifications/", then one segment captured as pluginName
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "remoting/argument_binding.h"
#include "remoting/path_pattern.h"

namespace Zarvo {

struct BindingFunctionInfo;
struct RemotingBinding;

struct RemotingRoute {
    RemotingRoute(const BindingFunctionInfo* function, const RemotingBinding* binding, std::string_view pathTemplate);

    // Whether the whole path matches; the percent-decoded captures go into `captured` under their parameter names.
    // Paths of any length are matched with constant stack, in time linear in the path.
    bool MatchPath(std::string_view path, TextMap& captured) const;

    const BindingFunctionInfo* function;
    const RemotingBinding* binding;
    // The whole template when it has no "{".
    std::string literal;
    // Set when the template has a "{".
    bool patterned = false;
    PathPattern pattern;
    std::vector<RouteParameter> parameters;
};

}  // namespace Zarvo
