// Runs the devcore program, as a user would from a shell, and keeps what it wrote and its exit status.
#pragma once

#include <chrono>
#include <regex>
#include <string>
#include <vector>

#include "devcore_fixture.h"
#include "line_feeds.h"
#include "platform/system_process.h"

namespace Zarvo::DevCore::Testing {

struct ProgramRun {
    int status = -1;     // the exit status; -1 when the program did not exit by itself
    std::string output;  // its standard output and error, interleaved as written, its lines ended by '\n'
};

// Runs a program with the arguments, the "NAME=value" settings added to the environment, in `folder` when one is
// given, and keeps its output (standard output and error) and exit status.
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const std::vector<std::string>& environment = {}, const std::string& folder = "") {
    ProgramRun run;
    Platform::ChildProcess child;
    std::string error;
    if (!child.StartCapturingOutput(program, arguments, environment, folder, error)) {
        run.output = "cannot start " + program + ": " + error;
        return run;
    }
    while (child.ReadReport(run.output, std::chrono::seconds(1)) != Platform::ChildProcess::Read::Ended) {
    }
    const Platform::ChildProcess::Exit exit = child.Wait();
    if (!exit.signalled) run.status = exit.code;
    run.output = WithLineFeeds(std::move(run.output));
    return run;
}

// The words of a command line as a shell splits them: at blanks, except within single quotes.
inline std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (const char c : text) {
        if (c == '\'') {
            quoted = !quoted;
            inWord = true;
        } else if (c == ' ' && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

// Runs a command line with the shell (POSIX only).
inline ProgramRun RunShell(const std::string& command) { return RunProgram("/bin/sh", {"-c", command}); }

// The devcore program as a shell runs it, under the emulator of the build when it has one.
inline const std::string kDevcoreCommand = KIV_EMULATOR " '" KIV_DEVCORE_PROGRAM "'";

// `arguments` are split into words as a shell would, and follow the program's path; `environment` holds "NAME=value"
// settings separated by blanks ("NO_COLOR=1"), and the program runs in `folder` when one is given.
inline ProgramRun RunDevcore(const std::string& arguments, const std::string& environment = "",
                             const std::string& folder = "") {
    std::vector<std::string> words = Words(arguments);
    std::string program = KIV_DEVCORE_PROGRAM;
    if (const std::string emulator = KIV_EMULATOR; !emulator.empty()) {
        words.insert(words.begin(), program);
        program = emulator;
    }
    return RunProgram(program, words, Words(environment), folder);
}

// The output with the run's time in its summary line written <time>.
inline std::string MaskTime(const std::string& output) {
    return std::regex_replace(output, std::regex(" in [0-9]+\\.[0-9]{2}s(\x1b\\[0m)?\n"), " in <time>$1\n");
}

}  // namespace Zarvo::DevCore::Testing
