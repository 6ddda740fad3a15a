#include "devcore/test_core.h"

#include <algorithm>
#include <cstring>

#include "formats/plugin_value.h"
#include "platform/allocation.h"

namespace Zarvo::DevCore {
namespace {

// The body of one streamed answer, handed out a chunk per read.
struct Stream {
    StreamScript script;
    TestCore* core;
    size_t next = 0;
    size_t offset = 0;  // within the current chunk, when a read's buffer was smaller than the chunk
    int reads = 0;

    bool Ended() const { return next >= script.chunks.size(); }
    // Moves past a chunk that was handed out whole; the last one stays when it repeats.
    void FinishChunk() {
        offset = 0;
        if (!(script.repeatLast && next + 1 == script.chunks.size())) ++next;
    }
};

uint8_t KIV_CDECL ReadStream(void* object, uint8_t* buffer, uint32_t* count, uint8_t* moreToCome) {
    auto& stream = *static_cast<Stream*>(object);
    const int read = stream.reads++;
    ++stream.core->streamReads;
    const uint32_t room = *count;
    uint32_t written = 0;
    if (read != stream.script.failingRead && !stream.Ended()) {
        const std::string& chunk = stream.script.chunks[stream.next];
        written = static_cast<uint32_t>(std::min<size_t>(room, chunk.size() - stream.offset));
        std::memcpy(buffer, chunk.data() + stream.offset, written);
        stream.offset += written;
        if (stream.offset == chunk.size()) stream.FinishChunk();
    }
    stream.core->calls.push_back("StreamRead " + std::to_string(written));
    if (read == stream.script.failingRead) return 0;
    *count = read == stream.script.overReportingRead ? room + 1 : written;
    *moreToCome = !stream.Ended();
    return 1;
}

void KIV_CDECL ReleaseStream(void* object) {
    auto* stream = static_cast<Stream*>(object);
    ++stream->core->streamsReleased;
    stream->core->calls.push_back("StreamRelease");
    delete stream;
}

size_t freedResponses = 0;

void KIV_CDECL FreeResponse(PluginResponseRecord* response) {
    ++freedResponses;
    ClearPluginValue(response->result);
    Release(response->errorText);
    *response = PluginResponseRecord{};
}

}  // namespace

TestCore::TestCore()
    : table_{{SendRequest, nullptr, SendEvent, SubscribeEvent, UnsubscribeEvent, nullptr, Yield, BeginWait, EndWait,
              WriteLog},
             this} {}

TestCore::~TestCore() = default;

size_t TestCore::FreedResponses() { return freedResponses; }

TestCore& TestCore::From(const PluginCoreApi* api) {
    return *reinterpret_cast<const ApiTable*>(api)->core;
}

void TestCore::SetValue(std::string url, const BindingProperty& value) {
    ResourceAnswer answer;
    answer.value = value;
    resources_[std::move(url)] = std::move(answer);
}

void TestCore::SetStream(std::string url, std::vector<std::string> chunks, int failingRead) {
    SetStream(std::move(url), StreamScript{std::move(chunks), failingRead});
}

void TestCore::SetStream(std::string url, StreamScript script) {
    ResourceAnswer answer;
    answer.kind = ResourceAnswer::Kind::Stream;
    answer.stream = std::move(script);
    resources_[std::move(url)] = std::move(answer);
}

void TestCore::SetError(std::string url, uint32_t status, std::string error) {
    ResourceAnswer answer;
    answer.kind = ResourceAnswer::Kind::Error;
    answer.status = status;
    answer.error = std::move(error);
    resources_[std::move(url)] = std::move(answer);
}

void TestCore::SetInvalidValue(std::string url, uint32_t kind) {
    ResourceAnswer answer;
    answer.kind = ResourceAnswer::Kind::InvalidValue;
    answer.invalidKind = kind;
    resources_[std::move(url)] = std::move(answer);
}

void TestCore::Remove(const std::string& url) { resources_.erase(url); }

size_t TestCore::Deliver(std::string_view eventName, const BindingProperty& payload, const BindingRegistry* registry) {
    // Copy first: a callback may subscribe or unsubscribe.
    std::vector<Subscription> targets;
    for (const Subscription& s : subscriptions)
        if (s.name == eventName) targets.push_back(s);
    std::string name(eventName);
    for (const Subscription& s : targets) {
        PluginEventRecord record{name.c_str(), {}, 0, s.context};
        ToPluginValue(record.payload, payload, registry);
        s.callback(&record);
        ClearPluginValue(record.payload);
    }
    return targets.size();
}

bool TestCore::IsSubscribed(std::string_view eventName) const {
    return std::any_of(subscriptions.begin(), subscriptions.end(),
                       [&](const Subscription& s) { return s.name == eventName; });
}

void KIV_CDECL TestCore::SendRequest(const PluginCoreApi* api, PluginResponseRecord* response,
                                     const PluginRequestRecord* request) {
    TestCore& core = From(api);
    std::string url = request->path ? request->path : "";
    SentRequest sent{request->method, url, request->requestId, {}};
    const PluginArgumentItem* const items = request->items;
    for (uint32_t index = 0; index < request->itemCount; ++index) {
        const PluginArgumentItem& item = items[index];
        const char* const name = item.name;
        SentArgument& argument = sent.arguments.emplace_back();
        argument.name = name ? name : "";
        std::string error;
        FromPluginValue(error, argument.value, item.value, argument.name);
    }
    core.requests.push_back(std::move(sent));
    core.calls.push_back("SendRequest " + url);
    *response = PluginResponseRecord{};
    response->free = FreeResponse;
    auto found = core.resources_.find(url);
    if (found == core.resources_.end()) {
        response->errorText = Duplicate("Not found");
        response->errorFlag = 1;
        response->status = 404;
        return;
    }
    const ResourceAnswer& answer = found->second;
    response->status = answer.status;
    switch (answer.kind) {
        case ResourceAnswer::Kind::Value:
            ToPluginValue(response->result, answer.value, nullptr);
            break;
        case ResourceAnswer::Kind::Stream: {
            size_t length = 0;
            for (const std::string& chunk : answer.stream.chunks) length += chunk.size();
            response->stream = new Stream{answer.stream, &core};
            response->streamRead = ReadStream;
            response->streamRelease = ReleaseStream;
            response->streamLength = static_cast<uint32_t>(length);
            break;
        }
        case ResourceAnswer::Kind::InvalidValue:
            response->result.kind = answer.invalidKind;
            break;
        case ResourceAnswer::Kind::Error:
            response->errorText = Duplicate(answer.error.c_str());
            response->errorFlag = 1;
            break;
    }
}

void KIV_CDECL TestCore::SendEvent(const PluginCoreApi* api, const PluginEventRecord* event) {
    TestCore& core = From(api);
    SentEvent sent{event->name ? event->name : "", {}};
    std::string error;
    FromPluginValue(error, sent.payload, event->payload, "<event>");
    core.calls.push_back("SendEvent " + sent.name);
    core.events.push_back(std::move(sent));
}

void KIV_CDECL TestCore::SubscribeEvent(const PluginCoreApi* api, const char* name, uint32_t pluginHandle,
                                        PluginEventCallback callback, void* context, uint32_t kind) {
    TestCore& core = From(api);
    core.calls.push_back("SubscribeEvent " + std::string(name) + " " + std::to_string(kind));
    core.subscriptions.push_back({name, pluginHandle, callback, context, kind});
}

void KIV_CDECL TestCore::UnsubscribeEvent(const PluginCoreApi* api, const char* name, uint32_t pluginHandle) {
    TestCore& core = From(api);
    core.calls.push_back("UnsubscribeEvent " + std::string(name));
    std::erase_if(core.subscriptions,
                  [&](const Subscription& s) { return s.name == name && s.pluginHandle == pluginHandle; });
}

void KIV_CDECL TestCore::Yield(const PluginCoreApi* api) { From(api).calls.push_back("Yield"); }

void KIV_CDECL TestCore::BeginWait(const PluginCoreApi* api, const char* label, uint32_t zero) {
    From(api).calls.push_back("BeginWait " + std::string(label ? label : "") + " " + std::to_string(zero));
}

void KIV_CDECL TestCore::EndWait(const PluginCoreApi* api) { From(api).calls.push_back("EndWait"); }

void KIV_CDECL TestCore::WriteLog(const PluginCoreApi* api, int32_t level, const char* text) {
    From(api).logs.push_back({level, text ? text : ""});
}

}  // namespace Zarvo::DevCore
