#include "remoting/argument_text.h"

#include <cstdint>

#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "formats/yaml_reader.h"
#include "platform/format.h"

namespace Zarvo {
namespace {

enum class TextFormat { Plain, MessagePack, Json, Yaml };

// A map or array header: fixmap, fixarray, array 16/32, map 16/32.
bool StartsWithMessagePackHeader(std::string_view text) noexcept {
    if (text.empty()) return false;
    const auto first = static_cast<uint8_t>(text.front());
    return (first >= 0x80 && first <= 0x9F) || (first >= 0xDC && first <= 0xDF);
}

TextFormat Sniff(std::string_view text) noexcept {
    if (StartsWithMessagePackHeader(text)) return TextFormat::MessagePack;
    const size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) return TextFormat::Plain;
    const std::string_view rest = text.substr(start);
    if (rest.front() == '{' || rest.front() == '[') return TextFormat::Json;
    if (rest.starts_with("---")) return TextFormat::Yaml;
    return TextFormat::Plain;
}

BindingResult Decode(TextFormat format, std::string_view text) {
    switch (format) {
        case TextFormat::MessagePack: {
            size_t consumed = 0;
            return DecodeMessagePack(reinterpret_cast<const uint8_t*>(text.data()), text.size(), consumed);
        }
        case TextFormat::Json:
            return ParseJson(text);
        default:
            // The document marker must open the text for the YAML reader: the blanks before it are left out.
            return ReadYaml(text.substr(text.find_first_not_of(' ')));
    }
}

const char* FailureMessage(TextFormat format) noexcept {
    switch (format) {
        case TextFormat::MessagePack: return "Couldn't deserialize MessagePack value for parameter '%1' of '%2': %3";
        case TextFormat::Json: return "Couldn't deserialize JSON value for parameter '%1' of '%2': %3";
        default: return "Couldn't deserialize YAML value for parameter '%1' of '%2': %3";
    }
}

}  // namespace

void DecodeArgumentText(BindingResult& response, BindingProperty& node, std::string_view text, bool sniff,
                        std::string_view parameter, std::string_view functionName) {
    const TextFormat format = sniff ? Sniff(text) : TextFormat::Plain;
    if (format == TextFormat::Plain) {
        node.SetString(text);
        return;
    }
    BindingResult decoded = Decode(format, text);
    if (decoded.ok) {
        node = std::move(decoded.value);
    } else {
        response.SetError(FormatString(FailureMessage(format), parameter, functionName, decoded.ErrorMessage()));
    }
}

}  // namespace Zarvo
