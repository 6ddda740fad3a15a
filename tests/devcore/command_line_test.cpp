// The devcore program's command line: commands, options, help, and the exit status of each outcome.
#include <gtest/gtest.h>

#include <algorithm>

#include "devcore_program.h"

namespace Zarvo::DevCore::Testing {
namespace {

TEST(CommandLine, EachCommandHasItsHelpAndEveryFaultExitsWith2) {
    const ScratchFolder scratch;
    const std::string scenario = scratch.Write("s.yaml", "steps:\n  - put: /a\n    value: 1\n");
    const struct {
        std::string arguments;
        int status;
        std::string output;  // the start of what the program writes
    } cases[] = {
        {"--version", 0, "devcore " DEVCORE_VERSION "\n"},
        {"--help", 0, "devcore, the development core"},
        {"run --help", 0, "play scenario files around plugin libraries\nUsage: devcore run [OPTIONS] SCENARIO..."},
        {"serve --help", 0, "serve the plugins' routes and a resource store over HTTP\nUsage: devcore serve"},
        {"", 2, "devcore: A subcommand is required\n"},
        {"bogus", 2, "devcore: unknown command 'bogus'; the commands are run and serve\n"},
        {"run", 2, "devcore: SCENARIO is required\nRun 'devcore run --help' for more information.\n"},
        {"run " + scenario + " --frobnicate", 2, "devcore: The following argument was not expected: --frobnicate\n"},
        {"serve --port=65536", 2, "devcore: --port: Value 65536 not in range 0 to 65535\n"},
        {"serve --port x", 2, "devcore: --port: Value x not in range 0 to 65535\n"},
        {"run " + scratch / "missing.yaml", 2,
         "devcore: cannot read " + scratch / "missing.yaml" + ": No such file or directory\n"},
        {"run " + scenario + " --plugin=" + scratch / "missing.so", 2,
         "devcore: cannot read " + scratch / "missing.so" + ": No such file or directory\n"},
        {"serve --port=0 --plugin " + scratch / "missing.so", 2,
         "devcore: cannot read " + scratch / "missing.so" + ": No such file or directory\n"},
        {"run " + scenario + " --plugin=" + kLevelUpLibrary, 0, "PASS " + scenario + " (1 step)\n"},
        {"run --plugin " + kLevelUpLibrary + " " + scenario + " -v", 0, scenario + ": the core loads the plugins.\n"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = RunDevcore(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
        EXPECT_EQ(run.output.substr(0, c.output.size()), c.output) << c.arguments;
    }
}

// The lines of the output that begin with the prefix.
std::vector<std::string> LinesStartingWith(const std::string& output, std::string_view prefix) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < output.size(); start = end + 1) {
        end = std::min(output.find('\n', start), output.size());
        if (output.compare(start, prefix.size(), prefix) == 0) lines.push_back(output.substr(start, end - start));
    }
    return lines;
}

TEST(CommandLine, AFolderStandsForItsScenarioFilesSortedByName) {
    const ScratchFolder scratch;
    const std::string passing = "steps:\n  - put: /a\n    value: 1\n";
    scratch.Write("stories/b.yaml", "steps:\n  - delete: /nothing\n");
    scratch.Write("stories/a.yml", passing);
    scratch.Write("stories/c.yaml.txt", passing);
    scratch.Write("stories/deeper/d.yaml", passing);
    scratch.Write("empty/notes.txt", "");

    ProgramRun run = RunDevcore("run " + scratch / "stories" + " --plugin " + kLevelUpLibrary);
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_EQ(LinesStartingWith(run.output, "PASS"), std::vector<std::string>{"PASS " + scratch / "stories/a.yml (1 step)"});
    EXPECT_EQ(LinesStartingWith(run.output, "FAIL"), std::vector<std::string>{"FAIL " + scratch / "stories/b.yaml"});
    EXPECT_LT(run.output.find("PASS"), run.output.find("FAIL"));

    run = RunDevcore("run " + scratch / "empty" + " --plugin " + kLevelUpLibrary);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.output, "devcore: " + scratch / "empty" + " holds no scenario file (*.yaml, *.yml)\n");
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
