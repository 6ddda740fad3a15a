// Decoding of one argument text into a property node.
#pragma once

#include <string_view>

#include "binding/property.h"

namespace Zarvo {

// With sniffing on, a text that looks like MessagePack, JSON or YAML is decoded as such; any other text becomes a
// String. A failed decode is set on the response, naming the parameter and the function.
void DecodeArgumentText(BindingResult& response, BindingProperty& node, std::string_view text, bool sniff,
                        std::string_view parameter, std::string_view functionName);

}  // namespace Zarvo
