// What serve answers to a request that reaches the core: a plugin's route, a mistyped path under a plugin's own
// prefix, or the resource store that plays the other plugins. Runs on the core's thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "devcore/http_server.h"
#include "devcore/route_catalogue.h"
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

// Whether an Accept field ranks text/plain above application/json, by the weight of the most specific media range
// that covers each. Without a field, or when neither is ranked, JSON is the answer.
bool PrefersPlainText(std::string_view accept);
// GET /: the plugins' route catalogues as {"plugins": [catalogue, ...], "events": "/events"}, or as devcore describe
// prints them when the Accept field prefers text/plain.
HttpAnswer CatalogueAnswer(const std::vector<RouteCatalogue>& catalogues, std::string_view accept);

// An answer with a JSON body, a line break after it.
HttpAnswer JsonAnswer(unsigned status, std::string json);

// The answer to a request that the server handed on whole. `warn` gets a line for a request the plugin developer
// should hear of even without the story (a mistyped route).
HttpAnswer AnswerRequest(TestCore& core, const ServedRoutes& routes, const HttpRequest& request,
                         const std::function<void(const std::string&)>& warn);

}  // namespace Zarvo::DevCore
