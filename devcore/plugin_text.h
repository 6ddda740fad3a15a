// Texts that a plugin hands the core, read no further than their NUL or their length word allow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "devcore/contract_bounds.h"

namespace Zarvo::DevCore {

// A NUL-terminated text without a length word; nothing when it is null or has no NUL within `bound` bytes. The view
// is of the plugin's storage: valid as long as the plugin keeps it.
std::optional<std::string_view> PlainText(const char* text, size_t bound = kMaxPlainText);

// The text of a string value: `length` bytes followed by a NUL. Empty when it keeps to that, else what is wrong with
// it ("a text whose length word says 5 while it ends after 2 bytes").
std::string ReadCountedText(const char* text, uint32_t length, std::string_view& out);

// 1234567 as "1,234,567".
std::string Grouped(uint64_t number);

}  // namespace Zarvo::DevCore
