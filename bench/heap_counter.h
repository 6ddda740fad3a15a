// Counts every heap block the benchmark program makes, whoever makes it: the C library's malloc family is replaced
// by wrappers that count on the calling thread and pass on to the C library's own functions. Blocks made through
// the runtime's counting allocator, operator new and libraries that call malloc (libyaml, msgpack-c) all count.
// Include it in one source file of a program only. Under a sanitizer, which brings its own malloc, nothing is
// replaced and every figure is 0.
#pragma once

#include <cstddef>
#include <cstdint>

#include <malloc.h>

namespace BenchHeap {

// The calling thread's counts. Net bytes are those allocated less those freed while tracking; the peak is their
// highest value since tracking began.
struct Counters {
    uint64_t allocations;
    int64_t netBytes;
    int64_t peakBytes;
    bool tracking;
};

inline constinit thread_local Counters counters{};

// Heap use of one piece of work: its allocations and the most it held at once above what was held before it.
struct Use {
    uint64_t allocations = 0;
    int64_t peakBytes = 0;
};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KIV_BENCH_HEAP_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define KIV_BENCH_HEAP_SANITIZED 1
#endif
#endif

template <class Work>
Use Measure(Work work) {
    Counters& own = counters;
    const uint64_t before = own.allocations;
    own.netBytes = 0;
    own.peakBytes = 0;
    own.tracking = true;
    work();
    own.tracking = false;
    return {own.allocations - before, own.peakBytes};
}

// Allocations made by the calling thread so far.
inline uint64_t Allocations() { return counters.allocations; }

}  // namespace BenchHeap

#if !defined(KIV_BENCH_HEAP_SANITIZED)

extern "C" {

void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);

namespace {

inline void CountBlock(void* block) {
    BenchHeap::Counters& own = BenchHeap::counters;
    ++own.allocations;
    if (!own.tracking || !block) return;
    own.netBytes += static_cast<int64_t>(malloc_usable_size(block));
    if (own.netBytes > own.peakBytes) own.peakBytes = own.netBytes;
}

inline void UncountBlock(void* block) {
    BenchHeap::Counters& own = BenchHeap::counters;
    if (own.tracking && block) own.netBytes -= static_cast<int64_t>(malloc_usable_size(block));
}

}  // namespace

void* malloc(size_t size) {
    void* block = __libc_malloc(size);
    CountBlock(block);
    return block;
}

void* calloc(size_t count, size_t size) {
    void* block = __libc_calloc(count, size);
    CountBlock(block);
    return block;
}

void* realloc(void* block, size_t size) {
    UncountBlock(block);
    void* moved = __libc_realloc(block, size);
    if (moved) {
        CountBlock(moved);
    } else if (size != 0) {
        // A failed move leaves the block where it was.
        BenchHeap::Counters& own = BenchHeap::counters;
        if (own.tracking && block) own.netBytes += static_cast<int64_t>(malloc_usable_size(block));
    }
    return moved;
}

void free(void* block) {
    UncountBlock(block);
    __libc_free(block);
}

}  // extern "C"

#endif
