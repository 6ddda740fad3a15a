// Runs the devcore program, as a user would from a shell, and keeps what it wrote and its exit status.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <regex>
#include <string>

#include "devcore_fixture.h"

namespace Zarvo::DevCore::Testing {

struct ProgramRun {
    int status = -1;     // the exit status; -1 when the program did not exit by itself
    std::string output;  // its standard output and error, interleaved as written
};

// Runs a shell command and keeps its output (standard output and error) and exit status.
inline ProgramRun RunShell(const std::string& command) {
    ProgramRun run;
    std::FILE* const pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    for (size_t read; (read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, read);
    const int status = pclose(pipe);
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    return run;
}

// The devcore program as a shell runs it, under the emulator of the build when it has one.
inline const std::string kDevcoreCommand = KIV_EMULATOR " '" KIV_DEVCORE_PROGRAM "'";

// `arguments` are given to a shell as written, after the program's path; `environment` goes before it
// ("NO_COLOR=1 "), and the shell runs it in `folder` when one is given.
inline ProgramRun RunDevcore(const std::string& arguments, const std::string& environment = "",
                             const std::string& folder = "") {
    return RunShell((folder.empty() ? "" : "cd '" + folder + "' && ") + environment + " " + kDevcoreCommand + " " +
                    arguments);
}

// The output with the run's time in its summary line written <time>.
inline std::string MaskTime(const std::string& output) {
    return std::regex_replace(output, std::regex(" in [0-9]+\\.[0-9]{2}s(\x1b\\[0m)?\n"), " in <time>$1\n");
}

}  // namespace Zarvo::DevCore::Testing
