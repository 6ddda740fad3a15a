#include "devcore/http_server.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <atomic>
#include <optional>
#include <unordered_set>

#include "binding/property.h"
#include "devcore/json_text.h"
#include "platform/system_socket.h"

namespace Zarvo::DevCore {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using ErrorCode = boost::system::error_code;

constexpr size_t kReadChunk = 4096;
constexpr size_t kEventBatchBytes = 64 * 1024;
// How long a connection closed after a refusal still reads what the client sends, so that the client gets to
// read the refusal before the connection goes.
constexpr auto kLinger = std::chrono::seconds(1);
// After a failed accept (no file descriptors left, say), the next is tried after this long.
constexpr auto kAcceptRetry = std::chrono::milliseconds(100);

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Hex(size_t value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value % 16]);
        value /= 16;
    } while (value);
    return text;
}

std::string Bytes(size_t count) { return std::to_string(count) + (count == 1 ? " byte" : " bytes"); }

std::string Seconds(std::chrono::milliseconds time) {
    const long long ms = time.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

}  // namespace

std::string_view HttpRequest::Header(std::string_view name) const {
    for (const auto& [field, value] : headers)
        if (EqualsIgnoringCase(field, name)) return value;
    return {};
}

bool HttpRequest::HasHeader(std::string_view name) const {
    for (const auto& header : headers)
        if (EqualsIgnoringCase(header.first, name)) return true;
    return false;
}

std::string ErrorBody(std::string_view message) {
    BindingProperty body;
    body.ChildForWrite("error").SetString(message);
    return ToJsonText(body) + "\n";
}

HttpAnswer ErrorAnswer(unsigned status, std::string_view message) {
    HttpAnswer answer;
    answer.status = status;
    answer.headers.emplace_back("Content-Type", "application/json");
    answer.body = ErrorBody(message);
    return answer;
}

struct HttpServer::Impl {
    Impl(HttpHandler& handler, EventFeed& feed, const HttpLimits& limits)
        : handler(handler), feed(feed), limits(limits) {}

    void Accept();
    void Ping();
    void PumpReaders();
    void StopNow();
    std::vector<std::shared_ptr<Connection>> Live(const std::unordered_set<Connection*>& set) const;

    HttpHandler& handler;
    EventFeed& feed;
    const HttpLimits limits;
    // Before the I/O context: connections that its handlers hold leave these sets when the context goes.
    std::unordered_set<Connection*> connections;  // served ones
    std::unordered_set<Connection*> readers;      // those of them that stream events
    size_t refusing = 0;  // connections being answered 503 because too many are open
    net::io_context ioc{1};
    tcp::acceptor acceptor{ioc};
    net::steady_timer acceptRetry{ioc};
    net::steady_timer pingTimer{ioc};
    std::optional<net::signal_set> signals;
    std::atomic<bool> pumpPosted = false;
    bool stopped = false;
};

class HttpServer::Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(Impl& server, tcp::socket socket, bool refused)
        : server_(server), socket_(std::move(socket)), deadline_(server.ioc), refused_(refused) {
        if (refused_)
            ++server_.refusing;
        else
            server_.connections.insert(this);
    }
    ~Connection() {
        if (refused_) {
            --server_.refusing;
        } else {
            server_.connections.erase(this);
            server_.readers.erase(this);
        }
    }

    void Start() { ReadRequest(); }

    void Refuse() {
        Fail(503, "devcore serves at most " + std::to_string(server_.limits.connections) + " connections at once");
    }

    void Close() {
        Disarm();
        server_.readers.erase(this);
        reader_ = false;
        ErrorCode ignored;
        socket_.close(ignored);
    }

    // An event reader: writes what the feed has that the reader has not seen.
    void Pump() {
        if (!reader_ || writing_ || server_.stopped) return;
        std::string text = greeted_ ? std::string() : std::string(": connected\n\n");
        greeted_ = true;
        text += server_.feed.Take(cursor_, kEventBatchBytes);
        if (!text.empty()) WriteEvents(text);
    }

    void Ping() {
        if (reader_ && !writing_ && greeted_) WriteEvents(": ping\n\n");
    }

