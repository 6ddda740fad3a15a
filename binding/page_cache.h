// The process-wide cache of 4096-byte pages from which every property pool carves its blocks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Zarvo {

constexpr size_t PropertyPageSize = 4096;
// Pages are fetched from the system in runs of this many, so that each page can be found from any address in it.
constexpr size_t PropertyPagesPerRun = 16;
// Beyond this many idle pages, every run whose pages are all idle goes back to the system.
constexpr size_t PageCacheBound = 256;
// Pages each thread keeps for its next small trees, which take and return them without the cache's mutex.
constexpr size_t ThreadPageCount = 32;

struct PageRun;

// The first bytes of every page: list links for whoever holds the page, and the run it belongs to (set by the cache).
struct PageLinks {
    PageLinks* prev;
    PageLinks* next;
    PageRun* run;
};

struct PageCacheStatistics {
    size_t cachedPages;  // idle pages held by the cache, the calling thread's own included
    size_t runs;         // runs currently taken from the system
};

// A 4096-aligned page, the calling thread's own first; throws std::bad_alloc when the system has no memory left.
PageLinks* TakeCachedPage();
void ReturnCachedPage(PageLinks* page) noexcept;
// How many more pages the calling thread may keep: none when it can keep none.
size_t ThreadPageRoom() noexcept;
// Keeps an idle page for the calling thread; only within ThreadPageRoom. Whatever a thread keeps goes back to the
// cache when it ends.
void KeepPageOnThread(PageLinks* page) noexcept;
// Pages the calling thread keeps in a tree's storage it holds on to, counted as its own: change is added.
void CountPagesHeldByThread(ptrdiff_t change) noexcept;
PageCacheStatistics ReadPageCacheStatistics() noexcept;
// Hands the calling thread's own pages back and returns every run whose pages are all idle to the system, for a
// module about to be unloaded. Pages that live trees or other threads hold stay where they are.
void ReleaseIdlePageRuns() noexcept;

inline PageLinks* PageOf(const void* block) noexcept {
    return reinterpret_cast<PageLinks*>(reinterpret_cast<uintptr_t>(block) & ~uintptr_t{PropertyPageSize - 1});
}

}  // namespace Zarvo
