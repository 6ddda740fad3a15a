// Child processes on Windows: CreateProcess, an anonymous pipe polled with PeekNamedPipe, the exit code of the
// process telling a fault by its exception code.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/system_process.h"

namespace Zarvo::Platform {
namespace {

// The exit status the C runtime's abort ends a process with, after raising SIGABRT.
constexpr DWORD kAbortStatus = 3;

HANDLE Handle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

std::string SystemReason(DWORD code) {
    char text[512] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                  sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' ')) --length;
    return (length > 0 ? std::string(text, length) : std::string("error")) + " (error " + std::to_string(code) + ")";
}

// One argument as the C runtime of the child splits its command line again: quoted when it holds a blank or a
// quote or is empty, a quote escaped, and the backslashes before a quote (or before the closing one) doubled.
void AppendQuoted(std::string& line, const std::string& argument) {
    if (!line.empty()) line += ' ';
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        line += argument;
        return;
    }
    line += '"';
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
}

std::string CommandLine(const std::string& program, const std::vector<std::string>& arguments) {
    std::string line;
    AppendQuoted(line, program);
    for (const std::string& argument : arguments) AppendQuoted(line, argument);
    return line;
}

// What ended a process with this exit code: the C runtime's signal for the faults it maps to one (an access
// violation is SIGSEGV there too), else the exception's code.
std::string FaultName(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_IN_PAGE_ERROR: return "SIGSEGV";
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_PRIV_INSTRUCTION: return "SIGILL";
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        case EXCEPTION_FLT_INVALID_OPERATION: return "SIGFPE";
        case EXCEPTION_STACK_OVERFLOW: return "a stack overflow";
        default: {
            char text[32];
            std::snprintf(text, sizeof text, "exception 0x%08lX", static_cast<unsigned long>(code));
            return text;
        }
    }
}

ChildProcess::Exit ExitOf(DWORD code) {
    ChildProcess::Exit exit;
    exit.code = static_cast<int>(code);
    // Exception codes have both top bits set; a process that ends by exiting gives a small number.
    if ((code & 0xC0000000) == 0xC0000000) {
        exit.signalled = true;
        exit.signal = FaultName(code);
    } else if (code == kAbortStatus) {
        // Also what exit(3) gives; a process that ends by abort is by far the likelier here.
        exit.signalled = true;
        exit.signal = "SIGABRT";
    }
    return exit;
}

// Handles that the child inherits are made inheritable only for the time of one CreateProcess, so that no other
// child started meanwhile takes them along (and keeps a pipe open).
std::mutex inheritance;

