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
        {"bogus", 2, "devcore: unknown command 'bogus'; the commands are run, describe and serve\n"},
        {"run", 2, "devcore: SCENARIO is required\nRun 'devcore run --help' for more information.\n"},
        {"run " + scenario + " --frobnicate", 2, "devcore: The following argument was not expected: --frobnicate\n"},
        {"serve --port=65536", 2, "devcore: --port: Value 65536 not in range 0 to 65535\n"},
        {"serve --port x", 2, "devcore: --port: Value x not in range 0 to 65535\n"},
        // An argument reaches the program as given: blanks, quotes and backslashes (the last before the end).
        {"run " + scenario + R"( --color 'x "y" z\"w\')", 2,
         R"(devcore: --color: it is auto, always or never, not x "y" z\"w\)" "\n"},
        // Timeouts are seconds within a day: no overflow of the clocks, no timeout rounded to none.
        {"run " + scenario + " --step-timeout=abc", 2,
         "devcore: --step-timeout: it is a number of seconds from 0.001 to 86400, not abc\n"},
        {"run " + scenario + " --step-timeout 1e300", 2,
         "devcore: --step-timeout: it is a number of seconds from 0.001 to 86400, not 1e300\n"},
        {"run " + scenario + " --step-timeout nan", 2, "devcore: --step-timeout: it is a number of seconds"},
        {"run " + scenario + " --step-timeout 0", 2, "devcore: --step-timeout: it is a number of seconds"},
        // (a plugin that cannot be read stops serve, should its timeout pass)
        {"serve --port 0 --plugin=" + scratch / "missing.so" + " --call-timeout 86401", 2,
         "devcore: --call-timeout: it is a number of seconds from 0.001 to 86400, or 0, not 86401\n"},
        {"serve --port 0 --plugin=" + scratch / "missing.so" + " --request-timeout=0.0001", 2,
         "devcore: --request-timeout: it is a number of seconds"},
        {"serve --port 0 --plugin=" + scratch / "missing.so" + " --idle-timeout=inf", 2,
         "devcore: --idle-timeout: it is a number of seconds"},
        {"run " + scenario + " --step-timeout=86400 --plugin=" + kLevelUpLibrary, 0, "PASS " + scenario},
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
    scratch.Write("stories/b2.yaml", "steps:\n  - put: /a\n");
    scratch.Write("stories/c.yaml.txt", passing);
    scratch.Write("stories/deeper/d.yaml", passing);
    scratch.Write("empty/notes.txt", "");

    ProgramRun run = RunDevcore("run " + scratch / "stories" + " --plugin " + kLevelUpLibrary);
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_EQ(LinesStartingWith(run.output, "PASS"), std::vector<std::string>{"PASS " + scratch / "stories/a.yml (1 step)"});
    EXPECT_EQ(LinesStartingWith(run.output, "FAIL"),
              std::vector<std::string>{"FAIL " + scratch / "stories/b.yaml" + " (step 1 of 1)"});
    EXPECT_EQ(LinesStartingWith(run.output, "ERROR"), std::vector<std::string>{"ERROR " + scratch / "stories/b2.yaml"});
    EXPECT_LT(run.output.find("PASS"), run.output.find("FAIL"));
    EXPECT_LT(run.output.find("FAIL"), run.output.find("ERROR"));
    EXPECT_TRUE(MaskTime(run.output).ends_with("\n1 failed, 1 passed, 1 error in <time>\n")) << run.output;

    run = RunDevcore("run " + scratch / "empty" + " --plugin " + kLevelUpLibrary);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.output, "devcore: " + scratch / "empty" + " holds no scenario file (*.yaml, *.yml)\n");
}

