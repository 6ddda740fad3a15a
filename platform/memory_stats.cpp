#include "platform/memory_stats.h"

namespace Zarvo {

void FillMemoryStats(const AllocationStatistics& s, PluginMemoryStats* out) {
    if (!out) return;
    *out = {s.peakBytes.load(), s.liveBlocksAtPeak.load(), s.bytesAllocated.load(), s.allocations.load(),
            s.bytesFreed.load(), s.releases.load(), 0};
}

void FillMemoryStats(PluginMemoryStats* out) { FillMemoryStats(ProcessAllocationStatistics(), out); }

}  // namespace Zarvo
