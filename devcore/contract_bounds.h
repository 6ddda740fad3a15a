// The bounds the core sets on what a plugin hands it and on how far plugins may drive each other. Each is stated in
// the README and named in the message of the breach it catches.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Zarvo::DevCore {

// A value tree from a plugin: containers nested at most this deep, and at most this many values in all.
inline constexpr size_t kMaxValueDepth = 512;
inline constexpr size_t kMaxValueNodes = 1'000'000;
// A text or byte array inside a value, by its length word.
inline constexpr size_t kMaxValueBytes = size_t{64} << 20;
// A text without a length word (a key, a name, a path, a log line, an error text) must end within this many bytes.
inline constexpr size_t kMaxPlainText = size_t{1} << 20;
// Header pairs and argument items of one request or response.
inline constexpr uint32_t kMaxPairs = 4096;
// Functions in one API description.
inline constexpr uint32_t kMaxFunctions = 10'000;
// Requests from plugin to plugin, each sent while serving the one before.
inline constexpr int kMaxRequestNesting = 16;
// Deliveries of the events that plugins send while the core serves one call (in a scenario, one step).
inline constexpr size_t kMaxDeliveries = 10'000;
// What one plugin may hand the core while the core serves one call (in a scenario, one step; in serve, one request):
// calls into the core, values in its events and requests, and bytes of the texts and byte arrays the core keeps of
// them (log lines, event and subscription names, paths, texts and byte arrays in values). Past a bound the core
// ignores the plugin's calls until that call ends, so that a plugin calling the core in a loop holds memory bounded.
inline constexpr size_t kMaxStepCalls = 1'000'000;
inline constexpr size_t kMaxStepValues = 1'000'000;
inline constexpr size_t kMaxStepBytes = size_t{64} << 20;

}  // namespace Zarvo::DevCore
