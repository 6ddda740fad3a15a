#include "devcore/serve.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "devcore/child_reports.h"
#include "devcore/core_thread.h"
#include "devcore/json_text.h"
#include "devcore/loopback_names.h"
#include "devcore/plugin_process.h"
#include "devcore/plugin_set.h"
#include "devcore/route_catalogue.h"
#include "devcore/serve_answers.h"
#include "devcore/stored_value.h"
#include "platform/system_process.h"

namespace Zarvo::DevCore {
namespace {

constexpr std::string_view kCorsMethods = "DELETE, GET, HEAD, OPTIONS, PATCH, POST, PUT";
constexpr std::string_view kCorsMaxAge = "600";

// Lines for the output, whole and flushed, from any thread.
class Console {
public:
    explicit Console(std::ostream& out) : out_(out) {}
    void Say(std::string_view line) {
        std::lock_guard lock(mutex_);
        out_ << line << std::endl;
    }

private:
    std::mutex mutex_;
    std::ostream& out_;
};

// The header fields that let a page of an allowed origin read the answer.
void AllowOrigin(HttpHeaders& headers, std::string_view origin) {
    if (origin.empty()) return;
    headers.emplace_back("Access-Control-Allow-Origin", std::string(origin));
    headers.emplace_back("Vary", "Origin");
}

HttpScreening AnswerAtOnce(HttpAnswer answer) {
    HttpScreening screening;
    screening.next = HttpScreening::Next::Answer;
    screening.answer = std::move(answer);
    return screening;
}

std::string SecondsText(std::chrono::milliseconds time) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(time.count()) / 1000);
    return text;
}

// The command line of the child that serves the plugins for the front.
std::vector<std::string> ChildArguments(const ServeOptions& options) {
    std::vector<std::string> arguments = {"serve",
                                          "--port",
                                          "0",
                                          "--call-timeout",
                                          SecondsText(options.callTimeout),
                                          "--request-timeout",
                                          SecondsText(options.limits.requestTimeout),
                                          "--idle-timeout",
                                          SecondsText(options.limits.idleTimeout),
                                          "--max-body",
                                          std::to_string(options.limits.bodyBytes),
                                          "--max-connections",
                                          std::to_string(options.limits.connections),
                                          "--max-event-readers",
                                          std::to_string(options.limits.eventReaders)};
    for (const std::string& plugin : options.plugins) arguments.insert(arguments.end(), {"--plugin", plugin});
    if (options.verbose) arguments.push_back("--verbose");
    return arguments;
}

// A child tells its parent now and then that it runs; when the parent is gone (killed, say), the child ends too,
// soon enough to free the output it shares with whoever waits for the parent's.
void KeepTellingTheParent(intptr_t channel) {
    std::thread([channel] {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (!SendFrame(channel, "alive", "")) std::_Exit(1);
        }
    }).detach();
}

// serve in one of three roles: the whole server, with the plugins in this process; the front, which listens where
// the user asked and forwards to a child process that runs the plugins; or that child.
class Server final : public HttpHandler {
public:
    Server(const ServeOptions& options, std::ostream& out)
        : options_(options), console_(out), http_(*this, feed_, options.limits) {}
    // The core's jobs answer through the server's I/O: the core ends first.
    ~Server() override { core_.reset(); }

