#include "platform/base64.h"

#include <array>
#include <cstdint>

namespace Zarvo {
namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Each byte's position in the alphabet, or -1 (every byte above 127 included).
constexpr std::array<int8_t, 256> kValues = [] {
    std::array<int8_t, 256> values{};
    values.fill(-1);
    for (size_t i = 0; i < kAlphabet.size(); ++i) values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
    return values;
}();

}  // namespace

std::string DecodeBase64(std::string_view text) {
    std::string bytes;
    bytes.reserve((text.size() + 3) / 4 * 3);
    uint32_t group = 0;  // the sextets read so far, six bits each
    int count = 0;
    for (char c : text) {
        int value = kValues[static_cast<unsigned char>(c)];
        if (value < 0) break;
        group = (group << 6) | static_cast<uint32_t>(value);
        if (++count == 4) {
            bytes += static_cast<char>(group >> 16);
            bytes += static_cast<char>(group >> 8);
            bytes += static_cast<char>(group);
            group = 0;
            count = 0;
        }
    }
    if (count == 2) {
        bytes += static_cast<char>(group >> 4);
    } else if (count == 3) {
        bytes += static_cast<char>(group >> 10);
        bytes += static_cast<char>(group >> 2);
    }
    return bytes;
}

}  // namespace Zarvo
