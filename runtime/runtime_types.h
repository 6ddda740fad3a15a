// The records and enumerations through which the runtime talks to the core, and their registration.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "binding/property.h"

namespace Zarvo {

class BindingRegistry;

namespace Client {

enum class PluginManagerState : int32_t { NotReady = 0, PluginsInitialized = 1 };

struct PluginManagerResource {
    PluginManagerState state = PluginManagerState::NotReady;
};

enum class PluginResourceEventType : int32_t { Create = 0, Update = 1, Delete = 2 };

// The member of a resource event's payload that holds the resource's value.
inline constexpr std::string_view kResourceEventDataField = "data";

// A change of another plugin's resource, as it travels between plugins.
struct PluginResourceEvent {
    std::string uri;
    PluginResourceEventType eventType = PluginResourceEventType::Create;
    BindingProperty data;
};

// The same change with its data converted to a native type.
template <class T>
struct TypedResourceEvent {
    std::string uri;
    PluginResourceEventType eventType = PluginResourceEventType::Create;
    T data{};
};

namespace AppModule {

struct PluginLcdsEvent {
    std::string clientId;
    std::string subtopic;
    std::string typeName;
    BindingProperty body;
};

struct PluginLcdsResponse {
    std::string typeName;
    BindingProperty body;
};

// A reply of a remote service, delivered as a service-proxy event.
struct PluginServiceProxyResponse {
    std::string uuid;
    std::string serviceName;
    std::string methodName;
    std::string payload;
    std::string status;
    std::string error;
};

}  // namespace AppModule

// Registers the records, enumerations and events above, all tagged "zclient"; run at load before the plugin's own.
void RegisterRuntimeTypes(BindingRegistry& registry);

}  // namespace Client
}  // namespace Zarvo
