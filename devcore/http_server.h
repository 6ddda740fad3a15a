// serve's HTTP/1.1 server on 127.0.0.1, on Boost.Beast over Asio. One thread serves every connection without
// blocking, so that slow, idle and event-stream clients hold no thread; requests on a connection are answered in the
// order they came (pipelined ones too); each bound ends the request that breaks it with an answer that says which.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "devcore/event_feed.h"

namespace Zarvo::DevCore {

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

struct HttpLimits {
    size_t connections = 128;         // open at once, event streams included; more are answered 503 and closed
    size_t eventReaders = 32;         // event streams open at once; more are answered 503
    size_t headerBytes = 16 * 1024;   // the request line and header fields with their line ends; more: 431
    size_t headerFields = 100;        // more: 431
    size_t bodyBytes = size_t{16} << 20;  // more: 413
    std::chrono::milliseconds idleTimeout{60000};     // a kept-alive connection waiting for a request; then closed
    std::chrono::milliseconds requestTimeout{10000};  // from a request's first byte to its last; then 408, closed
    std::chrono::milliseconds writeTimeout{10000};    // an answer or event the client does not take; then closed
    std::chrono::milliseconds eventPing{15000};       // a comment to event readers that got nothing for so long
};

struct HttpRequest {
    std::string method;  // as sent
    std::string target;  // as sent: the path and query
    unsigned version = 11;  // 10 for HTTP/1.0, 11 for HTTP/1.1
    HttpHeaders headers;    // in the order sent, names as sent
    std::string body;

    // The value of the first header field of that name, compared without case; empty when there is none. Valid
    // while the request is unchanged.
    std::string_view Header(std::string_view name) const;
    bool HasHeader(std::string_view name) const;
};

struct HttpAnswer {
    unsigned status = 200;
    HttpHeaders headers;   // besides Content-Length, which the server sets
    std::string body;
    bool headersOnly = false;  // an answer to HEAD: the body's length is sent, not its bytes
};

// What the server does with a request once its head is read.
struct HttpScreening {
    enum class Next { ReadBody, Answer, EventStream };
    Next next = Next::ReadBody;
    HttpAnswer answer;          // Answer: sent at once; a body the request has is never read
    uint64_t eventsAfter = 0;   // EventStream: the stream starts after the event of this id
    HttpHeaders streamHeaders;  // EventStream: header fields besides the content type and Cache-Control
};

class HttpHandler {
public:
    virtual ~HttpHandler() = default;
    // On the server's thread, once a request's head is read; the request's body is empty then.
    virtual HttpScreening Screen(const HttpRequest& head) = 0;
    // With the whole request after a Screen that said ReadBody. `answer` must be called once, from any thread.
    virtual void Handle(HttpRequest request, std::function<void(HttpAnswer)> answer) = 0;
};

// {"error": message} and a line break: the body of every answer the server or serve gives for a refused request.
std::string ErrorBody(std::string_view message);
// An answer of the status with that body.
HttpAnswer ErrorAnswer(unsigned status, std::string_view message);

class HttpServer {
public:
    // The handler and the feed must outlive the server.
    HttpServer(HttpHandler& handler, EventFeed& feed, const HttpLimits& limits);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds 127.0.0.1:port, 0 for a free port. Returns the bound port, or 0 with the reason in `error`
    // ("port 8080 is in use").
    int Bind(int port, std::string& error);
    // From now on SIGINT and SIGTERM stop the server: at once when it runs, else as soon as it does. Call it before
    // telling anyone that the server listens, so that no signal finds the process without its handler.
    void CatchSignals();
    // Serves on the calling thread until Stop, or until SIGINT or SIGTERM when `stopOnSignals` (or CatchSignals).
    void Run(bool stopOnSignals);
    // Closes every connection and makes Run return; from any thread, also before Run.
    void Stop();

private:
    struct Impl;
    class Connection;
    std::shared_ptr<Impl> impl_;
};

}  // namespace Zarvo::DevCore
