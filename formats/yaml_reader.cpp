#include "formats/yaml_reader.h"

#include <yaml.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/conversion.h"
#include "platform/format.h"

namespace Zarvo {
namespace {

constexpr const char* kStrTag = "tag:yaml.org,2002:str";
constexpr const char* kIntTag = "tag:yaml.org,2002:int";
constexpr const char* kFloatTag = "tag:yaml.org,2002:float";
constexpr const char* kBoolTag = "tag:yaml.org,2002:bool";

// Sequences and mappings may nest this deep. libyaml's scanner walks every open flow level for each token, so
// unbounded nesting costs time quadratic in the input; refusing the first start event past the bound stops the
// parser a fixed distance into such input.
constexpr size_t kMaxYamlDepth = 512;

// Aliases copy subtrees, so nested aliases could grow a small document exponentially: the nodes that aliases
// create are limited to this many per byte of input (and at least kMinAliasBudget).
constexpr size_t kAliasNodesPerInputByte = 16;
constexpr size_t kMinAliasBudget = 4096;

// Open nodes the reader makes room for at once: most documents nest no deeper.
constexpr size_t kReservedFrames = 16;

size_t AliasBudget(std::string_view text) { return std::max(kMinAliasBudget, text.size() * kAliasNodesPerInputByte); }

bool Equals(const yaml_char_t* text, const char* expected) {
    return text && std::strcmp(reinterpret_cast<const char*>(text), expected) == 0;
}

bool IsOneOf(std::string_view text, std::initializer_list<std::string_view> words) {
    for (std::string_view word : words)
        if (text == word) return true;
    return false;
}

bool IsTrueWord(std::string_view text) {
    return IsOneOf(text, {"true", "True", "TRUE", "y", "Y", "yes", "Yes", "YES", "on", "On", "ON"});
}

bool IsFalseWord(std::string_view text) {
    return IsOneOf(text, {"false", "False", "FALSE", "n", "N", "no", "No", "NO", "off", "Off", "OFF"});
}

// A plain number: strtod takes all of it and it is finite (or NaN). Whole values that fit a 64-bit integer are
// integers; other values stay Float.
bool SetPlainNumber(BindingProperty& node, const char* text, size_t length) {
    if (length == 0) return false;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (end != text + length || std::isinf(value)) return false;
    if (std::isnan(value) || std::trunc(value) != value) node.SetDouble(value);
    else if (value < 0 && value >= -9223372036854775808.0) node.SetSigned(static_cast<int64_t>(value));
    else if (value >= 0 && value < 18446744073709551616.0) node.SetUnsigned(static_cast<uint64_t>(value));
    else node.SetDouble(value);
    return true;
}

class YamlReader {
public:
    YamlReader(std::string_view text, BindingResult& result)
        : text_(text), result_(result), aliasBudget_(AliasBudget(text)) {
        yaml_parser_initialize(&parser_);
        yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
        yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(text.data()), text.size());
        frames_.reserve(kReservedFrames);
        ResetToRoot();
    }
    ~YamlReader() { yaml_parser_delete(&parser_); }

    void Run() {
        yaml_event_t event;
        bool parsed = yaml_parser_parse(&parser_, &event);
        while (parsed && result_.ok && event.type != YAML_STREAM_END_EVENT) {
            Handle(event);
            yaml_event_delete(&event);
            parsed = yaml_parser_parse(&parser_, &event);
        }
        if (parsed) yaml_event_delete(&event);
        if (result_.ok && parser_.error != YAML_NO_ERROR) {
            result_.SetError(FormatString("YAML parser error: %1. At line: %2 col: %3",
                                          parser_.problem ? parser_.problem : "unknown problem",
                                          static_cast<uint64_t>(parser_.problem_mark.line),
                                          static_cast<uint64_t>(parser_.problem_mark.column)));
        }
    }

private:
    struct Step {
        bool isKey;
        size_t index;
        std::string key;
    };
    struct Frame {
        BindingProperty* node;
        std::string anchor;  // the anchor this node defines, empty if none
    };
    struct Anchor {
        bool onKey;
        std::string keyText;
        std::vector<Step> path;  // from the root; the first step is the root itself
    };

    void ResetToRoot() {
        frames_.clear();
        frames_.push_back({&result_.value, {}});
        hasPendingKey_ = false;
    }

    void Fail(const char* format, const yaml_event_t& event) {
        result_.SetError(FormatString(format, Line(event), Column(event)));
    }
    void Fail(const char* format, std::string_view name, const yaml_event_t& event) {
        result_.SetError(FormatString(format, name, Line(event), Column(event)));
    }
    static uint64_t Line(const yaml_event_t& event) { return event.start_mark.line + 1; }
    static uint64_t Column(const yaml_event_t& event) { return event.start_mark.column + 1; }