// --filter keeps the files whose path matches, and of the others the steps up to the last one whose note or title
// matches; any case matches.
TEST(CommandLine, AFilterKeepsFilesOrStepsByName) {
    const ScratchFolder scratch;
    scratch.Write("stories/login.yaml", "steps:\n  - put: /kiv-login/v1/session\n    value: 1\n");
    scratch.Write("stories/story.yaml", R"(steps:
  - put: /kiv-login/v1/session
    value: {state: SUCCEEDED, summonerId: 11, accountId: 22}
  - note: The game ends with a level gain.
    put: /kiv-end-of-game/v1/eog-stats-block
    value: {leveledUp: true, previousLevel: 4}
  - request: GET /kiv-player-level-up/v1/level-up
  - delete: /nothing/stored/here
)");
    const std::string stories = scratch / "stories";
    const std::string login = "PASS " + scratch / "stories/login.yaml" + " (1 step)";
    const struct {
        std::string filters;
        int status;
        std::vector<std::string> passed;
        std::string summary;
    } cases[] = {
        {"", 1, {login}, "1 failed, 1 passed in <time>"},
        {"--filter LOGIN.yaml", 0, {login}, "1 passed, 1 deselected in <time>"},
        {"-k 'LEVEL GAIN'", 0, {"PASS " + scratch / "stories/story.yaml" + " (steps 1-2 of 4)"},
         "1 passed, 1 deselected in <time>"},
        {"-k level-up -k login.", 0, {login, "PASS " + scratch / "stories/story.yaml" + " (steps 1-3 of 4)"},
         "2 passed in <time>"},
        {"--filter=absent", 2, {}, "2 deselected in <time>\nno scenario file, and no step, matches --filter"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = RunDevcore("run " + stories + " --plugin " + kLevelUpLibrary + " " + c.filters);
        EXPECT_EQ(run.status, c.status) << c.filters << "\n" << run.output;
        EXPECT_EQ(LinesStartingWith(run.output, "PASS"), c.passed) << c.filters;
        EXPECT_NE(("\n" + MaskTime(run.output)).find("\n" + c.summary + "\n"), std::string::npos) << c.filters << "\n" << run.output;
    }
}

// A scenario whose one step fails, and the command that runs it.
struct FailingRun {
    ScratchFolder scratch;
    std::string scenario = scratch.Write(
        "s.yaml", "steps:\n  - request: GET /kiv-player-level-up/v1/level-up\n    response: {status: 200}\n");
    std::string arguments = "run " + scenario + " --plugin " + kLevelUpLibrary;
};

// Colour goes to a terminal, unless NO_COLOR is set to a text or TERM is dumb; --color overrides both ways.
TEST(CommandLine, ColoursTheResultsWhenAsked) {
    const FailingRun failing;
    const std::string& run = failing.arguments;
    const struct {
        std::string arguments;
        std::string environment;
        bool coloured;
    } cases[] = {
        {run, "", false},
        {run + " --color=always", "NO_COLOR=1", true},
        {run + " --color always", "", true},
    };
    for (const auto& c : cases) {
        const ProgramRun result = RunDevcore(c.arguments, c.environment);
        EXPECT_EQ(result.status, 1) << c.arguments << "\n" << result.output;
        EXPECT_EQ(result.output.find('\x1b') != std::string::npos, c.coloured) << c.environment << " " << c.arguments;
    }

    const std::string& scenario = failing.scenario;
    const ProgramRun coloured = RunDevcore(run + " --color=always");
    EXPECT_EQ(MaskTime(coloured.output),
              "\x1b[1m" + scenario + ":3:24: step 1, request GET /kiv-player-level-up/v1/level-up: the response's "
              "status\x1b[0m\n"
              "  3 |     response: {status: 200}\n"
              "    |                        \x1b[1;31m^\x1b[0m\n"
              "\x1b[32m  expected: 200\x1b[0m\n"
              "\x1b[31m  got:      404 with the error \"Not found\"\x1b[0m\n"
              "\x1b[1;31mFAIL\x1b[0m " + scenario + " (step 1 of 1)\n"
              "\x1b[1;31m1 failed in <time>\x1b[0m\n");
}

TEST(CommandLine, ColoursTheResultsOnATerminal) {
    const FailingRun failing;
    const std::string& run = failing.arguments;
    const struct {
        std::string arguments;
        std::string environment;
        bool coloured;
    } cases[] = {
        {run, "", true},
        {run, "NO_COLOR=", true},
        {run, "NO_COLOR=1", false},
        {run, "TERM=dumb", false},
        {run + " --color=never", "", false},
    };
    for (const auto& c : cases) {
        // script(1) gives the program a terminal of its own.
        const ProgramRun result =
            RunShell(c.environment + " script -qec \"" + kDevcoreCommand + " " + c.arguments + "\" /dev/null");
        EXPECT_EQ(result.status, 1) << c.arguments << "\n" << result.output;
        EXPECT_EQ(result.output.find('\x1b') != std::string::npos, c.coloured) << c.environment << " " << c.arguments;
    }
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
