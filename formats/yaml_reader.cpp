#include "formats/yaml_reader.h"

#include <yaml.h>

#include <charconv>
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

// Mappings opened at the first levels are given room for as many members as the last mapping closed at the same
// level had: the records of a sequence mostly share one shape.
constexpr size_t kGuessedLevels = 8;

// Open nodes the reader makes room for at once: most documents nest no deeper.
constexpr size_t kReservedFrames = 16;

size_t AliasBudget(std::string_view text) { return std::max(kMinAliasBudget, text.size() * kAliasNodesPerInputByte); }

bool Equals(const yaml_char_t* text, const char* expected) {
    return text && std::strcmp(reinterpret_cast<const char*>(text), expected) == 0;
}

// The words below are five bytes long at most: longer texts are none of them.
constexpr size_t kLongestWord = 5;

bool IsOneOf(std::string_view text, std::initializer_list<std::string_view> words) {
    if (text.size() > kLongestWord) return false;
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

// Integers of up to this many digits are exact as doubles and are read without strtod.
constexpr size_t kExactDigits = 15;

// The number of a plain scalar that is an optional minus and up to kExactDigits digits, as strtod would read it.
bool ReadShortInteger(std::string_view text, double& value) {
    const bool negative = !text.empty() && text.front() == '-';
    const std::string_view digits = text.substr(negative ? 1 : 0);
    if (digits.empty() || digits.size() > kExactDigits) return false;
    uint64_t magnitude = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
    }
    value = negative ? -static_cast<double>(magnitude) : static_cast<double>(magnitude);
    return true;
}

// The number of a plain scalar in decimal notation (digits, a point, an exponent) that std::from_chars reads to the
// same correctly rounded double strtod gives, in range; anything else (a plus sign, hexadecimal, words, a value out
// of range) is left to strtod.
bool ReadDecimal(std::string_view text, double& value) {
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-')) return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// Whether strtod may read a number from a text with this first byte: a digit, a sign or a point, or the first letter
// of "inf", "infinity" or "nan" in either case. A plain scalar has no leading space.
bool MayBeNumber(char first) {
    return (first >= '0' && first <= '9') || first == '-' || first == '+' || first == '.' || first == 'i' ||
           first == 'I' || first == 'n' || first == 'N';
}

// A plain number: strtod takes all of it and it is finite (or NaN). Whole values that fit a 64-bit integer are
// integers; other values stay Float.
bool SetPlainNumber(BindingProperty& node, const char* text, size_t length) {
    if (length == 0) return false;
    double value = 0;
    const std::string_view view(text, length);
    if (!ReadShortInteger(view, value) && !ReadDecimal(view, value)) {
        if (!MayBeNumber(text[0])) return false;
        char* end = nullptr;
        value = std::strtod(text, &end);
        if (end != text + length || std::isinf(value)) return false;
    }
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
    ~YamlReader() {
        ReleaseKeyEvent();
        yaml_parser_delete(&parser_);
    }

    void Run() {
        yaml_event_t event;
        bool parsed = yaml_parser_parse(&parser_, &event);
        while (parsed && result_.ok && event.type != YAML_STREAM_END_EVENT) {
            Handle(event);
            if (eventKept_) eventKept_ = false;
            else yaml_event_delete(&event);
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
        ReleaseKeyEvent();
    }

    // A key's scalar event is kept until its value's member is made, which takes the key's text from it.
    void KeepKeyEvent(const yaml_event_t& event) {
        ReleaseKeyEvent();
        keyEvent_ = event;
        holdingKeyEvent_ = true;
        eventKept_ = true;
        pendingKey_ = {reinterpret_cast<const char*>(keyEvent_.data.scalar.value), keyEvent_.data.scalar.length};
    }
    void ReleaseKeyEvent() {
        if (!holdingKeyEvent_) return;
        holdingKeyEvent_ = false;
        yaml_event_delete(&keyEvent_);
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
            ReleaseKeyEvent();
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
                if (event.type == YAML_MAPPING_END_EVENT && openContainers_ < kGuessedLevels)
                    memberGuesses_[openContainers_] = Target().Size();
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
            KeepKeyEvent(event);
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
        if (mapping) {
            Target().MakeStructure();
            const size_t level = openContainers_ - 1;
            if (level < kGuessedLevels && Target().Size() == 0) Target().Reserve(memberGuesses_[level]);
        } else {
            Target().MakeCollection();
        }
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
            ReleaseKeyEvent();
            aliasKey_ = source ? std::string(source->GetString()) : anchor.keyText;
            pendingKey_ = aliasKey_;
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
    // The text of the key whose value comes next: in the kept key event, or in aliasKey_ for a key given by an alias.
    std::string_view pendingKey_;
    bool hasPendingKey_ = false;
    std::string aliasKey_;
    yaml_event_t keyEvent_{};
    bool holdingKeyEvent_ = false;
    bool eventKept_ = false;  // the event just handled is now keyEvent_
    // Sequences and mappings started and not yet ended.
    size_t openContainers_ = 0;
    // Per level, the members of the mapping closed there last, which the next one there is given room for.
    size_t memberGuesses_[kGuessedLevels] = {};
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
