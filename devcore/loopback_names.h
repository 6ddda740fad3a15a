// The names under which serve answers: the loopback host names a request may be addressed to, and the web page
// origins that may call it. Everything else is refused, so that no page of another site reaches the server, by its
// own requests or through a name of its own that resolves to 127.0.0.1 (DNS rebinding).
#pragma once

#include <string_view>

namespace Zarvo::DevCore {

// A Host header naming the loopback: localhost, 127.0.0.1 or [::1], each with or without a port; the name
// compared without case.
bool IsLoopbackHost(std::string_view host);

// An Origin header of a page served from this machine over http: http://localhost or http://127.0.0.1, each with or
// without a port. "null" (a file or a sandboxed page) and https origins are not.
bool IsLocalOrigin(std::string_view origin);

}  // namespace Zarvo::DevCore
