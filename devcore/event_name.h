// The core's name for the event that carries the changes of a resource.
#pragma once

#include <string>
#include <string_view>

namespace Zarvo::DevCore {

// "OnJsonApiEvent" and the URI's non-empty pieces between "/", joined with "_": the first five pieces of a URI under
// "kiv-platform-config", the first three of any other ("/kiv-login/v1/session/x" gives
// "OnJsonApiEvent_kiv-login_v1_session"); a URI without pieces gives "OnJsonApiEvent".
std::string EventNameForUri(std::string_view uri);

}  // namespace Zarvo::DevCore
