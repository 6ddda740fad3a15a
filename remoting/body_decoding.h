// Decoding of a request body by its content type.
#pragma once

#include <cstddef>
#include <cstdint>

#include "binding/property.h"

namespace Zarvo {

// The content type selects the decoder by a case-insensitive prefix; a body without one is read as MessagePack
// when it looks like MessagePack. Only the `length` bytes at `body` (not null) are read. A refused or undecodable
// body, or MessagePack with bytes left over, gives a failed result with its message.
BindingResult DecodeBody(const char* contentType, const uint8_t* body, size_t length);
// Whether a decoder takes this content type, compared as DecodeBody compares it; null or empty takes none.
bool TakesContentType(const char* contentType) noexcept;

}  // namespace Zarvo
