// Property trees written as JSON text, for the story, the diffs of expectations and the HTTP answers.
#pragma once

#include <string>

#include "binding/property.h"

namespace Zarvo::DevCore {

// One line of compact JSON. Empty is null, a Blob is its Base64 text, an Enum its number, a Float that is not
// finite null; members in the tree's key order.
std::string ToJsonText(const BindingProperty& value);

}  // namespace Zarvo::DevCore
