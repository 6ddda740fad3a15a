// The strings of one tree: each distinct text is stored once and counted by the nodes and keys that hold it. A
// context kept for the next tree may keep the records of the tree before, unreferenced, for the next one to take up.
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
        uint32_t& cached = cache_[CacheIndex(text)];
        const Slot& slot = slots_[cached & (capacity_ - 1)];
        if (Holds(slot) && slot.record->Is(text)) {
            Take(slot.record);
            return slot.record;
        }
        return Lookup(text, cached);
    }
    // The record of a text no key holds: interned as any other when short. A long text, seldom repeated and the
    // costliest to hash, gets a record of its own that the table does not know, shared only by copies of its node.
    InternedString* ValueRecord(std::string_view text) {
        return text.size() < LongTextSize ? Intern(text) : NewLoneRecord(text);
    }
    static void Retain(InternedString* record) noexcept;
    // Drops one reference; the record goes away with its last one.
    void Release(InternedString* record) noexcept;
    // Drops every record at once, for a pool that has just freed all its blocks.
    void Forget() noexcept;
    // For a tree that goes while its context stays for the next one: when the table holds at most `limit` records,
    // keeps them all, unreferenced, for the next tree to take up again, and returns true. A kept record that the
    // next tree does not use stays until the table is forgotten.
    bool KeepRecordsUnreferenced(size_t limit) noexcept;

    // Interns the key of a structure's member at this position (in the order the members came): the key interned
    // last at the same position is tried first, as records of the same kind bring their keys in the same order.
    InternedString* InternKey(size_t position, std::string_view text) {
        if (position >= KeyGuessCount) return Intern(text);
        KeyGuess& guess = keyGuesses_[position];
        if (guess.stamp == stamp_ && guess.record->Is(text)) {
            if (guess.record != EmptyRecord()) Take(guess.record);
            return guess.record;
        }
        guess = {Intern(text), stamp_};
        return guess.record;
    }

    // The record of a text some node or key holds, or null.
    InternedString* Find(std::string_view text) const noexcept;
    // Value texts of this many bytes or more get records of their own. Measured on JSON arrays of 20,000 texts: a
    // distinct text costs 1.5 to 7 times as much interned as in a record of its own at every length from 16 to 512
    // bytes, and a text repeated a hundred times interns faster only below 32 bytes.
    static constexpr size_t LongTextSize = 64;
    // The records some node or key holds. A walk over the table: for checks, not for speed.
    size_t Count() const noexcept;
    // Shared by every tree, never counted, never freed, never written.
    static InternedString* EmptyRecord() noexcept { return &emptyRecord_.record; }

private:
    // Slots are placed by a seeded word-at-a-time hash: faster than the byte-serial FNV-1a, and crafted texts
    // cannot pile up in one run of slots. A slot holds a record only when it was filled in the table's current
    // generation: forgetting every record moves on to the next generation instead of clearing the slots.
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

    // One more reference, the first of this epoch for a record kept from the tree before.
    void Take(InternedString* record) const noexcept {
        if (record->epoch == epoch_) {
            ++record->refCount;
        } else {
            record->epoch = epoch_;
            record->refCount = 1;
        }
    }
    bool Referenced(const InternedString* record) const noexcept {
        return record->epoch == epoch_ && record->refCount != 0;
    }

    // A place in the cache for the text, from its length and its first and last eight bytes. Unseeded and cheap:
    // texts that share a place only miss the cache.
    static size_t CacheIndex(std::string_view text) noexcept {
        const char* bytes = text.data();
        size_t size = text.size();
        uint64_t word = size;
        if (size >= 8) {
            uint64_t head, tail;
            std::memcpy(&head, bytes, 8);
            std::memcpy(&tail, bytes + size - 8, 8);
            word ^= head ^ (tail * 0xC2B2AE3D27D4EB4Full);
        } else if (size >= 4) {
            uint32_t head, tail;
            std::memcpy(&head, bytes, 4);
            std::memcpy(&tail, bytes + size - 4, 4);
            word ^= (uint64_t{head} << 32 | tail) << 3;
        } else if (size) {
            word ^= (uint64_t{static_cast<unsigned char>(bytes[0])} << 24 |
                     uint64_t{static_cast<unsigned char>(bytes[size / 2])} << 16 |
                     uint64_t{static_cast<unsigned char>(bytes[size - 1])} << 8);
        }
        return static_cast<size_t>((word * 0x9E3779B97F4A7C15ull) >> (64 - CacheBits));
    }
    // The table's own search; the cache entry learns the slot found.
    InternedString* Lookup(std::string_view text, uint32_t& cached);
    // A record went away, or all of them did.
    void Restamp() noexcept;
    uint32_t SlotHash(std::string_view text) const noexcept;
    bool Holds(const Slot& slot) const noexcept { return slot.generation == generation_; }
    size_t SlotOf(const InternedString* record) const noexcept;
    void Grow();
    InternedString* NewRecord(std::string_view text);
    InternedString* NewLoneRecord(std::string_view text);

    // The epoch of records of their own; the table's epoch stays below it.
    static constexpr uint32_t LoneEpoch = UINT32_MAX;

    SmallBlockPool& pool_;
    uint64_t seed_;
    Slot* slots_ = inlineSlots_;  // open addressing with linear probing
    size_t capacity_ = InlineCapacity;  // a power of two
    size_t count_ = 0;
    uint32_t generation_ = 1;  // never 0, the generation of a cleared slot
    uint32_t epoch_ = 0;       // of the tree the table serves now
    size_t loneRecords_ = 0;   // records of their own still held
    Slot inlineSlots_[InlineCapacity] = {};  // small trees need no slot array of their own
    // The slots where texts were last found, by a cheap hash of the text: the keys of many records and the values
    // they repeat are found here without the table's hash. Slots, not records, so that an entry never points at a
    // freed record; whatever the slot holds is checked against the text.
    static constexpr unsigned CacheBits = 9;
    uint32_t cache_[size_t{1} << CacheBits] = {};
    // Stamped with the count of records that went away (and of trees forgotten) when they were made, so that a
    // guess made since the last of them names a live record.
    struct KeyGuess {
        InternedString* record;
        uint32_t stamp;
    };
    static constexpr size_t KeyGuessCount = 16;
    uint32_t stamp_ = 1;
    KeyGuess keyGuesses_[KeyGuessCount] = {};
};

}  // namespace Zarvo
