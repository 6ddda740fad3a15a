// The base of every plugin: its names, registry and transport, the entry table the core drives it through, its
// subscriptions, requests and events through the core, and the service-proxy replies it receives.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "abi/plugin_abi.h"
#include "binding/conversion.h"
#include "binding/property.h"
#include "binding/registry.h"
#include "platform/format.h"
#include "remoting/method.h"
#include "remoting/transport.h"
#include "runtime/event_name.h"
#include "runtime/exported_description.h"
#include "runtime/plugin_identity.h"
#include "runtime/request_result.h"
#include "runtime/runtime_types.h"
#include "runtime/service_proxy_tables.h"
#include "runtime/subscription_table.h"
#include "runtime/uri_pattern.h"

namespace Zarvo::Client {

class Plugin {
public:
    explicit Plugin(std::string_view shortName, const PluginType& type = kBackendPluginType);
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    // Follows the core event of a resource URI; the core is asked only for the first subscription of an event.
    virtual void Subscribe(std::string_view uri);
    // Drops one subscription; the core is told when the event's last one goes. URI handlers stay until Teardown.
    virtual void Unsubscribe(std::string_view uri);
    virtual ~Plugin();
    // Unsubscribes every event still subscribed at the core and empties the subscription and service-proxy tables.
    virtual void Teardown();

    // Every call to the core goes through these; each passes its arguments on with the core's table, and does
    // nothing before Init.
    virtual void CoreSendRequest(PluginResponseRecord* response, const PluginRequestRecord* request);
    virtual void CoreSlot1(uint32_t first, uint32_t second);
    virtual void CoreSendEvent(const PluginEventRecord* event);
    virtual void CoreSubscribeEvent(const char* name, uint32_t pluginHandle, PluginEventCallback callback,
                                    void* context, uint32_t kind);
    virtual void CoreUnsubscribeEvent(const char* name, uint32_t pluginHandle);
    virtual void CoreSlot5(uint32_t first, uint32_t second, uint32_t third, double fourth, uint32_t fifth);
    virtual void CoreYield();
    virtual void CoreBeginWait(const char* label, uint32_t zero);
    virtual void CoreEndWait();

protected:
    // Registers the plugin's own records, events and routes; runs at load after the runtime's types.
    virtual void RegisterApi();
    // Runs at the end of Init; its result is Init's.
    virtual bool Start();

public:
    // Load: checks the core's version (refusing with the report "ALE-EECF0606"), registers the runtime's types and
    // then the plugin's, builds the API description and fills the block's outputs: the instance is a handle of
    // the instance registry, not this object's address. False when refused.
    bool Load(PluginLoadBlock& block);
    // Init: switches logging to the core, subscribes the service-proxy events and starts the plugin. Refused (false,
    // and the core is not called) when the init block gives no core table or the table lacks an operation the
    // plugin cannot work without: SendRequest, SendEvent, SubscribeEvent or UnsubscribeEvent.
    bool Init(const PluginInitBlock& init);
    // Ends an instance whose Destroy has come and whose calls have all returned: Teardown, then the destructor.
    static void Finish(Plugin* plugin) noexcept;

    // Requests to other plugins.
    //
    // Sends the request with the arguments (a record, or any convertible value) as argument items: the members of
    // a structure as named items, the elements of a collection as positional ones, any other value as one
    // positional item. The caller frees the response.
    template <class Arguments>
    RequestResult<> SendRequest(Method method, std::string_view url, PluginResponseRecord& response,
                                const Arguments& arguments);
    RequestResult<> SendRequest(Method method, std::string_view url, PluginResponseRecord& response);
    // Sends a request without arguments and converts the response's value or streamed JSON body to T.
    template <class T>
    RequestResult<T> Request(Method method, std::string_view url);
    RequestResult<BindingProperty> RequestValue(Method method, std::string_view url);
    // Lets the core run other work while a streamed body is awaited.
    void Wait();

    // Resource subscriptions: the handler receives each change of the URI (or of every URI the "*" pattern
    // matches) with its data converted to T; a change that does not convert is dropped, a Delete carries a default
    // T. An exact URI is fetched at once and its current value handed over as a Create.
    template <class T>
    void SubscribeResource(std::string_view uri, std::function<void(const TypedResourceEvent<T>&)> handler);

    // Publication: announces a change of one of the plugin's resources. A value that does not convert is not sent.
    template <class T>
    void UpdateResource(PluginResourceEventType type, std::string_view uri, const T& value);
    // Sends the event under the URI's event name and, when that differs, once more under the base name.
    RequestResult<> SendEvent(std::string_view baseName, const PluginResourceEvent& payload);

