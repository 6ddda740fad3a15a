#include "remoting/transport.h"

#include "binding/builtins.h"
#include "remoting/api_description.h"

namespace Zarvo {

HttpBaseTransport::HttpBaseTransport() {
    registry_.SetFunctionRemovedCallback([this](const BindingFunctionInfo& function) { ForgetFunction(function); });
    RegisterBuiltins(registry_);
}

// The registry is destroyed last and removes its functions then; the bindings are gone by that time.
HttpBaseTransport::~HttpBaseTransport() { registry_.SetFunctionRemovedCallback(nullptr); }

RemotingBinding& HttpBaseTransport::CreateBinding(const BindingFunctionInfo& function) {
    auto binding = std::make_unique<RemotingBinding>(function);
    std::lock_guard lock(bindingsMutex_);
    auto& entry = bindings_[&function];
    entry = std::move(binding);
    return *entry;
}

RemotingBinding* HttpBaseTransport::FindBinding(const BindingFunctionInfo& function) const {
    std::lock_guard lock(bindingsMutex_);
    const auto found = bindings_.find(&function);
    return found == bindings_.end() ? nullptr : found->second.get();
}

std::vector<RemotingBinding*> HttpBaseTransport::Bindings() const {
    std::lock_guard lock(bindingsMutex_);
    std::vector<RemotingBinding*> bindings;
    bindings.reserve(bindings_.size());
    for (const auto& [function, binding] : bindings_) bindings.push_back(binding.get());
    return bindings;
}

DispatchContext& HttpBaseTransport::ContextFor(const std::string& functionName, RemotingBinding* binding) {
    std::lock_guard lock(bindingsMutex_);
    DispatchContext& context = contexts_.try_emplace(functionName, DispatchContext{this, binding}).first->second;
    context.binding = binding;
    return context;
}

void HttpBaseTransport::ForgetFunction(const BindingFunctionInfo& function) {
    // Declared before the lock, so the binding's handler (native code) is destroyed after the mutex is released.
    std::unique_ptr<RemotingBinding> removed;
    std::lock_guard lock(bindingsMutex_);
    const auto found = bindings_.find(&function);
    if (found == bindings_.end()) return;
    removed = std::move(found->second);
    bindings_.erase(found);
    // The core keeps the context it was given; from now on it dispatches to no binding.
    const auto context = contexts_.find(function.name);
    if (context != contexts_.end() && context->second.binding == removed.get()) context->second.binding = nullptr;
}

const PluginApiDescription& HttpBaseTransport::BuildApiDescription() {
    description_ = std::make_unique<ApiDescription>(*this);
    return description_->Tables();
}

}  // namespace Zarvo
