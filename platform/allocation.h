// The runtime's allocation functions, their replaceable hooks and the counters behind GetMemoryStats.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>

namespace Zarvo {

struct AllocatorHooks {
    void* (*allocate)(size_t size, void* userData);
    void (*release)(void* block, void* userData);
    void* (*reallocate)(void* block, size_t size, void* userData);
    char* (*duplicate)(const char* text, void* userData);
    size_t (*blockSize)(void* block, void* userData);
    void* userData;
};

struct AllocationStatistics {
    std::atomic<uint64_t> peakBytes{0};
    std::atomic<uint64_t> liveBlocksAtPeak{0};
    std::atomic<uint64_t> bytesAllocated{0};
    std::atomic<uint64_t> allocations{0};
    std::atomic<uint64_t> bytesFreed{0};
    std::atomic<uint64_t> releases{0};
    // bytesAllocated - bytesFreed as one counter, so that each allocation sees the exact live amount it made.
    std::atomic<uint64_t> liveBytes{0};
};

void* Allocate(size_t size);
// Null is ignored.
void Release(void* block);
// A null block allocates; a size of 0 releases the block and returns null; on failure the block stays valid.
void* Reallocate(void* block, size_t size);
// Null gives null.
char* Duplicate(const char* text);
size_t BlockSize(void* block);

// Replaces all hooks at once; null fields fall back to the C runtime.
bool SetAllocatorHooks(const AllocatorHooks& hooks);
// Hooks that allocate with the C runtime and count every block in the given statistics.
AllocatorHooks CountingAllocatorHooks(AllocationStatistics& statistics);
// The process-wide counters; the counting hooks over them are installed from the start.
AllocationStatistics& ProcessAllocationStatistics();

// A standard allocator over Allocate/Release, for containers of runtime objects.
template <class T>
struct RuntimeAllocator {
    using value_type = T;
    RuntimeAllocator() noexcept = default;
    template <class U>
    RuntimeAllocator(const RuntimeAllocator<U>&) noexcept {}
    T* allocate(size_t count);
    void deallocate(T* block, size_t) noexcept { Release(block); }
    template <class U>
    bool operator==(const RuntimeAllocator<U>&) const noexcept { return true; }
};

void* AllocateOrThrow(size_t size);

template <class T>
T* RuntimeAllocator<T>::allocate(size_t count) {
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(AllocateOrThrow(count * sizeof(T)));
}

}  // namespace Zarvo