private:
    // The deadline cancels what the socket is doing when it passes.
    void Arm(std::chrono::steady_clock::duration time) {
        timedOut_ = false;
        deadline_.expires_after(time);
        deadline_.async_wait([weak = weak_from_this()](ErrorCode error) {
            if (error) return;
            if (const auto self = weak.lock()) {
                self->timedOut_ = true;
                ErrorCode ignored;
                self->socket_.cancel(ignored);
            }
        });
    }
    void Disarm() { deadline_.cancel(); }

    void ReadRequest() {
        if (server_.stopped) return Close();
        if (buffer_.size() > 0) return ReadHead();
        // Idle until the next request's first byte; a request's own time starts there.
        Arm(server_.limits.idleTimeout);
        socket_.async_read_some(buffer_.prepare(kReadChunk),
                                [self = shared_from_this()](ErrorCode error, size_t read) {
                                    if (error) return self->Close();
                                    self->buffer_.commit(read);
                                    self->ReadHead();
                                });
    }

    void ReadHead() {
        parser_.emplace();
        parser_->header_limit(static_cast<uint32_t>(server_.limits.headerBytes));
        parser_->body_limit(server_.limits.bodyBytes);
        Arm(server_.limits.requestTimeout);
        http::async_read_header(socket_, buffer_, *parser_,
                                [self = shared_from_this()](ErrorCode error, size_t size) {
                                    self->OnHead(error, size);
                                });
    }

    void OnHead(ErrorCode error, size_t size) {
        // The parser stops a head that grows past the limit, though not always at the limit's byte.
        if (!error && size > server_.limits.headerBytes) error = http::error::header_limit;
        if (error) return ReadFailed(error);
        const auto& message = parser_->get();
        size_t fields = 0;
        for (auto it = message.begin(); it != message.end(); ++it) ++fields;
        if (fields > server_.limits.headerFields)
            return Fail(431, "The request has more than " + std::to_string(server_.limits.headerFields) +
                                 " header fields");
        request_ = HttpRequest();
        request_.method = std::string(message.method_string());
        request_.target = std::string(message.target());
        request_.version = message.version();
        for (const auto& field : message)
            request_.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
        keepAlive_ = message.keep_alive();

        HttpScreening screening = server_.handler.Screen(request_);
        switch (screening.next) {
            case HttpScreening::Next::Answer:
                // A body left unread cannot be told from the next request: the connection closes after the answer.
                return Write(std::move(screening.answer), keepAlive_ && parser_->is_done());
            case HttpScreening::Next::EventStream:
                return StartEvents(screening);
            case HttpScreening::Next::ReadBody:
                break;
        }
        const std::string_view expect = request_.Header("Expect");
        if (!expect.empty() && !EqualsIgnoringCase(expect, "100-continue"))
            return Fail(417, "The expectation '" + std::string(expect) + "' cannot be met");
        if (!expect.empty() && !parser_->is_done()) {
            static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
            net::async_write(socket_, net::buffer(kContinue.data(), kContinue.size()),
                             [self = shared_from_this()](ErrorCode error, size_t) {
                                 if (error) return self->Close();
                                 self->ReadBody();
                             });
            return;
        }
        ReadBody();
    }

    void ReadBody() {
        if (parser_->is_done()) return OnBody({});
        http::async_read(socket_, buffer_, *parser_,
                         [self = shared_from_this()](ErrorCode error, size_t) { self->OnBody(error); });
    }

    void OnBody(ErrorCode error) {
        if (error) return ReadFailed(error);
        Disarm();
        request_.body = std::move(parser_->get().body());
        parser_.reset();
        server_.handler.Handle(std::move(request_), [self = shared_from_this()](HttpAnswer answer) {
            net::post(self->server_.ioc, [self, answer = std::move(answer)]() mutable {
                self->Write(std::move(answer), self->keepAlive_);
            });
        });
    }

    void ReadFailed(ErrorCode error) {
        if (error == net::error::operation_aborted && timedOut_)
            return Fail(408, "The request did not arrive within " + Seconds(server_.limits.requestTimeout));
        if (error == http::error::header_limit)
            return Fail(431, "The request's line and header fields take more than " +
                                 Bytes(server_.limits.headerBytes));
        if (error == http::error::body_limit)
            return Fail(413, "The request's body is larger than " + Bytes(server_.limits.bodyBytes));
        // Anything else the parser says is a request that is not HTTP; the rest is a client that left, or the
        // server stopping.
        const bool parsing = &error.category() == &http::make_error_code(http::error::bad_method).category();
        if (!parsing || error == http::error::end_of_stream || error == http::error::partial_message) return Close();
        Fail(400, "The request is not HTTP/1.1: " + error.message());
    }

    // Answers and closes the connection.
    void Fail(unsigned status, const std::string& message) { Write(ErrorAnswer(status, message), false); }

    template <class Response>
    void Send(std::shared_ptr<Response> response, bool keepAlive) {
        Arm(server_.limits.writeTimeout);
        http::async_write(socket_, *response,
                          [self = shared_from_this(), response, keepAlive](ErrorCode error, size_t) {
                              self->Disarm();
                              if (error) return self->Close();
                              if (!keepAlive) return self->Linger();
                              self->ReadRequest();
                          });
    }

    template <class Response>
    void Fill(Response& response, HttpAnswer& answer, bool keepAlive) {
        response.result(answer.status);
        response.version(request_.version == 10 ? 10 : 11);
        for (auto& [name, value] : answer.headers) response.insert(name, value);
        response.keep_alive(keepAlive);
    }

    void Write(HttpAnswer answer, bool keepAlive) {
        if (server_.stopped || !socket_.is_open()) return Close();
        const bool bodiless = answer.status == 204 || answer.status == 304 || answer.status < 200;
        if (answer.headersOnly || bodiless) {
            auto response = std::make_shared<http::response<http::empty_body>>();
            Fill(*response, answer, keepAlive);
            if (!bodiless) response->content_length(answer.body.size());
            return Send(response, keepAlive);
        }
        auto response = std::make_shared<http::response<http::string_body>>();
        Fill(*response, answer, keepAlive);
        response->body() = std::move(answer.body);
        response->prepare_payload();
        Send(response, keepAlive);
    }

    // Closes the sending side, and reads until the client closes too (or for a second), so that the client reads
    // the answer before the connection goes.
    void Linger() {
        ErrorCode ignored;
        socket_.shutdown(tcp::socket::shutdown_send, ignored);
        Arm(kLinger);
        socket_.async_read_some(net::buffer(scratch_), [self = shared_from_this()](ErrorCode error, size_t) {
            if (error) return self->Close();
            self->Linger();
        });
    }

    void StartEvents(const HttpScreening& screening) {
        if (server_.readers.size() >= server_.limits.eventReaders) {
            HttpAnswer answer;
            answer.status = 503;
            answer.headers = screening.streamHeaders;
            answer.headers.emplace_back("Content-Type", "application/json");
            answer.body = ErrorBody("devcore serves at most " + std::to_string(server_.limits.eventReaders) +
                                    " event readers at once");
            return Write(std::move(answer), keepAlive_);
        }
        // A request sent behind an event stream would never be answered.
        if (buffer_.size() > 0) return Close();
        Disarm();
        server_.readers.insert(this);
        reader_ = true;
        chunked_ = request_.version >= 11;
        cursor_ = screening.eventsAfter;
        std::string head = chunked_ ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.0 200 OK\r\n";
        head += "Content-Type: text/event-stream\r\nCache-Control: no-cache\r\n";
        for (const auto& [name, value] : screening.streamHeaders) head += name + ": " + value + "\r\n";
        head += chunked_ ? "Transfer-Encoding: chunked\r\n\r\n" : "Connection: close\r\n\r\n";
        head_ = std::move(head);
        // A reader that leaves is noticed at once: its socket reads end. Anything it sends ends its stream too.
        socket_.async_read_some(net::buffer(scratch_),
                                [self = shared_from_this()](ErrorCode, size_t) { self->Close(); });
        Pump();
    }

    void WriteEvents(std::string_view text) {
        out_ = std::move(head_);
        head_.clear();
        if (chunked_) {
            out_ += Hex(text.size());
            out_ += "\r\n";
            out_ += text;
            out_ += "\r\n";
        } else {
            out_ += text;
        }
        writing_ = true;
        Arm(server_.limits.writeTimeout);
        net::async_write(socket_, net::buffer(out_), [self = shared_from_this()](ErrorCode error, size_t) {
            self->writing_ = false;
            self->Disarm();
            if (error) return self->Close();
            self->Pump();
        });
    }

    Impl& server_;
    tcp::socket socket_;
    net::steady_timer deadline_;
    const bool refused_;
    bool timedOut_ = false;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    HttpRequest request_;  // the head, then the whole request until it is handed on
    bool keepAlive_ = false;
    char scratch_[512];
    // An event reader's stream.
    bool reader_ = false;
    bool chunked_ = false;
    bool greeted_ = false;
    bool writing_ = false;
    uint64_t cursor_ = 0;
    std::string head_;  // the stream's header, written with the first events
    std::string out_;   // what is being written
};

