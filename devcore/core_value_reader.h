// The core's reading of a value tree that a plugin hands it: every record is checked before it is followed, so that
// a wrong tree is named instead of read out of bounds.
#pragma once

#include <string>
#include <vector>

#include "abi/plugin_abi.h"
#include "binding/property.h"

namespace Zarvo::DevCore {

struct ValueReading {
    // Empty when the tree keeps the contract; else the first thing wrong and where, for instance "a value of kind 77
    // at data.items[2]" or "an array that contains itself at data". `value` then holds what was read before it.
    std::string problem;
    // Things a reader may take either way, such as a key given twice ("the key 'k' twice at data").
    std::vector<std::string> warnings;
    // The values read (containers and leaves), and the bytes of their texts, byte arrays and keys.
    size_t values = 0;
    size_t bytes = 0;
};

// Reads the tree into `value` with a stack of its own. Kinds 0 to 10 are known; a bool's byte is 0 or 1; texts are
// read within their length word and must end in a NUL right after it; arrays, byte arrays and objects need storage
// for their count; keys are texts of at most kMaxPlainText bytes. The tree may nest kMaxValueDepth containers and
// hold kMaxValueNodes values; a container that holds one of those enclosing it is caught at once.
ValueReading ReadCoreValue(const PluginValue& record, BindingProperty& value);

}  // namespace Zarvo::DevCore
