#include "binding/property_context.h"

#include <new>

#include "binding/page_cache.h"
#include "platform/allocation.h"

namespace Zarvo {
namespace {

// The context a thread keeps for its next tree. Trivially destructible, so it stays usable while the thread's other
// objects are destroyed; the guard below frees the context and closes the slot first.
struct ThreadContext {
    PropertyContext* parked;
    bool guarded;
    bool closed;
};
constinit thread_local ThreadContext threadContext{};

struct ThreadContextGuard {
    ~ThreadContextGuard() {
        ThreadContext& own = threadContext;
        own.closed = true;
        PropertyContext* parked = own.parked;
        own.parked = nullptr;
        if (parked) PropertyContext::Destroy(parked);  // closed: freed, not kept
    }
};
thread_local ThreadContextGuard threadContextGuard;

}  // namespace

PropertyContext* PropertyContext::Create() {
    ThreadContext& own = threadContext;
    if (PropertyContext* context = own.parked) {
        own.parked = nullptr;
        return context;
    }
    return new (AllocateOrThrow(sizeof(PropertyContext))) PropertyContext();
}

// A tree small enough leaves its pages to its thread, and its context too when the thread keeps none yet.
void PropertyContext::Destroy(PropertyContext* context) noexcept {
    ThreadContext& own = threadContext;
    context->ReleaseAll(context->PageCount() <= ThreadPageRoom());
    if (own.parked || own.closed) {
        context->~PropertyContext();
        Release(context);
        return;
    }
    if (!own.guarded) {
        own.guarded = true;
        static_cast<void>(&threadContextGuard);  // its first use arms its destructor for this thread
    }
    own.parked = context;
}

size_t PropertyContext::PageCount() const noexcept {
    return blobs_.PageCount() + enums_.PageCount() + collections_.PageCount() + structures_.PageCount() +
           stringRecords_.PageCount();
}

void PropertyContext::ReleaseAll(bool keepPagesOnThread) noexcept {
    strings_.Forget();
    blobs_.ReleaseAll(keepPagesOnThread);
    enums_.ReleaseAll(keepPagesOnThread);
    collections_.ReleaseAll(keepPagesOnThread);
    structures_.ReleaseAll(keepPagesOnThread);
    stringRecords_.ReleaseAll(keepPagesOnThread);
}

}  // namespace Zarvo