    BindingProperty& Target() { return *frames_.back().node; }

    void Push(BindingProperty& node) { frames_.push_back({&node, {}}); }
    void Pop() { frames_.pop_back(); }

    // The way from the root to the current node, worked out from the open nodes when an anchor needs it: an element
    // lies at its offset among its sequence's elements, a value under the key of the member that holds it.
    std::vector<Step> CurrentPath() const {
        std::vector<Step> path(1, Step{false, 0, {}});
        for (size_t i = 1; i < frames_.size(); ++i) {
            const BindingProperty& parent = *frames_[i - 1].node;
            const BindingProperty* node = frames_[i].node;
            if (parent.GetKind() == BindingProperty::Kind::Collection) {
                path.push_back({false, static_cast<size_t>(node - parent.Elements().data()), {}});
                continue;
            }
            for (const auto& [key, child] : parent.Members()) {
                if (&child != node) continue;
                path.push_back({true, 0, std::string(key.View())});
                break;
            }
        }
        return path;
    }

    // Every node event first descends into a new element of an open sequence or the value of a pending key.
    void Descend(const yaml_event_t& event) {
        BindingProperty& target = Target();
        if (target.GetKind() == BindingProperty::Kind::Collection && event.type != YAML_SEQUENCE_END_EVENT) {
            Push(target.Element(target.Size()));
        } else if (target.GetKind() == BindingProperty::Kind::Structure && hasPendingKey_) {
            hasPendingKey_ = false;
            Push(target.ChildForWrite(pendingKey_));
        }
    }

    // Callers check for an anchor first: building the entry copies the path or the key.
    bool DefineAnchor(const yaml_char_t* name, Anchor anchor, const yaml_event_t& event) {
        std::string key(reinterpret_cast<const char*>(name));
        if (!anchors_.emplace(key, std::move(anchor)).second) {
            Fail("Duplicate occurrence of anchor \"%1\". At line: %2 col: %3", key, event);
            return false;
        }
        return true;
    }

    bool DefineNodeAnchor(const yaml_char_t* name, const yaml_event_t& event) {
        if (!name) return true;
        if (!DefineAnchor(name, {false, {}, CurrentPath()}, event)) return false;
        frames_.back().anchor = reinterpret_cast<const char*>(name);
        return true;
    }

    void Handle(const yaml_event_t& event) {
        switch (event.type) {
            case YAML_DOCUMENT_START_EVENT:
                if (!result_.value.IsEmpty()) return result_.SetError("Multi-document YAML is not supported.");
                return ResetToRoot();
            case YAML_SCALAR_EVENT: return Scalar(event);
            case YAML_SEQUENCE_START_EVENT:
                return StartContainer(event, event.data.sequence_start.anchor, false);
            case YAML_MAPPING_START_EVENT:
                return StartContainer(event, event.data.mapping_start.anchor, true);
            case YAML_SEQUENCE_END_EVENT:
            case YAML_MAPPING_END_EVENT:
                --openContainers_;
                Descend(event);
                return Pop();
            case YAML_ALIAS_EVENT: return Alias(event);
            default: return;
        }
    }

    void Scalar(const yaml_event_t& event) {
        Descend(event);
        const auto& scalar = event.data.scalar;
        std::string_view text(reinterpret_cast<const char*>(scalar.value), scalar.length);
        if (Target().GetKind() == BindingProperty::Kind::Structure) {
            if (scalar.tag && !Equals(scalar.tag, kStrTag))
                return Fail("Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: %2", event);
            if (scalar.anchor && !DefineAnchor(scalar.anchor, {true, std::string(text), {}}, event)) return;
            pendingKey_ = text;
            hasPendingKey_ = true;
            return;
        }
        if (!ConvertScalar(Target(), event, text) || !DefineNodeAnchor(scalar.anchor, event)) return;
        Pop();
    }

    bool ConvertScalar(BindingProperty& node, const yaml_event_t& event, std::string_view text) {
        const auto& scalar = event.data.scalar;
        const char* value = reinterpret_cast<const char*>(scalar.value);
        if (scalar.tag) {
            if (Equals(scalar.tag, kStrTag)) node.SetString(text);
            else if (Equals(scalar.tag, kIntTag)) SetTaggedInteger(node, text);
            else if (Equals(scalar.tag, kFloatTag)) SetTaggedFloat(node, text);
            else if (Equals(scalar.tag, kBoolTag)) {
                if (IsTrueWord(text)) node.SetBool(true);
                else if (IsFalseWord(text)) node.SetBool(false);
            } else {
                result_.SetError(FormatString("Unsupported YAML tag '%1'.", reinterpret_cast<const char*>(scalar.tag)));
            }
            return result_.ok;
        }
        if (scalar.style == YAML_SINGLE_QUOTED_SCALAR_STYLE || scalar.style == YAML_DOUBLE_QUOTED_SCALAR_STYLE) {
            node.SetString(text);
        } else if (IsOneOf(text, {"", "~", "null", "Null", "NULL"})) {
            node.Clear();
        } else if (!SetPlainNumber(node, value, scalar.length)) {
            if (IsTrueWord(text)) node.SetBool(true);
            else if (IsFalseWord(text)) node.SetBool(false);
            else node.SetString(text);
        }
        return true;
    }

