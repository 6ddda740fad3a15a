// Core values that the core builds from its own trees to hand a plugin, and frees again: a plugin only reads them.
#pragma once

#include "abi/plugin_abi.h"
#include "binding/property.h"

namespace Zarvo::DevCore {

// Writes the tree into `record`, whose old content is not freed. Texts become owned strings (kind 6) cut at their
// first NUL, blobs owned byte arrays (kind 8), enums signed integers, containers arrays and objects whose entries own
// their keys. Works with a stack of its own, whatever the depth.
void WriteCoreValue(PluginValue& record, const BindingProperty& value);

// Frees what WriteCoreValue allocated for the record and leaves it a null value.
void FreeCoreValue(PluginValue& record);

}  // namespace Zarvo::DevCore
