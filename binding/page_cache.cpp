#include "binding/page_cache.h"

#include <cstddef>
#include <mutex>
#include <new>

#include "binding/memory_poisoning.h"
#include "platform/allocation.h"
#include "platform/system.h"

namespace Zarvo {

// One allocation from the system, cut into aligned pages; its record lives in the allocation's unused slack.
struct PageRun {
    void* block;
    PageLinks* firstPage;
    uint32_t cachedCount;
    PageRun* prevIdle;  // links among the runs whose pages are all idle
    PageRun* nextIdle;
};

namespace {

// One page more than the run needs leaves room to align the pages and to hold the run's record.
constexpr size_t RunSize = (PropertyPagesPerRun + 1) * PropertyPageSize;

// Idle pages, and beside them the runs whose pages are all idle: whenever the cache holds more than PageCacheBound
// idle pages, it holds no such run.
class PageCache {
public:
    PageLinks* Take() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!idle_) AddRun();
        PageLinks* page = idle_;
        Unlink(page);
        if (page->run->cachedCount-- == PropertyPagesPerRun) UnlinkIdleRun(page->run);
        --idleCount_;
        return page;
    }

    void Return(PageLinks* page) noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        Push(page);
        if (++page->run->cachedCount == PropertyPagesPerRun) PushIdleRun(page->run);
        while (idleCount_ > PageCacheBound && idleRuns_) ReleaseRun(idleRuns_);
    }

    void ReleaseIdleRuns() noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        while (idleRuns_) ReleaseRun(idleRuns_);
    }

    PageCacheStatistics Statistics() noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        return {idleCount_, runCount_};
    }

private:
    void Push(PageLinks* page) noexcept {
        page->prev = nullptr;
        page->next = idle_;
        if (idle_) idle_->prev = page;
        idle_ = page;
        ++idleCount_;
    }

    void Unlink(PageLinks* page) noexcept {
        if (page->prev) page->prev->next = page->next;
        else idle_ = page->next;
        if (page->next) page->next->prev = page->prev;
    }

    void PushIdleRun(PageRun* run) noexcept {
        run->prevIdle = nullptr;
        run->nextIdle = idleRuns_;
        if (idleRuns_) idleRuns_->prevIdle = run;
        idleRuns_ = run;
    }

    void UnlinkIdleRun(PageRun* run) noexcept {
        if (run->prevIdle) run->prevIdle->nextIdle = run->nextIdle;
        else idleRuns_ = run->nextIdle;
        if (run->nextIdle) run->nextIdle->prevIdle = run->prevIdle;
    }

    void AddRun() {
        void* block = Allocate(RunSize);
        if (!block) throw std::bad_alloc();
        uintptr_t start = reinterpret_cast<uintptr_t>(block);
        uintptr_t end = start + RunSize;
        uintptr_t first = (start + PropertyPageSize - 1) & ~uintptr_t{PropertyPageSize - 1};
        uintptr_t pagesEnd = first + PropertyPagesPerRun * PropertyPageSize;
        void* record = end - pagesEnd >= sizeof(PageRun) ? reinterpret_cast<void*>(pagesEnd) : block;
        PageRun* run = new (record) PageRun{block, reinterpret_cast<PageLinks*>(first), 0, nullptr, nullptr};
        for (size_t i = PropertyPagesPerRun; i-- > 0;) {
            auto* page = reinterpret_cast<PageLinks*>(first + i * PropertyPageSize);
            page->run = run;
            Push(page);
        }
        run->cachedCount = PropertyPagesPerRun;
        PushIdleRun(run);
        ++runCount_;
    }

    void ReleaseRun(PageRun* run) noexcept {
        UnlinkIdleRun(run);
        auto first = reinterpret_cast<uintptr_t>(run->firstPage);
        for (size_t i = 0; i < PropertyPagesPerRun; ++i) Unlink(reinterpret_cast<PageLinks*>(first + i * PropertyPageSize));
        idleCount_ -= PropertyPagesPerRun;
        --runCount_;
        void* block = run->block;
        UnpoisonMemory(block, RunSize);
        Release(block);
    }

    std::mutex mutex_;
    PageLinks* idle_ = nullptr;
    PageRun* idleRuns_ = nullptr;
    size_t idleCount_ = 0;
    size_t runCount_ = 0;
};

PageCache& Cache() noexcept {
    // Never destroyed: trees owned by other static objects may still return pages while the process exits.
    alignas(PageCache) static unsigned char storage[sizeof(PageCache)];
    static PageCache* cache = new (storage) PageCache();
    return *cache;
}

// The pages a thread keeps, in a singly linked list. Made for the thread on first need and reached through a thread
// slot, so that its pages can still go back to the cache as the thread ends.
struct ThreadPages {
    PageLinks* head = nullptr;
    size_t count = 0;
    size_t held = 0;  // kept elsewhere for the thread, see CountPagesHeldByThread
};

void ReturnThreadPages(ThreadPages& own) noexcept {
    while (own.head) {
        PageLinks* page = own.head;
        own.head = page->next;
        Cache().Return(page);
    }
    own.count = 0;
}

// May run on another thread than the one that ends (a library unloading on Windows): touches only `value`.
void EndThreadPages(void* value) {
    auto* own = static_cast<ThreadPages*>(value);
    ReturnThreadPages(*own);
    own->~ThreadPages();
    Release(own);
}

Platform::ThreadSlot& ThreadPagesSlot() noexcept {
    static Platform::ThreadSlot slot(&EndThreadPages);
    return slot;
}

ThreadPages* FoundThreadPages() noexcept { return static_cast<ThreadPages*>(ThreadPagesSlot().Get()); }

// The calling thread's pages, made when missing; null when the thread can keep none (no memory, no slot).
ThreadPages* OwnThreadPages() noexcept {
    if (ThreadPages* own = FoundThreadPages()) return own;
    void* memory = Allocate(sizeof(ThreadPages));
    if (!memory) return nullptr;
    auto* own = new (memory) ThreadPages();
    if (ThreadPagesSlot().Set(own)) return own;
    Release(own);
    return nullptr;
}

}  // namespace

PageLinks* TakeCachedPage() {
    ThreadPages* own = FoundThreadPages();
    if (PageLinks* page = own ? own->head : nullptr) {
        own->head = page->next;
        --own->count;
        return page;
    }
    return Cache().Take();
}

void ReturnCachedPage(PageLinks* page) noexcept { Cache().Return(page); }

size_t ThreadPageRoom() noexcept {
    const ThreadPages* own = OwnThreadPages();
    return own ? ThreadPageCount - own->count - own->held : 0;
}

void CountPagesHeldByThread(ptrdiff_t change) noexcept {
    if (ThreadPages* own = FoundThreadPages()) own->held += static_cast<size_t>(change);
}

void KeepPageOnThread(PageLinks* page) noexcept {
    ThreadPages* own = FoundThreadPages();
    if (!own) {
        Cache().Return(page);
        return;
    }
    page->next = own->head;
    own->head = page;
    ++own->count;
}

void ReleaseIdlePageRuns() noexcept {
    if (ThreadPages* own = FoundThreadPages()) ReturnThreadPages(*own);
    Cache().ReleaseIdleRuns();
}

PageCacheStatistics ReadPageCacheStatistics() noexcept {
    PageCacheStatistics statistics = Cache().Statistics();
    if (const ThreadPages* own = FoundThreadPages()) statistics.cachedPages += own->count + own->held;
    return statistics;
}

}  // namespace Zarvo
