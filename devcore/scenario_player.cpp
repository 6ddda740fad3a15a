#include "devcore/scenario_player.h"

#include <algorithm>
#include <optional>
#include <span>

#include "devcore/plugin_set.h"
#include "devcore/scenario_check.h"
#include "devcore/test_core.h"

namespace Zarvo::DevCore {
namespace {

// Does what the step says; a request's response goes to `result`. A mismatch when there was nothing to delete,
// which is most likely a mistyped path.
std::optional<Mismatch> Perform(TestCore& core, const Step& step, std::optional<CallResult>& result) {
    switch (step.action) {
        case Step::Action::Put: core.Put(step.uri, step.value, step.eventType); break;
        case Step::Action::Delete:
            if (!core.Delete(step.uri))
                return Mismatch{"nothing is stored under this path", "a stored resource", "(none)", {}};
            break;
        case Step::Action::Stream: core.SetStream(step.uri, step.chunks); break;
        case Step::Action::Fail: core.SetError(step.uri, step.status, step.error); break;
        case Step::Action::Request: result = core.Call(step.request); break;
    }
    return std::nullopt;
}

// The number of the step that failed, 0 when all passed.
size_t PlaySteps(TestCore& core, const Scenario& scenario, const PlayOptions& options, std::ostream& out) {
    size_t eventsSeen = core.events.size();
    size_t logsSeen = core.logs.size();
    for (size_t i = 0; i < std::min(scenario.steps.size(), options.steps); ++i) {
        const Step& step = scenario.steps[i];
        if (options.story) {
            options.story("");
            options.story(std::to_string(i + 1) + ". " + (step.note.empty() ? step.Title() : step.note) + "  (line " +
                          std::to_string(step.position.line) + ")");
        }
        std::optional<CallResult> result;
        const std::optional<Mismatch> undone = Perform(core, step, result);
        const std::span<const SentEvent> events = std::span(core.events).subspan(eventsSeen);
        const std::span<const LogLine> logs = std::span(core.logs).subspan(logsSeen);
        std::vector<Mismatch> mismatches = CheckStep(step, result ? &*result : nullptr, events, logs);
        if (undone) mismatches.insert(mismatches.begin(), *undone);
        eventsSeen = core.events.size();
        logsSeen = core.logs.size();
        for (const Mismatch& mismatch : mismatches) out << FormatMismatch(scenario, i + 1, step, mismatch);
        if (!mismatches.empty()) return i + 1;
    }
    return 0;
}

}  // namespace

PlayResult PlayScenario(const Scenario& scenario, const PlayOptions& options, std::ostream& out) {
    std::vector<std::string> plugins = scenario.plugins;
    plugins.insert(plugins.end(), options.plugins.begin(), options.plugins.end());
    if (plugins.empty()) {
        out << scenario.file << ": no plugin to load; name one under plugins: or with --plugin PATH\n";
        return {};
    }
    TestCore core;
    if (options.story) {
        options.story(scenario.file + ": the core loads the plugins.");
        core.SetStory([&](std::string_view line) { options.story("   " + std::string(line)); });
    }
    if (std::string error; !LoadPlugins(core, plugins, error)) {
        out << scenario.file << ": " << error << "\n";
        return {};
    }
    const size_t failedStep = PlaySteps(core, scenario, options, out);
    if (options.story) {
        options.story("");
        options.story("The core unloads the plugins.");
    }
    if (failedStep == 0) return {PlayResult::Outcome::Passed};
    return {PlayResult::Outcome::Failed, failedStep};
}

}  // namespace Zarvo::DevCore
