// Runs the devcore program, as a user would from a shell, and keeps what it wrote and its exit status.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "devcore_fixture.h"

namespace Zarvo::DevCore::Testing {

struct ProgramRun {
    int status = -1;     // the exit status; -1 when the program did not exit by itself
    std::string output;  // its standard output and error, interleaved as written
};

// `arguments` are given to a shell as written, after the program's path; `environment` goes before it
// ("NO_COLOR=1 "), and the shell runs it in `folder` when one is given.
inline ProgramRun RunDevcore(const std::string& arguments, const std::string& environment = "",
                             const std::string& folder = "") {
    const std::string command = (folder.empty() ? "" : "cd '" + folder + "' && ") + environment + " " +
                                KIV_EMULATOR " '" KIV_DEVCORE_PROGRAM "' " + arguments + " 2>&1";
    ProgramRun run;
    std::FILE* const pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    for (size_t read; (read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, read);
    const int status = pclose(pipe);
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    return run;
}

}  // namespace Zarvo::DevCore::Testing
