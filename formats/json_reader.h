// Reads JSON text into a BindingProperty tree.
#pragma once

#include <string_view>

#include "binding/property.h"

namespace Zarvo {

// The text ends at its first NUL or at the end of the view, whichever comes first. Only whitespace gives an
// ok Empty result; a syntax error gives "Error: <reason> at offset <n>.".
BindingResult ParseJson(std::string_view text);

}  // namespace Zarvo
