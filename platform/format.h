// The type-safe text formatter: numbered placeholders ("%1 (%2)") and printf-style ones ("%5d", "%1$08x", "%*.*g"),
// where every argument accepts only the conversions that fit its type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/format_argument.h"

namespace Zarvo {

// FormatString results hold at most this many characters less one; longer output is cut.
inline constexpr size_t kFormatStringCapacity = 4096;

// Writes at most size - 1 characters and a NUL; returns the characters in the buffer.
size_t FormatToBuffer(char* buffer, size_t size, const char* format, const FormatArgument* table,
                      const void* const* values, uint32_t count);

std::string FormatStringFromTable(const char* format, const FormatArgument* table, const void* const* values,
                                  uint32_t count);

template <class... A>
std::string FormatString(const char* format, const A&... args) {
    static_assert(sizeof...(A) >= 1 && sizeof...(A) <= 3, "FormatString takes one to three arguments");
    const void* const values[] = {static_cast<const void*>(std::addressof(args))...};
    return FormatStringFromTable(format, kFormatArguments<A...>, values, sizeof...(A));
}

}  // namespace Zarvo
