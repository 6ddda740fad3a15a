#include "devcore/scenario_reader.h"

#include <algorithm>
#include <filesystem>

#include "devcore/input_files.h"
#include "devcore/json_text.h"
#include "devcore/scenario_value.h"
#include "devcore/story_text.h"

namespace Zarvo::DevCore {
namespace {

using Keys = std::vector<std::string_view>;

struct Field {
    const YamlNode* key;
    const YamlNode* value;
};

// The action keys of a step and the other keys each action takes besides the common ones.
struct ActionSyntax {
    std::string_view key;
    Step::Action action;
    Keys keys;
};
const ActionSyntax kActions[] = {
    {"put", Step::Action::Put, {"value", "event-type"}},
    {"delete", Step::Action::Delete, {}},
    {"stream", Step::Action::Stream, {"chunks"}},
    {"fail", Step::Action::Fail, {"status", "error"}},
    {"request", Step::Action::Request, {"headers", "items", "body", "body-text", "body-hex", "content-type", "response"}},
};
const Keys kCommonStepKeys = {"note", "events", "logs"};

std::string Join(const Keys& keys) {
    std::string text;
    for (std::string_view key : keys) (text += text.empty() ? "" : ", ") += key;
    return text;
}

class Parser {
public:
    Parser(const std::string& folder, ScenarioError& error) : folder_(folder), error_(error) {}

    bool Document(const YamlNode& root, Scenario& scenario) {
        std::vector<Field> fields;
        if (!Mapping(root, "a scenario", {"plugins", "steps"}, fields)) return false;
        const YamlNode* steps = Find(fields, "steps");
        if (!steps) return Fail(root, "a scenario needs steps:");
        if (const YamlNode* plugins = Find(fields, "plugins")) {
            if (!Sequence(*plugins, "plugins")) return false;
            for (const YamlNode& item : plugins->items) {
                std::string path;
                if (!Text(item, "a plugin", path)) return false;
                scenario.plugins.push_back((std::filesystem::path(folder_) / path).lexically_normal().generic_string());
            }
        }
        if (!Sequence(*steps, "steps")) return false;
        for (const YamlNode& item : steps->items)
            if (!ReadStep(item, scenario.steps.emplace_back())) return false;
        return true;
    }

private:
    bool Fail(const YamlNode& node, std::string message) {
        error_ = {node.position, std::move(message)};
        return false;
    }

