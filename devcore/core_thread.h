// The thread that owns serve's test core and runs every call into the plugins, one job at a time, and the watch that
// gives up on a plugin that does not return within the time limit: the plugin is set aside (its routes answer 503,
// it gets no more events, it is never destroyed), the job that called it fails with a sentence naming it, and a fresh
// thread takes over the core, so that the store and the other plugins keep working.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "devcore/test_core.h"

namespace Zarvo::DevCore {

class CoreThread {
public:
    using Run = std::function<void(TestCore&)>;
    // Told why the job could not finish: on the watch's thread when a plugin did not return, on the core's thread
    // when the job threw.
    using Fail = std::function<void(const std::string& reason)>;

    // `limit` 0 waits for ever (until the core is destroyed). `report` gets a line for each plugin given up on, on the
    // watch's thread.
    CoreThread(std::chrono::milliseconds limit, std::function<void(const std::string&)> report);
    // Drops the jobs not yet started, destroys the plugins newest first (each Destroy watched like any call), and
    // joins the core's thread. From now on every call has 2 s at most (or the limit, when shorter), also when there
    // was none: a plugin cannot keep the server from stopping.
    ~CoreThread();
    CoreThread(const CoreThread&) = delete;
    CoreThread& operator=(const CoreThread&) = delete;

    // Queues a job behind the others. Exactly one of `run` (on the core's thread) and `fail` completes it.
    void Post(Run run, Fail fail);
    // Runs a job and waits for it; the reason when it failed.
    std::optional<std::string> RunAndWait(const Run& run);
    // Whether a thread was left inside a plugin. Such a thread cannot be joined, so the process must end without
    // running the destructors of what that plugin may still touch.
    bool LeftThreadsBehind() const;

    // "5 s", "0.3 s": a time limit as the messages write it.
    static std::string LimitText(std::chrono::milliseconds limit);

private:
    struct Job;
    struct Frame;
    class Worker;
    struct State;

    void Serve(Worker& worker);
    void Watch();
    void StartWorker(std::vector<std::pair<std::string, std::string>> setAside);
    void UnloadAll();

    const std::chrono::milliseconds limit_;
    const std::function<void(const std::string&)> report_;
    TestCore core_;
    // Shared with every worker, also those given up on: a thread that comes back from a plugin long after still finds
    // its lock.
    std::shared_ptr<State> state_;
    std::thread watch_;
};

}  // namespace Zarvo::DevCore