    int Run() {
        std::string error;
        const int port = http_.Bind(IsChild() ? 0 : options_.port, error);
        if (port == 0) {
            console_.Say("devcore: " + error);
            return 1;
        }
        if (options_.isolatePlugins && !IsChild()) {
            plugins_ = std::make_unique<PluginProcess>(
                ChildArguments(options_), [this](const std::string& line) { console_.Say(line); },
                [this](const std::string& name, const std::string& json) { feed_.Publish(name, json); });
            int status = 1;
            switch (plugins_->Start(status)) {
                case PluginProcess::Started::Serving:
                    return RunFront(port);
                case PluginProcess::Started::Failed:
                    return status;
                case PluginProcess::Started::NoChildren:  // a system that cannot run this program again: served here
                    plugins_.reset();
                    break;
            }
        }
        if (IsChild()) {
            // A Ctrl-C reaches the child too; its parent stops it.
            std::signal(SIGINT, SIG_IGN);
            // A plugin's crash ends the child at once (no fault dialog or debugger on Windows), and the parent reads
            // which from its exit status.
            Platform::EndProcessOnFault();
        }
        core_ = std::make_unique<CoreThread>(options_.callTimeout,
                                             [this](const std::string& line) { console_.Say("devcore: " + line); });
        std::vector<ServedRoute> routes;
        const std::optional<std::string> failed = core_->RunAndWait([&](TestCore& core) {
            if (options_.verbose) core.SetStory([this](std::string_view line) { console_.Say(line); });
            const intptr_t channel = options_.reportChannel;
            if (IsChild()) {
                core.SetActivityListener([channel](const PluginActivity* activity) {
                    SendFrame(channel, "activity", ActivityPayload(activity));
                });
            }
            core.SetEventListener([this, channel](const SentEvent& event) {
                if (IsChild())
                    SendFrame(channel, "event", OneLine(event.name) + "\n" + ToJsonText(event.payload));
                else
                    feed_.Publish(event.name, ToJsonText(event.payload));
            });
            if (!LoadPlugins(core, options_.plugins, error)) return;
            routes = core.Routes();
            catalogues_ = LoadedCatalogues(core);
        });
        if (failed || !error.empty()) {
            console_.Say("devcore: " + (failed ? *failed : error));
            return Finish(1);
        }
        routes_.emplace(std::move(routes));
        if (IsChild()) {
            std::string ready = std::to_string(port) + "\n";
            for (const RouteCatalogue& catalogue : catalogues_) ready += catalogue.plugin + " ";
            if (!catalogues_.empty()) ready.pop_back();
            SendFrame(options_.reportChannel, "ready", ready);
            KeepTellingTheParent(options_.reportChannel);
            http_.Run(false);
            return Finish(0);
        }

        const std::string listed = CataloguesText(catalogues_);
        if (!listed.empty()) console_.Say(std::string_view(listed).substr(0, listed.size() - 1));
        std::string names;
        for (const RouteCatalogue& catalogue : catalogues_) names += " " + catalogue.plugin;
        if (options_.stopOnSignals) http_.CatchSignals();
        console_.Say("devcore: serving" + names + " on http://127.0.0.1:" + std::to_string(port));
        if (options_.listening) options_.listening(port, [this] { http_.Stop(); });
        http_.Run(options_.stopOnSignals);
        console_.Say("devcore: stopping");
        return Finish(0);
    }

