// serve's HTTP server against clients that are slow, idle, pipelined, oversized or not HTTP at all: each bound at
// its edge, and no client holds the others up.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "devcore_fixture.h"
#include "serve_process.h"

namespace Zarvo::DevCore::Testing {
namespace {

class ServeHttpTest : public ::testing::Test {
protected:
    // A GET of an unstored path, with `fields` header fields in all.
    static std::string RequestWithFields(const TestConnection& connection, size_t fields) {
        std::vector<std::pair<std::string, std::string>> headers;
        for (size_t i = 1; i < fields; ++i) headers.emplace_back("X-Field-" + std::to_string(i), "1");
        return connection.RequestText("GET", "/kiv-store/v1/none", headers);
    }

    ServeProcess serve{{"--plugin", FakeLibrary("kiv-fake-queues"), "--max-connections", "4", "--max-body", "1000",
                        "--request-timeout", "0.5", "--idle-timeout", "1"}};
};

TEST_F(ServeHttpTest, AnswersPipelinedRequestsInOrder) {
    TestConnection connection(serve.Port());
    ASSERT_TRUE(connection.SendRaw(
        connection.RequestText("PUT", "/kiv-store/v1/a", {{"Content-Type", "application/json"}}, "1") +
        connection.RequestText("GET", "/kiv-store/v1/a") + connection.RequestText("DELETE", "/kiv-store/v1/a") +
        connection.RequestText("GET", "/kiv-store/v1/a")));
    EXPECT_EQ(connection.Read().Text(), "201 1");
    EXPECT_EQ(connection.Read().Text(), "200 1");
    EXPECT_EQ(connection.Read().Text(), "204 ");
    EXPECT_EQ(connection.Read().Text(), R"(404 {"error":"Not found"})");
}

TEST_F(ServeHttpTest, BoundsTheHeaderFieldsAt100) {
    for (const size_t fields : {99, 100, 101}) {
        TestConnection connection(serve.Port());
        connection.SendRaw(RequestWithFields(connection, fields));
        EXPECT_EQ(connection.Read().Text(), fields <= 100
                                                ? R"(404 {"error":"Not found"})"
                                                : R"(431 {"error":"The request has more than 100 header fields"})")
            << fields;
    }
}

TEST_F(ServeHttpTest, BoundsTheHeadAt16KiB) {
    for (const size_t size : {16383, 16384, 16385}) {
        TestConnection connection(serve.Port());
        std::string head = connection.RequestText("GET", "/kiv-store/v1/none", {{"X-Pad", ""}});
        head.insert(head.size() - 4, size - head.size(), 'p');
        ASSERT_EQ(head.size(), size);
        connection.SendRaw(head);
        EXPECT_EQ(connection.Read().Text(),
                  size <= 16384
                      ? R"(404 {"error":"Not found"})"
                      : R"(431 {"error":"The request's line and header fields take more than 16384 bytes"})")
            << size;
    }
}

TEST_F(ServeHttpTest, BoundsTheBody) {
    for (const size_t size : {999, 1000, 1001}) {
        const std::string value = "\"" + std::string(size - 2, 'a') + "\"";
        const HttpReply reply = Ask(serve.Port(), "PUT", "/kiv-store/v1/big" + std::to_string(size), value);
        EXPECT_EQ(reply.status, size <= 1000 ? 201u : 413u) << size;
        EXPECT_EQ(reply.body,
                  size <= 1000 ? value + "\n" : R"({"error":"The request's body is larger than 1000 bytes"})" "\n");
    }
}

TEST_F(ServeHttpTest, BoundsTheConnections) {
    std::vector<std::unique_ptr<TestConnection>> open;
    for (int i = 0; i < 4; ++i) {
        open.push_back(std::make_unique<TestConnection>(serve.Port()));
        EXPECT_EQ(open.back()->Ask("GET", "/kiv-store/v1/none").status, 404u) << i;
    }
    TestConnection refused(serve.Port());
    EXPECT_EQ(refused.Ask("GET", "/kiv-store/v1/none").Text(),
              R"(503 {"error":"devcore serves at most 4 connections at once"})");
    EXPECT_TRUE(refused.ClosedWithin(5s));
    // A connection that ends makes room at once.
    open.pop_back();
    bool served = false;
    for (int attempt = 0; attempt < 100 && !served; ++attempt) {
        TestConnection next(serve.Port());
        served = next.Ask("GET", "/kiv-store/v1/none").status == 404;
        if (!served) std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(served);
}

TEST_F(ServeHttpTest, ClosesIdleConnections) {
    TestConnection connection(serve.Port());
    EXPECT_EQ(connection.Ask("GET", "/kiv-store/v1/none").status, 404u);
    EXPECT_TRUE(connection.ClosedWithin(5s));
}

TEST_F(ServeHttpTest, AnswersAnExpectedContinue) {
    TestConnection connection(serve.Port());
    connection.SendRaw(
        "PUT /kiv-store/v1/a HTTP/1.1\r\nHost: localhost\r\nContent-Type: application/json\r\nContent-Length: 3\r\n"
        "Expect: 100-continue\r\n\r\n");
    EXPECT_EQ(connection.ReadRaw(5s, "\r\n\r\n"), "HTTP/1.1 100 Continue\r\n\r\n");
    connection.SendRaw("[1]");
    EXPECT_EQ(connection.Read().Text(), "201 [1]");
}

TEST_F(ServeHttpTest, RefusesWhatIsNotAnHttpRequest) {
    for (const std::string request : {"GET\r\n\r\n", "GET / HTTP/1.1\r\nHost: localhost\r\nNo colon\r\n\r\n",
                                      "GET / HTTP/1.1\r\nHost: localhost\r\nContent-Length: x\r\n\r\n"}) {
        TestConnection connection(serve.Port());
        connection.SendRaw(request);
        const HttpReply reply = connection.Read();
        EXPECT_EQ(reply.status, 400u) << request;
        EXPECT_NE(reply.body.find(R"({"error":"The request is not HTTP/1.1: )"), std::string::npos) << reply.body;
        EXPECT_TRUE(connection.ClosedWithin(5s)) << request;
    }
    EXPECT_EQ(Ask(serve.Port(), "GET", "http://localhost/kiv-store/v1/none").Text(),
              R"(400 {"error":"The request's target is not a path: http://localhost/kiv-store/v1/none"})");
}

// Clients that send their requests a byte at a time hold no one up, and each gets 408 once its request took longer
// than the limit, however steadily its bytes come.
TEST(ServeSlowClientTest, SlowClientsHoldNoOneUp) {
    ServeProcess serve({"--request-timeout", "0.5"});
    std::vector<std::unique_ptr<TestConnection>> slow;
    for (int i = 0; i < 10; ++i) slow.push_back(std::make_unique<TestConnection>(serve.Port()));
    std::atomic<bool> answered = false;
    std::thread trickle([&] {
        const std::string request = "GET /kiv-store/v1/none HTTP/1.1\r\nHost: localhost\r\n";
        for (size_t byte = 0; !answered && byte < request.size(); ++byte) {
            for (auto& connection : slow) connection->SendRaw(request.substr(byte, 1));
            std::this_thread::sleep_for(20ms);
        }
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(Ask(serve.Port(), "GET", "/kiv-store/v1/none").Text(), R"(404 {"error":"Not found"})");
    answered = true;
    trickle.join();
    for (auto& connection : slow)
        EXPECT_EQ(connection->Read().Text(), R"(408 {"error":"The request did not arrive within 500 ms"})");
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
