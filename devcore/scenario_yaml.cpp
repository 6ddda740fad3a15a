#include "devcore/scenario_yaml.h"

#include <yaml.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_set>

namespace Zarvo::DevCore {
namespace {

constexpr const char* kStringTag = "tag:yaml.org,2002:str";

// Aliases copy subtrees, so nested ones could grow a small file enormously: the nodes they create are limited.
constexpr size_t kAliasNodesPerInputByte = 16;
constexpr size_t kMinAliasNodes = 4096;
// Deeper nesting than any scenario needs is refused, so that walking the tree never exhausts the stack.
constexpr size_t kMaxDepth = 200;

size_t CountNodes(const YamlNode& node) {
    size_t count = 1;
    for (const YamlNode& item : node.items) count += CountNodes(item);
    return count;
}

size_t Height(const YamlNode& node) {
    size_t height = 0;
    for (const YamlNode& item : node.items) height = std::max(height, Height(item));
    return height + 1;
}

std::string Text(const yaml_char_t* text) { return text ? reinterpret_cast<const char*>(text) : ""; }

// The line (0-based) of the text, without its line break.
std::string_view Line(std::string_view text, size_t line) {
    size_t start = 0;
    for (size_t i = 0; i < line && start < text.size(); ++i) start = std::min(text.find('\n', start), text.size()) + 1;
    if (start >= text.size()) return {};
    return text.substr(start, std::min(text.find('\n', start), text.size()) - start);
}

// The likely cause of a syntax error that beginners often make, in a few words; empty when there is none to tell.
std::string Hint(std::string_view text, const yaml_mark_t& mark, std::string_view problem) {
    const std::string_view line = Line(text, mark.line);
    const std::string number = std::to_string(mark.line + 1);
    if (line.substr(0, line.find_first_not_of(" \t")).find('\t') != std::string_view::npos)
        return "line " + number + " is indented with a tab; YAML indents with spaces only";
    if (problem == "did not find expected key" || problem == "did not find expected '-' indicator")
        return "check the indentation of line " + number +
               ": the keys of one mapping, and the dashes of one list, stand in one column";
    if (problem == "mapping values are not allowed in this context")
        return "a line indented deeper than the key above it, or a text with \": \" in it that is not quoted, "
               "reads this way";
    return {};
}

class TreeBuilder {
public:
    TreeBuilder(std::string_view text, YamlNode& root, ScenarioError& error)
        : text_(text),
          root_(root),
          error_(error),
          aliasBudget_(std::max(kMinAliasNodes, text.size() * kAliasNodesPerInputByte)) {
        yaml_parser_initialize(&parser_);
        yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
        yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    }
    ~TreeBuilder() { yaml_parser_delete(&parser_); }
    TreeBuilder(const TreeBuilder&) = delete;
    TreeBuilder& operator=(const TreeBuilder&) = delete;

    bool Run() {
        root_ = YamlNode{};
        root_.position = {1, 1};
        bool ok = true;
        for (bool done = false; ok && !done;) {
            yaml_event_t event;
            if (!yaml_parser_parse(&parser_, &event)) return SyntaxError();
            done = event.type == YAML_STREAM_END_EVENT;
            ok = Handle(event);
            yaml_event_delete(&event);
        }
        return ok;
    }

private:
    bool SyntaxError() {
        const std::string problem = Text(reinterpret_cast<const yaml_char_t*>(parser_.problem));
        error_.position = {parser_.problem_mark.line + 1, parser_.problem_mark.column + 1};
        error_.message = "YAML syntax error: " + problem;
        if (parser_.context)
            error_.message += std::string(" ") + parser_.context + " that starts at line " +
                              std::to_string(parser_.context_mark.line + 1) + ", column " +
                              std::to_string(parser_.context_mark.column + 1);
        if (const std::string hint = Hint(text_, parser_.problem_mark, problem); !hint.empty())
            error_.message += " (" + hint + ")";
        return false;
    }
    bool Fail(SourcePosition position, std::string message) {
        error_.position = position;
        error_.message = std::move(message);
        return false;
    }
    bool Fail(const yaml_event_t& event, std::string message) { return Fail(Position(event), std::move(message)); }
    static SourcePosition Position(const yaml_event_t& event) {
        return {event.start_mark.line + 1, event.start_mark.column + 1};
    }

    bool Handle(const yaml_event_t& event) {
        switch (event.type) {
            case YAML_DOCUMENT_START_EVENT:
                if (documents_++ > 0) return Fail(event, "a scenario file holds one YAML document");
                return true;
            case YAML_SCALAR_EVENT: return Scalar(event);
            case YAML_SEQUENCE_START_EVENT:
                return Open(event, YamlNode::Kind::Sequence, event.data.sequence_start.tag,
                            event.data.sequence_start.anchor);
            case YAML_MAPPING_START_EVENT:
                return Open(event, YamlNode::Kind::Mapping, event.data.mapping_start.tag,
                            event.data.mapping_start.anchor);
            case YAML_SEQUENCE_END_EVENT:
            case YAML_MAPPING_END_EVENT: {
                if (const YamlNode* key = RepeatedKey(open_.back().node))
                    return Fail(key->position, "the key '" + key->text + "' is given twice");
                YamlNode node = std::move(open_.back().node);
                const std::string anchor = std::move(open_.back().anchor);
                open_.pop_back();
                return Complete(std::move(node), anchor);
            }
            case YAML_ALIAS_EVENT: return Alias(event);
            default: return true;
        }
    }

