#include "devcore/json_text.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cmath>
#include <span>
#include <vector>

namespace Zarvo::DevCore {
namespace {

std::string EncodeBase64(std::span<const uint8_t> bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t left = bytes.size() - i;
        const uint32_t group = bytes[i] << 16 | (left > 1 ? bytes[i + 1] << 8 : 0) | (left > 2 ? bytes[i + 2] : 0);
        text += kAlphabet[group >> 18 & 63];
        text += kAlphabet[group >> 12 & 63];
        text += left > 1 ? kAlphabet[group >> 6 & 63] : '=';
        text += left > 2 ? kAlphabet[group & 63] : '=';
    }
    return text;
}

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

void WriteLeaf(Writer& writer, const BindingProperty& node) {
    using Kind = BindingProperty::Kind;
    switch (node.GetKind()) {
        case Kind::Bool: writer.Bool(node.GetBool(false)); break;
        case Kind::Signed: writer.Int64(node.GetSigned(0)); break;
        case Kind::Unsigned: writer.Uint64(node.GetUnsigned(0)); break;
        case Kind::Float:
            if (std::isfinite(node.GetDouble(0)))
                writer.Double(node.GetDouble(0));
            else
                writer.Null();
            break;
        case Kind::String: {
            const std::string_view text = node.GetString();
            writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
            break;
        }
        case Kind::Blob: {
            const std::string text = EncodeBase64(node.GetBlob());
            writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
            break;
        }
        case Kind::Enum: writer.Int(node.EnumValue()); break;
        default: writer.Null(); break;
    }
}

// Walks the tree with a stack of its own, so that no depth of nesting exhausts the call stack.
void WriteTree(Writer& writer, const BindingProperty& root) {
    struct Open {
        const BindingProperty* node;
        size_t next = 0;                           // Collection: the index of the next element
        PropertyStructure::const_iterator member;  // Structure: the next member
    };
    std::vector<Open> open;
    auto enter = [&](const BindingProperty& node) {
        using Kind = BindingProperty::Kind;
        if (node.GetKind() == Kind::Collection) {
            writer.StartArray();
            open.push_back({&node, 0, {}});
        } else if (node.GetKind() == Kind::Structure) {
            writer.StartObject();
            open.push_back({&node, 0, node.Members().begin()});
        } else {
            WriteLeaf(writer, node);
        }
    };
    enter(root);
    while (!open.empty()) {
        Open& top = open.back();
        if (top.node->GetKind() == BindingProperty::Kind::Collection) {
            if (top.next == top.node->Size()) {
                open.pop_back();
                writer.EndArray();
            } else {
                enter(top.node->At(top.next++));
            }
        } else if (top.member == top.node->Members().end()) {
            open.pop_back();
            writer.EndObject();
        } else {
            const auto& [key, child] = *top.member++;
            writer.Key(key.View().data(), static_cast<rapidjson::SizeType>(key.View().size()));
            enter(child);
        }
    }
}

}  // namespace

std::string ToJsonText(const BindingProperty& value) {
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    WriteTree(writer, value);
    return {buffer.GetString(), buffer.GetSize()};
}

}  // namespace Zarvo::DevCore
