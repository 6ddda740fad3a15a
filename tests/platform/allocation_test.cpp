#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "platform/allocation.h"

namespace Zarvo {
namespace {

// Counts into fresh statistics for one test; the process gets its own counting hooks back afterwards.
class AllocationCounting : public testing::Test {
protected:
    void SetUp() override { SetAllocatorHooks(CountingAllocatorHooks(stats)); }
    void TearDown() override { SetAllocatorHooks(CountingAllocatorHooks(ProcessAllocationStatistics())); }

    void ExpectCounters(uint64_t peakBytes, uint64_t liveBlocksAtPeak, uint64_t bytesAllocated, uint64_t allocations,
                        uint64_t bytesFreed, uint64_t releases) {
        EXPECT_EQ(stats.peakBytes, peakBytes);
        EXPECT_EQ(stats.liveBlocksAtPeak, liveBlocksAtPeak);
        EXPECT_EQ(stats.bytesAllocated, bytesAllocated);
        EXPECT_EQ(stats.allocations, allocations);
        EXPECT_EQ(stats.bytesFreed, bytesFreed);
        EXPECT_EQ(stats.releases, releases);
    }

    AllocationStatistics stats;
};

TEST_F(AllocationCounting, OneBlockAllocatedAndReleased) {
    void* block = Allocate(100);
    ASSERT_NE(block, nullptr);
    uint64_t size = BlockSize(block);
    EXPECT_GE(size, 100u);
    Release(block);
    ExpectCounters(size, 1, size, 1, size, 1);
}

TEST_F(AllocationCounting, NullBlocksAndTextsCountNothing) {
    Release(nullptr);
    EXPECT_EQ(Duplicate(nullptr), nullptr);
    ExpectCounters(0, 0, 0, 0, 0, 0);
}

TEST_F(AllocationCounting, PeakKeepsTheHighestLiveAmountAndItsBlockCount) {
    void* first = Allocate(1000);
    void* second = Allocate(2000);
    uint64_t peak = BlockSize(first) + BlockSize(second);
    Release(first);
    void* third = Allocate(10);
    EXPECT_EQ(stats.peakBytes, peak);
    EXPECT_EQ(stats.liveBlocksAtPeak, 2u);
    EXPECT_EQ(stats.allocations, 3u);
    EXPECT_EQ(stats.releases, 1u);
    Release(second);
    Release(third);
    EXPECT_EQ(stats.bytesAllocated, stats.bytesFreed);
}

TEST_F(AllocationCounting, ReallocateReleasesTheOldBlockAndAllocatesTheNew) {
    void* block = Allocate(16);
    uint64_t small = BlockSize(block);
    std::memcpy(block, "level", 6);
    block = Reallocate(block, 4000);
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(static_cast<char*>(block), "level");
    uint64_t large = BlockSize(block);
    ExpectCounters(large, 1, small + large, 2, small, 1);

    EXPECT_EQ(Reallocate(block, 0), nullptr);  // releases
    ExpectCounters(large, 1, small + large, 2, small + large, 2);

    void* fresh = Reallocate(nullptr, 50);  // allocates, releases nothing
    uint64_t freshSize = BlockSize(fresh);
    EXPECT_EQ(stats.allocations, 3u);
    EXPECT_EQ(stats.releases, 2u);
    Release(fresh);
    EXPECT_EQ(stats.bytesFreed, small + large + freshSize);
}

TEST_F(AllocationCounting, FailedReallocateLeavesTheBlockWithTheCaller) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator stops the program on an impossible size";
#endif
    void* block = Allocate(32);
    uint64_t size = BlockSize(block);
    EXPECT_EQ(Reallocate(block, std::numeric_limits<size_t>::max()), nullptr);
    ExpectCounters(size, 1, size, 1, 0, 0);
    std::memset(block, 1, 32);
    Release(block);
    ExpectCounters(size, 1, size, 1, size, 1);
}

TEST_F(AllocationCounting, DuplicateCountsTheCopy) {
    char* copy = Duplicate("level up");
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "level up");
    uint64_t size = BlockSize(copy);
    EXPECT_GE(size, 9u);
    ExpectCounters(size, 1, size, 1, 0, 0);
    Release(copy);
}

// Threads meet here before any goes on. It spins, yielding: std::barrier of mingw-w64's C++ runtime can miss a
// wake-up and hang, and a condition variable under wine costs a round trip to the wine server per wait.
class Barrier {
public:
    explicit Barrier(int count) : count_(count) {}

    void ArriveAndWait() {
        const uint64_t phase = phase_.load();
        if (arrived_.fetch_add(1) + 1 == count_) {
            arrived_.store(0);
            phase_.store(phase + 1);
            return;
        }
        while (phase_.load() == phase) std::this_thread::yield();
    }

private:
    const int count_;
    std::atomic<int> arrived_{0};
    std::atomic<uint64_t> phase_{0};
};

