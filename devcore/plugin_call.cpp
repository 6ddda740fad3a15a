// Calls of the loaded plugins' functions, by the core's user or by another plugin: routing by method and path
// template, the request record as a core fills it, and the response read with the contract's checks and freed.
#include <algorithm>
#include <limits>

#include "devcore/contract_bounds.h"
#include "devcore/plugin_call_watch.h"
#include "devcore/core_value_reader.h"
#include "devcore/core_value_writer.h"
#include "devcore/http_method.h"
#include "devcore/loaded_plugin.h"
#include "devcore/story_text.h"
#include "formats/json_reader.h"

namespace Zarvo::DevCore {
namespace {

constexpr size_t kMaxStreamedBody = size_t{256} << 20;
constexpr uint32_t kStreamBuffer = 4096;
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
        for (PluginArgumentItem& item : items) FreeCoreValue(item.value);
    }
};

std::string NoNul(const char* what) {
    return std::string(what) + " without a NUL within " + Grouped(kMaxPlainText) + " bytes";
}

}  // namespace

const TestCore::Route* TestCore::FindRoute(uint32_t method, std::string_view methodName, std::string_view path,
                                           uint32_t exceptHandle, bool* pathServed) const {
    const Route* taken = nullptr;
    size_t takenLength = std::numeric_limits<size_t>::max();
    for (const auto& plugin : plugins_) {
        if (plugin->init.pluginHandle == exceptHandle) continue;
        for (const Route& route : plugin->routes) {
            size_t length = 0;
            if (!route.function.path.Match(path, &length)) continue;
            if (pathServed) *pathServed = true;
            const uint32_t accepted = route.function.method;
            if (accepted != 0 &&
                (accepted != method || (method == kOtherMethod && route.function.methodName != methodName)))
                continue;
            // As the plugins route among their own functions: a literal path wins, else the fewest captured bytes.
            if (length < takenLength) {
                taken = &route;
                takenLength = length;
            }
            if (taken == &route && !route.function.path.HasParameters()) return taken;
        }
    }
    return taken;
}

std::vector<std::string> TestCore::MethodsServing(std::string_view path) const {
    std::vector<std::string> methods;
    for (const auto& plugin : plugins_) {
        for (const Route& route : plugin->routes) {
            if (!route.function.path.Match(path, nullptr)) continue;
            const std::string name(route.function.method == kOtherMethod ? std::string_view(route.function.methodName)
                                                                         : MethodName(route.function.method));
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
            const std::string_view method = route.function.method == kOtherMethod
                                                ? std::string_view(route.function.methodName)
                                                : MethodName(route.function.method);
            routes.push_back({plugin->name, method.empty() ? "*" : std::string(method), route.function.pathTemplate});
        }
    }
    return routes;
}

bool TestCore::Serves(std::string_view path) const {
    bool served = false;
    FindRoute(0, {}, path, 0, &served);
    return served;
}

bool TestCore::ReadStreamedBody(const LoadedPlugin* plugin, const std::string& title, PluginResponseRecord& response,
                                CallResult& result) {
    const std::string who = Named(plugin);
    const PluginStreamRead read = response.streamRead;
    const PluginStreamRelease release = response.streamRelease;
    void* const stream = response.stream;
    result.stream = true;
    if (!release) {
        Breach(ContractBreach::Severity::Fail, plugin,
               who + "'s response to " + title + " has a stream without a release callback: the stream leaks");
        return false;
    }
    uint8_t buffer[kStreamBuffer];
    std::string problem;
    int emptyReads = 0;
    for (uint8_t moreToCome = 1; moreToCome && problem.empty();) {
        uint32_t count = sizeof buffer;
        uint8_t ok = 0;
        if (!RunPlugin(plugin, who, "its stream read callback for " + title,
                       [&] { ok = read(stream, buffer, &count, &moreToCome); }))
            return false;
        if (!ok) {
            result.error = "Stream read error";
            break;
        }
        if (count > sizeof buffer) {
            problem = "reported " + Grouped(count) + " bytes read into a buffer of " + Grouped(kStreamBuffer);
        } else if (result.streamed.size() + count > kMaxStreamedBody) {
            problem = "streamed more than the core's bound of " + Grouped(kMaxStreamedBody) + " bytes";
        } else {
            result.streamed.append(reinterpret_cast<const char*>(buffer), count);
            emptyReads = count == 0 ? emptyReads + 1 : 0;
            if (emptyReads == kMaxEmptyReads)
                problem = "handed out nothing " + Grouped(kMaxEmptyReads) + " reads in a row while promising more";
        }
    }
    RunPlugin(plugin, who, "its stream release callback for " + title, [&] { release(stream); });
    response.stream = nullptr;
    if (!problem.empty()) {
        Breach(ContractBreach::Severity::Fail, plugin, who + "'s stream for " + title + " " + problem);
        return false;
    }
    if (result.error.empty())
        if (BindingResult parsed = ParseJson(result.streamed); parsed.ok) result.value = std::move(parsed.value);
    return true;
}

