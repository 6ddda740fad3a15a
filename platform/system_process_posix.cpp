// Child processes on POSIX systems: posix_spawn, a pipe read with poll, the status waitpid gives.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

#include "platform/system_process.h"

extern char** environ;

namespace Zarvo::Platform {
namespace {

// The name of a signal a process ended by ("SIGSEGV"), or "signal N".
std::string SignalName(int signal) {
    switch (signal) {
        case SIGSEGV: return "SIGSEGV";
        case SIGABRT: return "SIGABRT";
        case SIGBUS: return "SIGBUS";
        case SIGFPE: return "SIGFPE";
        case SIGILL: return "SIGILL";
        case SIGKILL: return "SIGKILL";
        case SIGTERM: return "SIGTERM";
        case SIGINT: return "SIGINT";
        case SIGPIPE: return "SIGPIPE";
        case SIGTRAP: return "SIGTRAP";
        default: return "signal " + std::to_string(signal);
    }
}

ChildProcess::Exit ExitOf(int status) {
    ChildProcess::Exit exit;
    if (WIFSIGNALED(status)) {
        exit.signalled = true;
        exit.code = WTERMSIG(status);
        exit.signal = SignalName(exit.code);
    } else {
        exit.code = WEXITSTATUS(status);
    }
    return exit;
}

std::vector<char*> ArgumentVector(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    return argv;
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (process_ > 0) {
        Kill();
        Wait();
    }
    if (reports_ >= 0) close(static_cast<int>(reports_));
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& reportOption, std::string& error) {
    int pipe[2];
    if (pipe2(pipe, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
    // Only the writing end passes to the child, as its descriptor 3; every other descriptor above the standard
    // ones closes in the child, so that a socket of the parent's (one the parent closes, or its listening port)
    // never lives on in the child.
    constexpr int kChildChannel = 3;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (pipe[1] == kChildChannel)
        fcntl(pipe[1], F_SETFD, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, pipe[1], kChildChannel);
    posix_spawn_file_actions_addclosefrom_np(&actions, kChildChannel + 1);
    std::vector<std::string> all = arguments;
    all.push_back(reportOption);
    all.push_back(std::to_string(kChildChannel));
    std::vector<char*> argv = ArgumentVector(program, all);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe[1]);
    if (failed != 0) {
        close(pipe[0]);
        error = std::strerror(failed);
        return false;
    }
    process_ = pid;
    reports_ = pipe[0];
    return true;
}

bool ChildProcess::StartCapturingOutput(const std::string& program, const std::vector<std::string>& arguments,
                                        const std::vector<std::string>& environment, const std::string& folder,
                                        std::string& error) {
    // This process's environment, each setting given replacing the variable of its name.
    std::vector<std::string> settings;
    for (char** variable = environ; *variable; ++variable) {
        const std::string_view entry(*variable);
        const std::string_view name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const std::string& setting : environment) replaced = replaced || setting.starts_with(name);
        if (!replaced) settings.emplace_back(entry);
    }
    settings.insert(settings.end(), environment.begin(), environment.end());
    std::vector<char*> envp;
    for (std::string& setting : settings) envp.push_back(setting.data());
    envp.push_back(nullptr);

    int pipe[2];
    if (pipe2(pipe, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], STDERR_FILENO);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<char*> argv = ArgumentVector(program, arguments);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipe[1]);
    if (failed != 0) {
        close(pipe[0]);
        error = std::strerror(failed);
        return false;
    }
    process_ = pid;
    reports_ = pipe[0];
    return true;
}

ChildProcess::Read ChildProcess::ReadReport(std::string& data, std::chrono::milliseconds timeout) {
    pollfd watched{static_cast<int>(reports_), POLLIN, 0};
    const int ready = poll(&watched, 1, static_cast<int>(timeout.count()));
    if (ready == 0) return Read::Timeout;
    if (ready < 0) return errno == EINTR ? Read::Timeout : Read::Ended;
    char buffer[4096];
    const ssize_t got = read(static_cast<int>(reports_), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) return Read::Timeout;
    if (got <= 0) return Read::Ended;
    data.append(buffer, static_cast<size_t>(got));
    return Read::Data;
}

void ChildProcess::Kill() {
    if (process_ > 0) kill(static_cast<pid_t>(process_), SIGKILL);
}

bool ChildProcess::SendSignal(int signal) {
    return process_ > 0 && kill(static_cast<pid_t>(process_), signal) == 0;
}

ChildProcess::Exit ChildProcess::Wait() {
    if (process_ <= 0) return {};
    int status = 0;
    while (waitpid(static_cast<pid_t>(process_), &status, 0) < 0 && errno == EINTR) {
    }
    process_ = -1;
    return ExitOf(status);
}

std::optional<ChildProcess::Exit> ChildProcess::WaitFor(std::chrono::milliseconds timeout) {
    if (process_ <= 0) return Exit{};
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t ended = waitpid(static_cast<pid_t>(process_), &status, WNOHANG);
        if (ended == static_cast<pid_t>(process_)) {
            process_ = -1;
            return ExitOf(status);
        }
        if (std::chrono::steady_clock::now() >= end) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool WriteReport(intptr_t channel, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = write(static_cast<int>(channel), text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        text.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

void EndProcessOnFault() {}

}  // namespace Zarvo::Platform
