// The callbacks through which the core calls the plugin's exported functions.
#pragma once

#include "abi/plugin_abi.h"

namespace Zarvo {

// Stored in every exported function entry. Reads the dispatch context {transport, binding} from the request and
// dispatches on that transport with the binding's route; every outcome, failures included, is in the response.
void KIV_CDECL DispatchCallback(PluginResponseRecord* response, const PluginRequestRecord* request);

// The same, but builds the binding's route afresh for the request, as the first dispatcher did; kept to measure
// what the built route saves.
void KIV_CDECL DispatchCallbackBuildingRoute(PluginResponseRecord* response, const PluginRequestRecord* request);

}  // namespace Zarvo
