// Reading the streamed body of a response from another plugin.
#pragma once

#include <cstddef>
#include <cstdint>

#include "abi/plugin_abi.h"
#include "binding/property.h"

namespace Zarvo::Client {

class Plugin;

// The size of one read.
inline constexpr uint32_t kStreamReadSize = 4096;
// A body that grows past this many bytes is refused, whatever length the response announced.
inline constexpr size_t kMaxStreamedBodySize = 32u * 1024 * 1024;
// A body that still has more to come after this many waits is refused.
inline constexpr uint32_t kMaxStreamWaits = 65536;

// Reads the body piece by piece, waiting through the plugin after every short read that has more to come, and
// parses it as JSON. The stream is released in every case. A read that fails, or that reports more bytes than
// the buffer holds, fails with "Stream read error".
BindingResult ReadStreamedBody(Plugin& plugin, const PluginResponseRecord& response);

}  // namespace Zarvo::Client
