#include <gtest/gtest.h>

#include <cstring>

#include "platform/memory_stats.h"

namespace Zarvo {
namespace {

TEST(MemoryStats, SixCountersInRecordOrderThenZero) {
    AllocationStatistics stats;
    constexpr uint64_t kHigh = uint64_t{1} << 40;  // values beyond 32 bits catch a narrowed copy
    stats.peakBytes = kHigh + 1;
    stats.liveBlocksAtPeak = kHigh + 2;
    stats.bytesAllocated = kHigh + 3;
    stats.allocations = kHigh + 4;
    stats.bytesFreed = kHigh + 5;
    stats.releases = kHigh + 6;
    PluginMemoryStats record;
    std::memset(&record, 0xAB, sizeof record);
    FillMemoryStats(stats, &record);
    EXPECT_EQ(record.peakBytes, kHigh + 1);
    EXPECT_EQ(record.liveBlocksAtPeak, kHigh + 2);
    EXPECT_EQ(record.bytesAllocated, kHigh + 3);
    EXPECT_EQ(record.allocations, kHigh + 4);
    EXPECT_EQ(record.bytesFreed, kHigh + 5);
    EXPECT_EQ(record.releases, kHigh + 6);
    EXPECT_EQ(record.reserved, 0u);
    FillMemoryStats(stats, nullptr);
}

TEST(MemoryStats, ProcessRecordHoldsTheProcessCounters) {
    Release(Allocate(40));
    PluginMemoryStats record{};
    FillMemoryStats(&record);
    const AllocationStatistics& process = ProcessAllocationStatistics();
    EXPECT_GE(record.allocations, 1u);
    EXPECT_EQ(record.peakBytes, process.peakBytes);
    EXPECT_EQ(record.liveBlocksAtPeak, process.liveBlocksAtPeak);
    EXPECT_EQ(record.bytesAllocated, process.bytesAllocated);
    EXPECT_EQ(record.allocations, process.allocations);
    EXPECT_EQ(record.bytesFreed, process.bytesFreed);
    EXPECT_EQ(record.releases, process.releases);
}

}  // namespace
}  // namespace Zarvo
