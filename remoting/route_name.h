// The name of a function registered for a method and a path.
#pragma once

#include <string>
#include <string_view>

namespace Zarvo {

// GET and /kiv-player-level-up/v1/level-up give GetKivPlayerLevelUpV1LevelUp; a parameter {pluginName} gives
// ByPluginName.
std::string RouteFunctionName(std::string_view methodName, std::string_view path);

}  // namespace Zarvo
