// HttpBaseTransport: the plugin's binding registry, which it owns, and the remoting bindings through which the core
// calls its functions, their dispatch contexts and the API description handed to the core.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "abi/plugin_abi.h"
#include "binding/registry.h"
#include "remoting/argument_binding.h"
#include "remoting/method.h"
#include "remoting/remoting_binding.h"
#include "remoting/route.h"

namespace Zarvo {

class ApiDescription;
class HttpBaseTransport;
class RouteBuilder;

// What the core hands back with every request to an exported function.
struct DispatchContext {
    HttpBaseTransport* transport;
    RemotingBinding* binding;
};

class HttpBaseTransport {
public:
    // One per dispatch: what routing read from the core's request and what it matched.
    struct Request {
        Method method = Method::None;
        // Set only for Method::Other.
        std::string methodName;
        // The core's path, valid while the dispatch runs.
        std::string_view path;
        const BindingFunctionInfo* function = nullptr;
        const RemotingBinding* binding = nullptr;
        // Percent-decoded captures of the path template, by parameter name.
        TextMap pathParameters;
    };

    // Registers the builtin records and events.
    HttpBaseTransport();
    ~HttpBaseTransport();
    HttpBaseTransport(const HttpBaseTransport&) = delete;
    HttpBaseTransport& operator=(const HttpBaseTransport&) = delete;

    // The registry lives as long as the transport. A function it removes takes its binding along: the core's entry
    // for it then answers "Invalid function".
    BindingRegistry& Registry() noexcept { return registry_; }
    const BindingRegistry& Registry() const noexcept { return registry_; }

    // A second binding for the same function replaces the first.
    RemotingBinding& CreateBinding(const BindingFunctionInfo& function);
    RemotingBinding* FindBinding(const BindingFunctionInfo& function) const;
    // In the binding map's order.
    std::vector<RemotingBinding*> Bindings() const;

    // The context of an exported function, created on first need; its binding is set to the one given.
    DispatchContext& ContextFor(const std::string& functionName, RemotingBinding* binding);

    // Builds the description from the registry and the bindings. The tables stay in place until the transport is
    // destroyed or the description is built again.
    const PluginApiDescription& BuildApiDescription();

    // Registers a function named after the method and path, with one argument declaration per handler parameter
    // (a leading `const RemotingRequest&` excepted); defined in remoting/route_builder.h.
    //   transport.Route(Method::Get, "/v1/items/{id}", handler, PathArgument("id")).Tags({"items"});
    template <class Handler, class... Declarations>
    RouteBuilder Route(Method method, std::string_view path, Handler handler, Declarations... declarations);
    // The same for a method outside the named ones, matched by its name.
    template <class Handler, class... Declarations>
    RouteBuilder Route(std::string_view methodName, std::string_view path, Handler handler,
                       Declarations... declarations);

    // One call from the core against the given route of the context's binding. The response record arrives zeroed
    // with its free routine set; every outcome is written into it.
    void Dispatch(PluginResponseRecord& response, const PluginRequestRecord& request, const RemotingRoute& route);

private:
    // Drops the binding of a function the registry removes and clears it from the function's dispatch context.
    void ForgetFunction(const BindingFunctionInfo& function);

    // Declared first: the descriptors outlive the bindings that point to them.
    BindingRegistry registry_;
    std::unordered_map<const BindingFunctionInfo*, std::unique_ptr<RemotingBinding>> bindings_;
    // Guards the bindings and the contexts' binding pointers.
    mutable std::mutex bindingsMutex_;
    std::unordered_map<std::string, DispatchContext> contexts_;
    std::unique_ptr<ApiDescription> description_;
};

}  // namespace Zarvo
