// Writing a RemotingResponse into the core's response record, and the routine with which the core frees it.
#pragma once

#include <string_view>

#include "abi/plugin_abi.h"
#include "remoting/remoting_response.h"

namespace Zarvo {

class BindingRegistry;

// The text of a response record whose RemotingResponse has none; never freed.
extern const char kEmptyResponseText[];

// Releases what the remoting layer wrote into the record and zeroes it. The stream is not touched: the core takes
// it first.
void KIV_CDECL FreeResponseRecord(PluginResponseRecord* record);

// Writes the response into a zeroed record: the error text or the value (all of it in one block, Enum values named
// through the registry), output flag and format, status, text and headers; the stream, when there is one, moves into
// the record.
void ComposeResponseRecord(PluginResponseRecord& record, RemotingResponse& response, const BindingRegistry* registry);

// Answers a failure that left no RemotingResponse to compose: releases what the record holds and writes the
// message and status. Allocates nothing but the error text.
void ComposeFailureRecord(PluginResponseRecord& record, uint32_t status, std::string_view message) noexcept;

}  // namespace Zarvo