    // The first key of a mapping that repeats one before it, or null.
    static const YamlNode* RepeatedKey(const YamlNode& node) {
        if (node.kind != YamlNode::Kind::Mapping) return nullptr;
        std::unordered_set<std::string_view> keys;
        for (size_t i = 0; i < node.items.size(); i += 2)
            if (!keys.insert(node.items[i].text).second) return &node.items[i];
        return nullptr;
    }

    bool Scalar(const yaml_event_t& event) {
        const auto& scalar = event.data.scalar;
        const std::string tag = Text(scalar.tag);
        if (!tag.empty() && tag != kStringTag && tag != "!")
            return Fail(event, "the tag " + tag + " is not supported here; values are JSON-compatible YAML");
        YamlNode node;
        node.position = Position(event);
        node.text.assign(reinterpret_cast<const char*>(scalar.value), scalar.length);
        node.plain = tag.empty() && scalar.style == YAML_PLAIN_SCALAR_STYLE;
        return Complete(std::move(node), Text(scalar.anchor));
    }

    bool Open(const yaml_event_t& event, YamlNode::Kind kind, const yaml_char_t* tag, const yaml_char_t* anchor) {
        if (tag) return Fail(event, "the tag " + Text(tag) + " is not supported here; values are JSON-compatible YAML");
        if (open_.size() + 1 >= kMaxDepth) return Fail(event, "the nodes are nested too deeply");
        YamlNode node;
        node.kind = kind;
        node.position = Position(event);
        open_.push_back({std::move(node), Text(anchor)});
        return true;
    }

    bool Alias(const yaml_event_t& event) {
        const std::string name = Text(event.data.alias.anchor);
        const auto found = anchors_.find(name);
        if (found == anchors_.end()) return Fail(event, "the alias *" + name + " names no anchor defined before it");
        const size_t nodes = CountNodes(found->second);
        if (nodes > aliasBudget_) return Fail(event, "the aliases of this file expand to too many nodes");
        aliasBudget_ -= nodes;
        if (open_.size() + Height(found->second) > kMaxDepth) return Fail(event, "the nodes are nested too deeply");
        YamlNode copy = found->second;
        copy.position = Position(event);
        return Complete(std::move(copy), {});
    }

    // A finished node goes into the open collection, or becomes the document.
    bool Complete(YamlNode node, const std::string& anchor) {
        if (!anchor.empty() && !anchors_.emplace(anchor, node).second)
            return Fail(node.position, "the anchor &" + anchor + " is defined twice");
        if (open_.empty()) {
            root_ = std::move(node);
            return true;
        }
        YamlNode& parent = open_.back().node;
        if (parent.kind == YamlNode::Kind::Mapping && parent.items.size() % 2 == 0 && node.kind != YamlNode::Kind::Scalar)
            return Fail(node.position, "a mapping key must be a text");
        parent.items.push_back(std::move(node));
        return true;
    }

    struct OpenNode {
        YamlNode node;
        std::string anchor;
    };

    yaml_parser_t parser_;
    std::string_view text_;
    YamlNode& root_;
    ScenarioError& error_;
    size_t aliasBudget_;
    size_t documents_ = 0;
    std::vector<OpenNode> open_;
    std::map<std::string, YamlNode, std::less<>> anchors_;
};

}  // namespace

const char* YamlNode::KindName() const {
    switch (kind) {
        case Kind::Scalar: return "a scalar";
        case Kind::Sequence: return "a sequence";
        case Kind::Mapping: return "a mapping";
    }
    return "a node";
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

std::string QuoteSource(const std::vector<std::string>& lines, SourcePosition position) {
    if (position.line == 0 || position.line > lines.size()) return {};
    const std::string number = std::to_string(position.line);
    // A tab is one column, as the parser counts them.
    std::string line = lines[position.line - 1];
    std::replace(line.begin(), line.end(), '\t', ' ');
    const std::string margin = "  " + std::string(number.size(), ' ') + " | ";
    const size_t caret = std::max<size_t>(position.column, 1) - 1;
    return "  " + number + " | " + line + "\n" + margin + std::string(caret, ' ') + "^\n";
}

bool ReadYamlTree(std::string_view text, YamlNode& root, ScenarioError& error) {
    return TreeBuilder(text, root, error).Run();
}

}  // namespace Zarvo::DevCore
