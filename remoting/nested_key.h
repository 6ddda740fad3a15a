// Setting a value inside an argument through a dotted key such as "b", "items.2" or "a.0x1.c".
#pragma once

#include <cstddef>
#include <string_view>

#include "binding/property.h"

namespace Zarvo {

// Walks the key's segments from the argument's property (an index segment addresses a collection element, any
// other a structure child) and sets the node reached to the String of the text. `elementAllowance` is the number
// of collection elements that index segments may still add while one request is bound; each growth spends from it,
// so a short key cannot make the plugin build a huge collection. Failures are set on the response.
void SetNestedValue(BindingResult& response, BindingProperty& argument, std::string_view key, std::string_view text,
                    size_t& elementAllowance);

}  // namespace Zarvo
