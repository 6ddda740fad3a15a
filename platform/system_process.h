// The portable face of the child processes devcore plays scenarios in: a child is this program started again, with
// a pipe on which it reports to its parent. Only system_process.cpp knows the platform.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Zarvo::Platform {

class ChildProcess {
public:
    ChildProcess() = default;
    // Kills and reaps a child that still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` with the arguments followed by `reportOption` and the number of the pipe's writing end,
    // which the child passes to WriteReport. The child shares the standard input, output and error, and inherits
    // nothing else of the parent's (no socket, no file). False with the system's reason when it cannot be started.
    bool Start(const std::string& program, const std::vector<std::string>& arguments, const std::string& reportOption,
               std::string& error);

    enum class Read { Data, Timeout, Ended };
    // Appends what the child reported to `data`, waiting at most `timeout` for it. Ended: the child closed the pipe,
    // by ending or otherwise.
    Read ReadReport(std::string& data, std::chrono::milliseconds timeout);

    void Kill();

    struct Exit {
        bool signalled = false;
        int code = 0;        // the exit status, or the signal's number
        std::string signal;  // the signal's name, such as "SIGSEGV", when signalled
    };
    // Waits for the child's end.
    Exit Wait();

private:
    intptr_t process_ = -1;
    intptr_t reports_ = -1;  // the pipe's reading end
};

// The child's side: writes the whole text to the pipe its parent gave; false when the parent is gone.
bool WriteReport(intptr_t channel, std::string_view text);

// The name of a signal a process ended by ("SIGSEGV"), or "signal N".
std::string SignalName(int signal);

}  // namespace Zarvo::Platform
