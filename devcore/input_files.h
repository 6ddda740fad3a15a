// The files that the command line names: each must be readable before anything runs.
#pragma once

#include <string>
#include <vector>

namespace Zarvo::DevCore {

// True when every file can be opened for reading; else false with "cannot read <path>: <the system's reason>" for
// the first that cannot.
bool CheckReadable(const std::vector<std::string>& files, std::string& error);

}  // namespace Zarvo::DevCore
