// The name of the core event that carries the changes of a resource.
#pragma once

#include <string>
#include <string_view>

namespace Zarvo::Client {

inline constexpr std::string_view kJsonApiEventName = "OnJsonApiEvent";

// "OnJsonApiEvent" followed by the URI's non-empty pieces, joined with "_": at most five pieces under
// "kiv-platform-config", at most three otherwise ("/kiv-login/v1/session" gives "OnJsonApiEvent_kiv-login_v1_session").
std::string EventNameForUri(std::string_view uri);

}  // namespace Zarvo::Client