std::vector<std::shared_ptr<HttpServer::Connection>> HttpServer::Impl::Live(
    const std::unordered_set<Connection*>& set) const {
    std::vector<std::shared_ptr<Connection>> live;
    for (Connection* connection : set) live.push_back(connection->shared_from_this());
    return live;
}

void HttpServer::Impl::Accept() {
    acceptor.async_accept([this](ErrorCode error, tcp::socket socket) {
        if (stopped) return;
        if (error) {
            acceptRetry.expires_after(kAcceptRetry);
            acceptRetry.async_wait([this](ErrorCode waited) {
                if (!waited && !stopped) Accept();
            });
            return;
        }
        ErrorCode ignored;
        socket.set_option(tcp::no_delay(true), ignored);
        Platform::KeepFromChildProcesses(static_cast<intptr_t>(socket.native_handle()));
        if (connections.size() < limits.connections) {
            std::make_shared<Connection>(*this, std::move(socket), false)->Start();
        } else if (refusing < limits.connections) {
            std::make_shared<Connection>(*this, std::move(socket), true)->Refuse();
        }  // else the socket closes here: too many are being refused already
        Accept();
    });
}

void HttpServer::Impl::Ping() {
    pingTimer.expires_after(limits.eventPing);
    pingTimer.async_wait([this](ErrorCode error) {
        if (error || stopped) return;
        for (const auto& reader : Live(readers)) reader->Ping();
        Ping();
    });
}

