#include "binding/property_pool.h"

#include <array>
#include <bit>
#include <cstring>
#include <new>

#include "binding/memory_poisoning.h"
#include "binding/page_cache.h"

namespace Zarvo {

struct LargeBlock {
    LargeBlock* prev;
    LargeBlock* next;
};

namespace {

using namespace PoolLayout;

constexpr size_t LargeHeaderSize = 16;
static_assert(sizeof(LargeBlock) <= LargeHeaderSize);

// Block offsets are exact multiples of the block size: a multiply by the rounded-up reciprocal divides them.
constexpr auto Reciprocals = [] {
    std::array<uint32_t, SmallBlockPool::SizeClassCount> table{};
    for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint32_t>(((uint64_t{1} << 32) + ClassSizes[i] - 1) / ClassSizes[i]);
    return table;
}();

PoolPage* Next(PoolPage* page) noexcept { return static_cast<PoolPage*>(page->next); }

void Push(PoolPage*& head, PoolPage* page) noexcept {
    page->prev = nullptr;
    page->next = head;
    if (head) head->prev = page;
    head = page;
}

void Unlink(PoolPage*& head, PoolPage* page) noexcept {
    if (page->prev) page->prev->next = page->next;
    else head = Next(page);
    if (page->next) page->next->prev = page->prev;
}

void ReturnPage(PoolPage* page, bool keepOnThread = false) noexcept {
    PoisonMemory(FirstBlock(page), PropertyPageSize - PageHeaderSize);
    if (keepOnThread) KeepPageOnThread(page);
    else ReturnCachedPage(page);
}

void ReturnAll(PoolPage*& head, bool keepOnThread) noexcept {
    while (head) {
        PoolPage* next = Next(head);
        ReturnPage(head, keepOnThread);
        head = next;
    }
}

void Empty(PoolPage* page) noexcept {
    page->used = 0;
    page->firstFree = NoBlock;
    page->carved = 0;
    PoisonMemory(FirstBlock(page), PropertyPageSize - PageHeaderSize);
}

}  // namespace

void SmallBlockPool::ReleaseEverything(PageDestination destination) noexcept {
    if (destination == PageDestination::Pool) {
        for (uint32_t used = classesUsed_; used; used &= used - 1) {
            for (PoolPage* page = available_[std::countr_zero(used)]; page; page = Next(page)) Empty(page);
        }
        while (PoolPage* page = full_) {
            Unlink(full_, page);
            Empty(page);
            Push(available_[page->sizeClass], page);
        }
    } else {
        bool keepOnThread = destination == PageDestination::Thread;
        for (uint32_t used = classesUsed_; used; used &= used - 1)
            ReturnAll(available_[std::countr_zero(used)], keepOnThread);
        ReturnAll(full_, keepOnThread);
        classesUsed_ = 0;
        pageCount_ = 0;
    }
    while (large_) {
        LargeBlock* next = large_->next;
        Zarvo::Release(large_);
        large_ = next;
    }
}

void* SmallBlockPool::AllocateSlow(size_t size) {
    if (size > MaxSmallBlock) return AllocateLarge(size);
    uint8_t sizeClass = ClassByUnits[(size + 7) / 8];
    PoolPage* page = available_[sizeClass];
    if (!page) {
        page = static_cast<PoolPage*>(TakeCachedPage());
        page->used = 0;
        page->firstFree = NoBlock;
        page->carved = 0;
        page->sizeClass = sizeClass;
        PoisonMemory(FirstBlock(page), PropertyPageSize - PageHeaderSize);
        Push(available_[sizeClass], page);
        classesUsed_ |= uint32_t{1} << sizeClass;
        ++pageCount_;
    }
    char* block = TakeBlock(page, ClassSizes[sizeClass]);
    if (page->used == Capacities[sizeClass]) {
        Unlink(available_[sizeClass], page);
        Push(full_, page);
    }
    return block;
}

void SmallBlockPool::Release(void* block, size_t size) noexcept {
    if (!block) return;
    if (size > MaxSmallBlock) return ReleaseLarge(block);
    auto* page = static_cast<PoolPage*>(PageOf(block));
    uint8_t sizeClass = page->sizeClass;
    auto offset = static_cast<uint32_t>(static_cast<char*>(block) - FirstBlock(page));
    auto index = static_cast<uint16_t>((uint64_t{offset} * Reciprocals[sizeClass]) >> 32);
    UnpoisonMemory(block, ClassSizes[sizeClass]);
    std::memcpy(block, &page->firstFree, sizeof(uint16_t));
    PoisonMemory(block, ClassSizes[sizeClass]);
    page->firstFree = index;
    bool wasFull = page->used == Capacities[sizeClass];
    PoolPage*& list = wasFull ? full_ : available_[sizeClass];
    if (--page->used == 0) {
        Unlink(list, page);
        --pageCount_;
        ReturnPage(page);
    } else if (wasFull) {
        Unlink(full_, page);
        Push(available_[sizeClass], page);
    }
}

void* SmallBlockPool::AllocateLarge(size_t size) {
    if (size > SIZE_MAX - LargeHeaderSize) throw std::bad_alloc();
    auto* header = static_cast<LargeBlock*>(AllocateOrThrow(size + LargeHeaderSize));
    header->prev = nullptr;
    header->next = large_;
    if (large_) large_->prev = header;
    large_ = header;
    return reinterpret_cast<char*>(header) + LargeHeaderSize;
}

void SmallBlockPool::ReleaseLarge(void* block) noexcept {
    auto* header = reinterpret_cast<LargeBlock*>(static_cast<char*>(block) - LargeHeaderSize);
    if (header->prev) header->prev->next = header->next;
    else large_ = header->next;
    if (header->next) header->next->prev = header->prev;
    Zarvo::Release(header);
}

}  // namespace Zarvo
