#include "platform/log_categories.h"

#include "platform/log.h"

namespace Zarvo {
namespace {

constexpr uint32_t StoredMarker = 1u << 24;

uint32_t PackTag(const char* tag) {
    if (!tag || !tag[0]) return 0;
    uint32_t packed = StoredMarker;
    for (int i = 0; i < 3 && tag[i]; ++i) packed |= static_cast<uint32_t>(static_cast<unsigned char>(tag[i])) << 8 * i;
    return packed;
}

}  // namespace

CategoryTagTable::CategoryTagTable() : used_(8) {
    static constexpr const char* predefined[] = {"DBG", "GEN", "XTR", "PRF", "MEM", "DSK", "NET", "TST"};
    for (int32_t slot = 0; slot < SlotCount; ++slot) tags_[slot].store(slot < 8 ? PackTag(predefined[slot]) : 0);
}

uint64_t CategoryTagTable::FromTag(const char* tag) {
    const uint32_t packed = PackTag(tag);
    if (!packed) return 0;
    int32_t used = used_.load();
    for (int32_t slot = 0; slot < used && slot < SlotCount; ++slot)
        if (tags_[slot].load() == packed) return 1ull << slot;
    do {
        if (used >= SlotCount) return 0;
    } while (!used_.compare_exchange_weak(used, used + 1));
    tags_[used].store(packed);
    return 1ull << used;
}

size_t CategoryTagTable::Format(char* buffer, size_t size, uint64_t mask) const {
    if (size == 0) return 0;
    size_t length = 0;
    auto put = [&](char c) {
        if (length + 1 < size) buffer[length++] = c;
    };
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (!(mask >> slot & 1)) continue;
        if (length > 0) put(';');
        const uint32_t packed = tags_[slot].load();
        for (int i = 0; i < 3; ++i) {
            const char c = packed ? static_cast<char>(packed >> 8 * i) : '?';
            if (!c) break;
            put(c);
        }
    }
    buffer[length] = '\0';
    return length;
}

CategoryTagTable& ProcessCategoryTags() {
    static CategoryTagTable table;
    return table;
}

uint64_t CategoryFromTag(const char* tag) { return ProcessCategoryTags().FromTag(tag); }

size_t FormatCategories(char* buffer, size_t size, uint32_t low, uint32_t high) {
    return ProcessCategoryTags().Format(buffer, size, CategoryMask(low, high));
}

}  // namespace Zarvo