// Each round the threads allocate one block at the same moment, racing to raise the peak, and hold it until
// all are allocated: the peak must then be exactly the sum of the blocks.
TEST_F(AllocationCounting, ConcurrentRaisesOfThePeakAreNeverLost) {
    constexpr int kThreads = 4, kRounds = 5000;
    std::vector<AllocationStatistics> rounds(kRounds);
    std::vector<uint64_t> held(kRounds);
    std::atomic<uint64_t> heldNow{0};
    Barrier step(kThreads + 1);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                step.ArriveAndWait();  // hooks set for this round
                void* block = Allocate(16 + 24 * t);
                heldNow += BlockSize(block);
                step.ArriveAndWait();  // every block is held
                Release(block);
                step.ArriveAndWait();  // the round's counters are complete
            }
        });
    }
    for (int round = 0; round < kRounds; ++round) {
        SetAllocatorHooks(CountingAllocatorHooks(rounds[round]));
        step.ArriveAndWait();
        step.ArriveAndWait();
        held[round] = heldNow.exchange(0);
        step.ArriveAndWait();
    }
    for (std::thread& thread : threads) thread.join();
    int wrong = 0;
    for (int round = 0; round < kRounds; ++round) {
        const AllocationStatistics& s = rounds[round];
        wrong += s.peakBytes != held[round] || s.bytesFreed != held[round] || s.releases != uint64_t{kThreads};
    }
    EXPECT_EQ(wrong, 0) << "rounds whose peak or releases missed the blocks held";
}

TEST(ProcessAllocation, CountsWithoutAnySetUp) {
    const AllocationStatistics& process = ProcessAllocationStatistics();
    uint64_t allocations = process.allocations, releases = process.releases;
    Release(Allocate(24));
    EXPECT_EQ(process.allocations, allocations + 1);
    EXPECT_EQ(process.releases, releases + 1);
}

struct HookCalls {
    int allocate = 0, release = 0, reallocate = 0, duplicate = 0, blockSize = 0;
};

HookCalls& Calls(void* userData) { return *static_cast<HookCalls*>(userData); }

void* RecordingAllocate(size_t size, void* userData) {
    ++Calls(userData).allocate;
    return std::malloc(size);
}

void RecordingRelease(void* block, void* userData) {
    ++Calls(userData).release;
    std::free(block);
}

void* RecordingReallocate(void* block, size_t size, void* userData) {
    ++Calls(userData).reallocate;
    return std::realloc(block, size);
}

char* RecordingDuplicate(const char* text, void* userData) {
    ++Calls(userData).duplicate;
    size_t length = std::strlen(text) + 1;
    return static_cast<char*>(std::memcpy(std::malloc(length), text, length));
}

size_t RecordingBlockSize(void*, void* userData) {
    ++Calls(userData).blockSize;
    return 7;
}

TEST(AllocatorHooks, EveryCallReachesItsHookWithTheUserData) {
    HookCalls calls;
    SetAllocatorHooks({RecordingAllocate, RecordingRelease, RecordingReallocate, RecordingDuplicate,
                       RecordingBlockSize, &calls});
    void* block = Reallocate(Allocate(8), 16);
    size_t size = BlockSize(block);
    Release(block);
    Release(Duplicate("x"));
    SetAllocatorHooks(CountingAllocatorHooks(ProcessAllocationStatistics()));
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(calls.allocate, 1);
    EXPECT_EQ(calls.reallocate, 1);
    EXPECT_EQ(calls.blockSize, 1);
    EXPECT_EQ(calls.release, 2);
    EXPECT_EQ(calls.duplicate, 1);
}

TEST(AllocatorHooks, NullHooksFallBackToTheCRuntime) {
    const AllocationStatistics& process = ProcessAllocationStatistics();
    uint64_t allocations = process.allocations;
    SetAllocatorHooks({});
    void* block = Reallocate(Allocate(8), 64);
    size_t size = BlockSize(block);
    char* copy = Duplicate("abc");
    std::string text = copy;
    Release(copy);
    Release(block);
    SetAllocatorHooks(CountingAllocatorHooks(ProcessAllocationStatistics()));
    EXPECT_GE(size, 64u);
    EXPECT_EQ(text, "abc");
    EXPECT_EQ(process.allocations, allocations);
}

TEST(RuntimeAllocator, RefusesACountWhoseByteSizeOverflows) {
    RuntimeAllocator<uint64_t> allocator;
    EXPECT_THROW(allocator.allocate(std::numeric_limits<size_t>::max() / 4), std::bad_array_new_length);
}

}  // namespace
}  // namespace Zarvo
