#include "formats/plugin_value_block.h"
#include "runtime/event_name.h"
#include "runtime/plugin.h"

namespace Zarvo::Client {
namespace {

// The event record handed to the core; it owns the payload's core values, all in one block.
class OutgoingEvent {
public:
    OutgoingEvent() = default;
    OutgoingEvent(const OutgoingEvent&) = delete;
    OutgoingEvent& operator=(const OutgoingEvent&) = delete;
    ~OutgoingEvent() { ReleasePluginValueBlock(record.payload); }

    PluginEventRecord record{};
};

}  // namespace

RequestResult<> Plugin::SendEvent(std::string_view baseName, const PluginResourceEvent& payload) {
    BindingResult converted;
    ConvertToProperty(converted, payload, Registry());
    if (!converted.ok) return RequestResult<>::Failure(0, std::string(converted.ErrorMessage()));
    SendEventPayload(baseName, payload.uri, converted.value);
    return RequestResult<>::Success();
}

void Plugin::SendEventPayload(std::string_view baseName, std::string_view uri, const BindingProperty& payload) {
    const std::string eventName = EventNameForUri(uri);
    const std::string base(baseName);
    OutgoingEvent event;
    WritePluginValueBlock(event.record.payload, payload, &Registry());
    event.record.name = eventName.c_str();
    CoreSendEvent(&event.record);
    if (eventName != base) {
        event.record.name = base.c_str();
        CoreSendEvent(&event.record);
    }
}

}  // namespace Zarvo::Client
