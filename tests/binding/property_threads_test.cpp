#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "binding/page_cache.h"
#include "binding/property.h"
#include "binding/property_context.h"

namespace Zarvo {
namespace {

// Each thread builds, copies and frees its own trees; they meet only in the page cache.
TEST(PropertyThreads, SeparateTreesOnSeparateThreads) {
    constexpr int ThreadCount = 4;
    std::vector<int> failures(ThreadCount, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < ThreadCount; ++t) {
        threads.emplace_back([t, &failures] {
            for (int round = 0; round < 40; ++round) {
                BindingProperty tree;
                for (int i = 0; i < 500; ++i) {
                    BindingProperty& record = tree.Element(i);
                    record.ChildForWrite("thread").SetSigned(t);
                    record.ChildForWrite("text").SetString("value " + std::to_string(i % 17));
                }
                BindingProperty copy(tree);
                tree.Clear();
                for (int i = 0; i < 500; ++i) {
                    const BindingProperty& record = copy.At(i);
                    if (record.Child("thread").GetSigned(-1) != t ||
                        record.Child("text").GetString() != "value " + std::to_string(i % 17)) {
                        ++failures[t];
                    }
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < ThreadCount; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
    PageCacheStatistics statistics = ReadPageCacheStatistics();
    EXPECT_EQ(statistics.cachedPages, statistics.runs * PropertyPagesPerRun);
}

// A thread keeps the storage of its last small tree for its next one: the next tree starts empty, whichever thread
// made the storage, and whatever a thread keeps goes back to the cache when it ends.
TEST(PropertyThreads, StorageKeptForTheNextTreeStartsEmpty) {
    PropertyContext* kept = nullptr;
    {
        BindingProperty first;
        first.ChildForWrite("name").SetString("first");
        first.ChildForWrite("list").Element(2).SetSigned(7);
        kept = first.Context();
    }
    BindingProperty second;
    second.ChildForWrite("other").SetString("second");
    EXPECT_EQ(second.Context(), kept) << "the thread handed its kept storage to the next tree";
    EXPECT_EQ(second.Context()->Strings().Count(), 2u) << "nothing of the tree before";
    EXPECT_EQ(second.Context()->Strings().Find("first"), nullptr);
    EXPECT_EQ(second.Size(), 1u);
    EXPECT_TRUE(second.Child("name").IsEmpty());

    // Made here, destroyed on another thread, which keeps the storage until it ends.
    std::thread([tree = std::move(second)]() mutable { BindingProperty local = std::move(tree); }).join();
    PageCacheStatistics statistics = ReadPageCacheStatistics();
    EXPECT_EQ(statistics.cachedPages, statistics.runs * PropertyPagesPerRun) << "every page idle, none lost";
}

// Trees made while others are alive take kept storage too. The texts of the trees before may be taken up again in
// other roles (a key as a value, a value as a key), and go when the new tree releases them.
TEST(PropertyThreads, KeptStorageTakesUpTheTextsOfTheTreesBefore) {
    {
        BindingProperty outer;
        outer.ChildForWrite("id").SetString("shared text");
        BindingProperty inner;
        inner.ChildForWrite("id").SetSigned(1);
        inner.ChildForWrite("list").Element(0).SetString("value");
    }
    BindingProperty next;
    next.ChildForWrite("shared text").SetString("id");
    BindingProperty nested;
    nested.Element(0).SetString("shared text");
    nested.Element(1).ChildForWrite("value").SetString("list");
    EXPECT_EQ(next.Context()->Strings().Count(), 2u) << "nothing of the trees before but what this one holds";
    EXPECT_EQ(nested.Context()->Strings().Count(), 3u);

    next.ChildForWrite("shared text").SetString("other");
    EXPECT_EQ(next.Context()->Strings().Find("id"), nullptr) << "the last release removes a record taken up again";
    nested.Element(0).Clear();
    EXPECT_EQ(nested.Context()->Strings().Find("shared text"), nullptr);
    EXPECT_EQ(next.Child("shared text").GetString(), "other");
    EXPECT_EQ(nested.At(1).Child("value").GetString(), "list");
}

}  // namespace
}  // namespace Zarvo
