#include "devcore/scenario_value.h"

#include "formats/json_reader.h"

namespace Zarvo::DevCore {
namespace {

void SetScalar(BindingProperty& value, const YamlNode& node) {
    if (node.IsNull()) return;
    if (node.plain) {
        BindingResult json = ParseJson(node.text);
        const BindingProperty::Kind kind = json.value.GetKind();
        if (json.ok && kind != BindingProperty::Kind::String && kind != BindingProperty::Kind::Collection &&
            kind != BindingProperty::Kind::Structure) {
            value = std::move(json.value);
            return;
        }
    }
    value.SetString(node.text);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

BindingProperty ToProperty(const YamlNode& node) {
    BindingProperty value;
    switch (node.kind) {
        case YamlNode::Kind::Scalar: SetScalar(value, node); break;
        case YamlNode::Kind::Sequence:
            value.MakeCollection();
            for (size_t i = 0; i < node.items.size(); ++i) value.Element(i) = ToProperty(node.items[i]);
            break;
        case YamlNode::Kind::Mapping:
            value.MakeStructure();
            for (size_t i = 0; i + 1 < node.items.size(); i += 2)
                value.ChildForWrite(node.items[i].text) = ToProperty(node.items[i + 1]);
            break;
    }
    return value;
}

bool ReadHexBytes(const YamlNode& node, std::string& bytes, ScenarioError& error) {
    auto fail = [&](std::string message) {
        error = {node.position, std::move(message)};
        return false;
    };
    if (node.kind != YamlNode::Kind::Scalar) return fail("expected bytes in hex, like \"82 a1 61 05\", got " +
                                                          std::string(node.KindName()));
    bytes.clear();
    const std::string& text = node.text;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == ' ' || text[i] == '\n' || text[i] == '\t') {
            ++i;
            continue;
        }
        const int high = HexDigit(text[i]);
        const int low = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
        if (high < 0 || low < 0)
            return fail("expected bytes in hex, like \"82 a1 61 05\": \"" + text.substr(i, 2) +
                        "\" is not a pair of hex digits");
        bytes += static_cast<char>(high << 4 | low);
        i += 2;
    }
    return true;
}

}  // namespace Zarvo::DevCore
