#include "serve_process.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "line_feeds.h"

namespace Zarvo::DevCore::Testing {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using ErrorCode = boost::system::error_code;
using Clock = std::chrono::steady_clock;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

DevcoreProcess::DevcoreProcess(const std::vector<std::string>& arguments) {
    // Where the host cannot run the program itself, the build's emulator runs it.
    std::string program = kDevcoreProgram;
    std::vector<std::string> words = arguments;
    if (const std::string emulator = KIV_EMULATOR; !emulator.empty()) {
        words.insert(words.begin(), program);
        program = emulator;
    }
    std::string error;
    if (!child_.StartCapturingOutput(program, words, {}, "", error))
        throw std::runtime_error("cannot start " + kDevcoreProgram + ": " + error);
    reader_ = std::thread([this] {
        std::string chunk;
        while (child_.ReadReport(chunk, 100ms) != Platform::ChildProcess::Read::Ended) {
            std::lock_guard lock(mutex_);
            text_ += chunk;
            chunk.clear();
        }
        std::lock_guard lock(mutex_);
        text_ += chunk;
    });
}

DevcoreProcess::~DevcoreProcess() {
    if (status_ < 0) {
        child_.Kill();
        Wait();
    }
    if (reader_.joinable()) reader_.join();
}

bool DevcoreProcess::WaitForOutput(std::string_view text, std::chrono::milliseconds limit) {
    const Clock::time_point end = Clock::now() + limit;
    while (Output().find(text) == std::string::npos) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

std::string DevcoreProcess::Output() const {
    std::lock_guard lock(mutex_);
    return WithLineFeeds(text_);
}

bool DevcoreProcess::Signal(int signal) { return child_.SendSignal(signal); }

int DevcoreProcess::Wait(std::chrono::milliseconds limit) {
    if (status_ >= 0) return status_;
    const std::optional<Platform::ChildProcess::Exit> exit = child_.WaitFor(limit);
    if (!exit) return -1;
    status_ = exit->signalled ? 128 + (exit->code & 0x7f) : exit->code;
    // All the output is there once the pipe ends.
    reader_.join();
    return status_;
}

ServeProcess::ServeProcess(std::vector<std::string> arguments)
    : process_([&] {
          arguments.insert(arguments.begin(), {"serve", "--port", "0"});
          return arguments;
      }()) {
    static constexpr std::string_view kListening = " on http://127.0.0.1:";
    if (!process_.WaitForOutput(kListening)) throw std::runtime_error("serve did not start: " + process_.Output());
    const std::string output = process_.Output();
    port_ = std::stoi(output.substr(output.find(kListening) + kListening.size()));
}

std::string HttpReply::Header(std::string_view name) const {
    for (const auto& [field, value] : headers)
        if (EqualsIgnoringCase(field, name)) return value;
    return {};
}

std::string HttpReply::Text() const {
    if (status == 0) return "no answer";
    std::string text = body;
    if (text.ends_with('\n')) text.pop_back();
    return std::to_string(status) + " " + text;
}

struct TestConnection::Impl {
    net::io_context ioc;
    tcp::socket socket{ioc};
    beast::flat_buffer buffer;

    // Runs what was started until it is done or the limit passes; then cancels it and lets it end.
    void RunFor(std::chrono::milliseconds limit, const bool& done) {
        ioc.restart();
        ioc.run_for(limit);
        if (!done) {
            ErrorCode ignored;
            socket.cancel(ignored);
            ioc.restart();
            ioc.run();
        }
    }
};

TestConnection::TestConnection(int port) : impl_(std::make_unique<Impl>()), port_(port) {
    impl_->socket.connect(tcp::endpoint(net::ip::make_address_v4("127.0.0.1"), static_cast<unsigned short>(port)));
    impl_->socket.set_option(tcp::no_delay(true));
}

TestConnection::~TestConnection() = default;

bool TestConnection::SendRaw(std::string_view bytes) {
    ErrorCode error;
    net::write(impl_->socket, net::buffer(bytes.data(), bytes.size()), error);
    return !error;
}

std::string TestConnection::RequestText(std::string_view method, std::string_view target,
                                        const std::vector<std::pair<std::string, std::string>>& headers,
                                        std::string_view body) const {
    std::string text = std::string(method) + " " + std::string(target) + " HTTP/1.1\r\n";
    const bool host = std::any_of(headers.begin(), headers.end(),
                                  [](const auto& header) { return EqualsIgnoringCase(header.first, "Host"); });
    if (!host) text += "Host: 127.0.0.1:" + std::to_string(port_) + "\r\n";
    for (const auto& [name, value] : headers) text += name + ": " + value + "\r\n";
    if (!body.empty()) text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    text += "\r\n";
    text += body;
    return text;
}

HttpReply TestConnection::Read(std::chrono::milliseconds limit, bool headRequest) {
    http::response_parser<http::string_body> parser;
    parser.body_limit(boost::none);
    parser.skip(headRequest);
    bool done = false;
    ErrorCode result;
    http::async_read(impl_->socket, impl_->buffer, parser, [&](ErrorCode error, size_t) {
        done = true;
        result = error;
    });
    impl_->RunFor(limit, done);
    HttpReply reply;
    if (!done || result) return reply;
    const auto& message = parser.get();
    reply.status = message.result_int();
    for (const auto& field : message)
        reply.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    reply.body = message.body();
    return reply;
}

HttpReply TestConnection::Ask(std::string_view method, std::string_view target,
                              const std::vector<std::pair<std::string, std::string>>& headers, std::string_view body) {
    if (!SendRaw(RequestText(method, target, headers, body))) return {};
    return Read(10s, method == "HEAD");
}

std::string TestConnection::ReadRaw(std::chrono::milliseconds limit, std::string_view until) {
    std::string text = beast::buffers_to_string(impl_->buffer.data());
    impl_->buffer.consume(impl_->buffer.size());
    const Clock::time_point end = Clock::now() + limit;
    while ((until.empty() ? text.empty() : text.find(until) == std::string::npos) && Clock::now() < end) {
        char chunk[4096];
        bool done = false;
        ErrorCode result;
        size_t got = 0;
        impl_->socket.async_read_some(net::buffer(chunk), [&](ErrorCode error, size_t read) {
            done = true;
            result = error;
            got = read;
        });
        impl_->RunFor(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()) + 1ms, done);
        text.append(chunk, got);
        if (!done || result) break;
    }
    return text;
}

bool TestConnection::ClosedWithin(std::chrono::milliseconds limit) {
    impl_->buffer.consume(impl_->buffer.size());
    const Clock::time_point end = Clock::now() + limit;
    while (Clock::now() < end) {
        char chunk[4096];
        bool done = false;
        ErrorCode result;
        impl_->socket.async_read_some(net::buffer(chunk), [&](ErrorCode error, size_t) {
            done = true;
            result = error;
        });
        impl_->RunFor(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()) + 1ms, done);
        if (done && result) return result != net::error::operation_aborted;
    }
    return false;
}

