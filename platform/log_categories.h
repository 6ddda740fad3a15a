// The three-letter tags of the log categories and the text of a category mask.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace Zarvo {

// 64 slots, one per category bit; slots 0 to 7 hold the predefined tags, the rest are handed out in order.
class CategoryTagTable {
public:
    static constexpr int32_t SlotCount = 64;

    CategoryTagTable();

    // The mask of the slot holding the tag's first three characters, registering it in the next free slot
    // when it is new; 0 for a null or empty tag, or when every slot is taken.
    uint64_t FromTag(const char* tag);
    // The tags of the set bits from bit 0 upward, separated by ";" (unregistered slots read "???"), cut to
    // the buffer. Returns the number of characters written.
    size_t Format(char* buffer, size_t size, uint64_t mask) const;

private:
    // Up to three characters packed low byte first, plus a marker bit; 0 while the slot is free.
    std::atomic<uint32_t> tags_[SlotCount];
    std::atomic<int32_t> used_;
};

// The process-wide table.
CategoryTagTable& ProcessCategoryTags();

uint64_t CategoryFromTag(const char* tag);
size_t FormatCategories(char* buffer, size_t size, uint32_t low, uint32_t high);

}  // namespace Zarvo
