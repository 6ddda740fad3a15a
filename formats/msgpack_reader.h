// Reads one MessagePack value into a BindingProperty tree.
#pragma once

#include <cstddef>
#include <cstdint>

#include "binding/property.h"

namespace Zarvo {

// Decodes the first complete value; bytes after it are left alone. `consumed` receives the position where
// decoding stopped.
BindingResult DecodeMessagePack(const uint8_t* data, size_t size, size_t& consumed);

// True when the first byte is a map or array header (fixmap, fixarray, array 16/32, map 16/32).
bool LooksLikeMessagePack(const uint8_t* data, size_t size);

}  // namespace Zarvo
