// What makes a bound function callable by the core: its method, path template, argument locations and invoker.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "binding/descriptors.h"
#include "binding/invoker.h"
#include "remoting/method.h"
#include "remoting/route.h"

namespace Zarvo {

struct RemotingBinding {
    // Sizes the argument locations to the function's arguments (all AnyLocation); the template is the name.
    explicit RemotingBinding(const BindingFunctionInfo& function);
    RemotingBinding(const RemotingBinding&) = delete;
    RemotingBinding& operator=(const RemotingBinding&) = delete;

    // Removes one trailing "/" from a text longer than one character and builds the route of the new template.
    void SetPath(std::string_view text);
    // Empty: the function's name serves as the template.
    const std::string& Path() const noexcept { return path_; }
    // Built once from the template and reused by every dispatch.
    const RemotingRoute& Route() const noexcept { return route_; }
    std::string_view Template() const noexcept;

    const BindingFunctionInfo* function;
    // The function's own handler serves when this is null.
    std::unique_ptr<BindingInvoker> invoker;
    // None accepts every method.
    Method method = Method::None;
    // Compared only when method is Other.
    std::string methodName;
    // One ArgumentLocation per argument of the function.
    std::vector<uint32_t> argumentLocations;

private:
    std::string path_;
    RemotingRoute route_;
};

}  // namespace Zarvo
