// The plugin libraries of one core: each file loaded once, and one plugin of each name.
#pragma once

#include <string>
#include <vector>

#include "devcore/test_core.h"

namespace Zarvo::DevCore {

// Loads the libraries in order. A path is a file, relative to the current folder unless absolute; it is loaded by
// its real path (links resolved), and a file named twice, by whatever path, loads once. A library whose plugin has
// the name of one already loaded from another file is refused. False with a readable error at the first library
// that cannot be loaded; those loaded before it stay in the core.
bool LoadPlugins(TestCore& core, const std::vector<std::string>& paths, std::string& error);

}  // namespace Zarvo::DevCore
