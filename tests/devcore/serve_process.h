// `devcore serve` started as a process on a free port, for the tests that talk to it over HTTP, and a small HTTP
// client that sends exactly the bytes a test asks for and reads what comes back within a time limit.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/system_process.h"

namespace Zarvo::DevCore::Testing {

using namespace std::chrono_literals;

inline const std::string kDevcoreProgram = KIV_DEVCORE_PROGRAM;

// qemu-i386 keeps one thread-storage descriptor for all of a program's threads, so the return from a signal handler
// leaves the main thread with the storage of the thread started last: a threaded 32-bit program dies of the first
// signal it handles there (seen as SIGSEGV in Asio's scheduler, its thread-local stack read through the wrong
// thread's block). A 32-bit kernel keeps one descriptor per thread, so the fault is the emulator's: under it the
// tests stop before they signal devcore.
inline constexpr bool kSignalsReachDevcore = sizeof(KIV_EMULATOR) == 1;
inline constexpr const char* kSignalsUnderEmulator =
    "qemu-i386 gives a signalled threaded program the wrong thread storage, so devcore is not signalled here";

// Runs devcore with the arguments, its output and error output read into one text as they come.
class DevcoreProcess {
public:
    explicit DevcoreProcess(const std::vector<std::string>& arguments);
    ~DevcoreProcess();  // kills the process when it still runs
    DevcoreProcess(const DevcoreProcess&) = delete;
    DevcoreProcess& operator=(const DevcoreProcess&) = delete;

    // Waits until the output holds the text; false after the time limit.
    bool WaitForOutput(std::string_view text, std::chrono::milliseconds limit = 30s);
    // What the process wrote so far, its lines ended by '\n'.
    std::string Output() const;
    // Sends SIGINT or SIGTERM; false where the system has no signals between processes.
    bool Signal(int signal);
    // The exit status, or 128 + the signal that ended the process (the low 7 bits of a Windows fault's code); -1
    // when it did not end within the limit.
    int Wait(std::chrono::milliseconds limit = 30s);

private:
    Platform::ChildProcess child_;
    int status_ = -1;
    mutable std::mutex mutex_;
    std::string text_;
    std::thread reader_;
};

// devcore serve --port 0 with the arguments, started and listening.
class ServeProcess {
public:
    explicit ServeProcess(std::vector<std::string> arguments);
    int Port() const { return port_; }
    DevcoreProcess& Process() { return process_; }
    std::string Output() const { return process_.Output(); }

private:
    DevcoreProcess process_;
    int port_ = 0;
};

struct HttpReply {
    unsigned status = 0;  // 0: no answer came
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first value of the header, compared without case; empty when absent.
    std::string Header(std::string_view name) const;
    // "<status> <body>", without the line break after a JSON body.
    std::string Text() const;
};

// One connection to 127.0.0.1.
class TestConnection {
public:
    explicit TestConnection(int port);
    ~TestConnection();
    TestConnection(const TestConnection&) = delete;
    TestConnection& operator=(const TestConnection&) = delete;

    // Sends the bytes as they are; false when the connection cannot take them.
    bool SendRaw(std::string_view bytes);
    // The bytes of a request: "METHOD target HTTP/1.1", Host: 127.0.0.1:port unless the headers give a Host, the
    // headers, Content-Length of a body.
    std::string RequestText(std::string_view method, std::string_view target,
                            const std::vector<std::pair<std::string, std::string>>& headers = {},
                            std::string_view body = {}) const;
    // Reads one whole answer (as to a request that is not HEAD); status 0 when none came within the limit.
    HttpReply Read(std::chrono::milliseconds limit = 10s, bool headRequest = false);
    // Sends a request and reads its answer.
    HttpReply Ask(std::string_view method, std::string_view target,
                  const std::vector<std::pair<std::string, std::string>>& headers = {}, std::string_view body = {});
    // The bytes that come within the limit, after those a Read left; stops early once `until` is among them.
    std::string ReadRaw(std::chrono::milliseconds limit, std::string_view until = {});
    // Whether the server closed the connection within the limit (what it sent before is dropped).
    bool ClosedWithin(std::chrono::milliseconds limit);
    // The connection's own port on 127.0.0.1.
    int LocalPort() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int port_;
};

// Reads an event stream: the answer's head, then its chunks decoded.
class EventStreamReader {
public:
    // Opens GET /events with the headers.
    explicit EventStreamReader(int port, const std::vector<std::pair<std::string, std::string>>& headers = {});
    // The answer's status line and header fields, once read; empty until then.
    const std::string& Head() const { return head_; }
    // Reads until the stream's text (decoded) holds `text`, or the limit passes; the whole text so far.
    std::string ReadUntil(std::string_view text, std::chrono::milliseconds limit = 10s);
    TestConnection& Connection() { return connection_; }

private:
    TestConnection connection_;
    std::string raw_;   // bytes after the head not yet decoded
    std::string head_;
    std::string text_;  // the decoded stream
};

// A request on a connection of its own, with the Content-Type unless it is empty.
HttpReply Ask(int port, std::string_view method, std::string_view target, std::string_view body = {},
              std::string_view contentType = "application/json",
              std::vector<std::pair<std::string, std::string>> headers = {});

}  // namespace Zarvo::DevCore::Testing