    // The transport holds the plugin's binding registry and the routes the core can call.
    HttpBaseTransport& Transport() noexcept { return *transport_; }
    BindingRegistry& Registry() noexcept { return transport_->Registry(); }
    const BindingRegistry& Registry() const noexcept { return transport_->Registry(); }
    const PluginName& Name() const noexcept { return name_; }
    const std::vector<std::string>& RouteTags() const noexcept { return routeTags_; }
    const PluginApiVersion& CoreVersion() const noexcept { return coreVersion_; }
    // One table for every instance, constant for the library's life.
    static const PluginEntryTable& EntryTable() noexcept { return kEntryTable; }
    // The handle the core knows this instance by (the load block's instance and every event context); null before
    // Load.
    void* InstanceHandle() const noexcept { return instanceHandle_; }
    const PluginCoreApi* CoreApi() const noexcept { return init_.api; }
    uint32_t PluginHandle() const noexcept { return pluginHandle_; }
    ServiceProxyTables& ServiceProxy() noexcept { return serviceProxy_; }

    // Plugin objects live in the runtime's counted heap.
    static void* operator new(size_t size);
    static void operator delete(void* block) noexcept;

private:
    static uint8_t KIV_CDECL EntryInit(void* instance, const PluginInitBlock* init);
    static void KIV_CDECL EntryGetMemoryStats(void* instance, PluginMemoryStats* stats);
    static void KIV_CDECL EntryDestroy(void* instance);
    static void KIV_CDECL OnResourceEvent(const PluginEventRecord* event);
    static void KIV_CDECL OnServiceProxyEvent(const PluginEventRecord* event);
    static void KIV_CDECL OnDispatch(PluginResponseRecord* response, const PluginRequestRecord* request);
    static const PluginEntryTable kEntryTable;

    RequestResult<> SendPropertyRequest(Method method, std::string_view url, PluginResponseRecord& response,
                                        const BindingProperty* arguments);
    // Sends a resource event's payload under the URI's event name and, when that differs, under the base name.
    void SendEventPayload(std::string_view baseName, std::string_view uri, const BindingProperty& payload);
    void FetchCurrentValue(std::string_view uri, const ResourceHandler& handler);
    void HandleResourceEvent(const char* name, const PluginValue& payload);
    void HandleServiceProxyEvent(std::string_view name, const PluginValue& payload);

    PluginApiVersion coreVersion_;
    PluginName name_;
    std::vector<std::string> routeTags_;
    std::unique_ptr<HttpBaseTransport> transport_;
    ExportedDescription exportedDescription_;
    void* instanceHandle_ = nullptr;
    PluginInitBlock init_{};
    uint32_t pluginHandle_ = 0;
    bool serviceProxySubscribed_ = false;
    SubscriptionTable subscriptions_;
    ServiceProxyTables serviceProxy_;
};

template <class Arguments>
RequestResult<> Plugin::SendRequest(Method method, std::string_view url, PluginResponseRecord& response,
                                    const Arguments& arguments) {
    BindingResult converted;
    ConvertToProperty(converted, arguments, Registry());
    if (!converted.ok)
        return RequestResult<>::Failure(400, FormatString("Request not sent: Error converting parameters for %1 %2: %3",
                                                          MethodName(method), url, converted.ErrorMessage()));
    return SendPropertyRequest(method, url, response, &converted.value);
}

template <class T>
RequestResult<T> Plugin::Request(Method method, std::string_view url) {
    RequestResult<BindingProperty> value = RequestValue(method, url);
    if (!value.Ok()) return RequestResult<T>::Failure(value.error.status, std::move(value.error.message));
    if constexpr (std::is_same_v<T, BindingProperty>) {
        return value;
    } else {
        RequestResult<T> result;
        BindingResult converted;
        ConvertFromProperty(converted, result.value, value.value, "<result>", Registry());
        if (!converted.ok)
            return RequestResult<T>::Failure(0, FormatString("Error converting response for %1 %2: %3",
                                                             MethodName(method), url, converted.ErrorMessage()));
        return result;
    }
}

template <class T>
void Plugin::SubscribeResource(std::string_view uri, std::function<void(const TypedResourceEvent<T>&)> handler) {
    ResourceHandler converting = [registry = &Registry(), handler = std::move(handler)](
                                     const PluginResourceEvent& event) {
        TypedResourceEvent<T> typed{event.uri, event.eventType, T{}};
        if (event.eventType != PluginResourceEventType::Delete) {
            BindingResult converted;
            ConvertFromProperty(converted, typed.data, event.data, "<value>", *registry);
            if (!converted.ok) return;
        }
        handler(typed);
    };
    subscriptions_.SetHandler(uri, converting);
    Subscribe(uri);
    if (!IsUriPattern(uri)) FetchCurrentValue(uri, converting);
}

// The payload is made as one tree: the event without data, then the value converted straight into its data member.
template <class T>
void Plugin::UpdateResource(PluginResourceEventType type, std::string_view uri, const T& value) {
    BindingResult payload;
    ConvertToProperty(payload, PluginResourceEvent{std::string(uri), type, {}}, Registry());
    if (!payload.ok) return;
    NativeToProperty(payload, payload.value.ChildForWrite(kResourceEventDataField), value, nullptr, Registry());
    if (!payload.ok) return;
    SendEventPayload(kJsonApiEventName, uri, payload.value);
}

}  // namespace Zarvo::Client
