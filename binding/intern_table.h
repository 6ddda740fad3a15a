// The strings of one tree: each distinct text is stored once and counted by the nodes and keys that hold it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
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
    InternedString* Intern(std::string_view text) {
        InternedString* record = Guess(text);
        return record ? record : Lookup(text);
    }
    static void Retain(InternedString* record) noexcept;
    // Drops one reference; the record goes away with its last one.
    void Release(InternedString* record) noexcept;
    // Drops every record at once, for a pool that has just freed all its blocks.
    void Forget() noexcept;

    InternedString* Find(std::string_view text) const noexcept;
    size_t Count() const noexcept { return count_; }
    // Shared by every tree, never counted, never freed, never written.
    static InternedString* EmptyRecord() noexcept { return &emptyRecord_.record; }

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
    static constexpr size_t InlineCapacity = 32;
    // The record and its text, laid out as a pooled record is.
    struct EmptyRecordStorage {
        InternedString record;
        char text[8];
    };
    static_assert(offsetof(EmptyRecordStorage, text) == sizeof(InternedString));
    static constinit inline EmptyRecordStorage emptyRecord_{};

    // Texts of up to 16 bytes are compared as two overlapping words, without a call.
    static bool SameText(const InternedString& stored, std::string_view text) noexcept {
        size_t size = text.size();
        if (stored.size != size) return false;
        const char* a = stored.CStr();
        const char* b = text.data();
        auto differ = [&](auto word, size_t offset) {
            decltype(word) x, y;
            std::memcpy(&x, a + offset, sizeof x);
            std::memcpy(&y, b + offset, sizeof y);
            return x ^ y;
        };
        if (size > 16) return std::memcmp(a, b, size) == 0;
        if (size >= 8) return (differ(uint64_t{}, 0) | differ(uint64_t{}, size - 8)) == 0;
        if (size >= 4) return (differ(uint32_t{}, 0) | differ(uint32_t{}, size - 4)) == 0;
        for (size_t i = 0; i < size; ++i) {
            if (a[i] != b[i]) return false;
        }
        return true;
    }

    // The record of the slot that followed the last text interned, when it holds this text: counted and returned.
    InternedString* Guess(std::string_view text) noexcept {
        const Slot& last = slots_[lastSlot_];
        if (!Holds(last)) return nullptr;
        size_t guess = last.record->successor;
        const Slot& slot = slots_[guess];
        if (!Holds(slot) || !SameText(*slot.record, text)) return nullptr;
        ++slot.record->refCount;
        lastSlot_ = guess;
        return slot.record;
    }
    InternedString* Lookup(std::string_view text);
    uint32_t SlotHash(std::string_view text) const noexcept;
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
    // Texts come in the same sequences again (the keys of many records, a name and its value): each record
    // remembers the slot of the text that followed it, and that slot is tried before the text is hashed. Slots, not
    // records, so that a guess never points at a freed record; whatever the slot holds is checked against the text.
    // Within a generation the table only grows, so a slot index once valid stays inside it.
    size_t lastSlot_ = 0;
    Slot inlineSlots_[InlineCapacity] = {};  // small trees need no slot array of their own
};

}  // namespace Zarvo
