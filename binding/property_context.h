// The storage shared by every node of one tree: its pools and its interned strings.
#pragma once

#include <cstddef>
#include <cstdint>

#include "binding/intern_table.h"
#include "binding/property_pool.h"

namespace Zarvo {

struct StaticTypeInfo;

// The payload of an Enum node: the enumerator's number and the identity of its enum type.
struct EnumPair {
    int32_t value;
    const StaticTypeInfo* type;
};

// Frees the contexts and pages the calling thread keeps for its next trees and every idle run of the page cache, for
// a module about to be unloaded; the next tree starts afresh.
void ReleaseIdlePropertyStorage() noexcept;

class PropertyContext {
public:
    // Both go through the runtime's allocation functions. A thread keeps the contexts of its last few small trees,
    // with their pages, for the next ones: a small tree then costs neither an allocation nor the page cache's mutex.
    static PropertyContext* Create();
    // Frees everything the tree still holds, in one pass over pages rather than nodes.
    static void Destroy(PropertyContext* context) noexcept;
    // Frees a context for good, never keeping it or its pages for the thread: they go back to the page cache.
    static void Free(PropertyContext* context) noexcept;

    PropertyContext(const PropertyContext&) = delete;
    PropertyContext& operator=(const PropertyContext&) = delete;

    SmallBlockPool& Blobs() noexcept { return blobs_; }
    SmallBlockPool& Enums() noexcept { return enums_; }
    SmallBlockPool& Collections() noexcept { return collections_; }
    SmallBlockPool& Structures() noexcept { return structures_; }
    InternTable& Strings() noexcept { return strings_; }

private:
    PropertyContext() noexcept = default;
    ~PropertyContext() = default;

    // The string records a context kept for the next tree may hold.
    static constexpr size_t KeptStringRecords = 64;

    size_t PageCount() const noexcept;
    // Frees everything at once and leaves the context as a new one, but for the string records it may keep.
    void ReleaseAll(SmallBlockPool::PageDestination destination) noexcept;

    SmallBlockPool blobs_;
    SmallBlockPool enums_;
    SmallBlockPool collections_;
    SmallBlockPool structures_;
    SmallBlockPool stringRecords_;
    InternTable strings_{stringRecords_};  // declared after its pool, so it goes first
};

}  // namespace Zarvo
