#include "devcore/serve.h"

#include <httplib.h>

#include <atomic>
#include <cctype>
#include <csignal>
#include <iostream>
#include <mutex>
#include <thread>

#include "devcore/event_feed.h"
#include "devcore/json_text.h"
#include "devcore/test_core.h"
#include "remoting/body_decoding.h"

namespace Zarvo::DevCore {
namespace {

constexpr size_t kMaxBody = size_t{64} << 20;
constexpr auto kEventWait = std::chrono::milliseconds(500);
// A reader of /events that has seen nothing for this long gets a comment, which also finds closed connections.
constexpr int kQuietReadsBeforePing = 30;

volatile std::sig_atomic_t signalled = 0;
extern "C" void OnStopSignal(int) { signalled = 1; }

// Restores the signal handlers it replaced.
class StopSignals {
public:
    explicit StopSignals(bool install) : installed_(install) {
        if (!installed_) return;
        signalled = 0;
        previousInterrupt_ = std::signal(SIGINT, OnStopSignal);
        previousTerminate_ = std::signal(SIGTERM, OnStopSignal);
    }
    ~StopSignals() {
        if (!installed_) return;
        std::signal(SIGINT, previousInterrupt_);
        std::signal(SIGTERM, previousTerminate_);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    bool installed_;
    void (*previousInterrupt_)(int) = SIG_DFL;
    void (*previousTerminate_)(int) = SIG_DFL;
};

// The JSON text ends with a line break, so that a shell prompt after curl starts on a line of its own.
void AnswerJson(httplib::Response& response, int status, const std::string& json) {
    response.status = status;
    response.set_content(json + "\n", "application/json");
}

void AnswerError(httplib::Response& response, int status, std::string_view error) {
    BindingProperty body;
    body.ChildForWrite("error").SetString(error);
    AnswerJson(response, status, ToJsonText(body));
}

bool IsHeader(std::string_view name, std::string_view expected) {
    if (name.size() != expected.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[i])) != expected[i]) return false;
    return true;
}

void Answer(httplib::Response& response, const CallResult& result) {
    for (const auto& [name, value] : result.headers)
        if (!IsHeader(name, "content-type") && !IsHeader(name, "content-length")) response.set_header(name, value);
    // A status that HTTP cannot carry is the plugin's fault.
    const int status = result.status >= 100 && result.status <= 599 ? static_cast<int>(result.status) : 500;
    if (!result.error.empty()) {
        AnswerError(response, status, result.error);
    } else if (!result.streamed.empty() && result.value.IsEmpty()) {
        response.status = status;
        response.set_content(result.streamed, "application/octet-stream");
    } else {
        AnswerJson(response, status, ToJsonText(result.value));
    }
}

// A stored resource's new value, read by its content type as a plugin reads a body; a type no reader takes (curl's
// default form type among them) reads as JSON.
BindingResult DecodeStoredValue(const std::string& contentType, const std::string& body) {
    const char* type = TakesContentType(contentType.c_str()) ? contentType.c_str() : "application/json";
    return DecodeBody(type, reinterpret_cast<const uint8_t*>(body.data()), body.size());
}

// The headers as the client sent them, without the addresses that httplib adds.
std::vector<std::pair<std::string, std::string>> ClientHeaders(const httplib::Request& request) {
    std::vector<std::pair<std::string, std::string>> headers;
    for (const auto& [name, value] : request.headers)
        if (name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" && name != "LOCAL_PORT")
            headers.emplace_back(name, value);
    return headers;
}

class Server {
public:
    Server(const ServeOptions& options, std::ostream& out) : options_(options), out_(out) {
        if (options.verbose) core_.SetStory([this](std::string_view line) { out_ << line << std::endl; });
        core_.SetEventListener([this](const SentEvent& event) { feed_.Publish(event.name, ToJsonText(event.payload)); });
        http_.set_payload_max_length(kMaxBody);
        http_.Get("/events", [this](const httplib::Request&, httplib::Response& response) { StreamEvents(response); });
        const auto handle = [this](const httplib::Request& request, httplib::Response& response) {
            Handle(request, response);
        };
        http_.Get(".*", handle);
        http_.Post(".*", handle);
        http_.Put(".*", handle);
        http_.Delete(".*", handle);
        http_.Patch(".*", handle);
        http_.Options(".*", handle);
    }

    bool Load() {
        for (const std::string& plugin : options_.plugins) {
            std::string error;
            if (!core_.Load(plugin, &error)) {
                out_ << "devcore: " << error << std::endl;
                return false;
            }
        }
        return true;
    }

    int Run() {
        const int port = options_.port == 0 ? http_.bind_to_any_port("127.0.0.1")
                                            : (http_.bind_to_port("127.0.0.1", options_.port) ? options_.port : -1);
        if (port <= 0) {
            out_ << "devcore: cannot listen on 127.0.0.1:" << options_.port << std::endl;
            return 1;
        }
        out_ << "devcore: serving";
        for (const std::string& name : core_.LoadedPlugins()) out_ << " " << name;
        out_ << " on http://127.0.0.1:" << port << std::endl;

        const StopSignals signals(options_.stopOnSignals);
        std::atomic<bool> listening = true;
        // Stops the server once asked, by a signal or through the stop function; it may be asked before listening.
        std::thread watcher([&] {
            while (listening) {
                if (stopRequested_ || signalled) {
                    feed_.Close();
                    if (http_.is_running()) http_.stop();
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        if (options_.listening) options_.listening(port, [this] { stopRequested_ = true; });
        http_.listen_after_bind();
        listening = false;
        watcher.join();
        out_ << "devcore: stopped" << std::endl;
        return 0;
    }

private:
    void Handle(const httplib::Request& request, httplib::Response& response) {
        const std::string_view target = request.target;
        const size_t question = target.find('?');
        const std::string path(target.substr(0, question));
        const std::string query(question == std::string_view::npos ? std::string_view() : target.substr(question + 1));
        std::lock_guard lock(coreMutex_);
        if (core_.Serves(path)) {
            CallRequest call(request.method, path, query);
            call.headers = ClientHeaders(request);
            call.body = request.body;
            call.contentType = request.get_header_value("Content-Type");
            Answer(response, core_.Call(call));
        } else if (request.method == "PUT" || request.method == "POST") {
            Store(request, path, response);
        } else if (request.method == "DELETE") {
            if (core_.Delete(path))
                response.status = 204;
            else
                AnswerError(response, 404, "Not found");
        } else if (request.method == "GET") {
            Answer(response, core_.Fetch(path));
        } else {
            AnswerError(response, 405, "Method not allowed");
        }
    }

    void Store(const httplib::Request& request, const std::string& path, httplib::Response& response) {
        if (request.body.empty()) {
            AnswerError(response, 400, "The body is empty: it holds the resource's value");
            return;
        }
        BindingResult value = DecodeStoredValue(request.get_header_value("Content-Type"), request.body);
        if (!value.ok) {
            AnswerError(response, 400, value.ErrorMessage());
            return;
        }
        const bool stored = core_.IsStored(path);
        core_.Put(path, value.value, request.method == "POST" ? "Create" : "");
        AnswerJson(response, stored ? 200 : 201, ToJsonText(value.value));
    }

    void StreamEvents(httplib::Response& response) {
        response.set_header("Cache-Control", "no-cache");
        auto cursor = std::make_shared<size_t>(feed_.End());
        auto greeted = std::make_shared<bool>(false);
        auto quietReads = std::make_shared<int>(0);
        response.set_chunked_content_provider(
            "text/event-stream", [this, cursor, greeted, quietReads](size_t, httplib::DataSink& sink) {
                // The greeting tells a reader that it is connected: every event from now on reaches it.
                if (!*greeted) {
                    *greeted = true;
                    return sink.write(": connected\n\n", 13);
                }
                std::string message;
                switch (feed_.Read(*cursor, message, kEventWait)) {
                    case EventFeed::Next::Message:
                        *quietReads = 0;
                        return sink.write(message.data(), message.size());
                    case EventFeed::Next::Timeout:
                        if (++*quietReads < kQuietReadsBeforePing) return true;
                        *quietReads = 0;
                        return sink.write(": ping\n\n", 8);
                    case EventFeed::Next::Closed:
                        sink.done();
                        return true;
                }
                return false;
            });
    }

    const ServeOptions& options_;
    std::ostream& out_;
    std::mutex coreMutex_;  // httplib runs handlers on several threads; the core takes one call at a time
    EventFeed feed_;        // before the core, which publishes into it until its plugins are destroyed
    TestCore core_;
    httplib::Server http_;
    std::atomic<bool> stopRequested_ = false;
};

}  // namespace

int Serve(const ServeOptions& options) {
    std::ostream& out = options.out ? *options.out : std::cout;
    Server server(options, out);
    if (!server.Load()) return 1;
    return server.Run();
}

}  // namespace Zarvo::DevCore
