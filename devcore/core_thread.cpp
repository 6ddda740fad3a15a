#include "devcore/core_thread.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <future>
#include <mutex>

#include "devcore/plugin_call_watch.h"

namespace Zarvo::DevCore {

using Clock = std::chrono::steady_clock;

// How long a call may take once the core is being destroyed.
constexpr std::chrono::milliseconds kEndingLimit(2000);

struct CoreThread::Job {
    Run run;
    Fail fail;
};

// One crossing the core's thread is inside: the core running a plugin's code (in the plugin), reading what a plugin
// handed over, or a plugin's call into the core.
struct CoreThread::Frame {
    bool inPlugin;
    std::string plugin;  // whose code or record, and what is called or read
    std::string call;
    Clock::time_point start;
};

struct CoreThread::State {
    std::mutex mutex;
    std::condition_variable jobsChanged;
    std::condition_variable watchWakes;
    std::deque<Job> jobs;
    bool stopping = false;       // the worker ends once the jobs are done
    bool ending = false;         // the core is being destroyed: every call has kEndingLimit at most
    bool watchStopping = false;
    Worker* worker = nullptr;    // the one serving the jobs
    std::vector<Worker*> left;   // workers given up on; never freed, their threads may still come back
};

// A thread serving the jobs, and the watcher of its crossings.
class CoreThread::Worker final : public PluginCallWatcher {
public:
    explicit Worker(std::shared_ptr<State> state) : state_(std::move(state)) {}

    void Entering(std::string_view plugin, std::string_view what, bool inPluginCode) override {
        std::lock_guard lock(state_->mutex);
        frames.push_back({inPluginCode, std::string(plugin), std::string(what), Clock::now()});
    }
    void Returned() override { Leave(); }
    void CoreEntered() override {
        std::unique_lock lock(state_->mutex);
        if (abandoned) Park(lock);
        frames.push_back({false, {}, {}, {}});
    }
    void CoreLeft() override { Leave(); }

    // Guarded by the state's mutex.
    std::vector<Frame> frames;
    bool abandoned = false;
    Fail* fail = nullptr;  // the running job's
    std::thread thread;

private:
    void Leave() {
        std::unique_lock lock(state_->mutex);
        if (abandoned) Park(lock);
        frames.pop_back();
    }
    // A thread given up on never touches the core again: another thread owns it now.
    [[noreturn]] static void Park(std::unique_lock<std::mutex>& lock) {
        lock.unlock();
        for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
    }

    const std::shared_ptr<State> state_;
};

std::string CoreThread::LimitText(std::chrono::milliseconds limit) {
    const long long ms = limit.count();
    std::string text = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
        while (fraction.ends_with('0')) fraction.pop_back();
        text += "." + fraction;
    }
    return text + " s";
}

CoreThread::CoreThread(std::chrono::milliseconds limit, std::function<void(const std::string&)> report)
    : limit_(limit), report_(std::move(report)), state_(std::make_shared<State>()) {
    std::lock_guard lock(state_->mutex);
    StartWorker({});
    watch_ = std::thread([this] { Watch(); });
}

CoreThread::~CoreThread() {
    std::deque<Job> dropped;
    {
        std::lock_guard lock(state_->mutex);
        dropped.swap(state_->jobs);
        state_->ending = true;
    }
    state_->watchWakes.notify_all();
    dropped.clear();
    UnloadAll();
    Worker* worker;
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        worker = state_->worker;
    }
    state_->jobsChanged.notify_all();
    worker->thread.join();
    delete worker;
    {
        std::lock_guard lock(state_->mutex);
        state_->watchStopping = true;
    }
    state_->watchWakes.notify_all();
    watch_.join();
}

void CoreThread::UnloadAll() {
    // After a Destroy that does not return, the next thread goes on with the plugins left.
    while (RunAndWait([](TestCore& core) { core.UnloadAll(); })) {
    }
}

void CoreThread::Post(Run run, Fail fail) {
    {
        std::lock_guard lock(state_->mutex);
        state_->jobs.push_back({std::move(run), std::move(fail)});
    }
    state_->jobsChanged.notify_one();
}

