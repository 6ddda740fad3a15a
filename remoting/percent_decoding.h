// Percent-decoding of captured path values and of query keys and values. Invalid escapes never fail.
#pragma once

#include <string>
#include <string_view>

namespace Zarvo {

// "+" becomes a space; "%" and two more bytes give one byte (a byte that is no hex digit counts as 16); a "%" with
// fewer than two bytes after it is dropped; every other byte is copied.
std::string PercentDecode(std::string_view text);

}  // namespace Zarvo
