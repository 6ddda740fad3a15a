#include "binding/intern_table.h"

#include <cstring>
#include <string>

namespace Zarvo {
namespace {

constexpr uint32_t FnvOffsetBasis = 0x811C9DC5u;
constexpr uint32_t FnvPrime = 16777619u;
constexpr size_t MinimumCapacity = 16;

}  // namespace

uint32_t InternHash(std::string_view text) noexcept {
    uint32_t hash = FnvOffsetBasis;
    for (unsigned char byte : text) hash = (hash ^ byte) * FnvPrime;
    return hash;
}

InternedString* InternTable::EmptyRecord() noexcept {
    // A function-local static: not every compiler can build a std::string at compile time.
    static InternedString record{std::string(), FnvOffsetBasis, 0};
    return &record;
}

InternTable::~InternTable() {
    for (size_t i = 0; i < capacity_; ++i) {
        if (slots_[i]) PoolDelete(pool_, slots_[i]);
    }
    if (slots_) pool_.Release(slots_, capacity_ * sizeof(InternedString*));
}

InternedString* InternTable::Intern(std::string_view text) {
    if (text.empty()) return EmptyRecord();
    uint32_t hash = InternHash(text);
    size_t slot = 0;
    if (capacity_) {
        size_t mask = capacity_ - 1;
        for (slot = hash & mask; slots_[slot]; slot = (slot + 1) & mask) {
            InternedString* record = slots_[slot];
            if (record->hash == hash && record->text == text) {
                ++record->refCount;
                return record;
            }
        }
    }
    if (count_ + 1 > capacity_ / 4 * 3) {
        Grow();
        size_t mask = capacity_ - 1;
        for (slot = hash & mask; slots_[slot]; slot = (slot + 1) & mask) {}
    }
    InternedString* record = PoolNew<InternedString>(pool_, InternedString{std::string(text), hash, 1});
    slots_[slot] = record;
    ++count_;
    return record;
}

void InternTable::Retain(InternedString* record) noexcept {
    if (record != EmptyRecord()) ++record->refCount;
}

void InternTable::Release(InternedString* record) noexcept {
    if (record == EmptyRecord() || --record->refCount != 0) return;
    // Backward-shift deletion keeps every remaining record reachable from its home slot.
    size_t mask = capacity_ - 1;
    size_t hole = SlotOf(record);
    for (size_t slot = (hole + 1) & mask; slots_[slot]; slot = (slot + 1) & mask) {
        size_t home = slots_[slot]->hash & mask;
        if (((slot - home) & mask) >= ((slot - hole) & mask)) {
            slots_[hole] = slots_[slot];
            hole = slot;
        }
    }
    slots_[hole] = nullptr;
    --count_;
    PoolDelete(pool_, record);
}

InternedString* InternTable::Find(std::string_view text) const noexcept {
    if (text.empty()) return EmptyRecord();
    if (!count_) return nullptr;
    uint32_t hash = InternHash(text);
    size_t mask = capacity_ - 1;
    for (size_t slot = hash & mask; slots_[slot]; slot = (slot + 1) & mask) {
        if (slots_[slot]->hash == hash && slots_[slot]->text == text) return slots_[slot];
    }
    return nullptr;
}

size_t InternTable::SlotOf(const InternedString* record) const noexcept {
    size_t mask = capacity_ - 1;
    size_t slot = record->hash & mask;
    while (slots_[slot] != record) slot = (slot + 1) & mask;
    return slot;
}

void InternTable::Grow() {
    size_t capacity = capacity_ ? capacity_ * 2 : MinimumCapacity;
    auto** slots = static_cast<InternedString**>(pool_.Allocate(capacity * sizeof(InternedString*)));
    std::memset(slots, 0, capacity * sizeof(InternedString*));
    size_t mask = capacity - 1;
    for (size_t i = 0; i < capacity_; ++i) {
        if (InternedString* record = slots_[i]) {
            size_t slot = record->hash & mask;
            while (slots[slot]) slot = (slot + 1) & mask;
            slots[slot] = record;
        }
    }
    if (slots_) pool_.Release(slots_, capacity_ * sizeof(InternedString*));
    slots_ = slots;
    capacity_ = capacity;
}

}  // namespace Zarvo
