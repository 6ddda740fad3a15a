// The storage shared by every node of one tree: its pools and its interned strings.
#pragma once

#include <algorithm>
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

// A map takes a block of its nodes' size (a tree node is four words ahead of its entry), so that a small
// Structure lives on a single page.
constexpr size_t StructureBlockSize =
    std::max(sizeof(PropertyStructure), sizeof(PropertyStructure::value_type) + 4 * sizeof(void*));

class PropertyContext {
public:
    // Both go through the runtime's allocation functions.
    static PropertyContext* Create();
    // Frees everything the tree still holds, in one pass over pages rather than nodes.
    static void Destroy(PropertyContext* context) noexcept;

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

    SmallBlockPool blobs_;
    SmallBlockPool enums_;
    SmallBlockPool collections_;
    SmallBlockPool structures_;
    SmallBlockPool stringRecords_;
    InternTable strings_{stringRecords_};  // declared after its pool, so it goes first
};

}  // namespace Zarvo