void TestCore::ReadResponse(const LoadedPlugin* plugin, const std::string& title, PluginResponseRecord& response,
                            CallResult& result) {
    const size_t breachesBefore = breaches.size();
    const std::string who = Named(plugin);
    const std::string its = who + "'s response to " + title;
    auto fail = [&](const std::string& text) { Breach(ContractBreach::Severity::Fail, plugin, its + " " + text); };
    result.routed = true;
    {
        const Reading reading(*this, plugin, its);
        const PluginResponseRecord record = response;
        if (!record.free) fail("has no free routine: its storage leaks");
        result.recordStatus = record.status;
        if (record.errorText) {
            if (const std::optional<std::string_view> error = PlainText(record.errorText))
                result.error = *error;
            else
                fail("has " + NoNul("an error text"));
        } else if (record.errorFlag) {
            result.error = "(an error without a text)";
            Breach(ContractBreach::Severity::Warn, plugin, its + " sets the error flag without an error text");
        }
        if (record.text && !PlainText(record.text)) fail("has " + NoNul("a text"));
        ValueReading value = ReadCoreValue(record.result, result.value);
        for (const std::string& warning : value.warnings) Breach(ContractBreach::Severity::Warn, plugin, its + " has " + warning);
        if (!value.problem.empty()) fail("holds " + value.problem);
        const uint32_t headerCount = record.headerCount;
        if (headerCount > kMaxPairs) {
            fail("counts " + Grouped(headerCount) + " header pairs, more than the core's bound of " + Grouped(kMaxPairs));
        } else if (headerCount > 0 && !record.headers) {
            fail("counts " + Grouped(headerCount) + " header pairs but has no storage for them (a null pointer)");
        } else {
            for (uint32_t i = 0; i < headerCount; ++i) {
                const PluginHeaderPair pair = record.headers[i];
                const std::optional<std::string_view> name = PlainText(pair.name), value = PlainText(pair.value);
                if (!name || !value) {
                    fail("has header pair " + std::to_string(i + 1) + " whose " + (name ? "value" : "name") + " is " +
                         ((name ? pair.value : pair.name) ? NoNul("a text") : std::string("null")));
                    break;
                }
                result.headers.emplace_back(*name, *value);
            }
        }
    }
    auto failed = [&] {
        return std::find_if(breaches.begin() + breachesBefore, breaches.end(), [](const ContractBreach& breach) {
            return breach.severity == ContractBreach::Severity::Fail;
        });
    };
    // A stream of a record that broke the contract is left alone: its callbacks may be as wrong.
    if (response.streamRead && failed() == breaches.end()) ReadStreamedBody(plugin, title, response, result);
    result.status = result.recordStatus ? result.recordStatus : result.error.empty() ? 200 : 400;
    if (const auto breach = failed(); breach != breaches.end()) {
        result.breach = breach->text;
        result.status = result.recordStatus = 500;
        result.error = result.breach;
        result.value.Clear();
        result.headers.clear();
    }
}

