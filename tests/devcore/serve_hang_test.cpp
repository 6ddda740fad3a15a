// A plugin at fault: one that does not return is set aside, answered 503 by name, while the store and the other
// plugins keep serving, and a signal still stops the server; a breach of the contract is answered 500 by name.
#include <gtest/gtest.h>
#include <signal.h>

#include "devcore_fixture.h"
#include "serve_process.h"

namespace Zarvo::DevCore::Testing {
namespace {

constexpr std::string_view kHung =
    "kiv-fake-queues did not return within 0.3 s from its dispatch callback for POST /kiv-fake/v1/echo/x, and is set "
    "aside";

TEST(ServeHangTest, SetsAsideAPluginThatDoesNotReturn) {
    ServeProcess serve({"--plugin", kLevelUpLibrary, "--plugin", FakeLibrary("kiv-fake-queues"), "--call-timeout",
                        "0.3", "-v"});
    const std::string refusal = "503 {\"error\":\"" + std::string(kHung) + "\"}";
    EXPECT_EQ(Ask(serve.Port(), "POST", "/kiv-fake/v1/echo/x", "hang", "text/plain").Text(), refusal);
    EXPECT_EQ(Ask(serve.Port(), "GET", "/kiv-fake/v1/echo/y").Text(), refusal);
    EXPECT_EQ(Ask(serve.Port(), "PUT", "/kiv-store/v1/thing", "[1]").Text(), "201 [1]");
    // The other plugin answers: before a level-up it has nothing to tell.
    EXPECT_EQ(Ask(serve.Port(), "GET", "/kiv-player-level-up/v1/level-up").Text(), R"(404 {"error":"Not found"})");
    EXPECT_TRUE(serve.Process().WaitForOutput("> GET /kiv-player-level-up/v1/level-up\n< 404"));
    EXPECT_TRUE(serve.Process().WaitForOutput("devcore: " + std::string(kHung) + "\n")) << serve.Output();

    if (!kSignalsReachDevcore) GTEST_SKIP() << kSignalsUnderEmulator;
    serve.Process().Signal(SIGINT);
    EXPECT_EQ(serve.Process().Wait(), 0);
    const std::string output = serve.Output();
    EXPECT_NE(output.find("  unload  kiv-fake-queues skipped: " + std::string(kHung) + "\n"), std::string::npos)
        << output;
    EXPECT_TRUE(output.ends_with("  unload  kiv-player-level-up\ndevcore: stopped\n")) << output;
}

// Without a time limit a hung plugin holds its request; a signal still stops the server.
TEST(ServeHangTest, StopsWhileAPluginDoesNotReturn) {
    ServeProcess serve({"--plugin", FakeLibrary("kiv-fake-queues"), "--call-timeout", "0", "-v"});
    TestConnection connection(serve.Port());
    connection.SendRaw(connection.RequestText("POST", "/kiv-fake/v1/echo/x", {}, "hang"));
    ASSERT_TRUE(serve.Process().WaitForOutput("> POST /kiv-fake/v1/echo/x hang"));
    if (!kSignalsReachDevcore) GTEST_SKIP() << kSignalsUnderEmulator;
    serve.Process().Signal(SIGTERM);
    EXPECT_EQ(serve.Process().Wait(), 0);
    EXPECT_TRUE(serve.Process().WaitForOutput("devcore: kiv-fake-queues did not return within 2 s from its dispatch "
                                              "callback for POST /kiv-fake/v1/echo/x, and is set aside\n"))
        << serve.Output();
    EXPECT_TRUE(serve.Output().ends_with("devcore: stopped\n")) << serve.Output();
}

TEST(ServeHangTest, StopsWhenDestroyDoesNotReturn) {
    ServeProcess serve({"--plugin", kLevelUpLibrary, "--plugin", FakeLibrary("kiv-fake-queues"), "--call-timeout",
                        "0.3", "-v"});
    EXPECT_EQ(Ask(serve.Port(), "POST", "/kiv-fake/v1/echo/x", "hang in Destroy", "text/plain").status, 200u);
    if (!kSignalsReachDevcore) GTEST_SKIP() << kSignalsUnderEmulator;
    serve.Process().Signal(SIGINT);
    EXPECT_EQ(serve.Process().Wait(), 0);
    const std::string output = serve.Output();
    EXPECT_NE(output.find("devcore: kiv-fake-queues did not return within 0.3 s from Destroy, and is set aside\n"),
              std::string::npos)
        << output;
    EXPECT_TRUE(output.ends_with("  unload  kiv-player-level-up\ndevcore: stopped\n")) << output;
}

// A response that breaks the contract is answered 500 with the breach, said on the output; the server goes on.
TEST(ServeBreachTest, AnswersABreachWithA500NamingIt) {
    ServeProcess serve({"--plugin", FakeLibrary("kiv-fake-queues")});
    const std::string breach = "kiv-fake-queues's response to POST /kiv-fake/v1/echo/x counts 2 header pairs but has "
                               "no storage for them (a null pointer)";
    EXPECT_EQ(Ask(serve.Port(), "POST", "/kiv-fake/v1/echo/x", "bad headers", "text/plain").Text(),
              "500 {\"error\":\"" + breach + "\"}");
    EXPECT_TRUE(serve.Process().WaitForOutput("devcore: FAIL " + breach + "\n")) << serve.Output();
    EXPECT_EQ(Ask(serve.Port(), "POST", "/kiv-fake/v1/echo/x", "fail", "text/plain").Text(),
              R"(503 {"error":"asked to fail"})");
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
