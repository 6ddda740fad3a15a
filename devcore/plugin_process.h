// The parent's side of serve's plugins in a child process: this program started again as `devcore serve` with a
// report pipe, which loads the plugins, serves on a free port of 127.0.0.1 and reports the plugin call in progress,
// the events the plugins send and the answers it gives. The parent forwards each request to the child one at a time.
// When the child dies during a request, the request is answered 500 with a sentence that names the plugin, how the
// child ended and the call in progress; a fresh child loads the plugins again and is handed the resource store.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "devcore/http_server.h"

namespace Zarvo::DevCore {

// The header fields between the parent and its child: the child's own answers and the parent's orders to it. An
// order carries the key the parent gave the child, so that nobody else can give one.
inline constexpr const char* kKeyOption = "--parent-key";
inline constexpr const char* kStopField = "Devcore-Stop";        // an order to stop: its value is the key
inline constexpr const char* kRestoreField = "Devcore-Restore";  // a PUT that stores silently: its value is the key
inline constexpr const char* kAnsweredField = "Devcore-Answered";  // the number of the child's "answered" frame
inline constexpr const char* kStoreField = "Devcore-Store";  // "put" or "delete": the store changed

class PluginProcess {
public:
    using Say = std::function<void(const std::string& line)>;
    using Publish = std::function<void(const std::string& name, const std::string& json)>;

    // `arguments`: the child's command line, without the key and report options. `say` gets whole output lines,
    // `publish` the events the plugins send, both on the threads that read the child.
    PluginProcess(std::vector<std::string> arguments, Say say, Publish publish);
    // Stops the child.
    ~PluginProcess();
    PluginProcess(const PluginProcess&) = delete;
    PluginProcess& operator=(const PluginProcess&) = delete;

    enum class Started { Serving, Failed, NoChildren };
    // Starts the first child and waits until it serves. Failed: the child ended first, having said why, or with the
    // crash said here; `status` is the exit status to give. NoChildren: this system cannot start a child.
    Started Start(int& status);
    // The short names of the plugins the child loaded, in load order; valid while the process object lives.
    const std::vector<std::string>& Plugins() const { return plugins_; }

    // Queues the request for the child; `answer` is called once, on the forwarding thread.
    void Post(HttpRequest request, std::function<void(HttpAnswer)> answer);
    // Forwards at once, from the calling thread: for GET / before the server runs.
    HttpAnswer Ask(const HttpRequest& request);
    // Answers the queued requests 503, asks the child to stop and waits for its end (killing it when it does not
    // come), and joins the forwarding thread.
    void Stop();

private:
    struct Child;
    struct Job {
        HttpRequest request;
        std::function<void(HttpAnswer)> answer;
    };
    struct StoredValue {
        std::string contentType;
        std::string body;
    };

    // A child that serves, or null with `started` saying why not, `failure` a crash while loading and `status` the
    // exit status.
    std::unique_ptr<Child> StartChild(Started& started, std::string& failure, int& status);
    // Starts a fresh child and hands it the store; false when it does not serve, said on the output.
    bool Restart();
    bool IsStopping();
    void Forwarding();
    // The child's answer; false when the child ended (or broke the connection) before answering. `reached`: the
    // child took the connection, so it had not ended before.
    bool Forward(Child& child, const HttpRequest& request, HttpAnswer& answer, bool& reached);
    // The sentence for a child that died during a request; waits for its end, killing it when it does not come.
    std::string Ended(Child& child);
    void StopChild(std::unique_ptr<Child> child);
    // Keeps what an answered request changed in the store, and takes the child's word of it off the answer.
    void Remember(const HttpRequest& request, HttpAnswer& answer);
    bool Restore(Child& child);

    const std::vector<std::string> arguments_;
    const Say say_;
    const Publish publish_;
    const std::string key_;
    std::vector<std::string> plugins_;
    // The resource store as the requests that changed it gave it, by path: handed to each fresh child.
    std::map<std::string, StoredValue> store_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    int childPort_ = 0;  // the running child's port, 0 when none runs; under the mutex, for Stop
    std::unique_ptr<Child> child_;  // the forwarding thread's, once it runs
    std::thread forwarding_;
};

}  // namespace Zarvo::DevCore
