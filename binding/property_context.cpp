#include "binding/property_context.h"

#include <cstddef>
#include <new>

#include "binding/page_cache.h"
#include "platform/allocation.h"

namespace Zarvo {
namespace {

// The context a thread keeps for its next tree. Trivially destructible, so it stays usable while the thread's other
// objects are destroyed; the guard below frees the context and closes the slot first.
struct ThreadContext {
    PropertyContext* parked;
    size_t parkedPages;  // the pages it kept, counted as the thread's own
    bool guarded;
    bool closed;
};
constinit thread_local ThreadContext threadContext{};

struct ThreadContextGuard {
    ~ThreadContextGuard() {
        ThreadContext& own = threadContext;
        own.closed = true;
        if (own.parked) PropertyContext::Destroy(PropertyContext::Create());  // closed: freed, not kept
    }
};
thread_local ThreadContextGuard threadContextGuard;

}  // namespace

PropertyContext* PropertyContext::Create() {
    ThreadContext& own = threadContext;
    if (PropertyContext* context = own.parked) {
        CountPagesHeldByThread(-static_cast<ptrdiff_t>(own.parkedPages));
        own.parked = nullptr;
        return context;
    }
    return new (AllocateOrThrow(sizeof(PropertyContext))) PropertyContext();
}

// A tree small enough leaves its pages to its thread: in its context, emptied in place, when the thread keeps that
// context for its next tree, else with the thread's own pages.
void PropertyContext::Destroy(PropertyContext* context) noexcept {
    ThreadContext& own = threadContext;
    bool kept = !own.parked && !own.closed;
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
    own.parked = context;
    own.parkedPages = small ? pages : 0;
    CountPagesHeldByThread(static_cast<ptrdiff_t>(own.parkedPages));
}

void ReleaseIdlePropertyStorage() noexcept {
    ThreadContext& own = threadContext;
    if (PropertyContext* parked = own.parked) {
        CountPagesHeldByThread(-static_cast<ptrdiff_t>(own.parkedPages));
        own.parked = nullptr;
        parked->~PropertyContext();  // its pools hand their pages back to the cache
        Release(parked);
    }
    ReleaseIdlePageRuns();
}

size_t PropertyContext::PageCount() const noexcept {
    return blobs_.PageCount() + enums_.PageCount() + collections_.PageCount() + structures_.PageCount() +
           stringRecords_.PageCount();
}

void PropertyContext::ReleaseAll(SmallBlockPool::PageDestination destination) noexcept {
    strings_.Forget();
    blobs_.ReleaseAll(destination);
    enums_.ReleaseAll(destination);
    collections_.ReleaseAll(destination);
    structures_.ReleaseAll(destination);
    stringRecords_.ReleaseAll(destination);
}

}  // namespace Zarvo
