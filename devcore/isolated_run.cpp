#include "devcore/isolated_run.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "devcore/child_reports.h"
#include "devcore/scenario_player.h"
#include "devcore/scenario_reader.h"
#include "platform/system.h"
#include "platform/system_process.h"

namespace Zarvo::DevCore {
namespace {

// The child's reports are frames "<kind> <payload length>\n<payload>":
//   phase     "<step, 0 while loading or unloading> <1 while loading, else 0>\n<position>": the part of the play
//             that begins ("step 3 at story.yaml:12:5")
//   activity  the plugin activity in progress (ActivityPayload)
//   breach    "<0: Fail, 1: Warn>\n<text>": a breach as the core records it, told again by the parent when the
//             child ends before its result
//   result    "<outcome> <steps> <steps played> <failed step>\n<report>"

// Enough to tell why a plugin crashed or hung, few enough that a plugin breaking the contract in a loop cannot grow
// the parent.
constexpr size_t kMaxHeardBreaches = 100;

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

// What the parent knows of the child's play so far.
struct Heard {
    std::string position = "before the scenario began";
    size_t step = 0;
    bool loading = true;
    HeardActivity activity;
    // The breaches as report lines, positioned where they were heard; the first kMaxHeardBreaches of them.
    std::vector<std::string> breaches;
    size_t breachesLeftOut = 0;
    bool anything = false;
    bool finished = false;
    ScenarioRun result;
};

void Hear(Heard& heard, const std::string& kind, const std::string& payload) {
    heard.anything = true;
    if (kind == "phase") {
        int loading = 1;
        std::sscanf(payload.c_str(), "%zu %d", &heard.step, &loading);
        heard.loading = loading == 1;
        const size_t newline = payload.find('\n');
        heard.position = newline == std::string::npos ? "" : payload.substr(newline + 1);
    } else if (kind == "activity") {
        HearActivity(heard.activity, payload);
    } else if (kind == "breach") {
        if (heard.breaches.size() == kMaxHeardBreaches) {
            ++heard.breachesLeftOut;
            return;
        }
        const bool warn = !payload.empty() && payload[0] == '1';
        const size_t newline = payload.find('\n');
        heard.breaches.push_back(std::string(warn ? "WARN " : "FAIL ") +
                                 (newline == std::string::npos ? "" : payload.substr(newline + 1)) + ", " +
                                 heard.position);
    } else if (kind == "result") {
        const size_t newline = payload.find('\n');
        int outcome = 0;
        std::sscanf(payload.c_str(), "%d %zu %zu %zu", &outcome, &heard.result.steps, &heard.result.stepsPlayed,
                    &heard.result.failedStep);
        heard.result.outcome = static_cast<ScenarioRun::Outcome>(outcome);
        heard.result.report = newline == std::string::npos ? "" : payload.substr(newline + 1);
        heard.finished = true;
    }
}

std::string Hung(const HeardActivity& heard, double timeout) {
    if (heard.plugin.empty()) return "the core did not finish within " + Seconds(timeout) + " outside any plugin's code";
    if (heard.running) return heard.plugin + " did not return within " + Seconds(timeout) + " from " + heard.what;
    // The core reads what a plugin hands it within bounds; the code around the reading is what did not return.
    if (!heard.withinPlugin.empty())
        return heard.withinPlugin + " did not return within " + Seconds(timeout) + " from " + heard.withinWhat;
    return "the core did not finish reading " + heard.what + " within " + Seconds(timeout);
}

bool childrenStart = true;  // false once this system could not run a child

}  // namespace

ScenarioRun RunFileInChild(const std::string& file, const RunOptions& options, std::ostream& out) {
    if (!childrenStart) return RunScenarioFile(file, options, out);
    std::vector<std::string> arguments = {"run", file, "--step-timeout", std::to_string(options.stepTimeout)};
    for (const std::string& plugin : options.plugins) arguments.insert(arguments.end(), {"--plugin", plugin});
    for (const std::string& filter : options.filters) arguments.insert(arguments.end(), {"--filter", filter});
    if (options.verbose) arguments.push_back("--verbose");
    out.flush();
    Platform::ChildProcess child;
    if (std::string error; !child.Start(Platform::ExecutableFilePath(), arguments, kReportOption, error)) {
        childrenStart = false;
        return RunScenarioFile(file, options, out);
    }

    using Clock = std::chrono::steady_clock;
    const auto timeout = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.stepTimeout));
    Heard heard;
    std::string buffer;
    Clock::time_point deadline = Clock::now() + timeout;
    bool hung = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const Platform::ChildProcess::Read read = child.ReadReport(buffer, std::max(left, std::chrono::milliseconds(0)) +
                                                                               std::chrono::milliseconds(1));
        for (std::string kind, payload; TakeFrame(buffer, kind, payload);) {
            Hear(heard, kind, payload);
            if (kind == "phase") deadline = Clock::now() + timeout;
        }
        if (read == Platform::ChildProcess::Read::Ended) break;
        if (read == Platform::ChildProcess::Read::Timeout && Clock::now() >= deadline && !heard.finished) {
            hung = true;
            child.Kill();
            break;
        }
    }
    const Platform::ChildProcess::Exit exit = child.Wait();
    if (heard.finished) {
        if (exit.signalled || exit.code != 0) {
            // After the play: a sanitizer's report at exit, say, which the error output shows.
            if (heard.result.outcome == ScenarioRun::Outcome::Passed) heard.result.outcome = ScenarioRun::Outcome::Failed;
            heard.result.report += "FAIL the core's process ended with " +
                                   (exit.signalled ? exit.signal : "exit status " + std::to_string(exit.code)) +
                                   " after its play, " + heard.position + "\n";
        }
        return heard.result;
    }
    // A child that could not run this program ends with 127 before its first word.
    if (!heard.anything && !exit.signalled && exit.code == 127) {
        childrenStart = false;
        return RunScenarioFile(file, options, out);
    }
    ScenarioRun failed;
    failed.outcome = heard.loading ? ScenarioRun::Outcome::Error : ScenarioRun::Outcome::Failed;
    failed.failedStep = heard.step;
    // The child's count of the steps is lost with it.
    std::string unread;
    if (Scenario scenario; ReadScenario(file, scenario, unread)) failed.steps = failed.stepsPlayed = scenario.steps.size();
    const std::string what = hung            ? Hung(heard.activity, options.stepTimeout)
                             : exit.signalled ? CrashSentence(heard.activity, exit.signal)
                                              : "the core's process ended with exit status " +
                                                    std::to_string(exit.code) + " before the play did";
    for (const std::string& breach : heard.breaches) failed.report += breach + "\n";
    if (heard.breachesLeftOut > 0)
        failed.report += "and " + std::to_string(heard.breachesLeftOut) + " more breaches of the contract before it\n";
    failed.report += "FAIL " + what + ", " + heard.position + "\n";
    return failed;
}

