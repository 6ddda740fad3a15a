#include "remoting/route_matching.h"

#include <utility>

namespace Zarvo {

size_t CapturedLength(const TextMap& captured) {
    size_t length = 0;
    for (const auto& [name, value] : captured) length += value.size();
    return length;
}

bool AcceptsMethod(const RemotingBinding& binding, const HttpBaseTransport::Request& request) {
    return binding.method == Method::None ||
           (binding.method == request.method && binding.methodName == request.methodName);
}

bool MatchRoutes(std::span<const RemotingRoute* const> routes, HttpBaseTransport::Request& request) {
    bool taken = false;
    size_t takenLength = 0;
    for (const RemotingRoute* route : routes) {
        if (!AcceptsMethod(*route->binding, request)) continue;
        TextMap captured;
        if (!route->MatchPath(request.path, captured)) continue;
        const size_t length = CapturedLength(captured);
        if (taken && length >= takenLength) continue;
        request.function = route->function;
        request.binding = route->binding;
        request.pathParameters = std::move(captured);
        taken = true;
        takenLength = length;
        if (request.pathParameters.empty()) break;
    }
    return taken;
}

}  // namespace Zarvo
