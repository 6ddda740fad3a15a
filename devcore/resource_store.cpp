// The resource store that plays the other plugins: how it answers requests, and the events of its changes.
#include <algorithm>
#include <cstring>

#include "devcore/core_value_writer.h"
#include "devcore/event_name.h"
#include "devcore/plugin_call_watch.h"
#include "devcore/story_text.h"
#include "devcore/test_core.h"
#include "formats/json_reader.h"
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
    const CoreEntryScope crossing;
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
    const CoreEntryScope crossing;
    auto* stream = static_cast<Stream*>(object);
    ++stream->core->streamsReleased;
    stream->core->calls.push_back("StreamRelease");
    delete stream;
}

size_t freedResponses = 0;

const char kNoText[] = "";

// Frees what the core put in a response record it answered a plugin's request with.
void KIV_CDECL FreeResponse(PluginResponseRecord* response) {
    const CoreEntryScope crossing;
    ++freedResponses;
    FreeCoreValue(response->result);
    Release(response->errorText);
    if (response->text != kNoText) Release(const_cast<char*>(response->text));
    PluginHeaderPair* const headers = response->headers;
    for (uint32_t i = 0; headers && i < response->headerCount; ++i) {
        Release(const_cast<char*>(headers[i].name));
        Release(const_cast<char*>(headers[i].value));
    }
    Release(headers);
    *response = PluginResponseRecord{};
}

void SetStreamAnswer(PluginResponseRecord& response, TestCore* core, const StreamScript& script) {
    size_t length = 0;
    for (const std::string& chunk : script.chunks) length += chunk.size();
    response.stream = new Stream{script, core};
    response.streamRead = ReadStream;
    response.streamRelease = ReleaseStream;
    response.streamLength = static_cast<uint32_t>(length);
}

std::string Joined(const std::vector<std::string>& chunks) {
    std::string text;
    for (const std::string& chunk : chunks) text += chunk;
    return text;
}

}  // namespace

size_t TestCore::FreedResponses() { return freedResponses; }

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

void TestCore::Put(std::string uri, const BindingProperty& value, std::string_view eventType) {
    Store("PUT", std::move(uri), value, eventType);
}

void TestCore::Post(std::string uri, const BindingProperty& value) { Store("POST", std::move(uri), value, "Create"); }

void TestCore::Store(std::string_view method, std::string uri, const BindingProperty& value,
                     std::string_view eventType) {
    Entry entry(*this);
    Tell("> " + std::string(method) + " " + uri + " " + ValueForStory(value));
    if (eventType.empty()) eventType = IsStored(uri) ? "Update" : "Create";
    SetValue(uri, value);
    DeliverResourceEvent(uri, eventType, value);
}

bool TestCore::Delete(const std::string& uri) {
    Entry entry(*this);
    Tell("> DELETE " + uri);
    if (resources_.erase(uri) == 0) {
        Tell("  (not stored: no event)");
        return false;
    }
    DeliverResourceEvent(uri, "Delete", BindingProperty());
    return true;
}

void TestCore::DeliverResourceEvent(const std::string& uri, std::string_view eventType, const BindingProperty& data) {
    BindingProperty payload;
    payload.ChildForWrite("uri").SetString(uri);
    payload.ChildForWrite("eventType").SetString(eventType);
    payload.ChildForWrite("data") = data;
    const std::string name = EventNameForUri(uri);
    const size_t subscribers = std::count_if(subscriptions.begin(), subscriptions.end(),
                                             [&](const Subscription& s) { return s.name == name; });
    Tell("  deliver " + name + " " + std::string(eventType) + " to " + std::to_string(subscribers) +
         (subscribers == 1 ? " subscriber" : " subscribers"));
    DeliverEvent(name, payload, 0);
}

CallResult TestCore::Fetch(const std::string& uri) {
    Tell("> GET " + uri);
    CallResult result = FetchQuietly(uri);
    Tell("< " + CallResultForStory(result));
    return result;
}

CallResult TestCore::FetchQuietly(const std::string& uri) const {
    CallResult result;
    const auto found = resources_.find(uri);
    if (found == resources_.end()) {
        result.status = 404;
        result.error = "Not found";
        return result;
    }
    const ResourceAnswer& answer = found->second;
    result.routed = true;
    result.status = result.recordStatus = answer.status;
    switch (answer.kind) {
        case ResourceAnswer::Kind::Value:
            result.value = answer.value;
            break;
        case ResourceAnswer::Kind::Stream: {
            result.stream = true;
            result.streamed = Joined(answer.stream.chunks);
            BindingResult parsed = ParseJson(result.streamed);
            if (parsed.ok) result.value = std::move(parsed.value);
            break;
        }
        case ResourceAnswer::Kind::Error:
            result.error = answer.error;
            break;
        case ResourceAnswer::Kind::InvalidValue:
            result.status = 500;
            result.error = "The resource answers a value of kind " + std::to_string(answer.invalidKind);
            break;
    }
    return result;
}

std::string TestCore::AnswerFromStore(PluginResponseRecord& response, const std::string& url) {
    response = PluginResponseRecord{};
    response.free = FreeResponse;
    response.text = kNoText;
    const auto found = resources_.find(url);
    if (found == resources_.end()) {
        response.errorText = Duplicate("Not found");
        response.errorFlag = 1;
        response.status = 404;
        return "404 Not found";
    }
    const ResourceAnswer& answer = found->second;
    response.status = answer.status;
    switch (answer.kind) {
        case ResourceAnswer::Kind::Value:
            WriteCoreValue(response.result, answer.value);
            return std::to_string(answer.status) + " " + ValueForStory(answer.value, 160);
        case ResourceAnswer::Kind::Stream: {
            SetStreamAnswer(response, this, answer.stream);
            const uint32_t length = response.streamLength;
            return std::to_string(answer.status) + ", a stream of " + std::to_string(length) + " bytes";
        }
        case ResourceAnswer::Kind::InvalidValue:
            response.result.kind = answer.invalidKind;
            return std::to_string(answer.status) + ", a value of kind " + std::to_string(answer.invalidKind);
        case ResourceAnswer::Kind::Error:
            response.errorText = Duplicate(answer.error.c_str());
            response.errorFlag = 1;
            return std::to_string(answer.status) + " " + answer.error;
    }
    return {};
}

void TestCore::AnswerFromCall(PluginResponseRecord& response, const CallResult& result) {
    response = PluginResponseRecord{};
    response.free = FreeResponse;
    response.text = kNoText;
    response.status = result.recordStatus;
    if (!result.error.empty()) {
        response.errorText = Duplicate(result.error.c_str());
        response.errorFlag = 1;
    } else if (result.stream) {
        StreamScript script;
        for (size_t at = 0; at < result.streamed.size(); at += 4096) script.chunks.push_back(result.streamed.substr(at, 4096));
        SetStreamAnswer(response, this, script);
    } else {
        WriteCoreValue(response.result, result.value);
    }
    if (!result.headers.empty()) {
        auto* pairs = static_cast<PluginHeaderPair*>(Allocate(result.headers.size() * sizeof(PluginHeaderPair)));
        for (size_t i = 0; i < result.headers.size(); ++i)
            pairs[i] = {Duplicate(result.headers[i].first.c_str()), Duplicate(result.headers[i].second.c_str())};
        response.headers = pairs;
        response.headerCount = static_cast<uint32_t>(result.headers.size());
    }
}

}  // namespace Zarvo::DevCore