    void SetTaggedInteger(BindingProperty& node, std::string_view text) {
        // A failure replaces the whole tree with the error, so the node is written only on success.
        if (!text.empty() && text.front() == '-') {
            int64_t value = ParseSigned64(result_, text, "yaml", "int64_t");
            if (result_.ok) node.SetSigned(value);
        } else {
            uint64_t value = ParseUnsigned64(result_, text, "yaml", "uint64_t");
            if (result_.ok) node.SetUnsigned(value);
        }
    }

    void SetTaggedFloat(BindingProperty& node, std::string_view text) {
        double value = ParseDouble(result_, text, "yaml", "double");
        if (result_.ok) node.SetDouble(value);
    }

    void StartContainer(const yaml_event_t& event, const yaml_char_t* anchor, bool mapping) {
        if (openContainers_ == kMaxYamlDepth) {
            return result_.SetError(
                FormatString("Sequences and mappings nest deeper than %1 levels. At line: %2 col: %3",
                             static_cast<uint64_t>(kMaxYamlDepth), Line(event), Column(event)));
        }
        ++openContainers_;
        Descend(event);
        if (Target().GetKind() == BindingProperty::Kind::Structure) {
            return Fail(mapping ? "Unexpected start of mapping. At line: %1 col: %2"
                                : "Unexpected start of sequence. At line: %1 col: %2",
                        event);
        }
        if (mapping) Target().MakeStructure();
        else Target().MakeCollection();
        DefineNodeAnchor(anchor, event);
    }

    void Alias(const yaml_event_t& event) {
        std::string name(reinterpret_cast<const char*>(event.data.alias.anchor));
        bool keyPosition = Target().GetKind() == BindingProperty::Kind::Structure && !hasPendingKey_;
        if (!keyPosition) Descend(event);
        for (const Frame& frame : frames_) {
            if (frame.anchor == name)
                return Fail("Cannot deserialize cyclic aliases. Alias \"%1\". At line: %2 col: %3", name, event);
        }
        auto found = anchors_.find(name);
        if (found == anchors_.end())
            return Fail("Undefined alias encountered: \"%1\". At line: %2 col: %3", name, event);
        const Anchor& anchor = found->second;
        const BindingProperty* source = anchor.onKey ? nullptr : &Resolve(anchor.path);
        if (keyPosition) {
            // An alias used as a mapping key must name a text.
            if (source && source->GetKind() != BindingProperty::Kind::String)
                return Fail("Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: %2", event);
            pendingKey_ = source ? std::string(source->GetString()) : anchor.keyText;
            hasPendingKey_ = true;
            return;
        }
        if (source) {
            if (!Spend(*source, event)) return;
            Target() = *source;
        } else {
            Target().SetString(anchor.keyText);
        }
        Pop();
    }

    const BindingProperty& Resolve(const std::vector<Step>& path) const {
        const BindingProperty* node = &result_.value;
        for (size_t i = 1; i < path.size(); ++i)
            node = path[i].isKey ? &node->Child(path[i].key) : &node->At(path[i].index);
        return *node;
    }

    // Counts the nodes an alias is about to copy against what is left of the budget.
    bool Spend(const BindingProperty& source, const yaml_event_t& event) {
        std::vector<const BindingProperty*> pending{&source};
        while (!pending.empty()) {
            const BindingProperty* node = pending.back();
            pending.pop_back();
            if (aliasBudget_ == 0) {
                result_.SetError(FormatString("Aliases expand to more than %1 nodes. At line: %2 col: %3",
                                              static_cast<uint64_t>(AliasBudget(text_)), Line(event), Column(event)));
                return false;
            }
            --aliasBudget_;
            for (const BindingProperty& element : node->Elements()) pending.push_back(&element);
            for (const auto& member : node->Members()) pending.push_back(&member.second);
        }
        return true;
    }

    std::string_view text_;
    BindingResult& result_;
    yaml_parser_t parser_;
    std::vector<Frame> frames_;
    std::string pendingKey_;
    bool hasPendingKey_ = false;
    // Sequences and mappings started and not yet ended.
    size_t openContainers_ = 0;
    std::unordered_map<std::string, Anchor> anchors_;
    size_t aliasBudget_;
};

}  // namespace

BindingResult ReadYaml(std::string_view text) {
    BindingResult result;
    YamlReader(text, result).Run();
    return result;
}

}  // namespace Zarvo