std::optional<std::string> CoreThread::RunAndWait(const Run& run) {
    auto done = std::make_shared<std::promise<std::optional<std::string>>>();
    std::future<std::optional<std::string>> result = done->get_future();
    Post(
        [run, done](TestCore& core) {
            run(core);
            done->set_value(std::nullopt);
        },
        [done](const std::string& reason) { done->set_value(reason); });
    return result.get();
}

bool CoreThread::LeftThreadsBehind() const {
    std::lock_guard lock(state_->mutex);
    return !state_->left.empty();
}

// Called with the state's mutex held.
void CoreThread::StartWorker(std::vector<std::pair<std::string, std::string>> setAside) {
    auto* worker = new Worker(state_);
    state_->worker = worker;
    worker->thread = std::thread([this, worker, setAside = std::move(setAside)] {
        WatchThisThread(worker);
        if (!setAside.empty()) core_.AbandonCallsInProgress();
        for (const auto& [plugin, reason] : setAside) core_.SetAside(plugin, reason);
        Serve(*worker);
    });
}

void CoreThread::Serve(Worker& worker) {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(state_->mutex);
            state_->jobsChanged.wait(lock, [&] { return state_->stopping || !state_->jobs.empty(); });
            if (state_->jobs.empty()) return;
            job = std::move(state_->jobs.front());
            state_->jobs.pop_front();
            worker.fail = &job.fail;
        }
        try {
            job.run(core_);
        } catch (const std::exception& error) {
            job.fail(std::string("devcore failed: ") + error.what());
        }
        std::lock_guard lock(state_->mutex);
        worker.fail = nullptr;
        // The core keeps a record of everything the plugins did, for scenarios to check; a server that runs for
        // days keeps none of it.
        core_.ForgetRecords();
    }
}

void CoreThread::Watch() {
    const auto poll = [](std::chrono::milliseconds limit) {
        return std::clamp<Clock::duration>(limit / 4, std::chrono::milliseconds(10), std::chrono::milliseconds(250));
    };
    std::unique_lock lock(state_->mutex);
    while (!state_->watchStopping) {
        // Once the server stops, no call may keep it from ending, not even without a limit.
        const std::chrono::milliseconds limit = !state_->ending        ? limit_
                                                : limit_.count() == 0 ? kEndingLimit
                                                                      : std::min(limit_, kEndingLimit);
        if (limit.count() == 0) {
            state_->watchWakes.wait(lock);
            continue;
        }
        Worker& worker = *state_->worker;
        const std::vector<Frame>& frames = worker.frames;
        // Only a thread that is inside a plugin now is given up on: in the core's own code it is about to return.
        if (!frames.empty() && frames.back().inPlugin && worker.fail) {
            const Clock::time_point now = Clock::now();
            size_t hung = frames.size();
            for (size_t i = frames.size(); i-- > 0;) {
                if (frames[i].inPlugin && now - frames[i].start >= limit) {
                    hung = i;
                    break;
                }
            }
            if (hung < frames.size()) {
                const Frame& frame = frames[hung];
                const std::string what = "did not return within " + LimitText(limit) + " from " + frame.call;
                const std::string reason = frame.plugin + " " + what + ", and is set aside";
                // The plugins further out on the thread are inside calls that cannot return either.
                std::vector<std::pair<std::string, std::string>> setAside{{frame.plugin, reason}};
                for (size_t i = hung; i-- > 0;) {
                    const Frame& outer = frames[i];
                    const bool known = std::any_of(setAside.begin(), setAside.end(),
                                                   [&](const auto& entry) { return entry.first == outer.plugin; });
                    if (!outer.inPlugin || known) continue;
                    setAside.emplace_back(outer.plugin, outer.plugin + " is set aside: it was waiting for " +
                                                            frame.plugin + ", which " + what);
                }
                Fail fail = std::move(*worker.fail);
                worker.abandoned = true;
                worker.thread.detach();
                state_->left.push_back(&worker);
                std::vector<std::string> lines;
                for (const auto& entry : setAside) lines.push_back(entry.second);
                StartWorker(std::move(setAside));
                lock.unlock();
                for (const std::string& line : lines) report_(line);
                fail(reason);
                lock.lock();
                continue;
            }
        }
        state_->watchWakes.wait_for(lock, poll(limit));
    }
}

}  // namespace Zarvo::DevCore