    // The entries of a mapping whose keys are all among `allowed` (any key when `allowed` is empty). The YAML tree
    // has refused a key given twice.
    bool Mapping(const YamlNode& node, const std::string& what, const Keys& allowed, std::vector<Field>& fields) {
        if (node.kind != YamlNode::Kind::Mapping)
            return Fail(node, what + " is a mapping of keys and values, not " + node.KindName());
        for (size_t i = 0; i + 1 < node.items.size(); i += 2) {
            const YamlNode& key = node.items[i];
            if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), key.text) == allowed.end())
                return Fail(key, "unknown key '" + key.text + "' in " + what + "; it takes " + Join(allowed));
            fields.push_back({&key, &node.items[i + 1]});
        }
        return true;
    }
    static const YamlNode* Find(const std::vector<Field>& fields, std::string_view key) {
        for (const Field& field : fields)
            if (field.key->text == key) return field.value;
        return nullptr;
    }
    static const YamlNode* KeyOf(const std::vector<Field>& fields, std::string_view key) {
        for (const Field& field : fields)
            if (field.key->text == key) return field.key;
        return nullptr;
    }

    bool Sequence(const YamlNode& node, const std::string& what) {
        if (node.kind == YamlNode::Kind::Sequence) return true;
        return Fail(node, what + " is a list (lines starting with \"- \"), not " + node.KindName());
    }
    bool Text(const YamlNode& node, const std::string& what, std::string& text) {
        if (node.kind != YamlNode::Kind::Scalar) return Fail(node, what + " is a text, not " + node.KindName());
        text = node.text;
        return true;
    }
    bool Uri(const YamlNode& node, std::string& uri) {
        if (!Text(node, "a resource path", uri)) return false;
        if (!uri.starts_with("/")) return Fail(node, "a resource path starts with /, like /kiv-login/v1/session");
        return true;
    }
    bool Status(const YamlNode& node, uint32_t& status) {
        const BindingProperty value = node.kind == YamlNode::Kind::Scalar ? ToProperty(node) : BindingProperty();
        if (value.GetKind() != BindingProperty::Kind::Unsigned || value.GetUnsigned(0) > UINT32_MAX)
            return Fail(node, "a status is a whole number from 0 to 4294967295");
        status = static_cast<uint32_t>(value.GetUnsigned(0));
        return true;
    }
    bool EventType(const YamlNode& node, std::string& eventType) {
        if (node.kind == YamlNode::Kind::Scalar && (node.text == "Create" || node.text == "Update")) {
            eventType = node.text;
            return true;
        }
        return Fail(node, "the event-type of a put is Create or Update");
    }
    bool Level(const YamlNode& node, int32_t& level) {
        for (int32_t i = 0; i < 4; ++i)
            if (node.kind == YamlNode::Kind::Scalar && (node.text == LogLevelName(i) || node.text == std::to_string(i))) {
                level = i;
                return true;
            }
        return Fail(node, "a log level is OKAY, WARN, ERROR or ALWAYS (or 0 to 3)");
    }

    // `value` (exact) or `includes` (in part), at most one of them.
    bool Expected(const std::vector<Field>& fields, const char* exactKey, std::optional<ExpectedValue>& expected) {
        const YamlNode* exact = Find(fields, exactKey);
        const YamlNode* part = Find(fields, "includes");
        if (exact && part) return Fail(*KeyOf(fields, "includes"), std::string("give either ") + exactKey + " or includes");
        if (exact) expected = ExpectedValue{ToProperty(*exact), false, *exact};
        if (part) expected = ExpectedValue{ToProperty(*part), true, *part};
        return true;
    }

    bool ReadStep(const YamlNode& node, Step& step) {
        step.position = node.position;
        std::vector<Field> fields;
        if (!Mapping(node, "a step", {}, fields)) return false;
        const ActionSyntax* syntax = nullptr;
        for (const Field& field : fields)
            for (const ActionSyntax& candidate : kActions)
                if (field.key->text == candidate.key) {
                    if (syntax)
                        return Fail(*field.key, "a step does one thing; this one has both " + std::string(syntax->key) +
                                                    " and " + field.key->text);
                    syntax = &candidate;
                }
        if (!syntax) {
            Keys actions;
            for (const ActionSyntax& candidate : kActions) actions.push_back(candidate.key);
            return Fail(node, "a step starts with one of " + Join(actions));
        }
        step.action = syntax->action;
        Keys allowed = {syntax->key};
        allowed.insert(allowed.end(), syntax->keys.begin(), syntax->keys.end());
        allowed.insert(allowed.end(), kCommonStepKeys.begin(), kCommonStepKeys.end());
        fields.clear();
        if (!Mapping(node, "a " + std::string(syntax->key) + " step", allowed, fields)) return false;

        if (const YamlNode* note = Find(fields, "note"); note && !Text(*note, "a note", step.note)) return false;
        if (const YamlNode* events = Find(fields, "events")) {
            step.eventsPosition = events->position;
            if (!Events(*events, step.events.emplace())) return false;
        }
        if (const YamlNode* logs = Find(fields, "logs")) {
            step.logsPosition = logs->position;
            if (!Logs(*logs, step.logs.emplace())) return false;
        }

        const YamlNode& subject = *Find(fields, syntax->key);
        switch (step.action) {
            case Step::Action::Put: {
                if (!Uri(subject, step.uri)) return false;
                const YamlNode* value = Find(fields, "value");
                if (!value) return Fail(node, "a put step needs the resource's value:");
                step.value = ToProperty(*value);
                const YamlNode* eventType = Find(fields, "event-type");
                return !eventType || EventType(*eventType, step.eventType);
            }
            case Step::Action::Delete: return Uri(subject, step.uri);
            case Step::Action::Stream: {
                if (!Uri(subject, step.uri)) return false;
                const YamlNode* chunks = Find(fields, "chunks");
                if (!chunks) return Fail(node, "a stream step needs the chunks: of the body, a list of texts");
                if (!Sequence(*chunks, "chunks")) return false;
                for (const YamlNode& chunk : chunks->items)
                    if (!Text(chunk, "a chunk", step.chunks.emplace_back())) return false;
                return true;
            }
            case Step::Action::Fail: {
                if (!Uri(subject, step.uri)) return false;
                const YamlNode* status = Find(fields, "status");
                const YamlNode* error = Find(fields, "error");
                if (!status || !error) return Fail(node, "a fail step needs the status: and the error: text");
                return Status(*status, step.status) && Text(*error, "an error", step.error);
            }
            case Step::Action::Request: return Request(subject, fields, step);
        }
        return true;
    }

    bool Request(const YamlNode& line, const std::vector<Field>& fields, Step& step) {
        CallRequest& request = step.request;
        std::string text;
        if (!Text(line, "a request", text)) return false;
        const size_t space = text.find(' ');
        const std::string target = space == std::string::npos ? "" : text.substr(space + 1);
        request.method = text.substr(0, space);
        const bool methodOk = !request.method.empty() && std::all_of(request.method.begin(), request.method.end(),
                                                                     [](char c) { return c >= 'A' && c <= 'Z'; });
        if (!methodOk || !target.starts_with("/"))
            return Fail(line, "a request is written METHOD /path?query, like GET /kiv-player-level-up/v1/level-up");
        const size_t question = target.find('?');
        request.path = target.substr(0, question);
        if (question != std::string::npos) request.query = target.substr(question + 1);

        if (const YamlNode* headers = Find(fields, "headers")) {
            std::vector<Field> entries;
            if (!Mapping(*headers, "headers", {}, entries)) return false;
            for (const Field& entry : entries) {
                std::string value;
                if (!Text(*entry.value, "a header", value)) return false;
                request.headers.emplace_back(entry.key->text, std::move(value));
            }
        }
        if (const YamlNode* items = Find(fields, "items")) {
            if (items->kind == YamlNode::Kind::Mapping) {
                std::vector<Field> entries;
                if (!Mapping(*items, "items", {}, entries)) return false;
                for (const Field& entry : entries) request.items.push_back({entry.key->text, ToProperty(*entry.value)});
            } else if (items->kind == YamlNode::Kind::Sequence) {
                for (const YamlNode& item : items->items) request.items.push_back({"", ToProperty(item)});
            } else {
                return Fail(*items, "items are a mapping (named items) or a list (positional ones)");
            }
        }
        if (!Body(fields, request)) return false;
        if (const YamlNode* response = Find(fields, "response")) {
            ExpectedResponse& expected = step.response;
            if (response->kind == YamlNode::Kind::Scalar && response->text == "any") {
                expected.any = true;
                return true;
            }
            if (response->kind != YamlNode::Kind::Mapping)
                return Fail(*response, "a response is a mapping of status, error, value or includes, or any to take "
                                       "every response");
            std::vector<Field> entries;
            if (!Mapping(*response, "a response", {"status", "error", "value", "includes"}, entries)) return false;
            if (const YamlNode* status = Find(entries, "status")) {
                expected.statusPosition = status->position;
                if (!Status(*status, expected.status.emplace())) return false;
            }
            if (const YamlNode* error = Find(entries, "error")) {
                expected.errorPosition = error->position;
                if (!Text(*error, "an error", expected.error.emplace())) return false;
            }
            if (!Expected(entries, "value", expected.value)) return false;
        }
        return true;
    }

    bool Body(const std::vector<Field>& fields, CallRequest& request) {
        const YamlNode* given = nullptr;
        for (std::string_view key : {"body", "body-text", "body-hex"}) {
            const YamlNode* body = Find(fields, key);
            if (!body) continue;
            if (given) return Fail(*KeyOf(fields, key), "a request has one body: body, body-text or body-hex");
            given = body;
            if (key == "body") {
                request.body = ToJsonText(ToProperty(*body));
                request.contentType = "application/json";
            } else if (key == "body-text") {
                if (!Text(*body, "body-text", request.body)) return false;
            } else {
                if (!ReadHexBytes(*body, request.body, error_)) return false;
                request.contentType = "application/x-msgpack";
            }
        }
        if (const YamlNode* type = Find(fields, "content-type"))
            return Text(*type, "a content type", request.contentType);
        return true;
    }

    bool Events(const YamlNode& node, std::vector<ExpectedEvent>& events) {
        if (!Sequence(node, "events")) return false;
        for (const YamlNode& item : node.items) {
            ExpectedEvent& event = events.emplace_back();
            event.position = item.position;
            if (item.kind == YamlNode::Kind::Scalar) {
                event.name = item.text;
                continue;
            }
            std::vector<Field> fields;
            if (!Mapping(item, "an event", {"name", "payload", "includes"}, fields)) return false;
            const YamlNode* name = Find(fields, "name");
            if (!name) return Fail(item, "an event needs its name:");
            if (!Text(*name, "an event name", event.name) || !Expected(fields, "payload", event.payload)) return false;
        }
        return true;
    }

    bool Logs(const YamlNode& node, std::vector<ExpectedLog>& logs) {
        if (!Sequence(node, "logs")) return false;
        for (const YamlNode& item : node.items) {
            ExpectedLog& log = logs.emplace_back();
            log.position = item.position;
            if (item.kind == YamlNode::Kind::Scalar) {
                log.text = item.text;
                continue;
            }
            std::vector<Field> fields;
            if (!Mapping(item, "a log line", {"level", "text", "includes"}, fields)) return false;
            if (const YamlNode* level = Find(fields, "level"); level && !Level(*level, log.level.emplace())) return false;
            const YamlNode* text = Find(fields, "text");
            const YamlNode* part = Find(fields, "includes");
            if (!text == !part) return Fail(item, "a log line has either its text: or the text it includes:");
            log.partial = part != nullptr;
            if (!Text(text ? *text : *part, "a log text", log.text)) return false;
        }
        return true;
    }

    const std::string& folder_;
    ScenarioError& error_;
};

}  // namespace

bool ParseScenario(std::string_view text, const std::string& folder, Scenario& scenario, ScenarioError& error) {
    scenario.lines = SplitLines(text);
    YamlNode root;
    return ReadYamlTree(text, root, error) && Parser(folder, error).Document(root, scenario);
}

bool ReadScenario(const std::string& file, Scenario& scenario, std::string& error) {
    std::string text;
    if (!ReadFile(file, text, error)) {
        error = file + ": " + error;
        return false;
    }
    scenario.file = file;
    ScenarioError problem;
    if (ParseScenario(text, std::filesystem::path(file).parent_path().string(), scenario, problem)) return true;
    error = file + ":" + std::to_string(problem.position.line) + ":" + std::to_string(problem.position.column) + ": " +
            problem.message + "\n" + QuoteSource(scenario.lines, problem.position);
    if (error.ends_with('\n')) error.pop_back();
    return false;
}

}  // namespace Zarvo::DevCore