CallResult TestCore::Dispatch(const Route& route, const PluginRequestRecord& record, const std::string& title) {
    const LoadedPlugin* plugin = route.plugin;
    if (!plugin->setAside.empty()) {
        CallResult result;
        result.routed = true;
        result.status = result.recordStatus = 503;
        result.error = plugin->setAside;
        return result;
    }
    const size_t breachesBefore = breaches.size();
    PluginResponseRecord response{};
    CallResult result;
    result.routed = true;
    if (RunPlugin(plugin, plugin->name, "its dispatch callback for " + title,
                  [&] { route.function.dispatch(&response, &record); })) {
        ReadResponse(plugin, title, response, result);
        if (const PluginResponseFree free = response.free)
            RunPlugin(plugin, plugin->name, "the free routine of its response to " + title, [&] { free(&response); });
    } else {
        // What the plugin left in the record is not read: it may be half written.
        result.status = result.recordStatus = 500;
        result.error = breaches.back().text;
    }
    // A breach anywhere in the call, in the calls it led to too, is the call's.
    for (size_t i = breachesBefore; i < breaches.size() && result.breach.empty(); ++i)
        if (breaches[i].severity == ContractBreach::Severity::Fail) result.breach = breaches[i].text;
    return result;
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

    for (const auto& [name, value] : request.headers) storage.headers.push_back({name.c_str(), value.c_str()});
    for (const SentArgument& item : request.items) {
        PluginArgumentItem& record = storage.items.emplace_back(
            PluginArgumentItem{item.name.empty() ? nullptr : item.name.c_str(), {}});
        WriteCoreValue(record.value, item.value);
    }
    PluginRequestRecord record{};
    record.method = method;
    record.path = storage.target.c_str();
    record.items = storage.items.empty() ? nullptr : storage.items.data();
    record.itemCount = static_cast<uint32_t>(storage.items.size());
    record.dispatchContext = route->function.dispatchContext;
    record.headers = storage.headers.empty() ? nullptr : storage.headers.data();
    record.headerCount = static_cast<uint32_t>(storage.headers.size());
    record.contentType = request.contentType.empty() ? nullptr : request.contentType.c_str();
    // The body bytes are followed by a zero byte that the length does not count.
    record.body = request.body.empty() ? nullptr : reinterpret_cast<const uint8_t*>(request.body.c_str());
    record.bodyLength = static_cast<uint32_t>(request.body.size());
    record.requestId = NextRequestId();
    record.methodName = method == kOtherMethod ? request.method.c_str() : nullptr;

    CallResult result = Dispatch(*route, record, request.method + " " + storage.target);
    Tell("< " + CallResultForStory(result));
    return result;
}

