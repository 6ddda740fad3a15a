#include "devcore/stored_value.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "formats/yaml_reader.h"

namespace Zarvo::DevCore {
namespace {

std::string MediaType(std::string_view contentType) {
    std::string_view type = contentType.substr(0, contentType.find(';'));
    while (!type.empty() && (type.front() == ' ' || type.front() == '\t')) type.remove_prefix(1);
    while (!type.empty() && (type.back() == ' ' || type.back() == '\t')) type.remove_suffix(1);
    std::string lower(type);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

BindingResult Refusal(const std::string& message) {
    BindingResult result;
    result.SetError(message);
    return result;
}

}  // namespace

StoredValueFormat StoredValueFormatOf(std::string_view contentType) {
    const std::string type = MediaType(contentType);
    if (type == "application/json" || (type.starts_with("application/") && type.ends_with("+json")))
        return StoredValueFormat::Json;
    if (type == "application/yaml" || type == "application/x-yaml" || type == "text/yaml" || type == "text/x-yaml")
        return StoredValueFormat::Yaml;
    if (type == "application/msgpack" || type == "application/x-msgpack" || type == "application/vnd.msgpack")
        return StoredValueFormat::MessagePack;
    return StoredValueFormat::Refused;
}

BindingResult ReadStoredValue(StoredValueFormat format, std::string_view body) {
    if (format == StoredValueFormat::MessagePack) {
        size_t consumed = 0;
        BindingResult value = DecodeMessagePack(reinterpret_cast<const uint8_t*>(body.data()), body.size(), consumed);
        if (value.ok && consumed < body.size())
            return Refusal("The body holds more than one MessagePack value: the first ends at byte " +
                           std::to_string(consumed));
        return value;
    }
    if (const size_t zero = body.find('\0'); zero != std::string_view::npos)
        return Refusal("The body holds a zero byte at byte " + std::to_string(zero) + ": it is not text");
    if (format == StoredValueFormat::Json) return ParseJson(body);
    if (format == StoredValueFormat::Yaml) return ReadYaml(body);
    return Refusal("Unsupported body content type");
}

}  // namespace Zarvo::DevCore
