#include "remoting/transport.h"

#include "binding/builtins.h"
#include "remoting/api_description.h"

namespace Zarvo {

HttpBaseTransport::HttpBaseTransport() { RegisterBuiltins(*this); }

HttpBaseTransport::~HttpBaseTransport() = default;

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
    DispatchContext& context = contexts_.try_emplace(functionName, DispatchContext{this, binding}).first->second;
    context.binding = binding;
    return context;
}

const PluginApiDescription& HttpBaseTransport::BuildApiDescription() {
    description_ = std::make_unique<ApiDescription>(*this);
    return description_->Tables();
}

}  // namespace Zarvo
