// The records, enumeration and event every plugin registers for callbacks and asynchronous operations.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binding/property.h"

namespace Zarvo {

class BindingRegistry;

struct BindingAsyncState {
    enum Type : int32_t { None = 0, Running = 1, Cancelling = 2, Cancelled = 3, Succeeded = 4, Failed = 5 };
};

struct BindingGenericEvent {
    BindingProperty data;
};

struct BindingCallbackEvent {
    uint32_t id = 0;
    std::vector<BindingProperty> parameters;
};

struct BindingGenericAsyncEvent {
    uint32_t asyncToken = 0;
    BindingProperty data;
};

struct BindingAsyncFailureEvent {
    uint32_t asyncToken = 0;
    std::string error;
};

struct BindingAsyncCancelEvent {
    uint32_t asyncToken = 0;
};

// Registers the async types, the help types and the event "OnCallback". A registry that already holds the builtins
// is first emptied of every event, type and function.
void RegisterBuiltins(BindingRegistry& registry);

}  // namespace Zarvo
