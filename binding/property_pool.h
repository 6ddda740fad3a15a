// Small-block pools over cached pages, and the allocator through which a tree's containers use them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "binding/memory_poisoning.h"
#include "binding/page_cache.h"
#include "platform/allocation.h"

namespace Zarvo {

struct LargeBlock;

// The head of a pool's page, in the page's first bytes; its blocks follow.
struct PoolPage : PageLinks {
    uint16_t used;
    uint16_t firstFree;  // index of the first free block, or NoBlock; each free block holds the next one's index
    uint16_t carved;     // blocks at and past this index were never handed out
    uint8_t sizeClass;
};

namespace PoolLayout {

constexpr size_t PageHeaderSize = 32;
constexpr uint16_t NoBlock = 0xFFFF;
constexpr size_t MaxSmallBlock = (PropertyPageSize - PageHeaderSize) / 2;
constexpr size_t SizeClassCount = 32;
static_assert(sizeof(PoolPage) <= PageHeaderSize);

constexpr std::array<uint16_t, SizeClassCount> ClassSizes = {
    8,   16,  24,  32,  40,  48,  56,  64,  72,   80,   88,   96,   104,  112,  120,  128,
    160, 192, 224, 256, 320, 384, 448, 512, 640, 768, 896, 1024, 1280, 1536, 1792, MaxSmallBlock};

// Size class by size in 8-byte units.
constexpr auto ClassByUnits = [] {
    std::array<uint8_t, MaxSmallBlock / 8 + 1> table{};
    uint8_t sizeClass = 0;
    for (size_t units = 0; units < table.size(); ++units) {
        while (ClassSizes[sizeClass] < units * 8) ++sizeClass;
        table[units] = sizeClass;
    }
    return table;
}();

constexpr auto Capacities = [] {
    std::array<uint16_t, SizeClassCount> table{};
    for (size_t i = 0; i < table.size(); ++i) table[i] = (PropertyPageSize - PageHeaderSize) / ClassSizes[i];
    return table;
}();

inline char* FirstBlock(PoolPage* page) noexcept { return reinterpret_cast<char*>(page) + PageHeaderSize; }

}  // namespace PoolLayout

// Blocks of one size are carved from one page; each block size has its own list of pages with a free block.
// Blocks too large to share a page come straight from Allocate. Not synchronised: one tree, one thread.
class SmallBlockPool {
public:
    static constexpr size_t BlockAlignment = 8;
    static constexpr size_t SizeClassCount = PoolLayout::SizeClassCount;  // the bits of classesUsed_

    SmallBlockPool() noexcept = default;
    SmallBlockPool(const SmallBlockPool&) = delete;
    SmallBlockPool& operator=(const SmallBlockPool&) = delete;
    // Hands every page back to the page cache and frees every large block, whatever is still in use.
    ~SmallBlockPool() { ReleaseAll(PageDestination::Cache); }

    // Throws std::bad_alloc. Inline for the usual case: a block of a page that stays available.
    void* Allocate(size_t size) {
        using namespace PoolLayout;
        if (size <= MaxSmallBlock) {
            uint8_t sizeClass = ClassByUnits[(size + 7) / 8];
            PoolPage* page = available_[sizeClass];
            if (page && page->used + 1 < Capacities[sizeClass]) return TakeBlock(page, ClassSizes[sizeClass]);
        }
        return AllocateSlow(size);
    }
    // The size must be the one the block was allocated with.
    void Release(void* block, size_t size) noexcept;

    // Where the pages of a pool emptied at once go: back to the page cache, to the calling thread's own pages
    // (which must have room for them), or nowhere, emptied in place for the pool's next blocks.
    enum class PageDestination : uint8_t { Cache, Thread, Pool };

    size_t PageCount() const noexcept { return pageCount_; }
    bool HoldsLargeBlocks() const noexcept { return large_ != nullptr; }
    // Frees everything at once, whatever is still in use, and leaves the pool empty and usable.
    void ReleaseAll(PageDestination destination) noexcept {
        if (classesUsed_ || large_) ReleaseEverything(destination);
    }

private:
    // A free block of a page with room: the last one released, else the next one never used.
    static char* TakeBlock(PoolPage* page, size_t blockSize) noexcept {
        char* block;
        if (page->firstFree != PoolLayout::NoBlock) {
            block = PoolLayout::FirstBlock(page) + page->firstFree * blockSize;
            UnpoisonMemory(block, blockSize);
            std::memcpy(&page->firstFree, block, sizeof(uint16_t));
        } else {
            block = PoolLayout::FirstBlock(page) + page->carved++ * blockSize;
            UnpoisonMemory(block, blockSize);
        }
        ++page->used;
        return block;
    }
    void ReleaseEverything(PageDestination destination) noexcept;
    void* AllocateSlow(size_t size);
    void* AllocateLarge(size_t size);
    void ReleaseLarge(void* block) noexcept;

    PoolPage* available_[SizeClassCount] = {};
    uint32_t classesUsed_ = 0;  // one bit per size class that had a page since the pool last gave its pages away
    size_t pageCount_ = 0;
    PoolPage* full_ = nullptr;
    LargeBlock* large_ = nullptr;
};

// A standard allocator over one pool; a null pool falls back to Allocate/Release.
template <class T>
class PoolAllocator {
public:
    using value_type = T;
    // A container keeps the pool it was made with: its tree's context.
    using propagate_on_container_copy_assignment = std::false_type;
    using propagate_on_container_move_assignment = std::false_type;
    using propagate_on_container_swap = std::true_type;
    using is_always_equal = std::false_type;

    PoolAllocator() noexcept = default;
    explicit PoolAllocator(SmallBlockPool* pool) noexcept : pool_(pool) {}
    template <class U>
    PoolAllocator(const PoolAllocator<U>& other) noexcept : pool_(other.Pool()) {}

    T* allocate(size_t count) {
        static_assert(alignof(T) <= SmallBlockPool::BlockAlignment, "pool blocks are 8-byte aligned");
        size_t size = count * sizeof(T);
        return static_cast<T*>(pool_ ? pool_->Allocate(size) : AllocateOrThrow(size));
    }

    void deallocate(T* block, size_t count) noexcept {
        if (pool_) pool_->Release(block, count * sizeof(T));
        else Zarvo::Release(block);
    }

    SmallBlockPool* Pool() const noexcept { return pool_; }

    template <class U>
    bool operator==(const PoolAllocator<U>& other) const noexcept { return pool_ == other.Pool(); }

private:
    SmallBlockPool* pool_ = nullptr;
};

// Constructs one object in a block of the pool.
template <class T, class... Args>
T* PoolNew(SmallBlockPool& pool, Args&&... args) {
    void* block = pool.Allocate(sizeof(T));
    try {
        return new (block) T(std::forward<Args>(args)...);
    } catch (...) {
        pool.Release(block, sizeof(T));
        throw;
    }
}

template <class T>
void PoolDelete(SmallBlockPool& pool, T* object) noexcept {
    object->~T();
    pool.Release(object, sizeof(T));
}

}  // namespace Zarvo
