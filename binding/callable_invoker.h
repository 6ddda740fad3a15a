// The invoker made from a native callable: arguments are converted from their properties when a call begins, the
// callable runs on invoke, and its result is converted into the response.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>

#include "binding/conversion.h"
#include "binding/descriptors.h"
#include "binding/invoker.h"
#include "binding/property.h"
#include "binding/static_type.h"

namespace Zarvo {

template <class Callable>
struct CallableSignature : CallableSignature<decltype(&Callable::operator())> {};

template <class R, class... Args>
struct CallableSignature<R (*)(Args...)> {
    using Result = R;
    using Arguments = std::tuple<Args...>;
};
template <class R, class... Args>
struct CallableSignature<R (*)(Args...) noexcept> : CallableSignature<R (*)(Args...)> {};
template <class C, class R, class... Args>
struct CallableSignature<R (C::*)(Args...)> : CallableSignature<R (*)(Args...)> {};
template <class C, class R, class... Args>
struct CallableSignature<R (C::*)(Args...) const> : CallableSignature<R (*)(Args...)> {};
template <class C, class R, class... Args>
struct CallableSignature<R (C::*)(Args...) noexcept> : CallableSignature<R (*)(Args...)> {};
template <class C, class R, class... Args>
struct CallableSignature<R (C::*)(Args...) const noexcept> : CallableSignature<R (*)(Args...)> {};

// Converts the argument at `index` into its native value under the argument's name; an optional argument without a
// value keeps its default. Returns whether the response is still good.
template <class T>
bool ConvertBoundArgument(BindingResult& response, T& value, std::span<BindingProperty> arguments, size_t index,
                          const BindingFunctionInfo& function) {
    const BindingProperty& input = index < arguments.size() ? arguments[index] : BindingProperty::EmptyNode();
    const BindingArgumentInfo* info = index < function.arguments.size() ? &function.arguments[index] : nullptr;
    if (input.IsEmpty() && info && info->optional) return true;
    ConvertFromProperty(response, value, input, info ? info->name.c_str() : "<value>", *function.registry);
    return response.ok;
}

template <class Callable, class Result, class... Args>
class CallableInvoker final : public BindingInvoker {
public:
    CallableInvoker(Callable callable, const BindingFunctionInfo& function)
        : callable_(std::move(callable)), function_(function) {}

    // The handle is the tuple of converted arguments; an argument without a property counts as Empty.
    void* Begin(BindingResult& response, std::span<BindingProperty> arguments, uint32_t) override {
        auto values = std::make_unique<Values>();
        ConvertArguments(response, *values, arguments, std::index_sequence_for<Args...>{});
        return response.ok ? values.release() : nullptr;
    }

    void Invoke(BindingResult& response, const RemotingRequest*, void* handle, uint32_t) override {
        if (!handle) return;
        Values& values = *static_cast<Values*>(handle);
        if constexpr (std::is_void_v<Result>) {
            std::apply(callable_, values);
        } else if constexpr (std::is_same_v<std::remove_cvref_t<Result>, BindingResult>) {
            response = std::apply(callable_, values);
        } else {
            ConvertToProperty(response, std::apply(callable_, values), *function_.registry);
        }
    }

    void Release(void* handle) noexcept override { delete static_cast<Values*>(handle); }

    const StaticTypeInfo& RequestType() const noexcept override { return StaticType::HashCode<void>(); }

private:
    using Values = std::tuple<std::remove_cvref_t<Args>...>;

    // Stops at the first failure, whose message is the one reported.
    template <size_t... Index>
    void ConvertArguments(BindingResult& response, Values& values,
                          [[maybe_unused]] std::span<BindingProperty> arguments, std::index_sequence<Index...>) {
        static_cast<void>((ConvertBoundArgument(response, std::get<Index>(values), arguments, Index, function_) && ...));
    }

    Callable callable_;
    const BindingFunctionInfo& function_;
};

template <class Callable, class Result, class... Args>
std::unique_ptr<BindingInvoker> MakeCallableInvoker(Callable callable, const BindingFunctionInfo& function,
                                                    std::tuple<Args...>*) {
    return std::make_unique<CallableInvoker<Callable, Result, Args...>>(std::move(callable), function);
}

template <class Callable>
std::unique_ptr<BindingInvoker> MakeCallableInvoker(Callable callable, const BindingFunctionInfo& function) {
    using Signature = CallableSignature<Callable>;
    return MakeCallableInvoker<Callable, typename Signature::Result>(
        std::move(callable), function, static_cast<typename Signature::Arguments*>(nullptr));
}

}  // namespace Zarvo
