#include "devcore/scenario_check.h"

#include "devcore/json_text.h"
#include "devcore/scenario_match.h"
#include "devcore/story_text.h"

namespace Zarvo::DevCore {
namespace {

std::string Quoted(std::string_view text) {
    BindingProperty value;
    value.SetString(text);
    return ToJsonText(value);
}

std::string Expected(const ExpectedValue& expected) {
    return (expected.partial ? "includes " : "") + ToJsonText(expected.value);
}

// A part of a value for a report: compact JSON, cut when long, or a word for a member that is not there.
std::string Shown(const BindingProperty* value) { return value ? ValueForStory(*value) : "(no such member)"; }

// What differs between an expected value and the one got, worded after `subject` ("the response's value").
Mismatch ValueMismatch(const std::string& subject, const ExpectedValue& expected, const ValueDifference& difference,
                       const std::string& gotSuffix = {}) {
    const std::string place = difference.Place();
    std::string what;
    if (!difference.got) {
        what = subject + " lacks " + (place.empty() ? "the value" : place);
    } else if (!difference.expected) {
        what = subject + " has " + place + ", which is not expected";
    } else {
        what = subject + " differs" + (place.empty() ? "" : " at " + place);
        const BindingProperty::Kind kind = difference.expected->GetKind();
        if (kind == BindingProperty::Kind::Collection && kind == difference.got->GetKind())
            what += ": " + std::to_string(difference.expected->Size()) + " elements expected, " +
                    std::to_string(difference.got->Size()) + " got";
    }
    return {what, Shown(difference.expected), Shown(difference.got) + gotSuffix,
            PositionOf(expected.source, difference.path)};
}

std::string Lines(const std::vector<std::string>& lines) {
    if (lines.empty()) return "(none)";
    std::string text;
    for (const std::string& line : lines) (text += text.empty() ? "" : "\n") += line;
    return text;
}

std::string Count(size_t count, const char* what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

std::optional<Mismatch> CheckResponse(const ExpectedResponse& expected, const CallResult& got) {
    if (expected.any) return std::nullopt;
    const std::string error = got.error.empty() ? "" : " with the error " + Quoted(got.error);
    const bool succeeded = got.status >= 200 && got.status <= 299 && got.error.empty();
    if (!expected.status && !expected.error && !succeeded)
        return Mismatch{"the request failed; a step that gives no status: or error: expects a success",
                        "a success: status 2xx, no error", std::to_string(got.status) + error, {}};
    if (expected.status && *expected.status != got.status)
        return Mismatch{"the response's status", std::to_string(*expected.status), std::to_string(got.status) + error,
                        expected.statusPosition};
    if (expected.error && *expected.error != got.error)
        return Mismatch{"the response's error", Quoted(*expected.error), Quoted(got.error), expected.errorPosition};
    if (expected.value)
        if (auto difference = FindDifference(expected.value->value, got.value, expected.value->partial))
            return ValueMismatch("the response's value", *expected.value, *difference, error);
    return std::nullopt;
}

std::string Describe(const ExpectedEvent& event) {
    return event.payload ? event.name + " " + Expected(*event.payload) : event.name;
}
std::string Describe(const SentEvent& event) { return event.name + " " + ToJsonText(event.payload); }

std::optional<Mismatch> CheckEvents(const std::vector<ExpectedEvent>& expected, std::span<const SentEvent> got,
                                    SourcePosition listPosition) {
    if (expected.size() != got.size()) {
        std::vector<std::string> expectedLines, gotLines;
        for (const ExpectedEvent& event : expected) expectedLines.push_back(Describe(event));
        for (const SentEvent& event : got) gotLines.push_back(Describe(event));
        return Mismatch{Count(expected.size(), "event") + " expected, the plugins sent " + std::to_string(got.size()),
                        Lines(expectedLines), Lines(gotLines), listPosition};
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        const std::string which = "event " + std::to_string(i + 1) + " of " + std::to_string(expected.size());
        if (expected[i].name != got[i].name)
            return Mismatch{which + " has another name", expected[i].name, got[i].name, expected[i].position};
        if (!expected[i].payload) continue;
        if (auto difference = FindDifference(expected[i].payload->value, got[i].payload, expected[i].payload->partial))
            return ValueMismatch(which + ", " + got[i].name + ",", *expected[i].payload, *difference);
    }
    return std::nullopt;
}

std::string Describe(const ExpectedLog& log) {
    const std::string level = log.level ? LogLevelName(*log.level) + " " : "";
    return level + (log.partial ? "includes " + Quoted(log.text) : log.text);
}
std::string Describe(const LogLine& log) { return LogLevelName(log.level) + " " + log.text; }

bool Matches(const ExpectedLog& expected, const LogLine& got) {
    if (expected.level && *expected.level != got.level) return false;
    return expected.partial ? got.text.find(expected.text) != std::string::npos : got.text == expected.text;
}

std::optional<Mismatch> CheckLogs(const std::vector<ExpectedLog>& expected, std::span<const LogLine> got,
                                  SourcePosition listPosition) {
    SourcePosition position = listPosition;
    bool same = expected.size() == got.size();
    for (size_t i = 0; same && i < expected.size(); ++i)
        if (!Matches(expected[i], got[i])) {
            same = false;
            position = expected[i].position;
        }
    if (same) return std::nullopt;
    std::vector<std::string> expectedLines, gotLines;
    for (const ExpectedLog& log : expected) expectedLines.push_back(Describe(log));
    for (const LogLine& log : got) gotLines.push_back(Describe(log));
    const std::string what = expected.size() == got.size()
                                 ? "the log lines differ"
                                 : Count(expected.size(), "log line") + " expected, the plugins wrote " +
                                       std::to_string(got.size());
    return Mismatch{what, Lines(expectedLines), Lines(gotLines), position};
}

std::string Indented(const std::string& text) {
    std::string indented;
    for (char c : text) (indented += c) += c == '\n' ? "            " : "";
    return indented;
}

}  // namespace

std::vector<Mismatch> CheckStep(const Step& step, const CallResult* result, std::span<const SentEvent> events,
                                std::span<const LogLine> logs) {
    std::vector<Mismatch> mismatches;
    auto add = [&](std::optional<Mismatch> mismatch) {
        if (mismatch) mismatches.push_back(std::move(*mismatch));
    };
    if (result) add(CheckResponse(step.response, *result));
    if (step.events) add(CheckEvents(*step.events, events, step.eventsPosition));
    if (step.logs) add(CheckLogs(*step.logs, logs, step.logsPosition));
    return mismatches;
}

std::string FormatMismatch(const Scenario& scenario, size_t stepNumber, const Step& step, const Mismatch& mismatch) {
    const SourcePosition at = mismatch.position.line == 0 ? step.position : mismatch.position;
    return scenario.file + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": step " +
           std::to_string(stepNumber) + ", " + step.Title() + ": " + mismatch.what + "\n" +
           QuoteSource(scenario.lines, at) + "  expected: " + Indented(mismatch.expected) +
           "\n  got:      " + Indented(mismatch.got) + "\n";
}

}  // namespace Zarvo::DevCore
