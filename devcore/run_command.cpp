#include "devcore/run_command.h"

#include <sstream>

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
    run.outcome = PlayScenario(scenario, play, report) ? ScenarioRun::Outcome::Passed : ScenarioRun::Outcome::Failed;
    run.report = report.str();
    if (options.verbose) out << std::endl;
    return run;
}

int RunScenarios(const RunOptions& options, std::ostream& out) {
    size_t failed = 0;
    for (const std::string& file : options.scenarios) {
        const ScenarioRun run = RunScenarioFile(file, options, out);
        out << run.report;
        if (run.outcome == ScenarioRun::Outcome::Passed) {
            out << "PASS " << file << " (" << run.steps << (run.steps == 1 ? " step)" : " steps)") << std::endl;
        } else {
            out << "FAIL " << file << std::endl;
            ++failed;
        }
    }
    const size_t files = options.scenarios.size();
    if (files > 1) out << files - failed << " of " << files << " scenarios passed" << std::endl;
    return failed == 0 ? 0 : 1;
}

}  // namespace Zarvo::DevCore
