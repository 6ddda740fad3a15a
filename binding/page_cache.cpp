#include "binding/page_cache.h"

#include <cstddef>
#include <mutex>
#include <new>

#include "binding/memory_poisoning.h"
#include "platform/allocation.h"

namespace Zarvo {

// One allocation from the system, cut into aligned pages; its record lives in the allocation's unused slack.
struct PageRun {
    void* block;
    PageLinks* firstPage;
    uint32_t cachedCount;
};

namespace {

// One page more than the run needs leaves room to align the pages and to hold the run's record.
constexpr size_t RunSize = (PropertyPagesPerRun + 1) * PropertyPageSize;

class PageCache {
public:
    PageLinks* Take() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!idle_) AddRun();
        PageLinks* page = idle_;
        Unlink(page);
        --page->run->cachedCount;
        --idleCount_;
        return page;
    }

    void Return(PageLinks* page) noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        Push(page);
        PageRun* run = page->run;
        if (++run->cachedCount == PropertyPagesPerRun && idleCount_ > PageCacheBound) ReleaseRun(run);
    }

    void ReleaseIdleRuns() noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        for (PageLinks* page = idle_; page;) {
            if (page->run->cachedCount != PropertyPagesPerRun) {
                page = page->next;
                continue;
            }
            ReleaseRun(page->run);
            page = idle_;  // the next page may have gone with the run; the pages before it hold no idle run
        }
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

    void AddRun() {
        void* block = Allocate(RunSize);
        if (!block) throw std::bad_alloc();
        uintptr_t start = reinterpret_cast<uintptr_t>(block);
        uintptr_t end = start + RunSize;
        uintptr_t first = (start + PropertyPageSize - 1) & ~uintptr_t{PropertyPageSize - 1};
        uintptr_t pagesEnd = first + PropertyPagesPerRun * PropertyPageSize;
        void* record = end - pagesEnd >= sizeof(PageRun) ? reinterpret_cast<void*>(pagesEnd) : block;
        PageRun* run = new (record) PageRun{block, reinterpret_cast<PageLinks*>(first), 0};
        for (size_t i = PropertyPagesPerRun; i-- > 0;) {
            auto* page = reinterpret_cast<PageLinks*>(first + i * PropertyPageSize);
            page->run = run;
            Push(page);
        }
        run->cachedCount = PropertyPagesPerRun;
        ++runCount_;
    }

    void ReleaseRun(PageRun* run) noexcept {
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
    size_t idleCount_ = 0;
    size_t runCount_ = 0;
};

PageCache& Cache() noexcept {
    // Never destroyed: trees owned by other static objects may still return pages while the process exits.
    alignas(PageCache) static unsigned char storage[sizeof(PageCache)];
    static PageCache* cache = new (storage) PageCache();
    return *cache;
}

// The pages a thread keeps, in a singly linked list. Trivially destructible, so it stays usable while the thread's
// other objects are destroyed; the guard below empties and closes it first.
struct ThreadPages {
    PageLinks* head;
    size_t count;
    size_t held;  // kept elsewhere for the thread, see CountPagesHeldByThread
    bool guarded;
    bool closed;
};
constinit thread_local ThreadPages threadPages{};

void ReturnThreadPages(ThreadPages& own) noexcept {
    while (own.head) {
        PageLinks* page = own.head;
        own.head = page->next;
        Cache().Return(page);
    }
    own.count = 0;
}

struct ThreadPagesGuard {
    ~ThreadPagesGuard() {
        threadPages.closed = true;
        ReturnThreadPages(threadPages);
    }
};
thread_local ThreadPagesGuard threadPagesGuard;

}  // namespace

PageLinks* TakeCachedPage() {
    ThreadPages& own = threadPages;
    if (PageLinks* page = own.head) {
        own.head = page->next;
        --own.count;
        return page;
    }
    return Cache().Take();
}

void ReturnCachedPage(PageLinks* page) noexcept { Cache().Return(page); }

size_t ThreadPageRoom() noexcept {
    const ThreadPages& own = threadPages;
    return own.closed ? 0 : ThreadPageCount - own.count - own.held;
}

void CountPagesHeldByThread(ptrdiff_t change) noexcept { threadPages.held += static_cast<size_t>(change); }

void KeepPageOnThread(PageLinks* page) noexcept {
    ThreadPages& own = threadPages;
    if (!own.guarded) {
        own.guarded = true;
        static_cast<void>(&threadPagesGuard);  // its first use arms its destructor for this thread
    }
    page->next = own.head;
    own.head = page;
    ++own.count;
}

void ReleaseIdlePageRuns() noexcept {
    ReturnThreadPages(threadPages);
    Cache().ReleaseIdleRuns();
}

PageCacheStatistics ReadPageCacheStatistics() noexcept {
    PageCacheStatistics statistics = Cache().Statistics();
    statistics.cachedPages += threadPages.count + threadPages.held;
    return statistics;
}

}  // namespace Zarvo
