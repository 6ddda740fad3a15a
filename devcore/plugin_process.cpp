// The parent's side of serve's plugins in a child process: starting, forwarding to, restarting and stopping it.
#include "devcore/plugin_process.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <charconv>
#include <future>
#include <random>

#include "devcore/child_reports.h"
#include "platform/system.h"
#include "platform/system_process.h"

namespace Zarvo::DevCore {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using ErrorCode = boost::system::error_code;

// How long a child that broke off a request may take to end before it is killed.
constexpr auto kEndLimit = std::chrono::seconds(5);
// How long a child asked to stop may take: it destroys the plugins, each within 2 s.
constexpr auto kStopLimit = std::chrono::seconds(30);
// How long the reports of an answer may lag behind the answer itself.
constexpr auto kReportLag = std::chrono::seconds(5);

std::string NewKey() {
    std::random_device random;
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string key;
    for (int i = 0; i < 32; ++i) key += kDigits[random() % 16];
    return key;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Header fields of one HTTP exchange, which the parent and the child each write for their own.
bool IsHopField(std::string_view name) {
    for (const std::string_view hop : {"content-length", "transfer-encoding", "connection", "keep-alive", "expect",
                                       "te", "trailer", "upgrade", "proxy-connection"})
        if (EqualsIgnoringCase(name, hop)) return true;
    return false;
}

std::string PathOf(std::string_view target) { return std::string(target.substr(0, target.find('?'))); }

uint64_t Number(std::string_view text) {
    uint64_t number = 0;
    std::from_chars(text.data(), text.data() + text.size(), number);
    return number;
}

// Sends the child the order to stop, reading no answer: the child may close before it gives one.
void SendStop(int port, const std::string& key) {
    net::io_context ioc;
    tcp::socket socket(ioc);
    ErrorCode error;
    socket.connect(tcp::endpoint(net::ip::make_address_v4("127.0.0.1"), static_cast<unsigned short>(port)), error);
    if (error) return;
    const std::string order = "POST / HTTP/1.1\r\nHost: 127.0.0.1\r\n" + std::string(kStopField) + ": " + key +
                              "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    net::write(socket, net::buffer(order), error);
}

}  // namespace

struct PluginProcess::Child {
    ~Child() {
        if (!reader.joinable()) return;
        {
            std::lock_guard lock(mutex);
            if (!ended) process.Kill();
        }
        reader.join();
    }

