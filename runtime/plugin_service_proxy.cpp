#include "runtime/event_payload.h"
#include "runtime/instance_registry.h"
#include "runtime/plugin.h"

namespace Zarvo::Client {

using AppModule::PluginServiceProxyResponse;

void KIV_CDECL Plugin::OnServiceProxyEvent(const PluginEventRecord* event) {
    if (!event || !event->name) return;
    InstanceRegistry::Call call(event->context);
    if (!call) return;
    try {
        call.Instance().HandleServiceProxyEvent(event->name, event->payload);
    } catch (...) {
    }
}

void Plugin::HandleServiceProxyEvent(std::string_view name, const PluginValue& payload) {
    PluginServiceProxyResponse reply;
    if (!DecodeEventPayload(payload, reply, Registry())) return;
    if (name == kServiceProxyUuidEvent)
        serviceProxy_.FileReply(reply.uuid, reply);
    else if (name == kServiceProxyMethodEvent)
        serviceProxy_.FileReply(ServiceProxyMethodKey(reply.serviceName, reply.methodName), reply);
    else if (name == kServiceProxyAsyncEvent)
        serviceProxy_.HandleAsyncReply(ServiceProxyMethodKey(reply.serviceName, reply.methodName), reply);
}

}  // namespace Zarvo::Client
