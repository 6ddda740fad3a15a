#include "platform/allocation.h"

#include <cstdlib>
#include <cstring>
#include <new>

#ifdef _WIN32
#include <malloc.h>
#define KIV_USABLE_SIZE _msize
#else
#include <malloc.h>
#define KIV_USABLE_SIZE malloc_usable_size
#endif

namespace Zarvo {
namespace {

AllocatorHooks hooks{};
bool countingInstalled = false;

size_t UsableSize(void* block) { return block ? KIV_USABLE_SIZE(block) : 0; }

void RaisePeak(AllocationStatistics& s) {
    uint64_t current = s.bytesAllocated.load() - s.bytesFreed.load();
    uint64_t peak = s.peakBytes.load();
    while (current > peak) {
        if (s.peakBytes.compare_exchange_weak(peak, current)) {
            s.liveBlocksAtPeak.store(s.allocations.load() - s.releases.load());
            return;
        }
    }
}

void CountAllocated(AllocationStatistics& s, void* block) {
    s.bytesAllocated.fetch_add(UsableSize(block));
    s.allocations.fetch_add(1);
    RaisePeak(s);
}

void* CountingAllocate(size_t size, void* userData) {
    void* block = std::malloc(size);
    CountAllocated(*static_cast<AllocationStatistics*>(userData), block);
    return block;
}

void CountingRelease(void* block, void* userData) {
    if (!block) return;
    auto& s = *static_cast<AllocationStatistics*>(userData);
    size_t size = UsableSize(block);
    std::free(block);
    s.bytesFreed.fetch_add(size);
    s.releases.fetch_add(1);
}

void* CountingReallocate(void* block, size_t size, void* userData) {
    auto& s = *static_cast<AllocationStatistics*>(userData);
    s.bytesFreed.fetch_add(UsableSize(block));
    s.releases.fetch_add(1);
    void* moved = std::realloc(block, size);
    CountAllocated(s, moved);
    return moved;
}

char* CountingDuplicate(const char* text, void* userData) {
    size_t length = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(length));
    if (copy) std::memcpy(copy, text, length);
    CountAllocated(*static_cast<AllocationStatistics*>(userData), copy);
    return copy;
}

size_t DefaultBlockSize(void* block, void*) { return UsableSize(block); }

void InstallCountingHooks() {
    countingInstalled = true;
    if (hooks.allocate) return;
    hooks = {CountingAllocate, CountingRelease, CountingReallocate, CountingDuplicate, DefaultBlockSize,
             &ProcessAllocationStatistics()};
}

}  // namespace

AllocationStatistics& ProcessAllocationStatistics() {
    static AllocationStatistics statistics;
    return statistics;
}

void* Allocate(size_t size) {
    if (!countingInstalled) InstallCountingHooks();
    return hooks.allocate ? hooks.allocate(size, hooks.userData) : std::malloc(size);
}

void Release(void* block) {
    if (hooks.release) hooks.release(block, hooks.userData);
    else std::free(block);
}

void* Reallocate(void* block, size_t size) {
    return hooks.reallocate ? hooks.reallocate(block, size, hooks.userData) : std::realloc(block, size);
}

char* Duplicate(const char* text) {
    if (hooks.duplicate) return hooks.duplicate(text, hooks.userData);
    size_t length = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(length));
    if (copy) std::memcpy(copy, text, length);
    return copy;
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
