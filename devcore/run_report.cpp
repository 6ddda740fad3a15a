#include "devcore/run_report.h"

#include <cstdio>
#include <optional>

#include "devcore/terminal_colour.h"

namespace Zarvo::DevCore {
namespace {

constexpr std::string_view kExpected = "  expected: ";
constexpr std::string_view kGot = "  got:      ";
constexpr std::string_view kContinued = "            ";

std::string Count(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

void RunTally::Count(ScenarioRun::Outcome outcome) {
    switch (outcome) {
        case ScenarioRun::Outcome::Passed: ++passed; break;
        case ScenarioRun::Outcome::Failed: ++failed; break;
        case ScenarioRun::Outcome::Error: ++errors; break;
        case ScenarioRun::Outcome::Deselected: ++deselected; break;
    }
}

std::string PaintReport(std::string_view report, bool colour) {
    if (!colour) return std::string(report);
    std::string painted;
    std::optional<Colour> valueColour;  // of the expected or got value whose lines are being painted
    for (size_t start = 0; start < report.size();) {
        const size_t end = std::min(report.find('\n', start), report.size());
        const std::string_view line = report.substr(start, end - start);
        if (line.starts_with(kExpected)) {
            valueColour = Colour::Green;
        } else if (line.starts_with(kGot)) {
            valueColour = Colour::Red;
        } else if (!line.starts_with(kContinued)) {
            valueColour.reset();
        }
        if (valueColour) {
            painted += Coloured(line, *valueColour, true);
        } else if (!line.empty() && line[0] != ' ') {
            painted += Coloured(line, Colour::Bold, true);
        } else if (line.ends_with('^') && line.find(" | ") != std::string_view::npos) {
            painted += std::string(line.substr(0, line.size() - 1)) + Coloured("^", Colour::BoldRed, true);
        } else {
            painted += line;
        }
        if (end < report.size()) painted += '\n';
        start = end + 1;
    }
    return painted;
}

std::string ResultLine(const std::string& file, const ScenarioRun& run, bool colour) {
    switch (run.outcome) {
        case ScenarioRun::Outcome::Passed:
            return Coloured("PASS", Colour::Green, colour) + " " + file + " (" +
                   (run.stepsPlayed < run.steps
                        ? "steps 1-" + std::to_string(run.stepsPlayed) + " of " + std::to_string(run.steps)
                        : Count(run.steps, "step", "steps")) +
                   ")\n";
        case ScenarioRun::Outcome::Failed:
            return Coloured("FAIL", Colour::BoldRed, colour) + " " + file +
                   (run.failedStep == 0 ? std::string(" (while unloading)")
                                        : " (step " + std::to_string(run.failedStep) + " of " +
                                              std::to_string(run.steps) + ")") +
                   "\n";
        case ScenarioRun::Outcome::Error: return Coloured("ERROR", Colour::BoldRed, colour) + " " + file + "\n";
        case ScenarioRun::Outcome::Deselected: return {};
    }
    return {};
}

std::string SummaryLine(const RunTally& tally, double seconds, bool colour) {
    std::string counts;
    const auto add = [&](size_t count, const char* one, const char* many) {
        if (count > 0) (counts += counts.empty() ? "" : ", ") += Count(count, one, many);
    };
    add(tally.failed, "failed", "failed");
    add(tally.passed, "passed", "passed");
    add(tally.deselected, "deselected", "deselected");
    add(tally.errors, "error", "errors");
    char time[32];
    std::snprintf(time, sizeof time, " in %.2fs", seconds);
    const Colour summary = !tally.AllPassed() ? Colour::BoldRed : tally.passed > 0 ? Colour::Green : Colour::Bold;
    return Coloured(counts + time, summary, colour) + "\n";
}

}  // namespace Zarvo::DevCore
