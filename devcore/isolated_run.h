// Crash isolation for devcore run: each scenario file is played in a child process, this program started again with
// a hidden option, which reports to its parent over a pipe as it goes. A plugin that crashes, aborts or hangs ends
// its child, never the run, and its scenario fails with a sentence that names the plugin, the call in progress and
// the step.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "devcore/child_reports.h"
#include "devcore/run_command.h"

namespace Zarvo::DevCore {

// The parent's side: plays the file in a child and returns what it came to. The child tells its story on the shared
// output itself. When no child can be started (a system that cannot run this program again, such as a user-mode
// emulator), the file is played in this process.
ScenarioRun RunFileInChild(const std::string& file, const RunOptions& options, std::ostream& out);

// The child's side: plays the one scenario file of `options`, reporting to `channel`. Returns the exit status.
int RunAsChild(const RunOptions& options, intptr_t channel, std::ostream& out);

}  // namespace Zarvo::DevCore