void KIV_CDECL TestCore::SendRequest(const PluginCoreApi* api, PluginResponseRecord* response,
                                     const PluginRequestRecord* request) {
    const CoreEntryScope crossing;
    TestCore& core = From(api);
    const LoadedPlugin* sender = Table(api).plugin;
    CallResult refused;
    refused.status = refused.recordStatus = 400;
    constexpr const char* overStep =
        "The core refused the request: the plugin went past what it may hand the core in one step";
    if (const Admission admission = core.AcceptsCallFrom(sender, "SendRequest"); admission != Admission::Accepted) {
        refused.error = admission == Admission::PastItsStep
                            ? overStep
                            : "The core refused the request: it came while the core was running none of the "
                              "plugin's code";
        if (response) core.AnswerFromCall(*response, refused);
        return;
    }
    Entry entry(core);
    const std::string who = Named(sender);
    if (!response || !request)
        return core.Breach(ContractBreach::Severity::Fail, sender,
                           who + " sent a request with a null " + (response ? "request" : "response") + " record");
    *response = PluginResponseRecord{};
    const PluginRequestRecord record = *request;
    std::string problem;
    std::string url, title;
    SentRequest sent{record.method, {}, record.requestId, {}};
    size_t values = 0, bytes = 0;  // what the core keeps of the request
    {
        const Reading reading(core, sender, who + "'s request");
        const std::optional<std::string_view> path = PlainText(record.path);
        const std::optional<std::string_view> methodName = PlainText(record.methodName);
        url = path.value_or("");
        const std::string_view shownMethod =
            record.method == kOtherMethod ? methodName.value_or("") : MethodName(record.method);
        title = shownMethod.empty() ? url : std::string(shownMethod) + " " + url;
        if (!path) {
            problem = record.path ? "has " + NoNul("a path") : "has no path";
        } else if (record.method == 0 || record.method > kOtherMethod) {
            problem = "has the method code " + std::to_string(record.method);
        } else if (record.method == kOtherMethod && !methodName) {
            problem = "has the method code 8 but " + (record.methodName ? NoNul("a method name") : "no method name");
        } else if (record.requestId != HandleOf(api)) {
            problem = "carries the plugin handle " + std::to_string(record.requestId) + ", not its own " +
                      std::to_string(HandleOf(api));
        } else if (record.itemCount > kMaxPairs || record.headerCount > kMaxPairs) {
            problem = "counts " + Grouped(std::max(record.itemCount, record.headerCount)) +
                      (record.itemCount > kMaxPairs ? " argument items" : " header pairs") +
                      ", more than the core's bound of " + Grouped(kMaxPairs);
        } else if ((record.itemCount > 0 && !record.items) || (record.headerCount > 0 && !record.headers)) {
            problem = std::string("counts ") + (record.itemCount > 0 && !record.items ? "argument items" : "header pairs") +
                      " but has no storage for them (a null pointer)";
        } else if (record.bodyLength > 0 && !record.body) {
            problem = "has a body of " + Grouped(record.bodyLength) + " bytes with a null pointer";
        } else if (record.contentType && !PlainText(record.contentType)) {
            problem = "has " + NoNul("a content type");
        }
        for (uint32_t i = 0; problem.empty() && i < record.headerCount; ++i) {
            const PluginHeaderPair pair = record.headers[i];
            if (!PlainText(pair.name) || !PlainText(pair.value))
                problem = "has header pair " + std::to_string(i + 1) + " without a readable name or value";
        }
        for (uint32_t i = 0; problem.empty() && i < record.itemCount; ++i) {
            const PluginArgumentItem item = record.items[i];
            const std::optional<std::string_view> name = PlainText(item.name);
            if (item.name && !name) {
                problem = "has argument item " + std::to_string(i + 1) + " with " + NoNul("a name");
                break;
            }
            SentArgument& argument = sent.arguments.emplace_back();
            argument.name = name.value_or("");
            const PluginValue value = item.value;
            ValueReading read = ReadCoreValue(value, argument.value);
            if (!read.problem.empty())
                problem = "has argument item " + std::to_string(i + 1) + " that holds " + read.problem;
            values += read.values;
            bytes += argument.name.size() + read.bytes;
        }
    }
    if (!problem.empty()) {
        core.Breach(ContractBreach::Severity::Fail, sender,
                    who + " sent a request " + (url.empty() ? "" : title + " ") + "that " + problem +
                        ": the core refused it");
        refused.error = "The core refused the request: it " + problem;
        core.AnswerFromCall(*response, refused);
        return;
    }
    if (!core.Takes(sender, values, url.size() + bytes)) {
        refused.error = overStep;
        core.AnswerFromCall(*response, refused);
        return;
    }
    sent.url = url;
    core.requests.push_back(std::move(sent));
    core.calls.push_back("SendRequest " + url);

    const char* const methodName = record.method == kOtherMethod ? record.methodName : "";
    const std::string_view path = std::string_view(url).substr(0, url.find('?'));
    bool pathServed = false;
    const Route* route = core.FindRoute(record.method, methodName, path, HandleOf(api), &pathServed);
    if (!route) {
        const std::string answer = core.AnswerFromStore(*response, url);
        core.Tell("  request " + title + " -> " + answer);
        return;
    }
    CallResult result;
    const bool tooDeep = core.requestNesting_ == kMaxRequestNesting;
    if (tooDeep) {
        const std::string text = who + "'s request " + title + " would nest requests between plugins " +
                                 std::to_string(kMaxRequestNesting + 1) + " deep; the core allows " +
                                 std::to_string(kMaxRequestNesting);
        core.Breach(ContractBreach::Severity::Fail, sender, text);
        result.status = result.recordStatus = 508;
        result.error = text;
    } else {
        PluginRequestRecord forwarded = record;
        forwarded.dispatchContext = route->function.dispatchContext;
        forwarded.requestId = core.NextRequestId();
        ++core.requestNesting_;
        result = core.Dispatch(*route, forwarded, title);
        --core.requestNesting_;
    }
    core.AnswerFromCall(*response, result);
    std::string answer = std::to_string(result.status);
    if (!result.error.empty()) {
        answer += " " + result.error;
    } else if (result.stream) {
        answer += ", a stream";
    } else {
        answer += " " + ValueForStory(result.value, 160);
    }
    core.Tell("  request " + title + " -> " + answer + (tooDeep ? "" : " (from " + route->plugin->name + ")"));
}

}  // namespace Zarvo::DevCore
