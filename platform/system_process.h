// The portable face of child processes: devcore plays scenarios in children, this program started again with a
// pipe on which it reports to its parent; tests run programs with their output captured. Only the
// platform/system_process_* files know the platform.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
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
    // which the child passes to WriteReport. The child shares the standard input, output and error. A POSIX child
    // inherits no other descriptor; a Windows child inherits the handles made inheritable, which Winsock's sockets
    // are unless KeepFromChildProcesses (system_socket.h) says otherwise. False with the system's reason when it
    // cannot be started.
    bool Start(const std::string& program, const std::vector<std::string>& arguments, const std::string& reportOption,
               std::string& error);
    // Starts `program` with the arguments, its standard output and error going to the pipe that ReadReport reads.
    // `environment` holds "NAME=value" settings on top of this process's environment, `folder` the child's working
    // folder (empty: this process's). False with the system's reason when it cannot be started.
    bool StartCapturingOutput(const std::string& program, const std::vector<std::string>& arguments,
                              const std::vector<std::string>& environment, const std::string& folder,
                              std::string& error);

    enum class Read { Data, Timeout, Ended };
    // Appends what the child reported (or wrote, when its output is captured) to `data`, waiting at most `timeout`
    // for it. Ended: the child closed the pipe, by ending or otherwise.
    Read ReadReport(std::string& data, std::chrono::milliseconds timeout);

    void Kill();
    // Sends the signal (SIGINT, SIGTERM) to the child; false where the system has no signals between processes
    // (Windows).
    bool SendSignal(int signal);

    struct Exit {
        // Ended by a signal (POSIX), or by a fault or an abort (Windows), rather than by exiting.
        bool signalled = false;
        int code = 0;        // the exit status, or the signal's number, or the fault's code
        std::string signal;  // what ended it when signalled: "SIGSEGV", "SIGABRT", "exception 0xC0000135"
    };
    // Waits for the child's end.
    Exit Wait();
    // Waits at most `timeout`; nothing when the child still runs then.
    std::optional<Exit> WaitFor(std::chrono::milliseconds timeout);

private:
    intptr_t process_ = -1;
    intptr_t reports_ = -1;  // the pipe's reading end
};

// The child's side: writes the whole text to the pipe its parent gave; false when the parent is gone.
bool WriteReport(intptr_t channel, std::string_view text);

// From now on a fault of this process (an access violation, say) ends it at once, and its exit status tells the
// parent what happened: the system's crash report or debugger does not start. Where the system does that already
// (POSIX: the fault's signal ends the process), nothing changes.
void EndProcessOnFault();

}  // namespace Zarvo::Platform
