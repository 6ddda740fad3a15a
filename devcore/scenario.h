// A scenario: the plugins to load and the steps played around them, each with what it expects to happen.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "binding/property.h"
#include "devcore/scenario_yaml.h"
#include "devcore/test_core.h"

namespace Zarvo::DevCore {

// A value expected whole, or only in the parts written (`includes`): every member written must be there and match
// in part, a list must have as many elements as written, each matching in part.
struct ExpectedValue {
    BindingProperty value;
    bool partial = false;
    YamlNode source;  // as written, so that a difference can be shown where it was written
};

// What a request expects of its response. A step that writes neither status nor error expects a success: a 2xx
// status and no error text.
struct ExpectedResponse {
    bool any = false;  // `response: any`: every response is accepted
    std::optional<uint32_t> status;
    std::optional<std::string> error;
    std::optional<ExpectedValue> value;
    SourcePosition statusPosition, errorPosition;
};

struct ExpectedEvent {
    std::string name;
    std::optional<ExpectedValue> payload;
    SourcePosition position;
};

struct ExpectedLog {
    std::optional<int32_t> level;  // any level when not given
    std::string text;
    bool partial = false;  // the line contains the text
    SourcePosition position;
};

struct Step {
    enum class Action { Put, Delete, Stream, Fail, Request };
    Action action = Action::Put;
    SourcePosition position;
    std::string note;  // told in the story before the step

    std::string uri;                  // Put, Delete, Stream, Fail
    BindingProperty value;            // Put
    std::string eventType;            // Put: "Create" or "Update" to choose the event; empty lets the store choose
    std::vector<std::string> chunks;  // Stream
    uint32_t status = 0;              // Fail
    std::string error;                // Fail
    CallRequest request;              // Request
    ExpectedResponse response;        // Request

    // The events that the plugins sent and the lines they logged during the step, all of them and in order.
    std::optional<std::vector<ExpectedEvent>> events;
    std::optional<std::vector<ExpectedLog>> logs;
    SourcePosition eventsPosition, logsPosition;  // of the lists

    // "put /kiv-login/v1/session", "request GET /kiv-player-level-up/v1/level-up", ...
    std::string Title() const;
};

struct Scenario {
    std::string file;                  // as named on the command line
    std::vector<std::string> lines;    // the file's text, line by line, to quote in reports
    std::vector<std::string> plugins;  // resolved against the scenario's folder
    std::vector<Step> steps;
};

}  // namespace Zarvo::DevCore
