// Reads one YAML document into a BindingProperty tree.
#pragma once

#include <string_view>

#include "binding/property.h"

namespace Zarvo {

// The whole view is given to the parser, NUL bytes included.
BindingResult ReadYaml(std::string_view text);

}  // namespace Zarvo
