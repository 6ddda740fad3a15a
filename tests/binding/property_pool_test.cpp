#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "binding/memory_poisoning.h"
#include "binding/page_cache.h"
#include "binding/property.h"
#include "binding/property_context.h"
#include "binding/property_pool.h"

namespace Zarvo {
namespace {

// Nothing else holds pages between tests, so every run the cache keeps is wholly idle.
void ExpectOnlyIdleRunsWithinBound() {
    PageCacheStatistics statistics = ReadPageCacheStatistics();
    EXPECT_EQ(statistics.cachedPages, statistics.runs * PropertyPagesPerRun);
    EXPECT_LE(statistics.cachedPages, PageCacheBound + PropertyPagesPerRun);
}

TEST(PropertyPool, BlocksOfOneSizeShareAPageAndAreReusedFirst) {
    SmallBlockPool pool;
    std::vector<void*> blocks;
    for (int i = 0; i < 100; ++i) {
        void* block = pool.Allocate(40);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % SmallBlockPool::BlockAlignment, 0u);
        EXPECT_EQ(PageOf(block), PageOf(blocks.empty() ? block : blocks[0]));
        std::memset(block, 0xAB, 40);
        blocks.push_back(block);
    }
    EXPECT_EQ(std::set<void*>(blocks.begin(), blocks.end()).size(), blocks.size());
    pool.Release(blocks[10], 40);
    pool.Release(blocks[20], 40);
    EXPECT_EQ(pool.Allocate(33), blocks[20]) << "33 bytes round up to the 40-byte blocks";
    EXPECT_EQ(pool.Allocate(40), blocks[10]);
    EXPECT_NE(PageOf(pool.Allocate(8)), PageOf(blocks[0])) << "another size, another page";
}

TEST(PropertyPool, AFullPageRejoinsWhenABlockIsFreedAndAnEmptyPageGoesToTheCache) {
    {
        SmallBlockPool pool;
        void* a = pool.Allocate(2000);  // two blocks fill a page
        void* b = pool.Allocate(2000);
        void* c = pool.Allocate(2000);
        EXPECT_EQ(PageOf(a), PageOf(b));
        EXPECT_NE(PageOf(a), PageOf(c));
        pool.Release(a, 2000);
        EXPECT_EQ(pool.Allocate(2000), a) << "the full page took the freed block back";
        PageCacheStatistics before = ReadPageCacheStatistics();
        pool.Release(c, 2000);
        PageCacheStatistics after = ReadPageCacheStatistics();
        bool cached = after.cachedPages == before.cachedPages + 1;
        bool runFreed = after.runs + 1 == before.runs;
        EXPECT_TRUE(cached || runFreed) << "the emptied page went back";
        pool.Release(a, 2000);
        pool.Release(b, 2000);
        void* large = pool.Allocate(3000);  // too large to share a page: straight from Allocate
        std::memset(large, 1, 3000);
        pool.Allocate(5000);  // left for the pool's destructor
        pool.Allocate(24);    // likewise
    }
    ExpectOnlyIdleRunsWithinBound();
}

TEST(PropertyPoolDeathTest, TouchingAReleasedBlockIsCaughtUnderAddressSanitizer) {
#ifdef KIV_POISONING
    SmallBlockPool pool;
    auto* block = static_cast<volatile char*>(pool.Allocate(24));
    block[0] = 1;
    pool.Allocate(24);  // keeps the page in the pool
    pool.Release(const_cast<char*>(block), 24);
    EXPECT_DEATH(block[5] = 2, "use-after-poison");
#else
    GTEST_SKIP() << "only AddressSanitizer builds mark released blocks";
#endif
}

TEST(PropertyPool, AllocatorFallsBackToTheRuntimeHeapWithoutAPool) {
    PoolAllocator<uint64_t> allocator;
    uint64_t* values = allocator.allocate(4);
    values[3] = 7;
    allocator.deallocate(values, 4);
    SmallBlockPool pool;
    EXPECT_FALSE(allocator == PoolAllocator<uint64_t>(&pool));
    EXPECT_TRUE(PoolAllocator<char>(&pool) == PoolAllocator<uint64_t>(&pool));
}

TEST(PropertyPool, MemoryOfALargeTreeGoesBackToTheSystem) {
    size_t runsBefore = ReadPageCacheStatistics().runs;
    {
        BindingProperty tree;
        for (size_t i = 0; i < 100000; ++i) {
            BindingProperty& record = tree.Element(i);
            record.ChildForWrite("id").SetUnsigned(i);
            record.ChildForWrite("name").SetString("n" + std::to_string(i));
        }
        EXPECT_GT(ReadPageCacheStatistics().runs, runsBefore + 100);
    }
    ExpectOnlyIdleRunsWithinBound();

    BindingProperty tree;
    for (size_t i = 0; i < 50000; ++i) tree.Element(i).ChildForWrite("k").SetString("v" + std::to_string(i));
    tree.Clear();  // clearing returns pages one node at a time, destruction all at once
    ExpectOnlyIdleRunsWithinBound();
}

// Whatever order pages come back in, a cache holding more idle pages than its bound keeps no run whose pages are all
// idle: runs emptied early are not kept while the pages of half-used runs pile up.
TEST(PropertyPool, NoWhollyIdleRunIsKeptBeyondTheBound) {
    ReleaseIdlePropertyStorage();
    ASSERT_EQ(ReadPageCacheStatistics().cachedPages, 0u) << "every page taken below comes from a new run";
    const size_t runsBefore = ReadPageCacheStatistics().runs;
    constexpr size_t RunCount = 40, EmptiedFirst = 10;
    std::map<PageRun*, std::vector<PageLinks*>> runs;
    for (size_t i = 0; i < RunCount * PropertyPagesPerRun; ++i) {
        PageLinks* page = TakeCachedPage();
        runs[page->run].push_back(page);
    }
    ASSERT_EQ(runs.size(), RunCount);

    size_t emptied = 0;
    for (auto& [run, pages] : runs) {
        const size_t keep = emptied++ < EmptiedFirst ? 0 : 1;
        while (pages.size() > keep) {
            ReturnCachedPage(pages.back());
            pages.pop_back();
        }
    }
    PageCacheStatistics statistics = ReadPageCacheStatistics();
    EXPECT_GT(statistics.cachedPages, PageCacheBound);
    EXPECT_EQ(statistics.runs, runsBefore + RunCount - EmptiedFirst) << "only the runs still in use are left";

    for (auto& [run, pages] : runs)
        for (PageLinks* page : pages) ReturnCachedPage(page);
    statistics = ReadPageCacheStatistics();
    EXPECT_EQ(statistics.cachedPages, statistics.runs * PropertyPagesPerRun);
    EXPECT_LE(statistics.cachedPages, PageCacheBound);
}

TEST(PropertyPool, SmallTreesReuseCachedPages) {
    { BindingProperty warm; warm.ChildForWrite("a").SetString("b"); }
    size_t runs = ReadPageCacheStatistics().runs;
    for (int i = 0; i < 1000; ++i) {
        BindingProperty tree;
        tree.ChildForWrite("a").Element(1).SetString("b");
    }
    EXPECT_EQ(ReadPageCacheStatistics().runs, runs);
}

// Before its library is unloaded, what trees keep for later goes back to the system; live trees keep their pages.
TEST(PropertyPool, IdleStorageGoesBackBeforeUnload) {
    auto pagesInUse = [] {
        PageCacheStatistics statistics = ReadPageCacheStatistics();
        return statistics.runs * PropertyPagesPerRun - statistics.cachedPages;
    };
    BindingProperty live;
    for (int i = 0; i < 2000; ++i) live.Element(i).SetString("live " + std::to_string(i));
    { BindingProperty small; small.ChildForWrite("a").SetString("b"); }  // its thread keeps its storage
    {
        BindingProperty large;  // its pages go to the cache
        for (int i = 0; i < 5000; ++i) large.Element(i).ChildForWrite("k").SetSigned(i);
    }
    size_t inUse = pagesInUse();
    size_t runsBefore = ReadPageCacheStatistics().runs;

    ReleaseIdlePropertyStorage();
    PageCacheStatistics after = ReadPageCacheStatistics();
    EXPECT_LT(after.runs, runsBefore);
    EXPECT_LE(after.runs, pagesInUse()) << "every run left holds a page in use";
    EXPECT_EQ(pagesInUse(), inUse);
    EXPECT_EQ(live.At(1999).GetString(), "live 1999");

    BindingProperty next;
    next.ChildForWrite("c").SetSigned(1);
    EXPECT_EQ(next.Child("c").GetSigned(0), 1);
}

}  // namespace
}  // namespace Zarvo
