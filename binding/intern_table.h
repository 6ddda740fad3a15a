// The strings of one tree: each distinct text is stored once and counted by the nodes and keys that hold it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/property.h"

namespace Zarvo {

// 32-bit FNV-1a.
uint32_t InternHash(std::string_view text) noexcept;

class InternTable {
public:
    explicit InternTable(SmallBlockPool& pool) noexcept : pool_(pool) {}
    InternTable(const InternTable&) = delete;
    InternTable& operator=(const InternTable&) = delete;
    ~InternTable();

    // The record of the text with one more reference; the empty text gives the shared empty record.
    InternedString* Intern(std::string_view text);
    static void Retain(InternedString* record) noexcept;
    // Drops one reference; the record goes away with its last one.
    void Release(InternedString* record) noexcept;

    InternedString* Find(std::string_view text) const noexcept;
    size_t Count() const noexcept { return count_; }
    // Shared by every tree, never counted, never freed, never written.
    static InternedString* EmptyRecord() noexcept;

private:
    size_t SlotOf(const InternedString* record) const noexcept;
    void Grow();

    SmallBlockPool& pool_;
    InternedString** slots_ = nullptr;  // open addressing with linear probing
    size_t capacity_ = 0;               // a power of two, or 0
    size_t count_ = 0;
};

}  // namespace Zarvo
