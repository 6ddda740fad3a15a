// Matching a transport request against a list of routes by path and method.
#pragma once

#include <span>

#include "remoting/route.h"
#include "remoting/transport.h"

namespace Zarvo {

// Whether the binding of the route accepts the request's method: a binding of method None accepts all.
bool AcceptsMethod(const RemotingBinding& binding, const HttpBaseTransport::Request& request);

// The total length of the texts a route captured from a path: the route that captures less is the more specific.
size_t CapturedLength(const TextMap& captured);

// Scans the routes in order: the first that passes path and method is taken, a later one replaces it only with
// captures of a smaller total length, and a route that captured nothing ends the scan. On success the request's
// function, binding and path parameters are set.
bool MatchRoutes(std::span<const RemotingRoute* const> routes, HttpBaseTransport::Request& request);

}  // namespace Zarvo
