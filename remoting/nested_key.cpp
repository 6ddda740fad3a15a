#include "remoting/nested_key.h"

#include <cstdint>

#include "platform/format.h"

namespace Zarvo {
namespace {

constexpr uint64_t kIndexLimit = 2147483648u;

enum class IndexStatus { Valid, IncorrectFormat, OutOfRange };

uint32_t DigitValue(char byte) noexcept {
    if (byte >= '0' && byte <= '9') return static_cast<uint32_t>(byte - '0');
    if (byte >= 'a' && byte <= 'z') return static_cast<uint32_t>(byte - 'a' + 10);
    if (byte >= 'A' && byte <= 'Z') return static_cast<uint32_t>(byte - 'A' + 10);
    return 36;
}

// An unsigned number with automatic base, as strtoul reads it: "0x" before a hex digit reads hexadecimal, another
// leading "0" octal. The segment starts with a decimal digit.
IndexStatus ParseIndex(std::string_view segment, size_t& index) noexcept {
    uint32_t base = 10;
    size_t position = 0;
    if (segment[0] == '0') {
        const bool hexadecimal = segment.size() > 2 && (segment[1] == 'x' || segment[1] == 'X') &&
                                 DigitValue(segment[2]) < 16;
        base = hexadecimal ? 16 : 8;
        position = hexadecimal ? 2 : 0;
    }
    uint64_t value = 0;
    for (; position < segment.size(); ++position) {
        const uint32_t digit = DigitValue(segment[position]);
        if (digit >= base) break;
        // Past the limit the value only has to stay there: it cannot overflow.
        if (value < kIndexLimit) value = value * base + digit;
    }
    if (position != segment.size()) return IndexStatus::IncorrectFormat;
    if (value >= kIndexLimit) return IndexStatus::OutOfRange;
    index = static_cast<size_t>(value);
    return IndexStatus::Valid;
}

// The element at the index, or null with the failure set on the response.
BindingProperty* EnterElement(BindingResult& response, BindingProperty& node, std::string_view segment,
                              size_t& elementAllowance) {
    size_t index = 0;
    switch (ParseIndex(segment, index)) {
        case IndexStatus::IncorrectFormat:
            response.SetError(FormatString("Index %1 is in an incorrect format", segment));
            return nullptr;
        case IndexStatus::OutOfRange:
            response.SetError(FormatString("Index %1 is out of range", segment));
            return nullptr;
        case IndexStatus::Valid:
            break;
    }
    const size_t existing = node.GetKind() == BindingProperty::Kind::Collection ? node.Size() : 0;
    const size_t growth = index < existing ? 0 : index + 1 - existing;
    if (growth > elementAllowance || index >= BindingProperty::MaxCollectionSize) {
        response.SetError(FormatString("Index %1 is too large for the size of the request", segment));
        return nullptr;
    }
    elementAllowance -= growth;
    return &node.Element(index);
}

}  // namespace

void SetNestedValue(BindingResult& response, BindingProperty& argument, std::string_view key, std::string_view text,
                    size_t& elementAllowance) {
    BindingProperty* node = &argument;
    size_t start = 0;
    while (true) {
        const size_t dot = key.find('.', start);
        const std::string_view segment = key.substr(start, dot - start);
        if (!segment.empty() && segment[0] >= '0' && segment[0] <= '9') {
            node = EnterElement(response, *node, segment, elementAllowance);
            if (!node) return;
        } else {
            node = &node->ChildForWrite(segment);
        }
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    // The last node takes the text without sniffing, which leaves it a String (also when empty).
    node->SetString(text);
}

}  // namespace Zarvo
