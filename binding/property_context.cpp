#include "binding/property_context.h"

#include <cstddef>
#include <new>

#include "binding/page_cache.h"
#include "platform/allocation.h"
#include "platform/system.h"

namespace Zarvo {
namespace {

// The contexts a thread keeps for its next trees: a few, since trees are often built while others are alive (a
// request's value beside the event it answers). Made for the thread on first need and reached through a thread slot,
// so that they can still be freed as the thread ends.
constexpr size_t ParkedContextCount = 4;

struct ThreadContexts {
    PropertyContext* parked[ParkedContextCount] = {};
    size_t parkedPages[ParkedContextCount] = {};  // the pages each kept, counted as the thread's own
    size_t parkedCount = 0;
};

// May run on another thread than the one that ends (a library unloading on Windows): touches only `value`.
void EndThreadContexts(void* value) {
    auto* own = static_cast<ThreadContexts*>(value);
    while (own->parkedCount) PropertyContext::Free(own->parked[--own->parkedCount]);
    own->~ThreadContexts();
    Release(own);
}

Platform::ThreadSlot& ThreadContextsSlot() noexcept {
    static Platform::ThreadSlot slot(&EndThreadContexts);
    return slot;
}

ThreadContexts* FoundThreadContexts() noexcept { return static_cast<ThreadContexts*>(ThreadContextsSlot().Get()); }

// The calling thread's contexts, made when missing; null when the thread can keep none (no memory, no slot).
ThreadContexts* OwnThreadContexts() noexcept {
    if (ThreadContexts* own = FoundThreadContexts()) return own;
    void* memory = Allocate(sizeof(ThreadContexts));
    if (!memory) return nullptr;
    auto* own = new (memory) ThreadContexts();
    if (ThreadContextsSlot().Set(own)) return own;
    Release(own);
    return nullptr;
}

// Takes the context kept last, or null.
PropertyContext* Unpark(ThreadContexts* own) noexcept {
    if (!own || own->parkedCount == 0) return nullptr;
    const size_t last = --own->parkedCount;
    CountPagesHeldByThread(-static_cast<ptrdiff_t>(own->parkedPages[last]));
    return own->parked[last];
}

}  // namespace

PropertyContext* PropertyContext::Create() {
    if (PropertyContext* context = Unpark(FoundThreadContexts())) return context;
    return new (AllocateOrThrow(sizeof(PropertyContext))) PropertyContext();
}

// A tree small enough leaves its pages to its thread: in its context, emptied in place, when the thread keeps that
// context for a next tree, else with the thread's own pages.
void PropertyContext::Destroy(PropertyContext* context) noexcept {
    ThreadContexts* own = OwnThreadContexts();
    bool kept = own && own->parkedCount < ParkedContextCount;
    size_t pages = context->PageCount();
    bool small = pages <= ThreadPageRoom();
    using Destination = SmallBlockPool::PageDestination;
    context->ReleaseAll(kept && small ? Destination::Pool : small ? Destination::Thread : Destination::Cache);
    if (!kept) {
        PropertyContext::Free(context);
        return;
    }
    const size_t slot = own->parkedCount++;
    own->parked[slot] = context;
    own->parkedPages[slot] = small ? pages : 0;
    CountPagesHeldByThread(static_cast<ptrdiff_t>(own->parkedPages[slot]));
}

void PropertyContext::Free(PropertyContext* context) noexcept {
    context->~PropertyContext();  // its pools hand their pages back to the cache
    Release(context);
}

void ReleaseIdlePropertyStorage() noexcept {
    while (PropertyContext* parked = Unpark(FoundThreadContexts())) PropertyContext::Free(parked);
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
