#include "runtime/event_name.h"
#include "runtime/event_payload.h"
#include "runtime/instance_registry.h"
#include "runtime/plugin.h"

namespace Zarvo::Client {

void Plugin::Subscribe(std::string_view uri) {
    const std::string eventName = EventNameForUri(uri);
    SubscriptionTable& table = subscriptions_;
    if (table.AddReference(eventName, [&table](const PluginResourceEvent& event) { table.Dispatch(event); }))
        CoreSubscribeEvent(eventName.c_str(), pluginHandle_, &OnResourceEvent, instanceHandle_, PluginSubscribeResource);
}

void Plugin::Unsubscribe(std::string_view uri) {
    const std::string eventName = EventNameForUri(uri);
    if (subscriptions_.DropReference(eventName)) CoreUnsubscribeEvent(eventName.c_str(), pluginHandle_);
}

void Plugin::FetchCurrentValue(std::string_view uri, const ResourceHandler& handler) {
    RequestResult<BindingProperty> current = Request<BindingProperty>(Method::Get, uri);
    if (current.Ok())
        handler(PluginResourceEvent{std::string(uri), PluginResourceEventType::Create, std::move(current.value)});
}

void KIV_CDECL Plugin::OnResourceEvent(const PluginEventRecord* event) {
    if (!event || !event->name) return;
    InstanceRegistry::Call call(event->context);
    if (!call) return;
    try {
        call.Instance().HandleResourceEvent(event->name, event->payload);
    } catch (...) {
    }
}

void Plugin::HandleResourceEvent(const char* name, const PluginValue& payload) {
    const ResourceHandler* found = subscriptions_.FindEventHandler(name);
    if (!found) return;
    PluginResourceEvent event;
    if (!DecodeResourceEvent(payload, event, Registry())) return;
    const ResourceHandler dispatch = *found;  // the handler may unsubscribe the event while it runs
    dispatch(event);
}

}  // namespace Zarvo::Client
