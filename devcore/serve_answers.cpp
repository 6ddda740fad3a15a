#include "devcore/serve_answers.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <optional>
#include <tuple>

#include "devcore/json_text.h"
#include "devcore/stored_value.h"

namespace Zarvo::DevCore {
namespace {

constexpr std::string_view kStoreMethods = "DELETE, GET, HEAD, POST, PUT";
constexpr std::string_view kStoredTypes = "application/json, application/x-yaml or application/x-msgpack";

// "/kiv-player-level-up" of "/kiv-player-level-up/v1/level-up"; empty for a path that does not begin with "/" or
// whose first segment has a parameter.
std::string_view FirstSegment(std::string_view path) {
    if (!path.starts_with('/')) return {};
    const std::string_view segment = path.substr(0, path.find('/', 1));
    return segment.find_first_of("{}") == std::string_view::npos ? segment : std::string_view();
}

bool IsToken(std::string_view name) {
    static constexpr std::string_view kSymbols = "!#$%&'*+-.^_`|~";
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || kSymbols.find(c) != std::string_view::npos;
    });
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A weight of an Accept field: "0" to "1" with at most three decimals.
std::optional<double> Weight(std::string_view text) {
    double weight = 0;
    const auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), weight);
    if (failed != std::errc() || end != text.data() + text.size() || weight < 0 || weight > 1) return std::nullopt;
    return weight;
}

// The weight an Accept field gives a media type ("text/plain"): that of the most specific range that covers it (the
// type itself, "text/*", then "*/*"), 0 when none does. A range's parameters other than its weight are not compared,
// and a range with a malformed weight counts for nothing.
double AcceptWeight(std::string_view accept, std::string_view type) {
    const std::string_view group = type.substr(0, type.find('/') + 1);
    int covered = -1;  // how specific the range that gave `weight` is: 0 "*/*", 1 "text/*", 2 "text/plain"
    double weight = 0;
    for (size_t start = 0; start <= accept.size();) {
        const size_t end = std::min(accept.find(',', start), accept.size());
        const std::string_view element = accept.substr(start, end - start);
        start = end + 1;
        size_t semicolon = element.find(';');
        const std::string range = Lower(Trimmed(element.substr(0, semicolon)));
        const int specific = range == type                           ? 2
                             : range.size() == group.size() + 1 && range.starts_with(group) &&
                                       range.back() == '*'          ? 1
                             : range == "*/*"                       ? 0
                                                                    : -1;
        std::optional<double> given = 1;
        while (semicolon != std::string_view::npos) {
            const size_t next = element.find(';', semicolon + 1);
            const std::string_view parameter = Trimmed(element.substr(semicolon + 1, next - semicolon - 1));
            if (parameter.size() >= 2 && (parameter[0] == 'q' || parameter[0] == 'Q') && parameter[1] == '=')
                given = Weight(parameter.substr(2));
            semicolon = next;
        }
        if (given && specific > covered) {
            covered = specific;
            weight = *given;
        }
    }
    return weight;
}

// Header fields of the HTTP exchange itself, which the server writes: a plugin's own would break the framing.
bool IsExchangeField(std::string_view name) {
    static constexpr std::array<std::string_view, 9> kFields = {
        "content-length", "content-type", "transfer-encoding", "connection", "keep-alive",
        "upgrade",        "te",           "trailer",           "proxy-connection"};
    return std::find(kFields.begin(), kFields.end(), Lower(name)) != kFields.end();
}

// A plugin's response headers that can travel in HTTP; the others are told.
void CopyPluginHeaders(const CallResult& result, HttpAnswer& answer,
                       const std::function<void(const std::string&)>& warn) {
    for (const auto& [name, value] : result.headers) {
        if (IsExchangeField(name)) continue;
        if (!IsToken(name) || value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
            warn("WARN the response header '" + name + "' is not passed on: HTTP cannot carry its name or value");
            continue;
        }
        answer.headers.emplace_back(name, value);
    }
}

