#include "runtime/runtime_types.h"

#include "binding/registration.h"

namespace Zarvo::Client {

using AppModule::PluginLcdsEvent;
using AppModule::PluginLcdsResponse;
using AppModule::PluginServiceProxyResponse;

namespace {

constexpr std::string_view kTag = "zclient";

void RegisterTypes(BindingRegistry& registry) {
    registry.Enum<PluginManagerState>("PluginManagerState")
        .Value("NotReady", PluginManagerState::NotReady)
        .Value("PluginsInitialized", PluginManagerState::PluginsInitialized)
        .Tag(kTag);
    registry.Record<PluginManagerResource>("PluginManagerResource")
        .Field("state", &PluginManagerResource::state)
        .Tag(kTag);
    registry.Enum<PluginResourceEventType>("PluginResourceEventType")
        .Value("Create", PluginResourceEventType::Create)
        .Value("Update", PluginResourceEventType::Update)
        .Value("Delete", PluginResourceEventType::Delete)
        .Tag(kTag);
    registry.Record<PluginResourceEvent>("PluginResourceEvent")
        .Field("uri", &PluginResourceEvent::uri)
        .Field("eventType", &PluginResourceEvent::eventType)
        .Field(kResourceEventDataField, &PluginResourceEvent::data)
        .Tag(kTag);
    registry.Record<PluginLcdsEvent>("PluginLcdsEvent")
        .Field("clientId", &PluginLcdsEvent::clientId)
        .Field("subtopic", &PluginLcdsEvent::subtopic)
        .Field("typeName", &PluginLcdsEvent::typeName)
        .Field("body", &PluginLcdsEvent::body)
        .Tag(kTag);
    registry.Record<PluginLcdsResponse>("PluginLcdsResponse")
        .Field("typeName", &PluginLcdsResponse::typeName)
        .Field("body", &PluginLcdsResponse::body)
        .Tag(kTag);
    registry.Record<PluginServiceProxyResponse>("PluginServiceProxyResponse")
        .Field("uuid", &PluginServiceProxyResponse::uuid)
        .Field("serviceName", &PluginServiceProxyResponse::serviceName)
        .Field("methodName", &PluginServiceProxyResponse::methodName)
        .Field("payload", &PluginServiceProxyResponse::payload)
        .Field("status", &PluginServiceProxyResponse::status)
        .Field("error", &PluginServiceProxyResponse::error)
        .Tag(kTag);
}

void RegisterEvents(BindingRegistry& registry) {
    registry.Event<PluginResourceEvent>("OnJsonApiEvent").Description("Fired when a resource is changed.").Tag(kTag);
    registry.Event<PluginLcdsEvent>("OnLcdsEvent")
        .Description("Fired when a message is received over the LCDS connection.")
        .Tag(kTag);
    registry.Event<PluginServiceProxyResponse>("OnServiceProxyUuidEvent")
        .Description("Fired when a uuid-based service proxy message is received.")
        .Tag(kTag);
    registry.Event<PluginServiceProxyResponse>("OnServiceProxyMethodEvent")
        .Description("Fired when a method-based service proxy message is received.")
        .Tag(kTag);
    registry.Event<PluginServiceProxyResponse>("OnServiceProxyAsyncEvent")
        .Description("Fired when an async service proxy message is received.")
        .Tag(kTag);
}

}  // namespace

void RegisterRuntimeTypes(BindingRegistry& registry) {
    RegisterTypes(registry);
    RegisterEvents(registry);
}

}  // namespace Zarvo::Client
