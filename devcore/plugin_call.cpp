// Calls of the loaded plugins' functions: routing by method and path template, the request record as a core fills
// it, and the response read and freed.
#include <algorithm>
#include <limits>

#include "devcore/loaded_plugin.h"
#include "devcore/plugin_call_watch.h"
#include "devcore/story_text.h"
#include "formats/json_reader.h"
#include "formats/plugin_value.h"
#include "remoting/method.h"
#include "remoting/route_matching.h"

namespace Zarvo::DevCore {
namespace {

constexpr size_t kMaxStreamedBody = size_t{256} << 20;
// Reads in a row that hand out nothing while promising more; a stream that keeps doing so has stalled.
constexpr int kMaxEmptyReads = 10000;

// The request record's texts and arrays, kept alive for one call.
struct RequestStorage {
    std::string target;
    std::vector<PluginHeaderPair> headers;
    std::vector<PluginArgumentItem> items;

    RequestStorage() = default;
    RequestStorage(const RequestStorage&) = delete;
    RequestStorage& operator=(const RequestStorage&) = delete;
    ~RequestStorage() {
        for (PluginArgumentItem& item : items) ClearPluginValue(item.value);
    }
};

// Reads a streamed body to its end and releases the stream; returns false with the reason on failure. `plugin` and
// `request` say whose stream it is, for the watcher of the calls.
bool ReadStreamedBody(PluginResponseRecord& response, std::string& body, std::string& error, std::string_view plugin,
                      std::string_view request) {
    const std::string readCall = "its stream read for " + std::string(request);
    const PluginStreamRead read = response.streamRead;
    const PluginStreamRelease release = response.streamRelease;
    void* const stream = response.stream;
    uint8_t buffer[4096];
    bool ok = true;
    int emptyReads = 0;
    for (uint8_t moreToCome = 1; moreToCome;) {
        uint32_t count = sizeof buffer;
        bool readOk;
        {
            const PluginCallScope scope(plugin, readCall);
            readOk = read(stream, buffer, &count, &moreToCome);
        }
        if (!readOk) {
            error = "Stream read error";
            ok = false;
            break;
        }
        if (count > sizeof buffer) {
            error = "The stream reported " + std::to_string(count) + " bytes read into a buffer of 4096";
            ok = false;
            break;
        }
        if (body.size() + count > kMaxStreamedBody) {
            error = "The streamed body exceeds " + std::to_string(kMaxStreamedBody) + " bytes";
            ok = false;
            break;
        }
        body.append(reinterpret_cast<const char*>(buffer), count);
        emptyReads = count == 0 ? emptyReads + 1 : 0;
        if (emptyReads == kMaxEmptyReads) {
            error = "The stream hands out nothing and never ends";
            ok = false;
            break;
        }
    }
    if (release) {
        const PluginCallScope scope(plugin, "its stream release for " + std::string(request));
        release(stream);
    }
    response.stream = nullptr;
    return ok;
}

CallResult ReadResponse(PluginResponseRecord& response, std::string_view plugin, std::string_view request) {
    CallResult result;
    result.routed = true;
    result.recordStatus = response.status;
    const char* const errorText = response.errorText;
    if (errorText) {
        result.error = errorText;
    } else if (response.errorFlag) {
        result.error = "(an error without a text)";
    }
    std::string conversionError;
    if (!FromPluginValue(conversionError, result.value, response.result, "<result>") && result.error.empty())
        result.error = "The response's value cannot be read: " + conversionError;
    const PluginHeaderPair* const headers = response.headers;
    for (uint32_t index = 0; headers && index < response.headerCount; ++index) {
        const PluginHeaderPair pair = headers[index];
        result.headers.emplace_back(pair.name ? pair.name : "", pair.value ? pair.value : "");
    }
    if (response.streamRead) {
        std::string streamError;
        if (!ReadStreamedBody(response, result.streamed, streamError, plugin, request)) {
            if (result.error.empty()) result.error = streamError;
        } else if (BindingResult parsed = ParseJson(result.streamed); parsed.ok) {
            result.value = std::move(parsed.value);
        }
    }
    result.status = result.recordStatus ? result.recordStatus : result.error.empty() ? 200 : 400;
    return result;
}

}  // namespace

const TestCore::Route* TestCore::FindRoute(uint32_t method, std::string_view methodName, std::string_view path,
                                           uint32_t exceptHandle, bool* pathServed) const {
    const Route* taken = nullptr;
    size_t takenLength = std::numeric_limits<size_t>::max();
    for (const auto& plugin : plugins_) {
        if (plugin->init.pluginHandle == exceptHandle) continue;
        for (const Route& route : plugin->routes) {
            TextMap captured;
            if (!route.pattern.MatchPath(path, captured)) continue;
            if (pathServed) *pathServed = true;
            const bool accepts = route.method == 0 ||
                                 (route.method == method && (method != static_cast<uint32_t>(Method::Other) ||
                                                             route.methodName == methodName));
            if (!accepts) continue;
            // As the plugins route among their own functions: a literal path wins, else the fewest captured bytes.
            const size_t length = CapturedLength(captured);
            if (length < takenLength) {
                taken = &route;
                takenLength = length;
            }
            if (captured.empty()) return taken;
        }
    }
    return taken;
}

std::vector<std::string> TestCore::MethodsServing(std::string_view path) const {
    std::vector<std::string> methods;
    for (const auto& plugin : plugins_) {
        for (const Route& route : plugin->routes) {
            TextMap captured;
            if (!route.pattern.MatchPath(path, captured)) continue;
            const std::string name(route.method == static_cast<uint32_t>(Method::Other)
                                       ? std::string_view(route.methodName)
                                       : MethodName(MethodFromCode(route.method)));
            if (!name.empty() && std::find(methods.begin(), methods.end(), name) == methods.end())
                methods.push_back(name);
        }
    }
    return methods;
}

std::vector<ServedRoute> TestCore::Routes() const {
    std::vector<ServedRoute> routes;
    for (const auto& plugin : plugins_) {
        for (const Route& route : plugin->routes) {
            const std::string_view method = route.method == static_cast<uint32_t>(Method::Other)
                                                ? std::string_view(route.methodName)
                                                : MethodName(MethodFromCode(route.method));
            routes.push_back({plugin->name, method.empty() ? "*" : std::string(method), route.pathTemplate});
        }
    }
    return routes;
}

bool TestCore::Serves(std::string_view path) const {
    bool served = false;
    FindRoute(0, {}, path, 0, &served);
    return served;
}

CallResult TestCore::Call(const CallRequest& request) {
    Entry entry(*this);
    RequestStorage storage;
    storage.target = request.query.empty() ? request.path : request.path + "?" + request.query;
    Tell("> " + request.method + " " + storage.target +
         (request.body.empty() ? "" : " " + BodyForStory(request.body, request.contentType)));

    const uint32_t method = MethodCode(request.method);
    bool pathServed = false;
    const Route* route = FindRoute(method, request.method, request.path, 0, &pathServed);
    if (!route) {
        CallResult result;
        result.status = pathServed ? 405 : 404;
        result.error = pathServed ? "Method not allowed" : "Not found";
        if (pathServed) result.allowed = MethodsServing(request.path);
        Tell("< " + CallResultForStory(result));
        return result;
    }
    if (!route->plugin->setAside.empty()) {
        CallResult result;
        result.routed = true;
        result.status = 503;
        result.error = route->plugin->setAside;
        Tell("< " + CallResultForStory(result));
        return result;
    }

    for (const auto& [name, value] : request.headers) storage.headers.push_back({name.c_str(), value.c_str()});
    for (const SentArgument& item : request.items) {
        PluginArgumentItem& record = storage.items.emplace_back(
            PluginArgumentItem{item.name.empty() ? nullptr : item.name.c_str(), {}});
        ToPluginValue(record.value, item.value, nullptr);
    }
    PluginRequestRecord record{};
    record.method = method;
    record.path = storage.target.c_str();
    record.items = storage.items.empty() ? nullptr : storage.items.data();
    record.itemCount = static_cast<uint32_t>(storage.items.size());
    record.dispatchContext = route->entry->function.dispatchContext;
    record.headers = storage.headers.empty() ? nullptr : storage.headers.data();
    record.headerCount = static_cast<uint32_t>(storage.headers.size());
    record.contentType = request.contentType.empty() ? nullptr : request.contentType.c_str();
    // The body bytes are followed by a zero byte that the length does not count.
    record.body = request.body.empty() ? nullptr : reinterpret_cast<const uint8_t*>(request.body.c_str());
    record.bodyLength = static_cast<uint32_t>(request.body.size());
    record.requestId = NextRequestId();
    record.methodName = method == static_cast<uint32_t>(Method::Other) ? request.method.c_str() : nullptr;

    const std::string shown = request.method + " " + storage.target;
    const std::string_view plugin = route->plugin->name;
    PluginResponseRecord response{};
    {
        const PluginCallScope scope(plugin, "its dispatch callback for " + shown);
        route->entry->dispatch(&response, &record);
    }
    CallResult result = ReadResponse(response, plugin, shown);
    if (response.free) {
        const PluginCallScope scope(plugin, "its response's free routine for " + shown);
        response.free(&response);
    }
    Tell("< " + CallResultForStory(result));
    return result;
}

}  // namespace Zarvo::DevCore
