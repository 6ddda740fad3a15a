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

// Reports the breaches from `first` on at the position; false when one is a Fail.
bool ReportBreaches(const TestCore& core, size_t first, const std::string& position, std::ostream& out) {
    bool kept = true;
    for (size_t i = first; i < core.breaches.size(); ++i) {
        const ContractBreach& breach = core.breaches[i];
        const bool fail = breach.severity == ContractBreach::Severity::Fail;
        out << (fail ? "FAIL " : "WARN ") << breach.text << ", " << position << "\n";
        kept = kept && !fail;
    }
    return kept;
}

void Begin(const PlayOptions& options, size_t step, const std::string& position) {
    if (options.phase) options.phase(step, position);
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
        const std::string position = "step " + std::to_string(i + 1) + " at " + scenario.file + ":" +
                                     std::to_string(step.position.line) + ":" + std::to_string(step.position.column);
        Begin(options, i + 1, position);
        const size_t breachesSeen = core.breaches.size();
        std::optional<CallResult> result;
        const std::optional<Mismatch> undone = Perform(core, step, result);
        // A breach is the plugin's fault before any expectation: what the step got is not worth comparing.
        if (!ReportBreaches(core, breachesSeen, position, out)) return i + 1;
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
    if (options.activity) core.SetActivityListener(options.activity);
    if (options.breach) core.SetBreachListener(options.breach);
    if (options.story) {
        options.story(scenario.file + ": the core loads the plugins.");
        core.SetStory([&](std::string_view line) { options.story("   " + std::string(line)); });
    }
    const std::string loading = "while loading the plugins of " + scenario.file;
    Begin(options, 0, loading);
    if (std::string error; !LoadPlugins(core, plugins, error)) {
        if (ReportBreaches(core, 0, loading, out)) out << scenario.file << ": " << error << "\n";
        return {};
    }
    if (!ReportBreaches(core, 0, loading, out)) return {};
    const size_t failedStep = PlaySteps(core, scenario, options, out);
    if (options.story) {
        options.story("");
        options.story("The core unloads the plugins.");
    }
    const std::string unloading = "while unloading the plugins of " + scenario.file;
    Begin(options, 0, unloading);
    const size_t breachesSeen = core.breaches.size();
    core.UnloadAll();
    const bool unloaded = ReportBreaches(core, breachesSeen, unloading, out);
    if (failedStep == 0 && unloaded) return {PlayResult::Outcome::Passed};
    return {PlayResult::Outcome::Failed, failedStep};
}

}  // namespace Zarvo::DevCore
