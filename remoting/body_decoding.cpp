#include "remoting/body_decoding.h"

#include <cstring>
#include <string_view>

#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "formats/yaml_reader.h"

namespace Zarvo {
namespace {

enum class BodyCodec { Refused, MessagePack, Json, Yaml };

bool StartsWithIgnoringCase(const char* text, std::string_view prefix) noexcept {
    for (char expected : prefix) {
        char byte = *text++;
        if (byte >= 'A' && byte <= 'Z') byte = static_cast<char>(byte - 'A' + 'a');
        if (byte != expected) return false;  // also at the text's end, since no prefix holds a NUL
    }
    return true;
}

BodyCodec CodecOf(const char* contentType, const uint8_t* body, size_t length) noexcept {
    if (!contentType || !*contentType) {
        return LooksLikeMessagePack(body, length) ? BodyCodec::MessagePack : BodyCodec::Refused;
    }
    // Checked first, so that every type beginning with it (application/x-msgpack-ext) is MessagePack.
    if (StartsWithIgnoringCase(contentType, "application/x-msgpack")) return BodyCodec::MessagePack;
    if (StartsWithIgnoringCase(contentType, "application/json")) return BodyCodec::Json;
    if (StartsWithIgnoringCase(contentType, "application/vnd.api+json")) return BodyCodec::Json;
    if (StartsWithIgnoringCase(contentType, "application/x-yaml")) return BodyCodec::Yaml;
    return BodyCodec::Refused;
}

BindingResult Failure(std::string_view message) {
    BindingResult result;
    result.SetError(message);
    return result;
}

// Text bodies end at their first zero byte or at their length, whichever comes first.
std::string_view BodyText(const uint8_t* body, size_t length) noexcept {
    const auto* text = reinterpret_cast<const char*>(body);
    const void* zero = std::memchr(text, 0, length);
    return {text, zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : length};
}

}  // namespace

bool TakesContentType(const char* contentType) noexcept {
    return contentType && *contentType && CodecOf(contentType, nullptr, 0) != BodyCodec::Refused;
}

BindingResult DecodeBody(const char* contentType, const uint8_t* body, size_t length) {
    switch (CodecOf(contentType, body, length)) {
        case BodyCodec::MessagePack: {
            size_t consumed = 0;
            BindingResult decoded = DecodeMessagePack(body, length, consumed);
            if (decoded.ok && consumed < length) return Failure("Extra MessgePack data found in body");
            return decoded;
        }
        case BodyCodec::Json:
            return ParseJson(BodyText(body, length));
        case BodyCodec::Yaml:
            return ReadYaml(BodyText(body, length));
        case BodyCodec::Refused:
            break;
    }
    return Failure("Unsupported body content type");
}

}  // namespace Zarvo
