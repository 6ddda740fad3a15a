// The strings of one tree: each distinct text is stored once and counted by the nodes and keys that hold it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/property.h"

namespace Zarvo {

class InternTable {
public:
    explicit InternTable(SmallBlockPool& pool) noexcept;
    InternTable(const InternTable&) = delete;
    InternTable& operator=(const InternTable&) = delete;
    // The records and the slot array live in the pool's blocks and go with it.
    ~InternTable() = default;

    // The record of the text with one more reference; the empty text gives the shared empty record.
    InternedString* Intern(std::string_view text);
    static void Retain(InternedString* record) noexcept;
    // Drops one reference; the record goes away with its last one.
    void Release(InternedString* record) noexcept;
    // Drops every record at once, for a pool that has just freed all its blocks.
    void Forget() noexcept;

    InternedString* Find(std::string_view text) const noexcept;
    size_t Count() const noexcept { return count_; }
    // Shared by every tree, never counted, never freed, never written.
    static InternedString* EmptyRecord() noexcept;

private:
    // Slots are placed by a seeded word-at-a-time hash: faster than the byte-serial FNV-1a, and crafted texts
    // cannot pile up in one run of slots.
    // A slot holds a record only when it was filled in the table's current generation: forgetting every record
    // moves on to the next generation instead of clearing the slots.
    struct Slot {
        uint32_t hash;
        uint32_t generation;
        InternedString* record;
    };
    // The texts last interned, by the address they were passed at: names kept in descriptors and literals come
    // back from the same address, and are then found without hashing. An entry names a slot, not a record, so
    // that it never points at a freed record; whatever the slot holds is checked against the text.
    struct Recent {
        const char* data;
        size_t slot;
    };
    static constexpr size_t InlineCapacity = 32;
    static constexpr size_t RecentCount = 32;

    uint32_t SlotHash(std::string_view text) const noexcept;
    static size_t RecentIndex(const char* data) noexcept;
    bool Holds(const Slot& slot) const noexcept { return slot.generation == generation_; }
    size_t SlotOf(const InternedString* record) const noexcept;
    void Grow();
    InternedString* NewRecord(std::string_view text);

    SmallBlockPool& pool_;
    uint64_t seed_;
    Slot* slots_ = inlineSlots_;  // open addressing with linear probing
    size_t capacity_ = InlineCapacity;  // a power of two
    size_t count_ = 0;
    uint32_t generation_ = 1;  // never 0, the generation of a cleared slot
    Slot inlineSlots_[InlineCapacity] = {};  // small trees need no slot array of their own
    Recent recent_[RecentCount] = {};
};

}  // namespace Zarvo
