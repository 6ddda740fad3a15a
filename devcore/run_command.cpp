#include "devcore/run_command.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>
#include <sstream>

#include "devcore/input_files.h"
#include "devcore/isolated_run.h"
#include "devcore/junit_report.h"
#include "devcore/run_report.h"
#include "devcore/scenario_player.h"
#include "devcore/scenario_reader.h"

namespace Zarvo::DevCore {
namespace {

bool Contains(std::string_view text, std::string_view part) {
    const auto lower = [](unsigned char c) { return std::tolower(c); };
    return !std::ranges::search(text, part, {}, lower, lower).empty();
}

bool Matches(std::string_view text, const std::vector<std::string>& filters) {
    return std::any_of(filters.begin(), filters.end(),
                       [&](const std::string& filter) { return Contains(text, filter); });
}

// How many of the scenario's first steps the filters keep: all when there is none or the file's path matches one,
// else up to the last step whose note or title matches one; nothing when no step does.
std::optional<size_t> StepsToPlay(const Scenario& scenario, const std::vector<std::string>& filters) {
    if (filters.empty() || Matches(scenario.file, filters)) return scenario.steps.size();
    for (size_t i = scenario.steps.size(); i > 0; --i) {
        const Step& step = scenario.steps[i - 1];
        if (Matches(step.note, filters) || Matches(step.Title(), filters)) return i;
    }
    return std::nullopt;
}

}  // namespace

ScenarioRun RunScenarioFile(const std::string& file, const RunOptions& options, std::ostream& out,
                            const PlayOptions* heard) {
    ScenarioRun run;
    Scenario scenario;
    std::string error;
    if (!ReadScenario(file, scenario, error)) {
        run.report = error + "\n";
        return run;
    }
    run.steps = scenario.steps.size();
    const std::optional<size_t> kept = StepsToPlay(scenario, options.filters);
    if (!kept) {
        run.outcome = ScenarioRun::Outcome::Deselected;
        return run;
    }
    run.stepsPlayed = *kept;
    PlayOptions play = heard ? *heard : PlayOptions{};
    play.plugins = options.plugins;
    play.steps = run.stepsPlayed;
    if (options.verbose) play.story = [&out](std::string_view line) { out << line << std::endl; };
    std::ostringstream report;
    const PlayResult result = PlayScenario(scenario, play, report);
    run.report = report.str();
    switch (result.outcome) {
        case PlayResult::Outcome::Passed: run.outcome = ScenarioRun::Outcome::Passed; break;
        case PlayResult::Outcome::Failed: run.outcome = ScenarioRun::Outcome::Failed; break;
        case PlayResult::Outcome::NotPlayed: run.outcome = ScenarioRun::Outcome::Error; break;
    }
    run.failedStep = result.failedStep;
    if (options.verbose) out << std::endl;
    return run;
}

int RunScenarios(const RunOptions& options, std::ostream& out) {
    using Clock = std::chrono::steady_clock;
    const auto seconds = [](Clock::time_point start) {
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    const Clock::time_point start = Clock::now();
    RunTally tally;
    std::vector<ScenarioCase> cases;
    for (const std::string& file : options.scenarios) {
        const Clock::time_point fileStart = Clock::now();
        ScenarioRun run = options.isolated ? RunFileInChild(file, options, out) : RunScenarioFile(file, options, out);
        ScenarioCase& played = cases.emplace_back(ScenarioCase{file, std::move(run), seconds(fileStart)});
        tally.Count(played.run.outcome);
        if (played.run.outcome != ScenarioRun::Outcome::Deselected)
            out << PaintReport(played.run.report, options.colour) << ResultLine(file, played.run, options.colour)
                << std::flush;
    }
    const double total = seconds(start);
    out << SummaryLine(tally, total, options.colour) << std::flush;
    if (!options.junitFile.empty()) {
        std::string error;
        if (!WriteFile(options.junitFile, JUnitXml(cases, total), error)) {
            out << "devcore: " << error << std::endl;
            return 2;
        }
    }
    if (!tally.AllPassed()) return 1;
    if (tally.passed > 0) return 0;
    out << "no scenario file, and no step, matches --filter" << std::endl;
    return 2;
}

}  // namespace Zarvo::DevCore
