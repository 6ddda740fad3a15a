// Registration of route handlers, one line per route:
//
//   transport.Route(Method::Get, "/kiv-player-level-up/v1/level-up", getLevelUp).Tags(tags);
//   transport.Route(Method::Post, "/kiv-player-level-up/v1/level-up-notifications/{pluginName}", postAck,
//                   PathArgument("pluginName"), BodyArgument("levelUpEventAck")).Tags(tags);
//
// The function is named after the method and path (PostKivPlayerLevelUpV1LevelUpNotificationsByPluginName); the
// declarations name the handler's parameters in order and say where each may come from; their count is checked
// against the handler at compile time. Every step is skipped when the function existed before.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

#include "binding/registration.h"
#include "remoting/argument_binding.h"
#include "remoting/method.h"
#include "remoting/remoting_invoker.h"
#include "remoting/route_name.h"
#include "remoting/transport.h"

namespace Zarvo {

struct ArgumentDeclaration {
    std::string_view name;
    std::string_view description;
    ArgumentLocation location = AnyLocation;
    bool optional = false;
};

// Taken from any source.
inline ArgumentDeclaration Argument(std::string_view name, std::string_view description = {}, bool optional = false) {
    return {name, description, AnyLocation, optional};
}
inline ArgumentDeclaration PathArgument(std::string_view name, std::string_view description = {}) {
    return {name, description, PathLocation, false};
}
inline ArgumentDeclaration QueryArgument(std::string_view name, std::string_view description = {},
                                         bool optional = false) {
    return {name, description, QueryLocation, optional};
}
// Looked up under its lower-cased name.
inline ArgumentDeclaration HeaderArgument(std::string_view name, std::string_view description = {},
                                          bool optional = false) {
    return {name, description, HeaderLocation, optional};
}
inline ArgumentDeclaration BodyArgument(std::string_view name, std::string_view description = {},
                                        bool optional = false) {
    return {name, description, BodyLocation, optional};
}

// The further steps of a route: they describe the function and are skipped when it existed before.
class RouteBuilder {
public:
    RouteBuilder(FunctionBuilder function, RemotingBinding* binding) : function_(function), binding_(binding) {}

    RouteBuilder& Description(std::string_view text);
    RouteBuilder& Help(std::string_view text);
    RouteBuilder& NameSpace(std::string_view text);
    RouteBuilder& Tag(std::string_view tag);
    RouteBuilder& Tags(std::initializer_list<std::string_view> tags);
    template <class Texts>
    RouteBuilder& Tags(const Texts& tags) {
        for (const auto& tag : tags) Tag(tag);
        return *this;
    }
    RouteBuilder& ThreadSafe(bool threadSafe = true);

    BindingFunctionInfo* Function() const noexcept { return function_.Descriptor(); }
    // Null when the function existed before.
    RemotingBinding* Binding() const noexcept { return binding_; }
    bool Existed() const noexcept { return function_.Existed(); }

private:
    FunctionBuilder function_;
    RemotingBinding* binding_;
};

namespace RouteDetail {

struct RouteShape {
    Method method;
    std::string_view methodName;
    std::string_view path;
    std::span<const ArgumentDeclaration> declarations;
    std::span<const BindingTypeIdentifier> argumentTypes;
    BindingTypeIdentifier returns;
};

// Declares the arguments and the result, then creates the binding with the invoker, method, path and locations.
RouteBuilder DeclareRoute(HttpBaseTransport& transport, FunctionBuilder function, const RouteShape& shape,
                          std::unique_ptr<BindingInvoker> invoker);

template <class Handler, class... Declarations>
RouteBuilder Register(HttpBaseTransport& transport, Method method, std::string_view methodName,
                      std::string_view path, Handler handler, Declarations... declarations) {
    using Traits = RouteHandlerTraits<Handler>;
    static_assert((std::is_same_v<Declarations, ArgumentDeclaration> && ...),
                  "declare arguments with Argument, PathArgument, QueryArgument, HeaderArgument or BodyArgument");
    static_assert(sizeof...(Declarations) == Traits::valueCount,
                  "declare one argument for each parameter of the handler (a leading RemotingRequest excepted)");
    BindingRegistry& registry = transport.Registry();
    FunctionBuilder function = registry.Function(RouteFunctionName(methodName, path));
    if (function.Existed()) return RouteBuilder(function, nullptr);
    const ArgumentDeclaration all[] = {declarations..., ArgumentDeclaration{}};
    const auto types = Traits::ArgumentTypes(registry);
    const RouteShape shape{method,
                           methodName,
                           path,
                           std::span(all, sizeof...(Declarations)),
                           types,
                           TypeIdentifierOf<typename Traits::Answered>(registry)};
    return DeclareRoute(transport, function, shape,
                        std::make_unique<RemotingInvoker<Handler>>(std::move(handler), *function.Descriptor()));
}

}  // namespace RouteDetail

template <class Handler, class... Declarations>
RouteBuilder HttpBaseTransport::Route(Method method, std::string_view path, Handler handler,
                                      Declarations... declarations) {
    return RouteDetail::Register(*this, method, MethodName(method), path, std::move(handler), declarations...);
}

template <class Handler, class... Declarations>
RouteBuilder HttpBaseTransport::Route(std::string_view methodName, std::string_view path, Handler handler,
                                      Declarations... declarations) {
    return RouteDetail::Register(*this, Method::Other, methodName, path, std::move(handler), declarations...);
}

}  // namespace Zarvo
