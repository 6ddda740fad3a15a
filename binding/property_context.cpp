#include "binding/property_context.h"

#include <cstddef>
#include <new>

#include "binding/page_cache.h"
#include "platform/allocation.h"

namespace Zarvo {
namespace {

// The contexts a thread keeps for its next trees: a few, since trees are often built while others are alive (a
// request's value beside the event it answers). Trivially destructible, so they stay usable while the thread's other
// objects are destroyed; the guard below frees them and closes the slots first.
constexpr size_t ParkedContextCount = 4;

struct ThreadContext {
    PropertyContext* parked[ParkedContextCount];
    size_t parkedPages[ParkedContextCount];  // the pages each kept, counted as the thread's own
    size_t parkedCount;
    bool guarded;
    bool closed;
};
constinit thread_local ThreadContext threadContext{};

// Takes the context kept last, or null.
PropertyContext* Unpark(ThreadContext& own) noexcept {
    if (own.parkedCount == 0) return nullptr;
    const size_t last = --own.parkedCount;
    CountPagesHeldByThread(-static_cast<ptrdiff_t>(own.parkedPages[last]));
    return own.parked[last];
}

struct ThreadContextGuard {
    ~ThreadContextGuard() {
        ThreadContext& own = threadContext;
        own.closed = true;
        while (own.parkedCount) PropertyContext::Destroy(PropertyContext::Create());  // closed: freed, not kept
    }
};
thread_local ThreadContextGuard threadContextGuard;

}  // namespace

PropertyContext* PropertyContext::Create() {
    if (PropertyContext* context = Unpark(threadContext)) return context;
    return new (AllocateOrThrow(sizeof(PropertyContext))) PropertyContext();
}

// A tree small enough leaves its pages to its thread: in its context, emptied in place, when the thread keeps that
// context for a next tree, else with the thread's own pages.
void PropertyContext::Destroy(PropertyContext* context) noexcept {
    ThreadContext& own = threadContext;
    bool kept = own.parkedCount < ParkedContextCount && !own.closed;
    size_t pages = context->PageCount();
    bool small = pages <= ThreadPageRoom();
    using Destination = SmallBlockPool::PageDestination;
    context->ReleaseAll(kept && small ? Destination::Pool : small ? Destination::Thread : Destination::Cache);
    if (!kept) {
        context->~PropertyContext();
        Release(context);
        return;
    }
    if (!own.guarded) {
        own.guarded = true;
        static_cast<void>(&threadContextGuard);  // its first use arms its destructor for this thread
    }
    const size_t slot = own.parkedCount++;
    own.parked[slot] = context;
    own.parkedPages[slot] = small ? pages : 0;
    CountPagesHeldByThread(static_cast<ptrdiff_t>(own.parkedPages[slot]));
}

void ReleaseIdlePropertyStorage() noexcept {
    ThreadContext& own = threadContext;
    while (PropertyContext* parked = Unpark(own)) {
        parked->~PropertyContext();  // its pools hand their pages back to the cache
        Release(parked);
    }
    ReleaseIdlePageRuns();
}

size_t PropertyContext::PageCount() const noexcept {
    return blobs_.PageCount() + enums_.PageCount() + collections_.PageCount() + structures_.PageCount() +
           stringRecords_.PageCount();
}

// A context kept for the next tree (with its pages, which fit the thread's room) keeps the records of a small string
// table too, unreferenced: the next tree of the same shape finds its keys and texts without making them again.
void PropertyContext::ReleaseAll(SmallBlockPool::PageDestination destination) noexcept {
    const bool keepStrings = destination == SmallBlockPool::PageDestination::Pool &&
                             !stringRecords_.HoldsLargeBlocks() && strings_.KeepRecordsUnreferenced(KeptStringRecords);
    if (!keepStrings) {
        strings_.Forget();
        stringRecords_.ReleaseAll(destination);
    }
    blobs_.ReleaseAll(destination);
    enums_.ReleaseAll(destination);
    collections_.ReleaseAll(destination);
    structures_.ReleaseAll(destination);
}

}  // namespace Zarvo