// Starts the program, passing on the handles that are inheritable; the process handle, or null with the reason.
HANDLE Create(const std::string& program, const std::string& commandLine, const STARTUPINFOA& startup,
              char* environment, const std::string& folder, std::string& error) {
    std::string line = commandLine;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, environment,
                        folder.empty() ? nullptr : folder.c_str(), const_cast<STARTUPINFOA*>(&startup), &process)) {
        error = SystemReason(GetLastError());
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (process_ != -1) {
        Kill();
        Wait();
    }
    if (reports_ != -1) CloseHandle(Handle(reports_));
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& reportOption, std::string& error) {
    HANDLE reading = nullptr, writing = nullptr;
    if (!CreatePipe(&reading, &writing, nullptr, 0)) {
        error = SystemReason(GetLastError());
        return false;
    }
    std::vector<std::string> all = arguments;
    all.push_back(reportOption);
    all.push_back(std::to_string(reinterpret_cast<intptr_t>(writing)));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    HANDLE process = nullptr;
    {
        std::lock_guard lock(inheritance);
        SetHandleInformation(writing, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        // The standard handles pass to the child as they are.
        process = Create(program, CommandLine(program, all), startup, nullptr, "", error);
        CloseHandle(writing);
    }
    if (!process) {
        CloseHandle(reading);
        return false;
    }
    process_ = reinterpret_cast<intptr_t>(process);
    reports_ = reinterpret_cast<intptr_t>(reading);
    return true;
}

bool ChildProcess::StartCapturingOutput(const std::string& program, const std::vector<std::string>& arguments,
                                        const std::vector<std::string>& environment, const std::string& folder,
                                        std::string& error) {
    // This process's environment, each setting given replacing the variable of its name (names without case), as
    // a block of NUL-ended settings ended by one more NUL.
    std::string block;
    if (char* const current = GetEnvironmentStringsA()) {
        for (const char* entry = current; *entry; entry += std::strlen(entry) + 1) {
            const std::string_view text(entry);
            const size_t nameEnd = text.find('=', 1);  // "=C:=C:\..." entries begin with their '='
            bool replaced = false;
            for (const std::string& setting : environment)
                replaced = replaced || (nameEnd != std::string_view::npos && setting.size() > nameEnd &&
                                        setting[nameEnd] == '=' &&
                                        _strnicmp(setting.c_str(), entry, nameEnd) == 0);
            if (!replaced) block.append(text).push_back('\0');
        }
        FreeEnvironmentStringsA(current);
    }
    for (const std::string& setting : environment) block.append(setting).push_back('\0');
    block.push_back('\0');

    HANDLE reading = nullptr, writing = nullptr;
    if (!CreatePipe(&reading, &writing, nullptr, 0)) {
        error = SystemReason(GetLastError());
        return false;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;  // the child reads nothing
    startup.hStdOutput = writing;
    startup.hStdError = writing;
    HANDLE process = nullptr;
    {
        std::lock_guard lock(inheritance);
        SetHandleInformation(writing, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        process = Create(program, CommandLine(program, arguments), startup, block.data(), folder, error);
        CloseHandle(writing);
    }
    if (!process) {
        CloseHandle(reading);
        return false;
    }
    process_ = reinterpret_cast<intptr_t>(process);
    reports_ = reinterpret_cast<intptr_t>(reading);
    return true;
}

// An anonymous pipe cannot be waited on: it is looked at every few milliseconds until something comes.
ChildProcess::Read ChildProcess::ReadReport(std::string& data, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(Handle(reports_), nullptr, 0, nullptr, &available, nullptr)) return Read::Ended;
        if (available > 0) {
            char buffer[4096];
            DWORD got = 0;
            if (!ReadFile(Handle(reports_), buffer, available < sizeof buffer ? available : sizeof buffer, &got,
                          nullptr) ||
                got == 0)
                return Read::Ended;
            data.append(buffer, got);
            return Read::Data;
        }
        if (std::chrono::steady_clock::now() >= end) return Read::Timeout;
        Sleep(2);
    }
}

void ChildProcess::Kill() {
    if (process_ != -1) TerminateProcess(Handle(process_), 1);
}

bool ChildProcess::SendSignal(int) { return false; }

ChildProcess::Exit ChildProcess::Wait() {
    if (process_ == -1) return {};
    return *WaitFor(std::chrono::milliseconds(INFINITE));
}

std::optional<ChildProcess::Exit> ChildProcess::WaitFor(std::chrono::milliseconds timeout) {
    if (process_ == -1) return Exit{};
    const DWORD wait = timeout.count() >= INFINITE ? INFINITE : static_cast<DWORD>(timeout.count());
    if (WaitForSingleObject(Handle(process_), wait) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(Handle(process_), &code);
    CloseHandle(Handle(process_));
    process_ = -1;
    return ExitOf(code);
}

bool WriteReport(intptr_t channel, std::string_view text) {
    while (!text.empty()) {
        DWORD written = 0;
        if (!WriteFile(Handle(channel), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written == 0)
            return false;
        text.remove_prefix(written);
    }
    return true;
}

// A named function: the filter is called as WINAPI (stdcall on 32-bit Windows), which a lambda's pointer is not.
static LONG WINAPI EndProcessWithFaultCode(EXCEPTION_POINTERS* fault) {
    TerminateProcess(GetCurrentProcess(), fault->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

void EndProcessOnFault() {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(EndProcessWithFaultCode);
}

}  // namespace Zarvo::Platform