// "GET, HEAD, POST": the methods a path is served for, HEAD beside GET.
std::string AllowText(std::vector<std::string> methods) {
    const bool get = std::find(methods.begin(), methods.end(), "GET") != methods.end();
    if (get && std::find(methods.begin(), methods.end(), "HEAD") == methods.end()) methods.emplace_back("HEAD");
    std::sort(methods.begin(), methods.end());
    std::string text;
    for (const std::string& method : methods) text += (text.empty() ? "" : ", ") + method;
    return text;
}

HttpAnswer AnswerOf(const CallResult& result, const std::function<void(const std::string&)>& warn) {
    if (result.status < 200 || result.status > 599) {
        return ErrorAnswer(500, "The plugin answered status " + std::to_string(result.status) +
                                    ", which HTTP cannot carry" + (result.error.empty() ? "" : ": " + result.error));
    }
    HttpAnswer answer;
    CopyPluginHeaders(result, answer, warn);
    if (!result.error.empty()) {
        HttpAnswer error = ErrorAnswer(result.status, result.error);
        error.headers.insert(error.headers.begin(), answer.headers.begin(), answer.headers.end());
        answer = std::move(error);
    } else if (!result.streamed.empty() && result.value.IsEmpty()) {
        answer.status = result.status;
        answer.headers.emplace_back("Content-Type", "application/octet-stream");
        answer.body = result.streamed;
    } else {
        HttpAnswer json = JsonAnswer(result.status, ToJsonText(result.value));
        json.headers.insert(json.headers.begin(), answer.headers.begin(), answer.headers.end());
        answer = std::move(json);
    }
    if (result.status == 405) answer.headers.emplace_back("Allow", AllowText(result.allowed));
    return answer;
}

HttpAnswer CallPlugin(TestCore& core, const HttpRequest& request, const std::string& path, const std::string& query,
                      const std::function<void(const std::string&)>& warn) {
    std::string method = request.method;
    // HEAD reads what GET would answer, unless the plugin serves HEAD itself.
    if (method == "HEAD") {
        const std::vector<std::string> served = core.MethodsServing(path);
        if (std::find(served.begin(), served.end(), "HEAD") == served.end()) method = "GET";
    }
    CallRequest call(method, path, query);
    call.headers = request.headers;
    call.body = request.body;
    call.contentType = std::string(request.Header("Content-Type"));
    return AnswerOf(core.Call(call), warn);
}

HttpAnswer Unrouted(const HttpRequest& request, const std::string& path, const std::vector<ServedRoute>& routes,
                    const std::function<void(const std::string&)>& warn) {
    std::string plugins;
    for (const ServedRoute& route : routes)
        if (plugins.find(route.plugin) == std::string::npos) plugins += (plugins.empty() ? "" : " or ") + route.plugin;
    const std::string message = "No route of " + plugins + " serves " + request.method + " " + path;
    BindingProperty body;
    body.ChildForWrite("error").SetString(message);
    BindingProperty& listed = body.ChildForWrite("routes");
    listed.MakeCollection();
    std::string told;
    for (size_t i = 0; i < routes.size(); ++i) {
        const std::string route = routes[i].method + " " + routes[i].path;
        listed.Element(i).SetString(route);
        told += (i == 0 ? "" : ", ") + route;
    }
    warn("WARN " + message + "; its routes: " + told);
    return JsonAnswer(404, ToJsonText(body));
}

HttpAnswer StoreValue(TestCore& core, const HttpRequest& request, const std::string& path) {
    const std::string_view type = request.Header("Content-Type");
    const StoredValueFormat format = StoredValueFormatOf(type);
    if (format == StoredValueFormat::Refused) {
        const std::string message = type.empty() ? "A stored value needs a Content-Type: " + std::string(kStoredTypes)
                                                 : "A stored value is not '" + std::string(type) +
                                                       "': its Content-Type is " + std::string(kStoredTypes);
        return ErrorAnswer(415, message);
    }
    if (request.body.empty()) return ErrorAnswer(400, "The body is empty: it holds the resource's value");
    const BindingResult value = ReadStoredValue(format, request.body);
    if (!value.ok) return ErrorAnswer(400, value.ErrorMessage());
    const bool stored = core.IsStored(path);
    if (request.method == "POST")
        core.Post(path, value.value);
    else
        core.Put(path, value.value);
    return JsonAnswer(stored ? 200 : 201, ToJsonText(value.value));
}

