#include "remoting/percent_decoding.h"

#include <cstdint>

namespace Zarvo {
namespace {

// A byte that is no hex digit counts as 16, so an invalid escape still yields a byte.
uint32_t HexDigitValue(char digit) noexcept {
    if (digit >= '0' && digit <= '9') return static_cast<uint32_t>(digit - '0');
    if (digit >= 'a' && digit <= 'f') return static_cast<uint32_t>(digit - 'a' + 10);
    if (digit >= 'A' && digit <= 'F') return static_cast<uint32_t>(digit - 'A' + 10);
    return 16;
}

}  // namespace

std::string PercentDecode(std::string_view text) {
    if (text.find_first_of("%+") == std::string_view::npos) return std::string(text);
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char byte = text[i];
        if (byte == '+') {
            decoded.push_back(' ');
        } else if (byte != '%') {
            decoded.push_back(byte);
        } else if (text.size() - i > 2) {
            const uint32_t value = (HexDigitValue(text[i + 1]) << 4) | HexDigitValue(text[i + 2]);
            decoded.push_back(static_cast<char>(value & 0xFF));
            i += 2;
        }
    }
    return decoded;
}

}  // namespace Zarvo
