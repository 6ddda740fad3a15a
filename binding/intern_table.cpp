#include "binding/intern_table.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/system.h"

namespace Zarvo {
namespace {

constexpr uint64_t GoldenRatio = 0x9E3779B97F4A7C15ull;

// The text and its NUL, with at least the eight bytes InternedString::Prefix reads.
size_t RecordSize(size_t textSize) noexcept { return sizeof(InternedString) + std::max<size_t>(textSize + 1, 8); }

uint64_t ProcessSeed() noexcept {
    static const uint64_t seed = static_cast<uint64_t>(Platform::PerformanceCounter()) * GoldenRatio;
    return seed;
}

}  // namespace

InternTable::InternTable(SmallBlockPool& pool) noexcept
    : pool_(pool), seed_(ProcessSeed() ^ (static_cast<uint64_t>(reinterpret_cast<uintptr_t>(this)) * GoldenRatio)) {}

void InternTable::Forget() noexcept {
    if (slots_ != inlineSlots_) {
        slots_ = inlineSlots_;
        capacity_ = InlineCapacity;
    }
    count_ = 0;
    epoch_ = 0;
    loneRecords_ = 0;
    Restamp();
    if (++generation_ == 0) {  // after four billion trees: the slots' own generations could come back
        std::memset(static_cast<void*>(inlineSlots_), 0, sizeof inlineSlots_);
        generation_ = 1;
    }
}

// After four billion epochs a record's own epoch could come back with a stale count: the table is forgotten instead.
// Records of their own in the pool's pages would stay there unknown: with any still held, the table is forgotten too.
bool InternTable::KeepRecordsUnreferenced(size_t limit) noexcept {
    if (count_ > limit || loneRecords_ != 0 || epoch_ + 1 == LoneEpoch) return false;
    ++epoch_;
    return true;
}

size_t InternTable::Count() const noexcept {
    size_t referenced = 0;
    for (size_t slot = 0; slot < capacity_; ++slot) {
        if (Holds(slots_[slot]) && Referenced(slots_[slot].record)) ++referenced;
    }
    return referenced;
}

// After four billion stamps the guesses' own stamps could come back: they are all cleared instead.
void InternTable::Restamp() noexcept {
    if (++stamp_ != 0) return;
    std::memset(static_cast<void*>(keyGuesses_), 0, sizeof keyGuesses_);
    stamp_ = 1;
}

inline uint32_t InternTable::SlotHash(std::string_view text) const noexcept {
    auto mix = [](uint64_t hash, uint64_t word) {
        hash = (hash ^ word) * GoldenRatio;
        return hash ^ (hash >> 32);
    };
    const char* bytes = text.data();
    size_t size = text.size();
    uint64_t hash = seed_ ^ (size * GoldenRatio);
    uint64_t word = 0;
    if (size >= 8) {
        for (size_t offset = 0; offset + 8 <= size; offset += 8) {
            std::memcpy(&word, bytes + offset, 8);
            hash = mix(hash, word);
        }
        if (size % 8) {
            std::memcpy(&word, bytes + size - 8, 8);  // the tail, overlapping the last whole word
            hash = mix(hash, word);
        }
    } else if (size >= 4) {
        uint32_t head, tail;
        std::memcpy(&head, bytes, 4);
        std::memcpy(&tail, bytes + size - 4, 4);
        hash = mix(hash, (uint64_t{head} << 32) | tail);
    } else if (size) {
        auto byte = [&](size_t i) { return uint64_t{static_cast<unsigned char>(bytes[i])}; };
        hash = mix(hash, (byte(0) << 16) | (byte(size / 2) << 8) | byte(size - 1));
    }
    return static_cast<uint32_t>((hash * GoldenRatio) >> 32);
}

InternedString* InternTable::Lookup(std::string_view text, uint32_t& cached) {
    if (text.empty()) return EmptyRecord();
    uint32_t hash = SlotHash(text);
    size_t mask = capacity_ - 1;
    size_t slot = hash & mask;
    for (; Holds(slots_[slot]); slot = (slot + 1) & mask) {
        if (slots_[slot].hash == hash && slots_[slot].record->Is(text)) break;
    }
    if (Holds(slots_[slot])) {
        Take(slots_[slot].record);
    } else {
        if (count_ + 1 > capacity_ / 2) {  // short probe runs matter more than the slots' memory
            Grow();
            mask = capacity_ - 1;
            for (slot = hash & mask; Holds(slots_[slot]); slot = (slot + 1) & mask) {}
        }
        slots_[slot] = {hash, generation_, NewRecord(text)};
        ++count_;
    }
    cached = static_cast<uint32_t>(slot);
    return slots_[slot].record;
}

InternedString* InternTable::NewRecord(std::string_view text) {
    auto* record = new (pool_.Allocate(RecordSize(text.size()))) InternedString{1, epoch_, text.size()};
    char* copy = reinterpret_cast<char*>(record + 1);
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return record;
}

InternedString* InternTable::NewLoneRecord(std::string_view text) {
    auto* record = new (pool_.Allocate(RecordSize(text.size()))) InternedString{1, LoneEpoch, text.size()};
    char* copy = reinterpret_cast<char*>(record + 1);
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    ++loneRecords_;
    return record;
}

void InternTable::Retain(InternedString* record) noexcept {
    if (record != EmptyRecord()) ++record->refCount;
}

void InternTable::Release(InternedString* record) noexcept {
    if (record == EmptyRecord() || --record->refCount != 0) return;
    if (record->epoch == LoneEpoch) {
        --loneRecords_;
        pool_.Release(record, RecordSize(record->size));
        return;
    }
    // Backward-shift deletion keeps every remaining record reachable from its home slot.
    size_t mask = capacity_ - 1;
    size_t hole = SlotOf(record);
    for (size_t slot = (hole + 1) & mask; Holds(slots_[slot]); slot = (slot + 1) & mask) {
        size_t home = slots_[slot].hash & mask;
        if (((slot - home) & mask) >= ((slot - hole) & mask)) {
            slots_[hole] = slots_[slot];
            hole = slot;
        }
    }
    slots_[hole] = {};
    --count_;
    Restamp();
    pool_.Release(record, RecordSize(record->size));
}

InternedString* InternTable::Find(std::string_view text) const noexcept {
    if (text.empty()) return EmptyRecord();
    uint32_t hash = SlotHash(text);
    size_t mask = capacity_ - 1;
    for (size_t slot = hash & mask; Holds(slots_[slot]); slot = (slot + 1) & mask) {
        if (slots_[slot].hash == hash && slots_[slot].record->Is(text))
            return Referenced(slots_[slot].record) ? slots_[slot].record : nullptr;
    }
    return nullptr;
}

size_t InternTable::SlotOf(const InternedString* record) const noexcept {
    size_t mask = capacity_ - 1;
    size_t slot = SlotHash(record->Text()) & mask;
    while (slots_[slot].record != record) slot = (slot + 1) & mask;
    return slot;
}

void InternTable::Grow() {
    size_t capacity = capacity_ * 2;
    auto* slots = static_cast<Slot*>(pool_.Allocate(capacity * sizeof(Slot)));
    std::memset(static_cast<void*>(slots), 0, capacity * sizeof(Slot));
    size_t mask = capacity - 1;
    for (size_t i = 0; i < capacity_; ++i) {
        if (Holds(slots_[i])) {
            size_t slot = slots_[i].hash & mask;
            while (Holds(slots[slot])) slot = (slot + 1) & mask;
            slots[slot] = slots_[i];
        }
    }
    if (slots_ != inlineSlots_) pool_.Release(slots_, capacity_ * sizeof(Slot));
    slots_ = slots;
    capacity_ = capacity;
}

}  // namespace Zarvo
