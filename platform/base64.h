// Base64 decoding of blob texts (standard alphabet, no encoder).
#pragma once

#include <string>
#include <string_view>

namespace Zarvo {

// Never fails: decoding stops silently at the end, at the first "=" or at the first character outside the
// alphabet; a trailing group of k characters gives k - 1 bytes.
std::string DecodeBase64(std::string_view text);

}  // namespace Zarvo
