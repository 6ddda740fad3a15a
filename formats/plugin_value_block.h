// Core values written into one block: every array, object, key, text and byte array of a tree in a single
// allocation, which its owner releases at once.
#pragma once

#include "abi/plugin_abi.h"
#include "binding/property.h"

namespace Zarvo {

class BindingRegistry;

// Writes the tree into a clear record, as ToPluginValue writes it (the same kinds, counts, texts and keys, every
// key marked as owned), but with all the record points at in one block: the block begins with the root's own
// elements or entries, or with its text or bytes. A root whose value needs no storage (Null, Bool, a number, an empty
// array or object) gets no block. Throws std::bad_alloc; the record is then left clear.
void WritePluginValueBlock(PluginValue& value, const BindingProperty& property, const BindingRegistry* registry);

// Releases the block of a record written by WritePluginValueBlock and leaves the record Null with a zero payload.
void ReleasePluginValueBlock(PluginValue& value) noexcept;

}  // namespace Zarvo
