// The runtime's allocation functions, their replaceable hooks and the counters behind GetMemoryStats.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

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
};

void* Allocate(size_t size);
void Release(void* block);
void* Reallocate(void* block, size_t size);
char* Duplicate(const char* text);
size_t BlockSize(void* block);

// Replaces all hooks at once; null fields fall back to the C runtime.
bool SetAllocatorHooks(const AllocatorHooks& hooks);
// The process-wide counters of the counting hooks installed by the first Allocate.
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
    return static_cast<T*>(AllocateOrThrow(count * sizeof(T)));
}

}  // namespace Zarvo
