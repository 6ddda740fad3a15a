#include "devcore/story_text.h"

#include "devcore/json_text.h"

namespace Zarvo::DevCore {

std::string LogLevelName(int32_t level) {
    switch (level) {
        case 0: return "OKAY";
        case 1: return "WARN";
        case 2: return "ERROR";
        case 3: return "ALWAYS";
        default: return std::to_string(level);
    }
}

std::string ValueForStory(const BindingProperty& value, size_t limit) {
    std::string text = ToJsonText(value);
    if (text.size() > limit) {
        // Cut before a UTF-8 continuation byte, never inside a character.
        size_t cut = limit;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text.resize(cut);
        text += "...";
    }
    return text;
}

std::string EventPayloadForStory(const BindingProperty& payload) {
    const BindingProperty& uri = payload.Child("uri");
    const BindingProperty& eventType = payload.Child("eventType");
    const bool isResourceEvent = payload.GetKind() == BindingProperty::Kind::Structure && payload.Size() == 3 &&
                                 uri.GetKind() == BindingProperty::Kind::String && !eventType.IsEmpty() &&
                                 payload.HasChild("data");
    if (!isResourceEvent) return ValueForStory(payload);
    const std::string type = eventType.GetKind() == BindingProperty::Kind::String ? std::string(eventType.GetString())
                                                                                   : ToJsonText(eventType);
    return type + " " + std::string(uri.GetString()) + " " + ValueForStory(payload.Child("data"));
}

std::string BodyForStory(std::string_view body, std::string_view contentType) {
    constexpr size_t kLimit = 400;
    std::string shown;
    bool isText = !contentType.starts_with("application/x-msgpack");
    for (char c : body.substr(0, isText ? kLimit : 0)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            shown += "\\n";
        } else if (c == '\r' || c == '\t' || byte >= 0x20) {
            shown += c;
        } else {
            isText = false;
            break;
        }
    }
    if (!isText) {
        shown = "<" + std::to_string(body.size()) + " bytes>";
    } else if (body.size() > kLimit) {
        shown += "...";
    }
    const bool isJson = contentType.empty() || contentType.starts_with("application/json");
    return isJson ? shown : "(" + std::string(contentType) + ") " + shown;
}

std::string CallResultForStory(const CallResult& result) {
    if (!result.error.empty()) {
        BindingProperty error;
        error.ChildForWrite("error").SetString(result.error);
        return std::to_string(result.status) + " " + ValueForStory(error);
    }
    if (result.stream && result.value.IsEmpty())
        return std::to_string(result.status) + " (a streamed body of " + std::to_string(result.streamed.size()) +
               " bytes)";
    return std::to_string(result.status) + " " + ValueForStory(result.value);
}

}  // namespace Zarvo::DevCore
