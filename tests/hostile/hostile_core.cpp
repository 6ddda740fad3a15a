// The hostile core: the library, the values a test builds, the core's operations and its calls into the plugin.
#include "hostile_core.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "platform/system_library.h"

namespace Hostile {
namespace {

std::atomic<size_t> freedCoreResponses{0};
std::atomic<size_t> releasedStreams{0};

constexpr const char* kNotFound = "Not found";
// Deeper values handed over by the plugin are reported as malformed rather than read.
constexpr int kMaxRenderDepth = 256;

[[noreturn]] void Abort(const std::string& message) {
    std::fprintf(stderr, "hostile core: %s\n", message.c_str());
    std::abort();
}

void KIV_CDECL FreeCoreResponse(PluginResponseRecord* response) {
    if (!response) return;
    ++freedCoreResponses;
    std::memset(static_cast<void*>(response), 0, sizeof(PluginResponseRecord));
}

struct Stream {
    StreamScript script;
    size_t reads = 0;
};

uint8_t KIV_CDECL ReadStream(void* object, uint8_t* buffer, uint32_t* count, uint8_t* moreToCome) {
    auto& stream = *static_cast<Stream*>(object);
    const size_t read = stream.reads++;
    if (static_cast<int>(read) == stream.script.failingRead) return 0;
    const std::string chunk = read < stream.script.chunks.size() ? stream.script.chunks[read] : std::string();
    const size_t size = std::min<size_t>(chunk.size(), *count);
    std::memcpy(buffer, chunk.data(), size);
    *count = static_cast<uint32_t>(size);
    *moreToCome = read + 1 < stream.script.chunks.size() ? 1 : 0;
    return 1;
}

void KIV_CDECL ReleaseStream(void* object) {
    ++releasedStreams;
    delete static_cast<Stream*>(object);
}

std::string Hex(const uint8_t* bytes, uint32_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (uint32_t i = 0; i < count; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
    }
    return hex;
}

std::string TextOf(const void* data, uint32_t length, const char* what) {
    if (!data) throw std::runtime_error(std::string(what) + " with a null text");
    const auto* text = static_cast<const char*>(data);
    if (strnlen(text, size_t(length) + 1) != length)
        throw std::runtime_error(std::string(what) + " whose length word " + std::to_string(length) +
                                 " disagrees with its NUL");
    return std::string(text, length);
}

nlohmann::json ToJson(const PluginValue& value, int depth) {
    if (depth > kMaxRenderDepth) throw std::runtime_error("a value nested deeper than " + std::to_string(depth));
    const PluginValueSpan span = value.payload.span;
    switch (value.kind) {
        case PluginValueNull: return nullptr;
        case PluginValueBool:
            if (value.payload.boolean > 1) throw std::runtime_error("a bool of " + std::to_string(value.payload.boolean));
            return value.payload.boolean == 1;
        // Packed fields, read by value.
        case PluginValueSigned: return int64_t(value.payload.i64);
        case PluginValueUnsigned: return uint64_t(value.payload.u64);
        case PluginValueFloat: return double(value.payload.f64);
        case PluginValueBorrowedString:
        case PluginValueOwnedString: return TextOf(span.data, span.count, "a text");
        case PluginValueBorrowedBytes:
        case PluginValueOwnedBytes:
            if (!span.data && span.count) throw std::runtime_error("a blob with a null pointer");
            return {{"blob", Hex(static_cast<const uint8_t*>(span.data), span.count)}};
        case PluginValueArray: {
            if (!span.data && span.count) throw std::runtime_error("an array with a null pointer");
            nlohmann::json array = nlohmann::json::array();
            for (uint32_t i = 0; i < span.count; ++i)
                array.push_back(ToJson(static_cast<const PluginValue*>(span.data)[i], depth + 1));
            return array;
        }
        case PluginValueObject: {
            if (!span.data && span.count) throw std::runtime_error("an object with a null pointer");
            nlohmann::json object = nlohmann::json::object();
            for (uint32_t i = 0; i < span.count; ++i) {
                const PluginValueEntry& entry = static_cast<const PluginValueEntry*>(span.data)[i];
                if (!entry.key) throw std::runtime_error("an object member with a null key");
                if (entry.ownsKey > 1) throw std::runtime_error("an ownsKey of " + std::to_string(entry.ownsKey));
                object[entry.key] = ToJson(entry.value, depth + 1);
            }
            return object;
        }
        default: throw std::runtime_error("a value of kind " + std::to_string(value.kind));
    }
}

}  // namespace

PluginLoadFunction EntryPoint() {
    static const PluginLoadFunction entry = [] {
        std::string error;
        void* library = Zarvo::Platform::OpenLibrary(KIV_PLUGIN_LIBRARY, error);
        if (!library) Abort(std::string("cannot open ") + KIV_PLUGIN_LIBRARY + ": " + error);
        auto load = reinterpret_cast<PluginLoadFunction>(
            Zarvo::Platform::LibrarySymbol(library, "load_kiv_player_level_up"));
        if (!load) Abort("no entry point load_kiv_player_level_up");
        return load;
    }();
    return entry;
}

size_t FreedCoreResponses() { return freedCoreResponses.load(); }
size_t ReleasedStreams() { return releasedStreams.load(); }

// ---- Values ---------------------------------------------------------------------------------------------------------

PluginValue Values::Null() { return PluginValue{}; }

PluginValue Values::Bool(bool value) {
    PluginValue record{};
    record.kind = PluginValueBool;
    record.payload.boolean = value ? 1 : 0;
    return record;
}

PluginValue Values::Signed(int64_t value) {
    PluginValue record{};
    record.kind = PluginValueSigned;
    record.payload.i64 = value;
    return record;
}

PluginValue Values::Unsigned(uint64_t value) {
    PluginValue record{};
    record.kind = PluginValueUnsigned;
    record.payload.u64 = value;
    return record;
}

PluginValue Values::Float(double value) {
    PluginValue record{};
    record.kind = PluginValueFloat;
    record.payload.f64 = value;
    return record;
}

PluginValue Values::Raw(uint32_t kind, const void* data, uint32_t count) {
    PluginValue record{};
    record.kind = kind;
    record.payload.span = {data, count};
    return record;
}

const char* Values::Keep(std::string_view text) {
    auto& block = blocks_.emplace_back(new char[text.size() + 1]);
    std::memcpy(block.get(), text.data(), text.size());
    block[text.size()] = '\0';
    return block.get();
}

PluginValue Values::Text(std::string_view text) {
    return Raw(PluginValueBorrowedString, Keep(text), static_cast<uint32_t>(text.size()));
}

PluginValue Values::TextWithLength(std::string_view bytes, uint32_t lengthWord) {
    // new char[0] still gives a distinct block; ASan flags any read of it.
    auto& block = blocks_.emplace_back(new char[bytes.size()]);
    std::memcpy(block.get(), bytes.data(), bytes.size());
    return Raw(PluginValueBorrowedString, block.get(), lengthWord);
}

PluginValue Values::Bytes(std::string_view bytes) {
    auto& block = blocks_.emplace_back(new char[bytes.size()]);
    std::memcpy(block.get(), bytes.data(), bytes.size());
    return Raw(PluginValueBorrowedBytes, block.get(), static_cast<uint32_t>(bytes.size()));
}

PluginValue Values::Array(std::vector<PluginValue> elements) {
    const auto& kept = arrays_.emplace_back(std::move(elements));
    return Raw(PluginValueArray, kept.empty() ? nullptr : kept.data(), static_cast<uint32_t>(kept.size()));
}

PluginValue Values::Object(const std::vector<std::pair<std::string, PluginValue>>& members) {
    auto& entries = objects_.emplace_back();
    entries.reserve(members.size());
    for (const auto& [key, value] : members) entries.push_back(PluginValueEntry{Keep(key), value, 0});
    return Raw(PluginValueObject, entries.empty() ? nullptr : entries.data(), static_cast<uint32_t>(entries.size()));
}

PluginValue Values::Json(std::string_view json) {
    const std::function<PluginValue(const nlohmann::json&)> convert = [&](const nlohmann::json& node) {
        switch (node.type()) {
            case nlohmann::json::value_t::null: return Null();
            case nlohmann::json::value_t::boolean: return Bool(node.get<bool>());
            case nlohmann::json::value_t::number_integer: return Signed(node.get<int64_t>());
            case nlohmann::json::value_t::number_unsigned:
                if (node.get<uint64_t>() <= uint64_t(std::numeric_limits<int64_t>::max()))
                    return Signed(static_cast<int64_t>(node.get<uint64_t>()));
                return Unsigned(node.get<uint64_t>());
            case nlohmann::json::value_t::number_float: return Float(node.get<double>());
            case nlohmann::json::value_t::string: return Text(node.get<std::string>());
            case nlohmann::json::value_t::array: {
                std::vector<PluginValue> elements;
                for (const auto& element : node) elements.push_back(convert(element));
                return Array(std::move(elements));
            }
            case nlohmann::json::value_t::object: {
                std::vector<std::pair<std::string, PluginValue>> members;
                for (const auto& [key, member] : node.items()) members.emplace_back(key, convert(member));
                return Object(members);
            }
            default: Abort("unsupported JSON in a test value: " + std::string(json));
        }
    };
    return convert(nlohmann::json::parse(json));
}

PluginValue Values::Nested(size_t levels) {
    auto& chain = arrays_.emplace_back(levels + 1);
    chain[levels] = Null();
    for (size_t level = levels; level-- > 0;) chain[level] = Raw(PluginValueArray, &chain[level + 1], 1);
    return chain[0];
}

PluginValue Values::ResourceEvent(std::string_view uri, std::string_view eventType, const PluginValue& data) {
    return Object({{"uri", Text(uri)}, {"eventType", Text(eventType)}, {"data", data}});
}

std::string Render(const PluginValue& value) { return ToJson(value, 0).dump(); }

// ---- The core -------------------------------------------------------------------------------------------------------

HostileCore::HostileCore() {
    table_.api = PluginCoreApi{&SendRequest, nullptr, &SendEvent, &SubscribeEvent, &UnsubscribeEvent, nullptr,
                               &Yield,       &BeginWait, &EndWait, &WriteLog};
    table_.core = this;
}

HostileCore::~HostileCore() {
    if (instance && !destroyed_) Destroy();
}

HostileCore& HostileCore::From(const PluginCoreApi* api) {
    if (!api) Abort("a core operation called with a null table");
    return *reinterpret_cast<const Table*>(api)->core;
}

bool HostileCore::Load(uint32_t major, uint32_t minor, uint32_t patch) {
    block = PluginLoadBlock{major, minor, patch, nullptr, nullptr, nullptr, nullptr};
    EntryPoint()(&block);
    entryTable = block.entryTable;
    instance = block.instance;
    const char* const name = block.shortName;
    shortName = name ? name : "";
    functions.clear();
    if (const PluginApiDescription* description = block.description) {
        for (const ApiFunctionEntry* entry = description->functions; entry; entry = entry->next) {
            const char* const functionName = entry->function.name;
            const char* const path = entry->path;
            functions.push_back({functionName ? functionName : "", path ? path : "", entry->method, entry->dispatch,
                                 entry->function.dispatchContext});
        }
    }
    destroyed_ = false;
    return entryTable && instance;
}

uint8_t HostileCore::Init() {
    const PluginInitBlock init = InitBlock();
    return Init(&init);
}

uint8_t HostileCore::Init(const PluginInitBlock* init) { return entryTable->Init(instance, init); }

bool HostileCore::Start() { return Load() && Init() == 1; }

void HostileCore::Destroy() {
    destroyed_ = true;
    entryTable->Destroy(instance);
}

PluginMemoryStats HostileCore::Stats(void* which) {
    PluginMemoryStats stats{};
    entryTable->GetMemoryStats(which, &stats);
    return stats;
}

const HostileCore::Function& HostileCore::FunctionFor(uint32_t method, std::string_view pathTemplate) const {
    for (const Function& function : functions)
        if (function.method == method && function.path == pathTemplate) return function;
    Abort("the plugin describes no function " + std::to_string(method) + " " + std::string(pathTemplate));
}

void HostileCore::Answer(std::string url, Responder responder) {
    std::lock_guard lock(mutex_);
    answers_.insert_or_assign(std::move(url), std::move(responder));
}

void HostileCore::AnswerValue(std::string url, const PluginValue& value) {
    Answer(std::move(url), [value](PluginResponseRecord& response, const PluginRequestRecord&) {
        response.result = value;
        response.status = 200;
    });
}

void HostileCore::AnswerError(std::string url, uint32_t status, const char* errorText, uint8_t errorFlag) {
    const char* text = errorText ? values.Keep(errorText) : nullptr;
    Answer(std::move(url), [=](PluginResponseRecord& response, const PluginRequestRecord&) {
        response.errorText = const_cast<char*>(text);
        response.errorFlag = errorFlag;
        response.status = status;
    });
}

void HostileCore::AnswerStream(std::string url, StreamScript script) {
    Answer(std::move(url), [script](PluginResponseRecord& response, const PluginRequestRecord&) {
        size_t length = 0;
        for (const std::string& chunk : script.chunks) length += chunk.size();
        response.streamRead = &ReadStream;
        response.streamRelease = &ReleaseStream;
        response.stream = new Stream{script};
        response.streamLength = static_cast<uint32_t>(length);
        response.status = 200;
    });
}

void HostileCore::Record(std::string call) {
    std::lock_guard lock(mutex_);
    ++totals_.calls;
    if (recording) calls_.push_back(std::move(call));
}

HostileCore::Totals HostileCore::Counted() const {
    std::lock_guard lock(mutex_);
    return totals_;
}

void KIV_CDECL HostileCore::SendRequest(const PluginCoreApi* api, PluginResponseRecord* response,
                                        const PluginRequestRecord* request) {
    HostileCore& core = From(api);
    if (!response || !request) Abort("SendRequest without a response or a request record");
    const char* const path = request->path;
    const std::string url = path ? path : "<null>";
    core.Record("SendRequest " + url);
    Responder responder;
    {
        std::lock_guard lock(core.mutex_);
        const auto found = core.answers_.find(url);
        if (found != core.answers_.end()) responder = found->second;
    }
    response->free = &FreeCoreResponse;
    if (responder) {
        responder(*response, *request);
    } else {
        response->errorText = const_cast<char*>(kNotFound);
        response->errorFlag = 1;
        response->status = 404;
    }
}

void KIV_CDECL HostileCore::SendEvent(const PluginCoreApi* api, const PluginEventRecord* event) {
    HostileCore& core = From(api);
    if (!event) Abort("SendEvent without a record");
    const char* const name = event->name;
    std::string payload;
    try {
        payload = Render(event->payload);
    } catch (const std::exception& error) {
        payload = std::string("<malformed: ") + error.what() + ">";
    }
    core.Record(std::string("SendEvent ") + (name ? name : "<null>"));
    std::lock_guard lock(core.mutex_);
    ++core.totals_.events;
    if (core.recording) core.events_.push_back({name ? name : "<null>", std::move(payload)});
}

void KIV_CDECL HostileCore::SubscribeEvent(const PluginCoreApi* api, const char* name, uint32_t pluginHandle,
                                           PluginEventCallback callback, void* context, uint32_t kind) {
    HostileCore& core = From(api);
    const std::string eventName = name ? name : "<null>";
    core.Record("SubscribeEvent " + eventName + " " + std::to_string(kind));
    std::lock_guard lock(core.mutex_);
    core.subscriptions_.push_back({eventName, pluginHandle, callback, context, kind});
}

void KIV_CDECL HostileCore::UnsubscribeEvent(const PluginCoreApi* api, const char* name, uint32_t pluginHandle) {
    HostileCore& core = From(api);
    const std::string eventName = name ? name : "<null>";
    core.Record("UnsubscribeEvent " + eventName);
    std::lock_guard lock(core.mutex_);
    std::erase_if(core.subscriptions_,
                  [&](const Subscription& s) { return s.name == eventName && s.pluginHandle == pluginHandle; });
}

void KIV_CDECL HostileCore::Yield(const PluginCoreApi* api) {
    HostileCore& core = From(api);
    core.Record("Yield");
    if (core.onYield) core.onYield();
}

void KIV_CDECL HostileCore::BeginWait(const PluginCoreApi* api, const char* label, uint32_t zero) {
    From(api).Record(std::string("BeginWait ") + (label ? label : "<null>") + " " + std::to_string(zero));
}

void KIV_CDECL HostileCore::EndWait(const PluginCoreApi* api) { From(api).Record("EndWait"); }

void KIV_CDECL HostileCore::WriteLog(const PluginCoreApi* api, int32_t level, const char* text) {
    HostileCore& core = From(api);
    const std::string line = text ? text : "<null>";
    core.Record("WriteLog " + std::to_string(level) + " " + line);
    {
        std::lock_guard lock(core.mutex_);
        ++core.totals_.logs;
        if (core.recording) core.logs_.push_back({level, line});
    }
    if (core.onWriteLog) core.onWriteLog(level, text);
}

std::vector<Subscription> HostileCore::SubscribedAs(std::string_view eventName) const {
    std::lock_guard lock(mutex_);
    std::vector<Subscription> found;
    for (const Subscription& subscription : subscriptions_)
        if (subscription.name == eventName) found.push_back(subscription);
    return found;
}

size_t HostileCore::Deliver(std::string_view eventName, const PluginValue& payload) {
    const std::vector<Subscription> targets = SubscribedAs(eventName);
    for (const Subscription& subscription : targets) {
        PluginEventRecord event{};
        event.name = subscription.name.c_str();
        event.payload = payload;
        event.context = subscription.context;
        subscription.callback(&event);
    }
    return targets.size();
}

size_t HostileCore::DeliverRecord(std::string_view subscriptionName, const PluginEventRecord* record) {
    const std::vector<Subscription> targets = SubscribedAs(subscriptionName);
    for (const Subscription& subscription : targets) subscription.callback(record);
    return targets.size();
}

PluginRequestRecord HostileCore::Request(const Function& function, std::string_view path) {
    PluginRequestRecord request{};
    request.method = function.method;
    request.path = values.Keep(path);
    request.dispatchContext = function.context;
    request.requestId = 7;
    return request;
}

PluginRequestRecord HostileCore::Request(const Function& function, std::string_view path, std::string_view contentType,
                                         std::string_view body) {
    PluginRequestRecord request = Request(function, path);
    request.contentType = values.Keep(contentType);
    const PluginValue bytes = values.Bytes(body);
    request.body = static_cast<const uint8_t*>(bytes.payload.span.data);
    request.bodyLength = static_cast<uint32_t>(body.size());
    return request;
}

Hostile::Answer HostileCore::Call(const Function& function, const PluginRequestRecord& request) {
    PluginResponseRecord response{};
    function.dispatch(&response, &request);
    Hostile::Answer answer;
    answer.status = response.status;
    answer.errorFlag = response.errorFlag;
    const char* const errorText = response.errorText;
    answer.hasErrorText = errorText != nullptr;
    if (errorText) answer.error = errorText;
    if ((errorText != nullptr) != (answer.errorFlag == 1))
        throw std::runtime_error("a response whose error flag disagrees with its error text");
    answer.value = Render(response.result);
    const char* const text = response.text;
    if (text) answer.text = text;
    const PluginHeaderPair* const headers = response.headers;
    for (uint32_t i = 0; i < response.headerCount; ++i) answer.headers.emplace_back(headers[i].name, headers[i].value);
    const PluginResponseFree free = response.free;
    if (!free) throw std::runtime_error("a response without a free routine");
    free(&response);
    const PluginResponseRecord zero{};
    if (std::memcmp(&response, &zero, sizeof(response)) != 0)
        throw std::runtime_error("a response record its free routine left filled");
    return answer;
}

Hostile::Answer HostileCore::Call(const Function& function, std::string_view path) {
    return Call(function, Request(function, path));
}

Hostile::Answer HostileCore::Call(const Function& function, std::string_view path, std::string_view contentType,
                                  std::string_view body) {
    return Call(function, Request(function, path, contentType, body));
}

std::vector<std::string> HostileCore::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<LogLine> HostileCore::Logs() const {
    std::lock_guard lock(mutex_);
    return logs_;
}

std::vector<SentEvent> HostileCore::Events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::vector<Subscription> HostileCore::Subscriptions() const {
    std::lock_guard lock(mutex_);
    return subscriptions_;
}

size_t HostileCore::CountCalls(std::string_view prefix) const {
    std::lock_guard lock(mutex_);
    size_t count = 0;
    for (const std::string& call : calls_) count += call.starts_with(prefix) ? 1 : 0;
    return count;
}

void HostileCore::ClearRecords() {
    std::lock_guard lock(mutex_);
    calls_.clear();
    logs_.clear();
    events_.clear();
}

}  // namespace Hostile