HttpAnswer AnswerFromStore(TestCore& core, const HttpRequest& request, const std::string& path,
                           const std::function<void(const std::string&)>& warn) {
    const std::string& method = request.method;
    if (method == "PUT" || method == "POST") return StoreValue(core, request, path);
    if (method == "DELETE") {
        if (!core.Delete(path)) return ErrorAnswer(404, "Not found");
        HttpAnswer deleted;
        deleted.status = 204;
        return deleted;
    }
    if (method == "GET" || method == "HEAD") return AnswerOf(core.Fetch(path), warn);
    HttpAnswer refused = ErrorAnswer(405, "Method not allowed");
    refused.headers.emplace_back("Allow", kStoreMethods);
    return refused;
}

}  // namespace

ServedRoutes::ServedRoutes(std::vector<ServedRoute> routes) : routes_(std::move(routes)) {}

std::vector<ServedRoute> ServedRoutes::OwningPrefix(std::string_view path) const {
    std::vector<ServedRoute> owning;
    const std::string_view first = FirstSegment(path);
    if (first.empty()) return owning;
    for (const ServedRoute& route : routes_)
        if (FirstSegment(route.path) == first) owning.push_back(route);
    std::sort(owning.begin(), owning.end(), [](const ServedRoute& a, const ServedRoute& b) {
        return std::tie(a.path, a.method) < std::tie(b.path, b.method);
    });
    return owning;
}

bool PrefersPlainText(std::string_view accept) {
    return AcceptWeight(accept, "text/plain") > AcceptWeight(accept, "application/json");
}

HttpAnswer CatalogueAnswer(const std::vector<RouteCatalogue>& catalogues, std::string_view accept) {
    HttpAnswer answer;
    if (PrefersPlainText(accept)) {
        answer.status = 200;
        answer.headers.emplace_back("Content-Type", "text/plain; charset=utf-8");
        answer.body = CataloguesText(catalogues);
    } else {
        BindingProperty list;
        list.ChildForWrite("plugins") = CataloguesValue(catalogues);
        list.ChildForWrite("events").SetString("/events");
        answer = JsonAnswer(200, ToJsonText(list));
    }
    answer.headers.emplace_back("Vary", "Accept");
    return answer;
}

HttpAnswer JsonAnswer(unsigned status, std::string json) {
    HttpAnswer answer;
    answer.status = status;
    answer.headers.emplace_back("Content-Type", "application/json");
    // A line break after the JSON text, so that a shell prompt after curl starts on a line of its own.
    answer.body = std::move(json);
    answer.body += '\n';
    return answer;
}

HttpAnswer AnswerRequest(TestCore& core, const ServedRoutes& routes, const HttpRequest& request,
                         const std::function<void(const std::string&)>& warn) {
    const std::string_view target = request.target;
    const size_t question = target.find('?');
    const std::string path(target.substr(0, question));
    const std::string query(question == std::string_view::npos ? std::string_view() : target.substr(question + 1));
    HttpAnswer answer;
    if (core.Serves(path)) {
        answer = CallPlugin(core, request, path, query, warn);
    } else if (const std::vector<ServedRoute> owning = routes.OwningPrefix(path); !owning.empty()) {
        answer = Unrouted(request, path, owning, warn);
    } else {
        answer = AnswerFromStore(core, request, path, warn);
    }
    answer.headersOnly = request.method == "HEAD";
    return answer;
}

}  // namespace Zarvo::DevCore
