#include "binding/builtins.h"

#include "binding/help_records.h"
#include "binding/registration.h"

namespace Zarvo {

namespace {

void RegisterAsyncTypes(BindingRegistry& registry) {
    registry.Enum<BindingAsyncState::Type>("BindingAsyncState")
        .Value("None", BindingAsyncState::None, "Invalid state")
        .Value("Running", BindingAsyncState::Running, "The operation is in flight")
        .Value("Cancelling", BindingAsyncState::Cancelling, "A request to cancel the operation has been made")
        .Value("Cancelled", BindingAsyncState::Cancelled, "The operation was cancelled")
        .Value("Succeeded", BindingAsyncState::Succeeded, "The operation completed successfully")
        .Value("Failed", BindingAsyncState::Failed, "The operation encountered an error")
        .Description("Possible states of an asynchronous operation.")
        .Tags({"$builtin", "async"});

    registry.Record<BindingGenericEvent>("BindingGenericEvent")
        .Field("data", &BindingGenericEvent::data, "Event data")
        .Description("Represents generic data for an event.")
        .Tags({"$builtin"});

    registry.Record<BindingCallbackEvent>("BindingCallbackEvent")
        .Field("id", &BindingCallbackEvent::id, "ID of the callback being invoked")
        .Field("parameters", &BindingCallbackEvent::parameters, "Callback parameters")
        .Description("Represents the parameters of a call to a provided callback.")
        .Tags({"$builtin"});

    registry.Record<BindingGenericAsyncEvent>("BindingGenericAsyncEvent")
        .Field("asyncToken", &BindingGenericAsyncEvent::asyncToken, "Asynchronous operation token")
        .Field("data", &BindingGenericAsyncEvent::data, "Event data")
        .Description("Represents generic data for an asynchronous event.")
        .Tags({"$builtin", "async"});

    registry.Record<BindingAsyncFailureEvent>("BindingAsyncFailureEvent")
        .Field("asyncToken", &BindingAsyncFailureEvent::asyncToken, "Asynchronous operation token")
        .Field("error", &BindingAsyncFailureEvent::error, "Error message")
        .Description("Represents a failed asynchronous operation.")
        .Tags({"$builtin", "async"});

    registry.Record<BindingAsyncCancelEvent>("BindingAsyncCancelEvent")
        .Field("asyncToken", &BindingAsyncCancelEvent::asyncToken, "Asynchronous operation token")
        .Description("Represents a cancelled asynchronous operation.")
        .Tags({"$builtin", "async"});
}

}  // namespace

void RegisterBuiltins(BindingRegistry& registry) {
    if (registry.BuiltinsRegistered()) {
        registry.Clear();
        registry.SetBuiltinsRegistered(false);
    }
    RegisterAsyncTypes(registry);
    BindingHelpProvider::RegisterTypes(registry);
    registry.Event<BindingCallbackEvent>("OnCallback")
        .Description("Fired when a callback is invoked.")
        .Tag("$builtin");
    registry.SetBuiltinsRegistered(true);
}

}  // namespace Zarvo
