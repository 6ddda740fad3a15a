#include "platform/allocation.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/system.h"

namespace Zarvo {
namespace {

size_t UsableSize(void* block) { return block ? Platform::HeapBlockSize(block) : 0; }

AllocationStatistics& Statistics(void* userData) { return *static_cast<AllocationStatistics*>(userData); }

char* CopyText(const char* text) {
    if (!text) return nullptr;
    size_t length = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(std::malloc(length));
    if (copy) std::memcpy(copy, text, length);
    return copy;
}

// The peak is raised from the exact live amount this allocation produced, and by compare-and-swap, so that a
// concurrent lower raise never overwrites a higher one. Releases are read before allocations: every release was
// counted as an allocation first, so the block count never wraps.
void CountAllocated(AllocationStatistics& s, void* block) {
    uint64_t size = UsableSize(block);
    s.bytesAllocated.fetch_add(size);
    s.allocations.fetch_add(1);
    uint64_t current = s.liveBytes.fetch_add(size) + size;
    uint64_t peak = s.peakBytes.load();
    while (current > peak) {
        if (s.peakBytes.compare_exchange_weak(peak, current)) {
            uint64_t releases = s.releases.load();
            s.liveBlocksAtPeak.store(s.allocations.load() - releases);
            return;
        }
    }
}

void CountReleased(AllocationStatistics& s, uint64_t size) {
    s.liveBytes.fetch_sub(size);
    s.bytesFreed.fetch_add(size);
    s.releases.fetch_add(1);
}

void* CountingAllocate(size_t size, void* userData) {
    void* block = std::malloc(size);
    if (block) CountAllocated(Statistics(userData), block);
    return block;
}

void CountingRelease(void* block, void* userData) {
    if (!block) return;
    size_t size = UsableSize(block);
    std::free(block);
    CountReleased(Statistics(userData), size);
}

// Like the C runtimes of both platforms, a size of 0 frees the block; a failed move leaves the old block
// with the caller, so it is counted as released only once the move succeeded.
void* CountingReallocate(void* block, size_t size, void* userData) {
    if (!block) return CountingAllocate(size, userData);
    if (size == 0) {
        CountingRelease(block, userData);
        return nullptr;
    }
    auto& s = Statistics(userData);
    size_t oldSize = UsableSize(block);
    void* moved = std::realloc(block, size);
    if (!moved) return nullptr;
    CountReleased(s, oldSize);
    CountAllocated(s, moved);
    return moved;
}

char* CountingDuplicate(const char* text, void* userData) {
    char* copy = CopyText(text);
    if (copy) CountAllocated(Statistics(userData), copy);
    return copy;
}

size_t DefaultBlockSize(void* block, void*) { return UsableSize(block); }

// The counting hooks are in place before any code runs, so every block the runtime hands out is counted.
constinit AllocationStatistics processStatistics;
constinit AllocatorHooks hooks{CountingAllocate, CountingRelease,  CountingReallocate,
                               CountingDuplicate, DefaultBlockSize, &processStatistics};

}  // namespace

AllocatorHooks CountingAllocatorHooks(AllocationStatistics& statistics) {
    return {CountingAllocate, CountingRelease, CountingReallocate, CountingDuplicate, DefaultBlockSize, &statistics};
}

AllocationStatistics& ProcessAllocationStatistics() { return processStatistics; }

void* Allocate(size_t size) { return hooks.allocate ? hooks.allocate(size, hooks.userData) : std::malloc(size); }

void Release(void* block) {
    if (hooks.release) hooks.release(block, hooks.userData);
    else std::free(block);
}

void* Reallocate(void* block, size_t size) {
    return hooks.reallocate ? hooks.reallocate(block, size, hooks.userData) : std::realloc(block, size);
}

char* Duplicate(const char* text) {
    return hooks.duplicate ? hooks.duplicate(text, hooks.userData) : CopyText(text);
}

size_t BlockSize(void* block) { return hooks.blockSize ? hooks.blockSize(block, hooks.userData) : UsableSize(block); }

bool SetAllocatorHooks(const AllocatorHooks& replacement) {
    hooks = replacement;
    return true;
}

void* AllocateOrThrow(size_t size) {
    void* block = Allocate(size ? size : 1);
    if (!block) throw std::bad_alloc();
    return block;
}

}  // namespace Zarvo
