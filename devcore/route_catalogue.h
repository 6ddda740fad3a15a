// What a plugin serves, read from its API description: each route with its method, path template, arguments and
// result, and the events it registers. The catalogue is told as text (devcore describe) or as a value (JSON).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "abi/plugin_abi.h"
#include "binding/property.h"

namespace Zarvo::DevCore {

class TestCore;

struct CatalogueArgument {
    std::string name;
    std::string type;      // "uint32", "vector<Queue>", "PlayerLevelUpEventAck", ...
    std::string location;  // "path", "query", "header", "body" or "any"
    bool optional = false;
};

struct CatalogueRoute {
    std::string method;    // "GET", ...; "any" for a function that takes every method
    std::string path;      // the path template, or the function's name when it has no path
    std::string function;  // the function's registered name
    std::vector<CatalogueArgument> arguments;
    std::string result;    // its type, "nothing" for none
    std::string description;
};

struct CatalogueEvent {
    std::string name;
    std::string payload;  // the payload record's registered name
    std::string description;
};

struct RouteCatalogue {
    std::string plugin;
    std::vector<CatalogueRoute> routes;
    std::vector<CatalogueEvent> events;
};

// Reads the catalogue from the description of the plugin named `plugin`. The tables are walked as far as their
// counts, up to a null link, and never twice through one record; a text without its NUL within the bound the core
// sets for plain texts reads as empty.
RouteCatalogue ReadRouteCatalogue(std::string_view plugin, const PluginApiDescription& description);

// The catalogues of the plugins loaded into the core, in load order; a plugin that handed over no description has an
// empty one. Runs on the thread that runs the core.
std::vector<RouteCatalogue> LoadedCatalogues(const TestCore& core);

// The catalogue for a reader, the routes sorted by path, then method:
//   kiv-player-level-up: 3 routes, 2 events
//     GET  /kiv-player-level-up/v1/level-up -> PlayerLevelUpEvent
//     POST /kiv-player-level-up/v1/level-up-notifications/{pluginName} -> nothing
//          pluginName: string (path)
//          ...
std::string CatalogueText(const RouteCatalogue& catalogue);
// Several catalogues as text, a blank line between two.
std::string CataloguesText(const std::vector<RouteCatalogue>& catalogues);

// The catalogue as a value: {plugin, routes: [{method, path, function, arguments: [{name, type, location,
// optional}], result, description}], events: [{name, payload, description}]}.
BindingProperty CatalogueValue(const RouteCatalogue& catalogue);
// Several catalogues as a list of such values.
BindingProperty CataloguesValue(const std::vector<RouteCatalogue>& catalogues);

}  // namespace Zarvo::DevCore
