// Core values: the C records in which every value crosses the core boundary, and their conversion.
#pragma once

#include <string>
#include <string_view>

#include "abi/plugin_abi.h"
#include "binding/property.h"

namespace Zarvo {

class BindingRegistry;

// Releases what the record owns and leaves it Null with a zero payload.
void ClearPluginValue(PluginValue& value);

// Writes the tree into a clear record; with a registry, Enum values travel as their enumerator's name.
bool ToPluginValue(PluginValue& value, const BindingProperty& property, const BindingRegistry* registry);

// Fills the property from a record that the caller keeps; on failure returns false with the message in `error`.
// A text ends at its first NUL or at its length word, whichever comes first (a length word of 0 counts for none).
// `name` is what is being assigned, used only in the message.
bool FromPluginValue(std::string& error, BindingProperty& property, const PluginValue& value, std::string_view name);

}  // namespace Zarvo
