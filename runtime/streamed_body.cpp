#include "runtime/streamed_body.h"

#include <algorithm>
#include <string>

#include "formats/json_reader.h"
#include "platform/format.h"
#include "runtime/plugin.h"

namespace Zarvo::Client {
namespace {

class StreamReleaseGuard {
public:
    StreamReleaseGuard(PluginStreamRelease release, void* stream) : release_(release), stream_(stream) {}
    StreamReleaseGuard(const StreamReleaseGuard&) = delete;
    StreamReleaseGuard& operator=(const StreamReleaseGuard&) = delete;
    ~StreamReleaseGuard() {
        if (release_) release_(stream_);
    }

private:
    PluginStreamRelease release_;
    void* stream_;
};

BindingResult Failure(std::string_view message) {
    BindingResult result;
    result.SetError(message);
    return result;
}

}  // namespace

BindingResult ReadStreamedBody(Plugin& plugin, const PluginResponseRecord& response) {
    const PluginStreamRead read = response.streamRead;
    void* const stream = response.stream;
    const uint32_t expectedLength = response.streamLength;
    std::string text;
    {
        StreamReleaseGuard release(response.streamRelease, stream);
        if (expectedLength > 15) text.reserve(std::min<size_t>(expectedLength, kMaxStreamedBodySize));
        uint8_t buffer[kStreamReadSize];
        uint8_t moreToCome = 1;
        uint32_t waits = 0;
        for (;;) {
            uint32_t count = kStreamReadSize;
            if (!read(stream, buffer, &count, &moreToCome) || count > kStreamReadSize)
                return Failure("Stream read error");
            if (count > kMaxStreamedBodySize - text.size())
                return Failure(FormatString("Streamed body exceeds %1 bytes", kMaxStreamedBodySize));
            text.append(reinterpret_cast<const char*>(buffer), count);
            if (!moreToCome) break;
            if (count < kStreamReadSize) {
                if (waits++ == kMaxStreamWaits)
                    return Failure(FormatString("Streamed body did not end after %1 waits", kMaxStreamWaits));
                plugin.Wait();
            }
        }
    }
    return ParseJson(text);
}

}  // namespace Zarvo::Client
