#include "remoting/remoting_binding.h"

namespace Zarvo {

RemotingBinding::RemotingBinding(const BindingFunctionInfo& function)
    : function(&function),
      argumentLocations(function.arguments.size(), AnyLocation),
      route_(&function, this, function.name) {}

void RemotingBinding::SetPath(std::string_view text) {
    if (text.size() > 1 && text.back() == '/') text.remove_suffix(1);
    path_ = text;
    route_ = RemotingRoute(function, this, Template());
}

std::string_view RemotingBinding::Template() const noexcept {
    return path_.empty() ? std::string_view(function->name) : std::string_view(path_);
}

}  // namespace Zarvo
