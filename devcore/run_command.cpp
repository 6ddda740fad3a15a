#include "devcore/run_command.h"

#include <chrono>
#include <sstream>

#include "devcore/run_report.h"
#include "devcore/scenario_player.h"
#include "devcore/scenario_reader.h"

namespace Zarvo::DevCore {

ScenarioRun RunScenarioFile(const std::string& file, const RunOptions& options, std::ostream& out) {
    ScenarioRun run;
    Scenario scenario;
    std::string error;
    if (!ReadScenario(file, scenario, error)) {
        run.report = error + "\n";
        return run;
    }
    run.steps = scenario.steps.size();
    PlayOptions play;
    play.plugins = options.plugins;
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
    const auto start = std::chrono::steady_clock::now();
    RunTally tally;
    for (const std::string& file : options.scenarios) {
        const ScenarioRun run = RunScenarioFile(file, options, out);
        tally.Count(run.outcome);
        out << PaintReport(run.report, options.colour) << ResultLine(file, run, options.colour) << std::flush;
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    out << SummaryLine(tally, seconds.count(), options.colour) << std::flush;
    return tally.AllPassed() ? 0 : 1;
}

}  // namespace Zarvo::DevCore
