#include "platform/format.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace Zarvo {
namespace {

// A placeholder spec may hold at most this many characters; one more stops the formatting.
constexpr uint32_t kSpecLimit = 59;

struct StarReference {
    bool used = false;
    uint32_t argument = 0;
};

struct Placeholder {
    uint32_t argument = 0;  // 1-based
    StarReference width;
    StarReference precision;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Saturates far above any argument count.
uint32_t ReadNumber(const char*& p) {
    uint64_t number = 0;
    for (; IsDigit(*p); ++p) number = std::min<uint64_t>(number * 10 + (*p - '0'), UINT32_MAX);
    return static_cast<uint32_t>(number);
}

bool Append(PlaceholderContext& context, char c) {
    if (context.specLength >= kSpecLimit) return false;
    context.spec[context.specLength++] = c;
    return true;
}

// A width or precision: `*` (its argument named as "*N$" or else the next in sequence) or a run of digits.
bool ParseCount(const char*& p, PlaceholderContext& context, uint32_t& sequence, StarReference& star) {
    if (*p == '-') ++p;
    if (*p != '*') {
        for (; IsDigit(*p); ++p)
            if (!Append(context, *p)) return false;
        return true;
    }
    if (!Append(context, '*')) return false;
    ++p;
    star.used = true;
    const char* digits = p;
    if (IsDigit(*digits)) {
        uint32_t argument = ReadNumber(digits);
        if (*digits == '$') {
            star.argument = argument;
            p = digits + 1;
            return true;
        }
    }
    star.argument = sequence++;
    return true;
}

// Parses the placeholder at `p` (its '%') into the context's spec and advances `p` past it.
bool ParsePlaceholder(const char*& p, PlaceholderContext& context, uint32_t count, uint32_t& sequence,
                      Placeholder& placeholder) {
    context.spec[0] = '%';
    context.specLength = 1;
    context.conversion = '\0';
    const char* q = p + 1;
    bool named = false;
    if (*q >= '1' && *q <= '9') {
        const char* afterNumber = q;
        uint32_t number = ReadNumber(afterNumber);
        if (number <= count) {
            named = true;
            placeholder.argument = number;
            if (*afterNumber != '$') {
                // "%1": the text right after the number is ordinary text.
                context.spec[1] = '\0';
                sequence = std::max(sequence, number + 1);
                p = afterNumber;
                return true;
            }
            q = afterNumber + 1;
        }
    }
    for (; *q != '\0' && std::strchr("-+ #0", *q) != nullptr; ++q)
        if (!Append(context, *q)) return false;
    if (!ParseCount(q, context, sequence, placeholder.width)) return false;
    if (*q == '.') {
        if (!Append(context, *q++) || !ParseCount(q, context, sequence, placeholder.precision)) return false;
    }
    if (*q == 'L' || *q == 'j' || *q == 't' || *q == 'z') {
        if (!Append(context, *q++)) return false;
    } else if (*q == 'h' || *q == 'l') {
        char modifier = *q;
        if (!Append(context, *q++)) return false;
        if (*q == modifier && !Append(context, *q++)) return false;
    }
    if (*q != '\0') {
        context.conversion = *q;
        if (!Append(context, *q++)) return false;
    }
    // A placeholder that names its argument moves the sequence past it, so "%1 %2" with one argument stops at %2.
    if (named) sequence = std::max(sequence, placeholder.argument + 1);
    else placeholder.argument = sequence++;
    context.spec[context.specLength] = '\0';
    p = q;
    return true;
}

bool ReadStar(const StarReference& star, const FormatArgument* table, const void* const* values, uint32_t count,
              PlaceholderContext& context) {
    if (!star.used) return true;
    if (star.argument == 0 || star.argument > count || !table[star.argument - 1].isInteger) return false;
    context.starValues[context.starCount++] = table[star.argument - 1].toInteger(values[star.argument - 1]);
    return true;
}

}  // namespace

size_t FormatToBuffer(char* buffer, size_t size, const char* format, const FormatArgument* table,
                      const void* const* values, uint32_t count) {
    if (size == 0) return 0;
    // Counts travel as signed 32-bit numbers, so a larger buffer is used only up to that bound.
    const uint32_t capacity = static_cast<uint32_t>(std::min<size_t>(size, std::numeric_limits<int32_t>::max()));
    const uint32_t limit = capacity - 1;
    uint32_t written = 0;
    uint32_t sequence = 1;
    const char* p = format != nullptr ? format : "";
    while (*p != '\0' && written < limit) {
        if (*p != '%') {
            const char* end = p;
            while (*end != '\0' && *end != '%') ++end;
            size_t length = std::min<size_t>(end - p, limit - written);
            std::memcpy(buffer + written, p, length);
            written += static_cast<uint32_t>(length);
            p = end;
            continue;
        }
        if (p[1] == '%') {
            buffer[written++] = '%';
            p += 2;
            continue;
        }
        PlaceholderContext context;
        Placeholder placeholder;
        if (!ParsePlaceholder(p, context, count, sequence, placeholder) || placeholder.argument > count) break;
        context.starCount = 0;
        if (!ReadStar(placeholder.width, table, values, count, context) ||
            !ReadStar(placeholder.precision, table, values, count, context))
            break;
        context.out = buffer + written;
        context.written = written;
        context.remaining = capacity - written;
        context.allowedLetters = "";
        context.defaultModifier = "";
        context.value = values[placeholder.argument - 1];
        int32_t length = table[placeholder.argument - 1].format(context);
        if (length < 0) break;
        written += std::min(static_cast<uint32_t>(length), capacity - written);
    }
    const uint32_t end = std::min(written, limit);
    buffer[end] = '\0';
    return end;
}

std::string FormatStringFromTable(const char* format, const FormatArgument* table, const void* const* values,
                                  uint32_t count) {
    char buffer[kFormatStringCapacity];
    return std::string(buffer, FormatToBuffer(buffer, sizeof buffer, format, table, values, count));
}

}  // namespace Zarvo
