// devcore describe: what plugin libraries serve, read from their API descriptions.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace Zarvo::DevCore {

// Loads the plugins into a core and prints the route catalogue of each, as text or as a JSON list. Returns the exit
// status: 0, or 1 with the reason on `out` when a plugin does not load.
int DescribePlugins(const std::vector<std::string>& plugins, bool json, std::ostream& out);

}  // namespace Zarvo::DevCore
