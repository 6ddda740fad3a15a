#include "devcore/route_catalogue.h"

#include <algorithm>
#include <tuple>
#include <unordered_set>

#include "devcore/http_method.h"
#include "devcore/plugin_text.h"
#include "devcore/test_core.h"

namespace Zarvo::DevCore {
namespace {

// A text of the description; empty when it is null or runs on past the bound without its NUL.
std::string Text(const char* text) { return std::string(PlainText(text).value_or("")); }

// Calls `visit` for each record of a chained table: at most `count`, up to a null link, none twice.
template <typename Record, typename Visit>
void Walk(const Record* first, uint32_t count, Visit visit) {
    std::unordered_set<const Record*> seen;
    for (const Record* record = first; record && seen.size() < count && seen.insert(record).second;
         record = record->next)
        visit(*record);
}

// A type's spelling: the element or record name where one is registered, the word for the code otherwise.
std::string TypeName(uint32_t code, uint32_t elementCode, const std::string& name, bool isElement = false) {
    static constexpr const char* kWords[] = {"",       "bool",   "int8",  "uint8",  "int16", "uint16", "int32",
                                             "uint32", "int64",  "uint64", "float", "double", "string", "object",
                                             "blob",   "vector", "enum",  "struct", "callback", "map"};
    switch (code) {
        case 15: return "vector<" + TypeName(elementCode, 0, name, true) + ">";
        case 19: return "map<string, " + TypeName(elementCode, 0, name, true) + ">";
        case 16:
        case 17: return name.empty() ? kWords[code] : name;
        case 0: return isElement ? "?" : "nothing";
        default: return code < std::size(kWords) ? kWords[code] : "type " + std::to_string(code);
    }
}

// A code without a name of its own takes every method.
std::string MethodOf(const ApiFunctionEntry& entry) {
    const uint32_t method = entry.method;
    if (method == kOtherMethod) return Text(entry.methodName);
    const std::string_view name = MethodName(method);
    return name.empty() ? "any" : std::string(name);
}

std::string LocationName(uint32_t location) {
    switch (location) {
        case 1: return "query";
        case 2: return "path";
        case 4: return "header";
        case 5: return "body";
        default: return "any";
    }
}

CatalogueRoute ReadRoute(const ApiFunctionEntry& entry) {
    CatalogueRoute route;
    const ApiFunctionBody& function = entry.function;
    route.method = MethodOf(entry);
    route.function = Text(function.name);
    route.path = Text(entry.path);
    if (route.path.empty()) route.path = route.function;
    route.result = TypeName(function.resultTypeCode, function.resultElementTypeCode, Text(function.resultTypeName));
    route.description = Text(function.description);
    const uint32_t count = function.argumentCount;
    Walk(function.arguments, count, [&](const ApiArgumentRecord& argument) {
        route.arguments.push_back({Text(argument.name),
                                   TypeName(argument.typeCode, argument.elementTypeCode, Text(argument.typeName)),
                                   "any", argument.optional != 0});
    });
    size_t index = 0;
    Walk(entry.argumentLocations, count, [&](const ApiArgumentLocationRecord& location) {
        if (index < route.arguments.size()) route.arguments[index++].location = LocationName(location.location);
    });
    return route;
}

std::string Padded(const std::string& text, size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

std::string Count(size_t count, const char* what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

}  // namespace

RouteCatalogue ReadRouteCatalogue(std::string_view plugin, const PluginApiDescription& description) {
    RouteCatalogue catalogue;
    catalogue.plugin = plugin;
    Walk(description.functions, description.functionCount,
         [&](const ApiFunctionEntry& entry) { catalogue.routes.push_back(ReadRoute(entry)); });
    Walk(description.events, description.eventCount, [&](const ApiEventRecord& event) {
        catalogue.events.push_back({Text(event.name), Text(event.payloadTypeName), Text(event.description)});
    });
    std::stable_sort(catalogue.routes.begin(), catalogue.routes.end(), [](const auto& a, const auto& b) {
        return std::tie(a.path, a.method) < std::tie(b.path, b.method);
    });
    return catalogue;
}

std::vector<RouteCatalogue> LoadedCatalogues(const TestCore& core) {
    std::vector<RouteCatalogue> catalogues;
    for (const std::string& plugin : core.LoadedPlugins()) {
        const PluginApiDescription* description = core.ApiDescription(plugin);
        catalogues.push_back(description ? ReadRouteCatalogue(plugin, *description) : RouteCatalogue{plugin, {}, {}});
    }
    return catalogues;
}

std::string CatalogueText(const RouteCatalogue& catalogue) {
    std::string text = catalogue.plugin + ": " + Count(catalogue.routes.size(), "route") + ", " +
                       Count(catalogue.events.size(), "event") + "\n";
    if (!catalogue.routes.empty()) text += "routes:\n";
    size_t methodWidth = 0;
    for (const CatalogueRoute& route : catalogue.routes) methodWidth = std::max(methodWidth, route.method.size());
    for (const CatalogueRoute& route : catalogue.routes) {
        text += "  " + Padded(route.method, methodWidth) + " " + route.path + " -> " + route.result + "\n";
        const std::string indent(2 + methodWidth + 1, ' ');
        if (!route.description.empty()) text += indent + route.description + "\n";
        size_t nameWidth = 0, typeWidth = 0;
        for (const CatalogueArgument& argument : route.arguments) {
            nameWidth = std::max(nameWidth, argument.name.size() + 1);
            typeWidth = std::max(typeWidth, argument.type.size());
        }
        for (const CatalogueArgument& argument : route.arguments)
            text += indent + Padded(argument.name + ":", nameWidth) + " " + Padded(argument.type, typeWidth) + " (" +
                    (argument.location == "any" ? "from anywhere" : "from the " + argument.location) +
                    (argument.optional ? ", optional" : "") + ")\n";
    }
    if (!catalogue.events.empty()) text += "events:\n";
    size_t nameWidth = 0, payloadWidth = 0;
    for (const CatalogueEvent& event : catalogue.events) {
        nameWidth = std::max(nameWidth, event.name.size());
        payloadWidth = std::max(payloadWidth, event.payload.size());
    }
    for (const CatalogueEvent& event : catalogue.events) {
        std::string line = "  " + Padded(event.name, nameWidth) + " -> " + Padded(event.payload, payloadWidth) + "  " +
                           event.description;
        line.erase(line.find_last_not_of(' ') + 1);
        text += line + "\n";
    }
    return text;
}

std::string CataloguesText(const std::vector<RouteCatalogue>& catalogues) {
    std::string text;
    for (const RouteCatalogue& catalogue : catalogues) text += (text.empty() ? "" : "\n") + CatalogueText(catalogue);
    return text;
}

BindingProperty CatalogueValue(const RouteCatalogue& catalogue) {
    BindingProperty value;
    value.ChildForWrite("plugin").SetString(catalogue.plugin);
    BindingProperty& routes = value.ChildForWrite("routes");
    routes.MakeCollection();
    for (size_t i = 0; i < catalogue.routes.size(); ++i) {
        const CatalogueRoute& route = catalogue.routes[i];
        BindingProperty& entry = routes.Element(i);
        entry.ChildForWrite("method").SetString(route.method);
        entry.ChildForWrite("path").SetString(route.path);
        entry.ChildForWrite("function").SetString(route.function);
        BindingProperty& arguments = entry.ChildForWrite("arguments");
        arguments.MakeCollection();
        for (size_t j = 0; j < route.arguments.size(); ++j) {
            const CatalogueArgument& argument = route.arguments[j];
            BindingProperty& item = arguments.Element(j);
            item.ChildForWrite("name").SetString(argument.name);
            item.ChildForWrite("type").SetString(argument.type);
            item.ChildForWrite("location").SetString(argument.location);
            item.ChildForWrite("optional").SetBool(argument.optional);
        }
        entry.ChildForWrite("result").SetString(route.result);
        entry.ChildForWrite("description").SetString(route.description);
    }
    BindingProperty& events = value.ChildForWrite("events");
    events.MakeCollection();
    for (size_t i = 0; i < catalogue.events.size(); ++i) {
        BindingProperty& event = events.Element(i);
        event.ChildForWrite("name").SetString(catalogue.events[i].name);
        event.ChildForWrite("payload").SetString(catalogue.events[i].payload);
        event.ChildForWrite("description").SetString(catalogue.events[i].description);
    }
    return value;
}

BindingProperty CataloguesValue(const std::vector<RouteCatalogue>& catalogues) {
    BindingProperty list;
    list.MakeCollection();
    for (size_t i = 0; i < catalogues.size(); ++i) list.Element(i) = CatalogueValue(catalogues[i]);
    return list;
}

}  // namespace Zarvo::DevCore
