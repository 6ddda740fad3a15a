// The invoker of a route handler. A handler may take a `const RemotingRequest&` first, which dispatch then fills;
// its other parameters are converted from the argument values, each under its argument's name, records by the
// required-record rule. It may return nothing, any convertible value, or a RemotingResult, whose error carries the
// status and message of the response. A RemotingResult may hold a std::reference_wrapper to a value the handler's
// owner keeps: the value is converted where it lies, without a copy, and is described as the value's own type.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/callable_invoker.h"
#include "binding/conversion.h"
#include "binding/descriptors.h"
#include "binding/invoker.h"
#include "binding/registration.h"
#include "binding/static_type.h"
#include "remoting/remoting_request.h"
#include "remoting/remoting_response.h"
#include "remoting/remoting_result.h"

namespace Zarvo {

template <class T>
inline constexpr bool isRemotingResult = false;
template <class T>
inline constexpr bool isRemotingResult<RemotingResult<T>> = true;

// What a handler's signature tells remoting: whether it takes the request record, its value parameters and the
// type of the value it answers with.
template <class Handler>
struct RouteHandlerTraits {
private:
    using Signature = CallableSignature<Handler>;
    using Parameters = typename Signature::Arguments;

    template <class Tuple>
    struct FirstTakesRequest : std::false_type {};
    template <class First, class... Rest>
    struct FirstTakesRequest<std::tuple<First, Rest...>>
        : std::bool_constant<std::is_same_v<std::remove_cvref_t<First>, RemotingRequest>> {};

    template <class Tuple>
    struct WithoutFirst;
    template <class First, class... Rest>
    struct WithoutFirst<std::tuple<First, Rest...>> {
        using type = std::tuple<Rest...>;
    };

    template <class Result>
    struct AnsweredType {
        using Type = Result;
    };
    template <class T>
    struct AnsweredType<RemotingResult<T>> {
        using Type = T;
    };
    template <class T>
    struct AnsweredType<RemotingResult<std::reference_wrapper<T>>> {
        using Type = std::remove_const_t<T>;
    };

    template <class... Args>
    static std::tuple<std::remove_cvref_t<Args>...> DecayedValues(std::tuple<Args...>*);

public:
    using Result = std::remove_cvref_t<typename Signature::Result>;
    static constexpr bool takesRequest = FirstTakesRequest<Parameters>::value;
    using ValueParameters =
        typename std::conditional_t<takesRequest, WithoutFirst<Parameters>, std::type_identity<Parameters>>::type;
    // The converted arguments of one call, in parameter order.
    using Values = decltype(DecayedValues(static_cast<ValueParameters*>(nullptr)));
    static constexpr size_t valueCount = std::tuple_size_v<Values>;
    // The type of the function's result as described: void for none.
    using Answered = typename AnsweredType<Result>::Type;

    static std::vector<BindingTypeIdentifier> ArgumentTypes(const BindingRegistry& registry) {
        return ArgumentTypes(registry, static_cast<Values*>(nullptr));
    }

private:
    template <class... Args>
    static std::vector<BindingTypeIdentifier> ArgumentTypes(const BindingRegistry& registry, std::tuple<Args...>*) {
        return {TypeIdentifierOf<Args>(registry)...};
    }
};

template <class Handler>
class RemotingInvoker final : public BindingInvoker {
    using Traits = RouteHandlerTraits<Handler>;
    using Values = typename Traits::Values;

public:
    RemotingInvoker(Handler handler, const BindingFunctionInfo& function)
        : handler_(std::move(handler)), function_(function), registry_(*function.registry) {}

    // The handle is the tuple of converted values; it is released whether or not the call runs. A handler without
    // value parameters has nothing to hold: its handle is one shared empty tuple, never released.
    void* Begin(BindingResult& response, std::span<BindingProperty> arguments, uint32_t) override {
        if constexpr (Traits::valueCount == 0) {
            static Values none;
            return &none;
        } else {
            auto values = std::make_unique<Values>();
            ConvertArguments(response, *values, arguments, std::make_index_sequence<Traits::valueCount>{});
            return values.release();
        }
    }

    void Invoke(BindingResult& result, const RemotingRequest* request, void* handle, uint32_t) override {
        if (!handle) return;
        // Remoting drives its invokers with its RemotingResponse only, so the response fields are there to set.
        auto& response = static_cast<RemotingResponse&>(result);
        Values& values = *static_cast<Values*>(handle);
        auto call = [&](auto&... arguments) -> typename Traits::Result {
            if constexpr (Traits::takesRequest) {
                static const RemotingRequest none;
                return handler_(request ? *request : none, arguments...);
            } else {
                return handler_(arguments...);
            }
        };
        if constexpr (std::is_void_v<typename Traits::Result>)
            std::apply(call, values);
        else
            Answer(response, std::apply(call, values));
    }

    void Release(void* handle) noexcept override {
        if constexpr (Traits::valueCount != 0) delete static_cast<Values*>(handle);
    }

    const StaticTypeInfo& RequestType() const noexcept override {
        if constexpr (Traits::takesRequest)
            return StaticType::HashCode<RemotingRequest>();
        else
            return StaticType::HashCode<void>();
    }

private:
    template <size_t... Index>
    void ConvertArguments(BindingResult& response, Values& values,
                          [[maybe_unused]] std::span<BindingProperty> arguments, std::index_sequence<Index...>) {
        // Stops at the first failure, whose message is the one reported.
        static_cast<void>((ConvertBoundArgument(response, std::get<Index>(values), arguments, Index, function_) && ...));
    }

    template <class Result>
    void Answer(RemotingResponse& response, const Result& result) {
        if constexpr (isRemotingResult<Result>) {
            if (!result.Ok()) return response.Fail(result.Error().status, result.Error().message);
            if constexpr (!std::is_void_v<typename Result::ValueType>)
                ConvertToProperty(response, Unwrapped(result.Value()), registry_);
        } else {
            ConvertToProperty(response, result, registry_);
        }
    }

    template <class T>
    static const T& Unwrapped(const T& value) noexcept {
        return value;
    }
    template <class T>
    static const T& Unwrapped(const std::reference_wrapper<T>& value) noexcept {
        return value.get();
    }

    Handler handler_;
    const BindingFunctionInfo& function_;
    const BindingRegistry& registry_;
};

}  // namespace Zarvo