int TestConnection::LocalPort() const { return impl_->socket.local_endpoint().port(); }

EventStreamReader::EventStreamReader(int port, const std::vector<std::pair<std::string, std::string>>& headers)
    : connection_(port) {
    connection_.SendRaw(connection_.RequestText("GET", "/events", headers));
}

std::string EventStreamReader::ReadUntil(std::string_view text, std::chrono::milliseconds limit) {
    const Clock::time_point end = Clock::now() + limit;
    while (text_.find(text) == std::string::npos && Clock::now() < end) {
        raw_ += connection_.ReadRaw(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()));
        if (head_.empty()) {
            const size_t headEnd = raw_.find("\r\n\r\n");
            if (headEnd == std::string::npos) continue;
            head_ = raw_.substr(0, headEnd + 2);
            raw_.erase(0, headEnd + 4);
        }
        if (head_.find("Transfer-Encoding: chunked") == std::string::npos) {
            text_ += raw_;
            raw_.clear();
            continue;
        }
        // Whole chunks: a hexadecimal size line, the bytes, a line break.
        for (;;) {
            const size_t line = raw_.find("\r\n");
            if (line == std::string::npos) break;
            const size_t size = std::stoul(raw_.substr(0, line), nullptr, 16);
            if (raw_.size() < line + 2 + size + 2) break;
            text_ += raw_.substr(line + 2, size);
            raw_.erase(0, line + 2 + size + 2);
        }
    }
    return text_;
}

HttpReply Ask(int port, std::string_view method, std::string_view target, std::string_view body,
              std::string_view contentType, std::vector<std::pair<std::string, std::string>> headers) {
    if (!contentType.empty()) headers.emplace_back("Content-Type", std::string(contentType));
    TestConnection connection(port);
    return connection.Ask(method, target, headers, body);
}

}  // namespace Zarvo::DevCore::Testing
