// The allocation counters in the record the core reads through GetMemoryStats.
#pragma once

#include "abi/plugin_abi.h"
#include "platform/allocation.h"

namespace Zarvo {

// Loads each counter atomically, in the record's order; the last field is always 0.
void FillMemoryStats(const AllocationStatistics& statistics, PluginMemoryStats* out);
// The same for the process-wide counters.
void FillMemoryStats(PluginMemoryStats* out);

}  // namespace Zarvo