    Platform::ChildProcess process;
    int port = 0;
    std::string buffer;  // reports read and not yet taken
    std::thread reader;
    std::mutex mutex;
    std::condition_variable changed;
    HeardActivity activity;
    uint64_t answered = 0;  // the number of the child's last "answered" frame
    bool ended = false;
    Platform::ChildProcess::Exit exit;
};

PluginProcess::PluginProcess(std::vector<std::string> arguments, Say say, Publish publish)
    : arguments_(std::move(arguments)), say_(std::move(say)), publish_(std::move(publish)), key_(NewKey()) {}

PluginProcess::~PluginProcess() { Stop(); }

PluginProcess::Started PluginProcess::Start(int& status) {
    Started started = Started::Failed;
    std::string failure;
    child_ = StartChild(started, failure, status);
    if (!child_) {
        if (!failure.empty()) say_("devcore: FAIL " + failure);
        return started;
    }
    childPort_ = child_->port;
    forwarding_ = std::thread([this] { Forwarding(); });
    return Started::Serving;
}

// The child's reports are frames (see child_reports.h):
//   activity  the plugin activity in progress (ActivityPayload)
//   event     "<name>\n<payload as JSON>": an event a plugin sent
//   ready     "<port>\n<plugin> <plugin> ...": the child serves on 127.0.0.1:port
//   answered  "<number>": the child answered the request that its answer numbers so; what it reported before
//             belongs to that request
//   alive     "": the child still runs, and learns that its parent does
std::unique_ptr<PluginProcess::Child> PluginProcess::StartChild(Started& started, std::string& failure, int& status) {
    auto child = std::make_unique<Child>();
    std::vector<std::string> arguments = arguments_;
    arguments.insert(arguments.end(), {kKeyOption, key_});
    std::string error;
    if (!child->process.Start(Platform::ExecutableFilePath(), arguments, kReportOption, error)) {
        started = Started::NoChildren;
        return nullptr;
    }
    bool heard = false;
    for (;;) {
        const Platform::ChildProcess::Read read = child->process.ReadReport(child->buffer, std::chrono::seconds(1));
        for (std::string kind, payload; TakeFrame(child->buffer, kind, payload);) {
            heard = true;
            if (kind == "activity") {
                HearActivity(child->activity, payload);
            } else if (kind == "event") {
                const size_t newline = payload.find('\n');
                if (newline != std::string::npos) publish_(payload.substr(0, newline), payload.substr(newline + 1));
            } else if (kind == "ready") {
                const size_t newline = payload.find('\n');
                child->port = static_cast<int>(Number(payload.substr(0, newline)));
                plugins_.clear();
                for (size_t start = newline + 1; newline != std::string::npos && start < payload.size();) {
                    const size_t end = std::min(payload.find(' ', start), payload.size());
                    plugins_.push_back(payload.substr(start, end - start));
                    start = end + 1;
                }
            }
        }
        if (child->port != 0) break;
        if (read != Platform::ChildProcess::Read::Ended) continue;
        const Platform::ChildProcess::Exit exit = child->process.Wait();
        // A child that could not run this program ends with 127 before its first word.
        if (!heard && !exit.signalled && exit.code == 127) {
            started = Started::NoChildren;
        } else if (exit.signalled) {
            failure = CrashSentence(child->activity, exit.signal) + ", while loading the plugins";
        }  // else the child said why
        status = exit.signalled || exit.code == 0 ? 1 : exit.code;
        return nullptr;
    }
    Child* reading = child.get();
    child->reader = std::thread([this, reading] {
        Child& child = *reading;
        for (;;) {
            const Platform::ChildProcess::Read read = child.process.ReadReport(child.buffer, std::chrono::seconds(1));
            for (std::string kind, payload; TakeFrame(child.buffer, kind, payload);) {
                if (kind == "activity") {
                    std::lock_guard lock(child.mutex);
                    HearActivity(child.activity, payload);
                } else if (kind == "event") {
                    const size_t newline = payload.find('\n');
                    if (newline != std::string::npos)
                        publish_(payload.substr(0, newline), payload.substr(newline + 1));
                } else if (kind == "answered") {
                    std::lock_guard lock(child.mutex);
                    child.answered = Number(payload);
                    child.changed.notify_all();
                }
            }
            if (read == Platform::ChildProcess::Read::Ended) break;
        }
        std::lock_guard lock(child.mutex);
        child.exit = child.process.Wait();
        child.ended = true;
        child.changed.notify_all();
    });
    started = Started::Serving;
    return child;
}

void PluginProcess::Post(HttpRequest request, std::function<void(HttpAnswer)> answer) {
    {
        std::lock_guard lock(mutex_);
        if (!stopping_) {
            jobs_.push_back({std::move(request), std::move(answer)});
            wake_.notify_all();
            return;
        }
    }
    answer(ErrorAnswer(503, "devcore is stopping"));
}

HttpAnswer PluginProcess::Ask(const HttpRequest& request) {
    std::promise<HttpAnswer> answered;
    std::future<HttpAnswer> answer = answered.get_future();
    Post(request, [&answered](HttpAnswer given) { answered.set_value(std::move(given)); });
    return answer.get();
}

void PluginProcess::Stop() {
    int port = 0;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        port = childPort_;
        wake_.notify_all();
    }
    // Also when the forwarding thread waits for an answer that a plugin never gives: the child stops regardless.
    if (port != 0) SendStop(port, key_);
    if (forwarding_.joinable()) forwarding_.join();
    StopChild(std::move(child_));
}

void PluginProcess::Forwarding() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (stopping_) break;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        HttpAnswer answer;
        for (bool again = false;; again = true) {
            if (!child_ && !Restart()) {
                answer = ErrorAnswer(503, "The plugins could not be loaded again; the output tells why");
                break;
            }
            bool reached = false;
            if (Forward(*child_, job.request, answer, reached)) {
                Remember(job.request, answer);
                break;
            }
            // A child asked to stop closes its connections first; its end is waited for with its stop.
            if (IsStopping()) {
                answer = ErrorAnswer(503, "devcore is stopping");
                break;
            }
            const std::string sentence = Ended(*child_);
            say_("devcore: FAIL " + sentence);
            {
                std::lock_guard dropping(mutex_);
                childPort_ = 0;
            }
            child_.reset();
            // A child that ended before the request came (a plugin's own thread crashed, say) never saw it: a fresh
            // child answers it.
            if (reached || again) {
                answer = ErrorAnswer(500, sentence);
                break;
            }
        }
        answer.headersOnly = job.request.method == "HEAD";
        job.answer(std::move(answer));
        // The next request finds the plugins loaded again.
        if (!child_ && !IsStopping()) Restart();
        lock.lock();
    }
    for (Job& job : jobs_) job.answer(ErrorAnswer(503, "devcore is stopping"));
    jobs_.clear();
}

bool PluginProcess::IsStopping() {
    std::lock_guard lock(mutex_);
    return stopping_;
}

bool PluginProcess::Restart() {
    Started started = Started::Failed;
    std::string failure;
    int status = 0;
    std::unique_ptr<Child> child = StartChild(started, failure, status);
    if (!child) {
        say_("devcore: the plugins could not be loaded again" + (failure.empty() ? "" : ": " + failure));
        return false;
    }
    if (!Restore(*child)) say_("devcore: the store could not be handed to the plugins loaded again");
    say_("devcore: the plugins are loaded again in a fresh process; the store and the events are kept");
    std::lock_guard lock(mutex_);
    childPort_ = child->port;
    child_ = std::move(child);
    return true;
}

