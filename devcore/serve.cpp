#include "devcore/serve.h"

#include <cstdlib>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>

#include "devcore/core_thread.h"
#include "devcore/json_text.h"
#include "devcore/loopback_names.h"
#include "devcore/plugin_set.h"
#include "devcore/route_catalogue.h"
#include "devcore/serve_answers.h"

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

class Server final : public HttpHandler {
public:
    Server(const ServeOptions& options, std::ostream& out)
        : options_(options), console_(out), http_(*this, feed_, options.limits) {}
    // The core's jobs answer through the server's I/O: the core ends first.
    ~Server() override { core_.reset(); }

    int Run() {
        std::string error;
        const int port = http_.Bind(options_.port, error);
        if (port == 0) {
            console_.Say("devcore: " + error);
            return 1;
        }
        core_ = std::make_unique<CoreThread>(options_.callTimeout,
                                             [this](const std::string& line) { console_.Say("devcore: " + line); });
        std::vector<ServedRoute> routes;
        const std::optional<std::string> failed = core_->RunAndWait([&](TestCore& core) {
            if (options_.verbose) core.SetStory([this](std::string_view line) { console_.Say(line); });
            core.SetEventListener([this](const SentEvent& event) {
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

        const std::string listed = CataloguesText(catalogues_);
        if (!listed.empty()) console_.Say(std::string_view(listed).substr(0, listed.size() - 1));
        std::string names;
        for (const RouteCatalogue& catalogue : catalogues_) names += " " + catalogue.plugin;
        console_.Say("devcore: serving" + names + " on http://127.0.0.1:" + std::to_string(port));
        if (options_.listening) options_.listening(port, [this] { http_.Stop(); });
        http_.Run(options_.stopOnSignals);
        console_.Say("devcore: stopping");
        return Finish(0);
    }

    HttpScreening Screen(const HttpRequest& head) override {
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
        const std::string origin(request.Header("Origin"));
        auto reply = std::make_shared<std::function<void(HttpAnswer)>>(
            [answer = std::move(answer), origin](HttpAnswer given) {
                AllowOrigin(given.headers, origin);
                answer(std::move(given));
            });
        auto held = std::make_shared<HttpRequest>(std::move(request));
        core_->Post(
            [this, held, reply](TestCore& core) {
                HttpAnswer answer = AnswerRequest(core, *routes_, *held, [this](const std::string& line) {
                    console_.Say("devcore: " + line);
                });
                SayBreaches(core);
                (*reply)(std::move(answer));
            },
            [reply, held](const std::string& reason) {
                HttpAnswer failed = ErrorAnswer(503, reason);
                failed.headersOnly = held->method == "HEAD";
                (*reply)(std::move(failed));
            });
    }

private:
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
        if (status == 0) console_.Say("devcore: stopped");
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
};

}  // namespace

int Serve(const ServeOptions& options) {
    Server server(options, options.out ? *options.out : std::cout);
    return server.Run();
}

}  // namespace Zarvo::DevCore