    HttpScreening Screen(const HttpRequest& head) override {
        if (IsChild() && head.HasHeader(kStopField) && head.Header(kStopField) == options_.parentKey) {
            http_.Stop();
            HttpAnswer stopping;
            stopping.status = 204;
            return AnswerAtOnce(std::move(stopping));
        }
        if (!head.target.starts_with('/'))
            return AnswerAtOnce(ErrorAnswer(400, "The request's target is not a path: " + head.target));
        if (!head.HasHeader("Host")) {
            if (head.version >= 11) return AnswerAtOnce(ErrorAnswer(400, "An HTTP/1.1 request needs a Host header"));
        } else if (!IsLoopbackHost(head.Header("Host"))) {
            return Refuse("Host '" + std::string(head.Header("Host")) +
                          "' is refused: devcore serves localhost, 127.0.0.1 and [::1] only, so that no web page "
                          "reaches it through a name of its own");
        }
        const std::string_view origin = head.Header("Origin");
        if (head.HasHeader("Origin") && !IsLocalOrigin(origin)) {
            return Refuse("Origin '" + std::string(origin) +
                          "' is refused: devcore answers web pages from http://localhost and http://127.0.0.1 only");
        }
        if (head.method == "OPTIONS" && !origin.empty() && head.HasHeader("Access-Control-Request-Method"))
            return AnswerAtOnce(Preflight(head, origin));

        const std::string_view path = std::string_view(head.target).substr(0, head.target.find('?'));
        // The child holds the catalogue.
        if (path == "/" && plugins_) return {};
        if (path == "/") {
            HttpAnswer answer;
            if (head.method == "GET" || head.method == "HEAD") {
                answer = CatalogueAnswer(catalogues_, head.Header("Accept"));
                answer.headersOnly = head.method == "HEAD";
            } else {
                answer = ErrorAnswer(405, "Method not allowed");
                answer.headers.emplace_back("Allow", "GET, HEAD");
            }
            AllowOrigin(answer.headers, origin);
            return AnswerAtOnce(std::move(answer));
        }
        if (path == "/events") {
            if (head.method == "GET") {
                HttpScreening screening;
                screening.next = HttpScreening::Next::EventStream;
                screening.eventsAfter = feed_.StartAfter(head.Header("Last-Event-ID"));
                AllowOrigin(screening.streamHeaders, origin);
                return screening;
            }
            HttpAnswer answer;
            if (head.method == "HEAD") {
                answer.headers.emplace_back("Content-Type", "text/event-stream");
                answer.headersOnly = true;
            } else {
                answer = ErrorAnswer(405, "Method not allowed");
                answer.headers.emplace_back("Allow", "GET, HEAD");
            }
            AllowOrigin(answer.headers, origin);
            return AnswerAtOnce(std::move(answer));
        }
        return {};
    }

    void Handle(HttpRequest request, std::function<void(HttpAnswer)> answer) override {
        if (plugins_) return plugins_->Post(std::move(request), std::move(answer));
        const std::string origin(request.Header("Origin"));
        auto reply = std::make_shared<std::function<void(HttpAnswer)>>(
            [this, answer = std::move(answer), origin](HttpAnswer given) {
                AllowOrigin(given.headers, origin);
                if (IsChild()) {
                    // Numbered, so that the parent publishes the events the request made before it answers.
                    const std::string number = std::to_string(++answered_);
                    SendFrame(options_.reportChannel, "answered", number);
                    given.headers.emplace_back(kAnsweredField, number);
                }
                answer(std::move(given));
            });
        auto held = std::make_shared<HttpRequest>(std::move(request));
        if (IsChild() && held->HasHeader(kRestoreField) && held->Header(kRestoreField) == options_.parentKey)
            return Restore(held, reply);
        core_->Post(
            [this, held, reply](TestCore& core) {
                const std::string path = held->target.substr(0, held->target.find('?'));
                const bool toStore = !core.Serves(path) && routes_->OwningPrefix(path).empty();
                HttpAnswer answer = AnswerRequest(core, *routes_, *held, [this](const std::string& line) {
                    console_.Say("devcore: " + line);
                });
                SayBreaches(core);
                // The parent keeps the store for the next child, should this one end.
                if (IsChild() && toStore) {
                    const std::string& method = held->method;
                    if ((method == "PUT" || method == "POST") && (answer.status == 200 || answer.status == 201))
                        answer.headers.emplace_back(kStoreField, "put");
                    if (method == "DELETE" && answer.status == 204) answer.headers.emplace_back(kStoreField, "delete");
                }
                (*reply)(std::move(answer));
            },
            [reply, held](const std::string& reason) {
                HttpAnswer failed = ErrorAnswer(503, reason);
                failed.headersOnly = held->method == "HEAD";
                (*reply)(std::move(failed));
            });
    }

private:
    bool IsChild() const { return options_.reportChannel >= 0; }