int RunAsChild(const RunOptions& options, intptr_t channel, std::ostream& out) {
    // A plugin's crash ends this child, and the parent reads which from its exit status.
    Platform::EndProcessOnFault();
    PlayOptions play;
    bool loading = true;
    play.phase = [channel, &loading](size_t step, const std::string& position) {
        loading = loading && step == 0;
        SendFrame(channel, "phase", std::to_string(step) + (loading ? " 1\n" : " 0\n") + OneLine(position));
    };
    play.activity = [channel](const PluginActivity* activity) {
        SendFrame(channel, "activity", ActivityPayload(activity));
    };
    play.breach = [channel](const ContractBreach& breach) {
        const char* severity = breach.severity == ContractBreach::Severity::Warn ? "1\n" : "0\n";
        SendFrame(channel, "breach", severity + OneLine(breach.text));
    };
    for (const std::string& file : options.scenarios) {
        const ScenarioRun run = RunScenarioFile(file, options, out, &play);
        out.flush();
        SendFrame(channel, "result",
                  std::to_string(static_cast<int>(run.outcome)) + " " + std::to_string(run.steps) + " " +
                      std::to_string(run.stepsPlayed) + " " + std::to_string(run.failedStep) + "\n" + run.report);
    }
    return 0;
}

}  // namespace Zarvo::DevCore