bool PluginProcess::Forward(Child& child, const HttpRequest& request, HttpAnswer& answer, bool& reached) {
    net::io_context ioc;
    tcp::socket socket(ioc);
    ErrorCode error;
    socket.connect(tcp::endpoint(net::ip::make_address_v4("127.0.0.1"), static_cast<unsigned short>(child.port)),
                   error);
    if (error) return false;
    reached = true;
    socket.set_option(tcp::no_delay(true), error);
    http::request<http::string_body> out;
    out.method_string(request.method);
    out.target(request.target);
    out.version(11);
    // The plugins see the header fields as the client sent them, but for those of a body the parent has read whole
    // already (chunks, an expectation to continue): the child gets it with its length.
    bool lengthGiven = false;
    for (const auto& [name, value] : request.headers) {
        if (EqualsIgnoringCase(name, "transfer-encoding") || EqualsIgnoringCase(name, "expect")) continue;
        lengthGiven = lengthGiven || EqualsIgnoringCase(name, "content-length");
        out.insert(name, value);
    }
    if (!lengthGiven && !request.body.empty()) out.content_length(request.body.size());
    // The child reads the request as HTTP/1.1, which needs a Host; the parent checked the client's already.
    if (!request.HasHeader("Host")) out.set(http::field::host, "127.0.0.1");
    out.body() = request.body;
    http::write(socket, out, error);
    if (error) return false;

    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(boost::none);
    if (request.method == "HEAD") parser.skip(true);
    http::read(socket, buffer, parser, error);
    if (error) return false;
    const auto& in = parser.get();
    answer = HttpAnswer();
    answer.status = in.result_int();
    uint64_t answered = 0;
    std::string stored;
    for (const auto& field : in) {
        const std::string_view name(field.name_string().data(), field.name_string().size());
        const std::string value(field.value().data(), field.value().size());
        if (EqualsIgnoringCase(name, kAnsweredField))
            answered = Number(value);
        else if (EqualsIgnoringCase(name, kStoreField))
            stored = value;
        else if (!IsHopField(name))
            answer.headers.emplace_back(std::string(name), value);
    }
    answer.body = in.body();
    // An answer to HEAD tells the length of the body it does not send.
    if (request.method == "HEAD")
        if (const auto length = parser.content_length()) answer.body.assign(*length, ' ');
    if (stored == "put") answer.headers.emplace_back(kStoreField, "put");
    if (stored == "delete") answer.headers.emplace_back(kStoreField, "delete");
    // The events the request made are published before its answer goes.
    std::unique_lock lock(child.mutex);
    child.changed.wait_for(lock, kReportLag, [&] { return child.answered >= answered || child.ended; });
    return true;
}

void PluginProcess::Remember(const HttpRequest& request, HttpAnswer& answer) {
    const auto field = std::find_if(answer.headers.begin(), answer.headers.end(),
                                    [](const auto& header) { return header.first == kStoreField; });
    if (field == answer.headers.end()) return;
    if (field->second == "put")
        store_[PathOf(request.target)] = {std::string(request.Header("Content-Type")), request.body};
    else
        store_.erase(PathOf(request.target));
    answer.headers.erase(field);
}

bool PluginProcess::Restore(Child& child) {
    for (const auto& [path, value] : store_) {
        HttpRequest request;
        request.method = "PUT";
        request.target = path;
        request.headers = {{"Content-Type", value.contentType}, {kRestoreField, key_}};
        request.body = value.body;
        HttpAnswer answer;
        bool reached = false;
        if (!Forward(child, request, answer, reached) || answer.status != 204) return false;
    }
    return true;
}

std::string PluginProcess::Ended(Child& child) {
    std::unique_lock lock(child.mutex);
    bool killed = false;
    if (!child.changed.wait_for(lock, kEndLimit, [&] { return child.ended; })) {
        killed = true;
        child.process.Kill();
        child.changed.wait(lock, [&] { return child.ended; });
    }
    const HeardActivity& heard = child.activity;
    if (killed) return "the core's process broke off the request without ending, and was stopped";
    if (child.exit.signalled) return CrashSentence(heard, child.exit.signal);
    const std::string status = "exit status " + std::to_string(child.exit.code);
    if (heard.plugin.empty()) return "the core's process ended with " + status + " outside any plugin's code";
    return heard.plugin + " ended the core's process with " + status + " in " + heard.what;
}

void PluginProcess::StopChild(std::unique_ptr<Child> child) {
    if (!child) return;
    SendStop(child->port, key_);
    {
        std::unique_lock lock(child->mutex);
        if (!child->changed.wait_for(lock, kStopLimit, [&] { return child->ended; })) child->process.Kill();
    }
    child.reset();
}

}  // namespace Zarvo::DevCore
