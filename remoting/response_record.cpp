#include "remoting/response_record.h"

#include <cstring>
#include <new>

#include "formats/plugin_value_block.h"
#include "platform/allocation.h"

namespace Zarvo {

const char kEmptyResponseText[] = "";

namespace {

// A NUL-terminated heap copy the core can release with the record; null when out of memory.
char* CopyText(std::string_view text) noexcept {
    auto* copy = static_cast<char*>(Allocate(text.size() + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

char* CopyTextOrThrow(std::string_view text) {
    char* copy = CopyText(text);
    if (!copy) throw std::bad_alloc();
    return copy;
}

uint8_t KIV_CDECL ReadStream(void* stream, uint8_t* buffer, uint32_t* count, uint8_t* moreToCome) {
    try {
        return static_cast<RemotingStream*>(stream)->Read(buffer, count, moreToCome) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

void KIV_CDECL ReleaseStream(void* stream) { delete static_cast<RemotingStream*>(stream); }

void WriteHeaders(PluginResponseRecord& record, const TextMap& headers) {
    if (headers.empty()) return;
    auto* pairs = static_cast<PluginHeaderPair*>(AllocateOrThrow(headers.size() * sizeof(PluginHeaderPair)));
    std::memset(pairs, 0, headers.size() * sizeof(PluginHeaderPair));
    // The array is in the record before it is filled, so a failure midway leaves nothing the free routine misses.
    record.headers = pairs;
    record.headerCount = static_cast<uint32_t>(headers.size());
    for (const auto& [name, value] : headers) {
        pairs->name = CopyTextOrThrow(name);
        pairs->value = CopyTextOrThrow(value);
        ++pairs;
    }
}

}  // namespace

void KIV_CDECL FreeResponseRecord(PluginResponseRecord* record) {
    if (!record) return;
    ReleasePluginValueBlock(record->result);
    if (record->errorFlag) Release(record->errorText);
    if (record->text != kEmptyResponseText) Release(const_cast<char*>(record->text));
    PluginHeaderPair* pairs = record->headers;
    for (uint32_t i = 0; pairs && i < record->headerCount; ++i) {
        Release(const_cast<char*>(pairs[i].name));
        Release(const_cast<char*>(pairs[i].value));
    }
    Release(pairs);
    std::memset(static_cast<void*>(record), 0, sizeof(PluginResponseRecord));
}

void ComposeResponseRecord(PluginResponseRecord& record, RemotingResponse& response, const BindingRegistry* registry) {
    if (!response.ok) {
        record.errorText = CopyTextOrThrow(response.ErrorMessage());
        record.errorFlag = 1;
    } else {
        WritePluginValueBlock(record.result, response.value, registry);
    }
    record.outputFlag = response.outputFlag;
    record.outputFormat = response.outputFormat >= 1 && response.outputFormat <= 3 ? response.outputFormat : 0;
    record.status = response.status;
    record.text = response.text.empty() ? kEmptyResponseText : CopyTextOrThrow(response.text);
    WriteHeaders(record, response.headers);
    if (response.stream) {
        record.streamLength = response.stream->Length();
        record.reserved = 0;
        record.streamRead = ReadStream;
        record.streamRelease = ReleaseStream;
        record.stream = response.stream.release();
    }
}

void ComposeFailureRecord(PluginResponseRecord& record, uint32_t status, std::string_view message) noexcept {
    FreeResponseRecord(&record);
    record.free = FreeResponseRecord;
    record.errorText = CopyText(message);
    record.errorFlag = record.errorText ? 1 : 0;
    record.status = status;
    record.text = kEmptyResponseText;
}

}  // namespace Zarvo
