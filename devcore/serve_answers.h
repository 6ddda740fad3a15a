// What serve answers to a request that reaches the core: a plugin's route, a mistyped path under a plugin's own
// prefix, or the resource store that plays the other plugins. Runs on the core's thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "devcore/http_server.h"
#include "devcore/test_core.h"

namespace Zarvo::DevCore {

// The routes of the loaded plugins, read once they are loaded: they do not change while the server runs.
class ServedRoutes {
public:
    explicit ServedRoutes(std::vector<ServedRoute> routes);

    const std::vector<ServedRoute>& All() const { return routes_; }
    // The routes of the plugins whose paths begin with the path's first segment ("/kiv-player-level-up/"), when the
    // path has one of theirs, by path and method; empty otherwise.
    std::vector<ServedRoute> OwningPrefix(std::string_view path) const;

private:
    std::vector<ServedRoute> routes_;
};

// The routes by plugin, for the output at start: "kiv-x serves" and a line a route, by path and method.
std::string RouteListText(const ServedRoutes& routes);
// GET /: {"plugins": [{"plugin", "routes": [{"method", "path"}]}], "events": "/events"}.
HttpAnswer RouteListAnswer(const ServedRoutes& routes);

// An answer with a JSON body, a line break after it.
HttpAnswer JsonAnswer(unsigned status, std::string json);
HttpAnswer ErrorAnswer(unsigned status, std::string_view message);

// The answer to a request that the server handed on whole. `warn` gets a line for a request the plugin developer
// should hear of even without the story (a mistyped route).
HttpAnswer AnswerRequest(TestCore& core, const ServedRoutes& routes, const HttpRequest& request,
                         const std::function<void(const std::string&)>& warn);

}  // namespace Zarvo::DevCore