    // The front: forwards the requests to the child, which runs the plugins.
    int RunFront(int port) {
        HttpRequest ask;
        ask.method = "GET";
        ask.target = "/";
        ask.headers = {{"Host", "127.0.0.1"}, {"Accept", "text/plain"}};
        const HttpAnswer catalogue = plugins_->Ask(ask);
        if (catalogue.status == 200 && !catalogue.body.empty())
            console_.Say(std::string_view(catalogue.body).substr(0, catalogue.body.size() - 1));
        std::string names;
        for (const std::string& plugin : plugins_->Plugins()) names += " " + plugin;
        if (options_.stopOnSignals) http_.CatchSignals();
        console_.Say("devcore: serving" + names + " on http://127.0.0.1:" + std::to_string(port));
        if (options_.listening) options_.listening(port, [this] { http_.Stop(); });
        http_.Run(options_.stopOnSignals);
        console_.Say("devcore: stopping");
        plugins_->Stop();
        console_.Say("devcore: stopped");
        return 0;
    }

    // The child: stores a value of the store the parent kept from the child before, without events.
    void Restore(const std::shared_ptr<HttpRequest>& held,
                 const std::shared_ptr<std::function<void(HttpAnswer)>>& reply) {
        core_->Post(
            [held, reply](TestCore& core) {
                const BindingResult value =
                    ReadStoredValue(StoredValueFormatOf(held->Header("Content-Type")), held->body);
                if (!value.ok) return (*reply)(ErrorAnswer(400, value.ErrorMessage()));
                core.SetValue(held->target.substr(0, held->target.find('?')), value.value);
                HttpAnswer stored;
                stored.status = 204;
                (*reply)(std::move(stored));
            },
            [reply](const std::string& reason) { (*reply)(ErrorAnswer(503, reason)); });
    }

    // A plugin's breaches of the contract are said even without the story, which tells them where they happen.
    void SayBreaches(const TestCore& core) {
        if (options_.verbose) return;
        for (const ContractBreach& breach : core.breaches)
            console_.Say((breach.severity == ContractBreach::Severity::Fail ? "devcore: FAIL " : "devcore: WARN ") +
                         breach.text);
    }

    HttpScreening Refuse(const std::string& message) {
        if (options_.verbose) console_.Say("devcore: refused: " + message);
        return AnswerAtOnce(ErrorAnswer(403, message));
    }

    // A browser's question before a request that a page may not send unasked.
    static HttpAnswer Preflight(const HttpRequest& head, std::string_view origin) {
        HttpAnswer answer;
        answer.status = 204;
        AllowOrigin(answer.headers, origin);
        answer.headers.emplace_back("Access-Control-Allow-Methods", std::string(kCorsMethods));
        if (const std::string_view asked = head.Header("Access-Control-Request-Headers"); !asked.empty())
            answer.headers.emplace_back("Access-Control-Allow-Headers", std::string(asked));
        answer.headers.emplace_back("Access-Control-Max-Age", std::string(kCorsMaxAge));
        return answer;
    }

    // Destroys the plugins; when a thread never came back from one, ends the process, which that thread would
    // otherwise outlive the objects of.
    int Finish(int status) {
        const bool left = core_->LeftThreadsBehind();
        core_.reset();
        if (status == 0 && !IsChild()) console_.Say("devcore: stopped");
        if (left) std::_Exit(status);
        return status;
    }

    const ServeOptions& options_;
    Console console_;
    EventFeed feed_;  // before the server, which reads it until it ends
    HttpServer http_;
    std::optional<ServedRoutes> routes_;  // set once the plugins are loaded, before the first request
    std::vector<RouteCatalogue> catalogues_;  // read once the plugins are loaded, before the first request
    std::unique_ptr<CoreThread> core_;
    std::unique_ptr<PluginProcess> plugins_;  // the front's child, which runs the plugins
    std::atomic<uint64_t> answered_ = 0;      // the child's answers so far
};

}  // namespace

int Serve(const ServeOptions& options) {
    if (options.reportChannel >= 0) {
        // The parent held the client's request to the bounds already; what it adds in forwarding must pass too.
        ServeOptions child = options;
        child.limits.headerBytes += 4096;
        child.limits.headerFields += 8;
        Server server(child, std::cout);
        return server.Run();
    }
    Server server(options, options.out ? *options.out : std::cout);
    return server.Run();
}

}  // namespace Zarvo::DevCore