void HttpServer::Impl::PumpReaders() {
    pumpPosted = false;
    for (const auto& reader : Live(readers)) reader->Pump();
}

void HttpServer::Impl::StopNow() {
    stopped = true;
    ErrorCode ignored;
    acceptor.close(ignored);
    acceptRetry.cancel();
    pingTimer.cancel();
    if (signals) signals->cancel(ignored);
    for (const auto& connection : Live(connections)) connection->Close();
    ioc.stop();
}

HttpServer::HttpServer(HttpHandler& handler, EventFeed& feed, const HttpLimits& limits)
    : impl_(std::make_shared<Impl>(handler, feed, limits)) {}

HttpServer::~HttpServer() {
    impl_->feed.SetListener(nullptr);
    impl_->StopNow();
    // What the closing left to do: every handler ends the connection it holds, and none starts anything new.
    impl_->ioc.restart();
    while (impl_->ioc.poll() > 0) {
    }
}

int HttpServer::Bind(int port, std::string& error) {
    tcp::acceptor& acceptor = impl_->acceptor;
    const tcp::endpoint endpoint(net::ip::make_address_v4("127.0.0.1"), static_cast<unsigned short>(port));
    ErrorCode failure;
    acceptor.open(endpoint.protocol(), failure);
    if (!failure) Platform::KeepFromChildProcesses(static_cast<intptr_t>(acceptor.native_handle()));
    // A port whose last connections are still closing may be bound again; one that another server listens on
    // may not.
    if (!failure) {
        if (const int code = Platform::PrepareListeningSocket(static_cast<intptr_t>(acceptor.native_handle())))
            failure = ErrorCode(code, boost::system::system_category());
    }
    if (!failure) acceptor.bind(endpoint, failure);
    if (!failure) acceptor.listen(net::socket_base::max_listen_connections, failure);
    if (failure) {
        error = failure == net::error::address_in_use ? "port " + std::to_string(port) + " is in use"
                                                      : "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " +
                                                            failure.message();
        ErrorCode ignored;
        acceptor.close(ignored);
        return 0;
    }
    return acceptor.local_endpoint().port();
}

void HttpServer::CatchSignals() {
    Impl& impl = *impl_;
    if (impl.signals) return;
    impl.signals.emplace(impl.ioc, SIGINT, SIGTERM);
    impl.signals->async_wait([&impl](ErrorCode error, int) {
        if (!error) impl.StopNow();
    });
}

void HttpServer::Run(bool stopOnSignals) {
    Impl& impl = *impl_;
    if (stopOnSignals) CatchSignals();
    impl.feed.SetListener([&impl] {
        if (!impl.pumpPosted.exchange(true)) net::post(impl.ioc, [&impl] { impl.PumpReaders(); });
    });
    if (!impl.stopped) {
        impl.Accept();
        impl.Ping();
        impl.ioc.run();
    }
    // A second Ctrl-C while the plugins are destroyed ends the process at once.
    impl.signals.reset();
}

void HttpServer::Stop() {
    net::post(impl_->ioc, [impl = impl_.get()] { impl->StopNow(); });
}

}  // namespace Zarvo::DevCore
