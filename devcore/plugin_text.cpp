#include "devcore/plugin_text.h"

#include <cstring>

namespace Zarvo::DevCore {

std::optional<std::string_view> PlainText(const char* text, size_t bound) {
    if (!text) return std::nullopt;
    const size_t length = strnlen(text, bound);
    if (length == bound) return std::nullopt;
    return std::string_view(text, length);
}

std::string ReadCountedText(const char* text, uint32_t length, std::string_view& out) {
    if (!text) return "a text with a null pointer";
    if (length > kMaxValueBytes)
        return "a text of " + Grouped(length) + " bytes, more than the core's bound of " + Grouped(kMaxValueBytes);
    if (const void* nul = std::memchr(text, 0, length))
        return "a text whose length word says " + Grouped(length) + " while it ends after " +
               Grouped(static_cast<const char*>(nul) - text) + " bytes";
    if (text[length] != 0) return "a text of " + Grouped(length) + " bytes without a NUL after them";
    out = std::string_view(text, length);
    return {};
}

std::string Grouped(uint64_t number) {
    std::string digits = std::to_string(number);
    for (size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, ",");
    return digits;
}

}  // namespace Zarvo::DevCore
